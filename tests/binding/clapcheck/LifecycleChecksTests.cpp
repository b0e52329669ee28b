#include "ClapCheckTestSupport.h"

#include <cmath>
#include <limits>

namespace clapcheck::test
{
namespace
{
    using ClapcheckLifecycle = PluginFixture;

    constexpr int64_t noResult = -1;

    int64_t asResult (bool value)
    {
        return value ? 1 : 0;
    }

    const clap_process_t* someProcess()
    {
        static const clap_process_t process {};
        return &process;
    }

    TEST_F (ClapcheckLifecycle, AHostThatFollowsTheLifecycleGetsNoReportAndEveryCallReachesThePlugin)
    {
        ASSERT_TRUE (plugin->init (plugin));
        ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
        ASSERT_TRUE (plugin->start_processing (plugin));
        EXPECT_EQ (plugin->process (plugin, someProcess()), CLAP_PROCESS_CONTINUE);
        plugin->reset (plugin);
        plugin->stop_processing (plugin);
        plugin->deactivate (plugin);
        destroy();

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.calls, (std::vector<std::string> { "init", "activate 48000", "startProcessing", "process", "reset",
                                                              "stopProcessing", "deactivate" }));
        EXPECT_TRUE (journal.deleted);
    }

    TEST_F (ClapcheckLifecycle, FlagsFollowActivationAndProcessing)
    {
        reach (Stage::processing);
        EXPECT_TRUE (probe->isInitialised());
        EXPECT_TRUE (probe->isActive());
        EXPECT_TRUE (probe->isProcessing());
        EXPECT_EQ (probe->getSampleRate(), 48000.0);

        plugin->stop_processing (plugin);
        plugin->deactivate (plugin);
        EXPECT_FALSE (probe->isProcessing());
        EXPECT_FALSE (probe->isActive());
        EXPECT_EQ (probe->getSampleRate(), 0.0);
    }

    //==============================================================================
    /** A host call made in the wrong state or with bad arguments: the single report it must cause,
        what it must answer, and whether the plug-in's own operation may still run (which the report
        table's outcome decides). */
    struct MisuseCase
    {
        const char* name;
        Stage stage;
        std::function<int64_t (PluginFixture&)> call;
        Report report;
        std::string expectedText;
        int64_t expectedResult;
        const char* pluginOperation;
    };

    /** Names the case in test output instead of dumping its bytes. */
    void PrintTo (const MisuseCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class LifecycleMisuse : public PluginFixture, public ::testing::WithParamInterface<MisuseCase>
    {
    };

    TEST_P (LifecycleMisuse, IsReportedOnceAndAnsweredAsTabled)
    {
        const auto& misuse = GetParam();
        reach (misuse.stage);
        const auto wasActive = probe->isActive();

        const auto result = misuse.call (*this);

        ASSERT_EQ (host.texts(), std::vector<std::string> { misuse.expectedText });
        EXPECT_EQ (host.lines.front().severity, CLAP_LOG_HOST_MISBEHAVING);
        EXPECT_EQ (result, misuse.expectedResult);

        const auto reachesPlugin = ruleFor (misuse.report).outcome == Outcome::carriesOn;
        EXPECT_EQ (journal.count (misuse.pluginOperation), reachesPlugin ? 1 : 0);

        if (ruleFor (misuse.report).outcome == Outcome::stops)
        {
            EXPECT_EQ (probe->isActive(), wasActive);
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        ClapcheckEveryLifecycleCheck,
        LifecycleMisuse,
        ::testing::Values (
            MisuseCase { "StartProcessingWhileInactive", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->start_processing (f.plugin)); },
                         Report::startProcessingDeactivated,
                         "Host called clap_plugin.start_processing() on a deactivated plugin", 0, "startProcessing" },
            MisuseCase { "StartProcessingTwiceAnswersTrue", Stage::processing,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->start_processing (f.plugin)); },
                         Report::startProcessingTwice, "Host called clap_plugin.start_processing() twice", 1,
                         "startProcessing" },
            MisuseCase { "StopProcessingWhileInactive", Stage::initialised,
                         [] (PluginFixture& f)
                         {
                             f.plugin->stop_processing (f.plugin);
                             return noResult;
                         },
                         Report::stopProcessingDeactivated,
                         "Host called clap_plugin.stop_processing() on a deactivated plugin", noResult, "stopProcessing" },
            MisuseCase { "StopProcessingTwice", Stage::active,
                         [] (PluginFixture& f)
                         {
                             f.plugin->stop_processing (f.plugin);
                             return noResult;
                         },
                         Report::stopProcessingTwice, "Host called clap_plugin.stop_processing() twice", noResult,
                         "stopProcessing" },
            MisuseCase { "ResetWhileInactive", Stage::initialised,
                         [] (PluginFixture& f)
                         {
                             f.plugin->reset (f.plugin);
                             return noResult;
                         },
                         Report::resetDeactivated, "Host called clap_plugin.reset() on a deactivated plugin", noResult,
                         "reset" },
            MisuseCase { "ProcessWhileInactive", Stage::initialised,
                         [] (PluginFixture& f)
                         { return int64_t { f.plugin->process (f.plugin, someProcess()) }; },
                         Report::processDeactivated, "Host called clap_plugin.process() on a deactivated plugin",
                         CLAP_PROCESS_ERROR, "process" },
            MisuseCase { "ProcessBeforeStartProcessing", Stage::active,
                         [] (PluginFixture& f)
                         { return int64_t { f.plugin->process (f.plugin, someProcess()) }; },
                         Report::processNotStarted,
                         "Host called clap_plugin.process() without calling clap_plugin.start_processing()",
                         CLAP_PROCESS_ERROR, "process" },
            MisuseCase { "ProcessWithANullProcessRecord", Stage::processing,
                         [] (PluginFixture& f)
                         { return int64_t { f.plugin->process (f.plugin, nullptr) }; },
                         Report::nullArgument, "Host called clap_plugin.process() with a null process pointer",
                         CLAP_PROCESS_ERROR, "process" },
            MisuseCase { "DeactivateTwice", Stage::initialised,
                         [] (PluginFixture& f)
                         {
                             f.plugin->deactivate (f.plugin);
                             return noResult;
                         },
                         Report::deactivatedTwice, "The plugin was deactivated twice.", noResult, "deactivate" },
            MisuseCase { "ActivateWithZeroSampleRate", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, 0.0, 1, 512)); },
                         Report::activateInvalidSampleRate, "The plugin was activated with an invalid sample rates: 0", 0,
                         "activate 0" },
            MisuseCase { "ActivateWithNegativeSampleRate", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, -44100.0, 1, 512)); },
                         Report::activateInvalidSampleRate,
                         "The plugin was activated with an invalid sample rates: -44100", 0, "activate -44100" },
            MisuseCase { "ActivateWithNaNSampleRate", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, std::numeric_limits<double>::quiet_NaN(), 1, 512)); },
                         Report::activateInvalidSampleRate, "The plugin was activated with an invalid sample rates: nan",
                         0, "activate nan" },
            MisuseCase { "ActivateWithMinimumFrameCountZero", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, 48000.0, 0, 512)); },
                         Report::activateInvalidMinFrames,
                         "The plugin was activated with an invalid minimum frame count: 0", 0, "activate 48000" },
            MisuseCase { "ActivateWithMaximumFrameCountAboveInt32", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, 48000.0, 1, 2147483648u)); },
                         Report::activateInvalidMaxFrames,
                         "The plugin was activated with an invalid maximum frame count: 2147483648", 0, "activate 48000" },
            MisuseCase { "ActivateWithMinimumAboveMaximum", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->activate (f.plugin, 48000.0, 512, 256)); },
                         Report::activateMinAboveMax,
                         "The plugin was activated with an invalid minmum and maximum frame count: min > max: 512 > 256",
                         0, "activate 48000" },
            MisuseCase { "GetExtensionWithANullId", Stage::initialised,
                         [] (PluginFixture& f)
                         { return asResult (f.plugin->get_extension (f.plugin, nullptr) != nullptr); },
                         Report::nullArgument, "Host called clap_plugin.get_extension() with a null id pointer", 0,
                         "getExtension" }),
        [] (const ::testing::TestParamInfo<MisuseCase>& info)
        { return std::string (info.param.name); });

    //==============================================================================
    TEST_F (ClapcheckLifecycle, ActivatingTwiceAtTheSameRateReportsItAndPreparesAgain)
    {
        reach (Stage::active);

        EXPECT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));

        EXPECT_EQ (host.texts(), std::vector<std::string> { "Plugin was activated twice" });
        EXPECT_EQ (journal.calls, std::vector<std::string> { "activate 48000" });
        EXPECT_TRUE (probe->isActive());
    }

    TEST_F (ClapcheckLifecycle, ActivatingAtAnotherRateWhileActiveSimulatesTheMissingDeactivation)
    {
        reach (Stage::active);

        EXPECT_TRUE (plugin->activate (plugin, 44100.0, 1, 512));

        EXPECT_EQ (host.texts(),
                   (std::vector<std::string> { "Plugin was activated twice",
                                               "The plugin was activated twice and with different sample rates: 48000 and "
                                               "44100. The host must deactivate the plugin first.\nSimulating deactivation." }));
        EXPECT_EQ (journal.calls, (std::vector<std::string> { "deactivate", "activate 44100" }));
        EXPECT_EQ (probe->getSampleRate(), 44100.0);
    }

    TEST_F (ClapcheckLifecycle, ARefusedActivationLeavesTheInstanceInactive)
    {
        reach (Stage::initialised);

        EXPECT_FALSE (plugin->activate (plugin, 48000.0, 0, 512));
        EXPECT_FALSE (probe->isActive());

        probe->activateResult = false;
        EXPECT_FALSE (plugin->activate (plugin, 48000.0, 1, 512));
        EXPECT_FALSE (probe->isActive());
        EXPECT_EQ (probe->getSampleRate(), 0.0);
    }

    TEST_F (ClapcheckLifecycle, ProcessBeforeStartProcessingReportsOncePerCall)
    {
        reach (Stage::active);

        EXPECT_EQ (plugin->process (plugin, someProcess()), CLAP_PROCESS_ERROR);
        EXPECT_EQ (plugin->process (plugin, someProcess()), CLAP_PROCESS_ERROR);

        EXPECT_EQ (host.lines.size(), 2u);
        EXPECT_EQ (journal.count ("process"), 0);
    }

    TEST_F (ClapcheckLifecycle, InitCalledTwiceWritesToStandardErrorAndAnswersTrueWithoutCallingThePluginAgain)
    {
        reach (Stage::initialised);
        const StandardStreamCapture streams;

        EXPECT_TRUE (plugin->init (plugin));

        EXPECT_EQ (streams.errorText(), "clap_plugin.init() has been called twice\n");
        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("init"), 0);
    }

    TEST_F (ClapcheckLifecycle, InitFetchesTheHostTablesBeforeItsOwnThreadCheck)
    {
        host.mainThread = false;

        EXPECT_TRUE (plugin->init (plugin));

        // Only reachable through the host log if the tables were fetched first.
        EXPECT_EQ (host.texts(), std::vector<std::string> {
                                     "Host called the method clap_plugin.init() on wrong thread! It must be called on main thread!" });
    }

    //==============================================================================
    struct BeforeInitCase
    {
        const char* name;
        std::function<void (PluginFixture&)> call;
        const char* method;
        const char* pluginOperation;
        std::string stateReport; // the call's own complaint about the (never activated) state, if any
    };

    /** Names the case in test output instead of dumping its bytes. */
    void PrintTo (const BeforeInitCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class CallBeforeInit : public PluginFixture, public ::testing::WithParamInterface<BeforeInitCase>
    {
    };

    TEST_P (CallBeforeInit, IsReportedOnStandardErrorAndStillReachesThePlugin)
    {
        const auto& misuse = GetParam();
        const StandardStreamCapture streams;

        misuse.call (*this);

        // Before init there is no host log yet, so both lines go to standard error.
        EXPECT_EQ (streams.errorText(), std::string ("Host is required to call clap_plugin.init() first\nclap_plugin.")
                                            + misuse.method + "() was called before clap_plugin.init()\n"
                                            + misuse.stateReport);
        EXPECT_TRUE (host.lines.empty());

        if (misuse.pluginOperation != nullptr)
        {
            EXPECT_EQ (journal.count (misuse.pluginOperation), 1);
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        ClapcheckEveryLifecycleCall,
        CallBeforeInit,
        ::testing::Values (
            BeforeInitCase { "Activate", [] (PluginFixture& f)
                             { f.plugin->activate (f.plugin, 48000.0, 1, 512); },
                             "activate", "activate 48000", "" },
            BeforeInitCase { "Deactivate", [] (PluginFixture& f)
                             { f.plugin->deactivate (f.plugin); },
                             "deactivate", nullptr,
                             "The plugin was deactivated twice.\n" },
            BeforeInitCase { "StartProcessing", [] (PluginFixture& f)
                             { f.plugin->start_processing (f.plugin); },
                             "start_processing", nullptr,
                             "Host called clap_plugin.start_processing() on a deactivated plugin\n" },
            BeforeInitCase { "StopProcessing", [] (PluginFixture& f)
                             { f.plugin->stop_processing (f.plugin); },
                             "stop_processing", nullptr, "Host called clap_plugin.stop_processing() on a deactivated plugin\n" },
            BeforeInitCase { "Reset", [] (PluginFixture& f)
                             { f.plugin->reset (f.plugin); },
                             "reset", nullptr,
                             "Host called clap_plugin.reset() on a deactivated plugin\n" },
            BeforeInitCase { "Process", [] (PluginFixture& f)
                             { f.plugin->process (f.plugin, someProcess()); },
                             "process",
                             nullptr, "Host called clap_plugin.process() on a deactivated plugin\n" },
            BeforeInitCase { "GetExtension", [] (PluginFixture& f)
                             { f.plugin->get_extension (f.plugin, CLAP_EXT_GUI); },
                             "extension", nullptr, "" },
            BeforeInitCase { "OnMainThread", [] (PluginFixture& f)
                             { f.plugin->on_main_thread (f.plugin); },
                             "on_maint_thread", "onMainThread", "" }),
        [] (const ::testing::TestParamInfo<BeforeInitCase>& info)
        { return std::string (info.param.name); });

    //==============================================================================
    struct WrongThreadCase
    {
        const char* name;
        Stage stage;
        bool offMainThread; // otherwise off the audio thread
        std::function<void (PluginFixture&)> call;
        std::vector<std::string> expectedTexts;
        const char* pluginOperation;
    };

    /** Names the case in test output instead of dumping its bytes. */
    void PrintTo (const WrongThreadCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class WrongThread : public PluginFixture, public ::testing::WithParamInterface<WrongThreadCase>
    {
    };

    TEST_P (WrongThread, IsReportedWithTheMethodNameAndTheCallGoesOn)
    {
        const auto& misuse = GetParam();
        reach (misuse.stage);
        (misuse.offMainThread ? host.mainThread : host.audioThread) = false;

        misuse.call (*this);

        EXPECT_EQ (host.texts(), misuse.expectedTexts);
        EXPECT_EQ (journal.count (misuse.pluginOperation), 1);
    }

    INSTANTIATE_TEST_SUITE_P (
        ClapcheckThreadChecks,
        WrongThread,
        ::testing::Values (
            WrongThreadCase { "ActivateOffMain", Stage::initialised, true, [] (PluginFixture& f)
                              { f.plugin->activate (f.plugin, 48000.0, 1, 512); },
                              { "Host called the method clap_plugin.activate() on wrong thread! It must be called on main thread!" },
                              "activate 48000" },
            WrongThreadCase { "DeactivateOffMain", Stage::active, true, [] (PluginFixture& f)
                              { f.plugin->deactivate (f.plugin); },
                              { "Host called the method clap_plugin.deactivate() on wrong thread! It must be called on main "
                                "thread!" },
                              "deactivate" },
            WrongThreadCase { "OnMainThreadOffMain", Stage::initialised, true, [] (PluginFixture& f)
                              { f.plugin->on_main_thread (f.plugin); },
                              { "Host called the method clap_plugin.on_main_thread() on wrong thread! It must be called on "
                                "main thread!",
                                // ...and the queue refuses to run off the main thread, too.
                                "plugin called runCallbacksOnMainThread(), but not on the main thread!" },
                              "onMainThread" },
            WrongThreadCase { "StartProcessingOffAudio", Stage::active, false, [] (PluginFixture& f)
                              { f.plugin->start_processing (f.plugin); },
                              { "Host called the method clap_plugin.start_processing() on wrong thread! It must be called on "
                                "audio thread!" },
                              "startProcessing" },
            WrongThreadCase { "ProcessOffAudio", Stage::processing, false, [] (PluginFixture& f)
                              { f.plugin->process (f.plugin, someProcess()); },
                              { "Host called the method clap_plugin.process() on wrong thread! It must be called on audio "
                                "thread!" },
                              "process" },
            WrongThreadCase { "ResetOffAudio", Stage::active, false, [] (PluginFixture& f)
                              { f.plugin->reset (f.plugin); },
                              { "Host called the method clap_plugin.reset() on wrong thread! It must be called on audio thread!" },
                              "reset" },
            WrongThreadCase { "StateSaveOffMain", Stage::initialised, true, [] (PluginFixture& f)
                              {
                                  static const clap_ostream_t stream {};
                                  f.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->save (f.plugin, &stream);
                              },
                              { "Host called the method clap_plugin_state.save() on wrong thread! It must be called on main "
                                "thread!" },
                              "stateSave" },
            WrongThreadCase { "GuiGetSizeOffMain", Stage::initialised, true, [] (PluginFixture& f)
                              {
                                  f.host.mainThread = true;
                                  f.guiTable()->create (f.plugin, "x11", false);
                                  f.host.mainThread = false;
                                  uint32_t w = 0, h = 0;
                                  f.guiTable()->get_size (f.plugin, &w, &h);
                              },
                              { "Host called the method clap_plugin_gui.size() on wrong thread! It must be called on main "
                                "thread!" },
                              "guiGetSize" },
            WrongThreadCase { "NotePortsCountOffMain", Stage::initialised, true, [] (PluginFixture& f)
                              { f.extension<clap_plugin_note_ports_t> (CLAP_EXT_NOTE_PORTS)->count (f.plugin, true); },
                              { "Host called the method clap_plugin_note_port.count() on wrong thread! It must be called on "
                                "main thread!" },
                              "notePortsCount" }),
        [] (const ::testing::TestParamInfo<WrongThreadCase>& info)
        { return std::string (info.param.name); });

    TEST_F (ClapcheckLifecycle, ParameterFlushIsExpectedOnTheAudioThreadWhileActiveAndOnTheMainThreadOtherwise)
    {
        reach (Stage::active);
        static const clap_input_events_t in {};
        static const clap_output_events_t out {};

        host.mainThread = false;
        host.audioThread = true;
        paramsTable()->flush (plugin, &in, &out);
        EXPECT_TRUE (host.lines.empty());

        plugin->deactivate (plugin);
        host.lines.clear();
        paramsTable()->flush (plugin, &in, &out);
        EXPECT_EQ (host.texts(), std::vector<std::string> { "Host called the method clap_plugin_params.flush() on wrong "
                                                            "thread! It must be called on main thread!" });
        EXPECT_EQ (journal.count ("paramsFlush"), 2);
    }

    TEST_F (ClapcheckLifecycle, WithoutACompleteThreadCheckTableNoThreadIsChecked)
    {
        host.threadCheckTable.is_audio_thread = nullptr;
        host.mainThread = false;
        host.audioThread = false;

        reach (Stage::processing);
        plugin->process (plugin, someProcess());
        plugin->stop_processing (plugin);
        plugin->deactivate (plugin);

        EXPECT_TRUE (host.lines.empty());
    }

    //==============================================================================
    TEST_F (ClapcheckLifecycle, WithoutAHostLogHostMisbehaviourGoesToStandardErrorOneLineEach)
    {
        host.withdraw (CLAP_EXT_LOG);
        reach (Stage::initialised);
        const StandardStreamCapture streams;

        plugin->deactivate (plugin);
        plugin->stop_processing (plugin);

        EXPECT_EQ (streams.errorText(),
                   "The plugin was deactivated twice.\nHost called clap_plugin.stop_processing() on a deactivated plugin\n");
        EXPECT_EQ (streams.logText(), "");
    }

    TEST_F (ClapcheckLifecycle, WithoutAHostLogOtherSeveritiesGoToStandardLog)
    {
        host.withdraw (CLAP_EXT_LOG);
        reach (Stage::initialised);
        const StandardStreamCapture streams;

        probe->log (CLAP_LOG_ERROR, "an error");
        probe->log (CLAP_LOG_WARNING, "a warning");
        host.mainThread = false;
        probe->runCallbacksOnMainThread();

        EXPECT_EQ (streams.errorText(), "an error\n");
        EXPECT_EQ (streams.logText(), "a warning\nplugin called runCallbacksOnMainThread(), but not on the main thread!\n");
    }

    TEST_F (ClapcheckLifecycle, AHostLogWithoutItsFunctionCountsAsNoLog)
    {
        host.logTable.log = nullptr;
        reach (Stage::initialised);
        const StandardStreamCapture streams;

        plugin->deactivate (plugin);

        EXPECT_EQ (streams.errorText(), "The plugin was deactivated twice.\n");
    }

    //==============================================================================
    TEST_F (ClapcheckLifecycle, DestroyingAnActiveInstanceWithItsGuiOpenUndoesTheGuiFirstThenTheActivation)
    {
        reach (Stage::active, Gui::embedded);

        destroy();

        EXPECT_EQ (host.texts(), (std::vector<std::string> { "host forgot to destroy the gui",
                                                             "host forgot to deactivate the plugin before destroying it" }));
        EXPECT_EQ (journal.calls, (std::vector<std::string> { "guiDestroy", "deactivate" }));
        EXPECT_TRUE (journal.deleted);
    }

    TEST_F (ClapcheckLifecycle, DestroyRunsTheQueuedMainThreadTasksBeforeDeletingTheInstance)
    {
        reach (Stage::initialised);
        host.mainThread = false;
        bool sawLiveInstance = false;
        probe->scheduleOnMainThread ([this, &sawLiveInstance]
                                     { sawLiveInstance = ! journal.deleted; });
        host.mainThread = true;

        destroy();

        EXPECT_TRUE (sawLiveInstance);
        EXPECT_TRUE (journal.deleted);
    }

    TEST (ClapcheckPluginRecord, ANullRecordEndsTheProcessWithAReport)
    {
        EXPECT_DEATH (
            {
                FakeHost host;
                Journal journal;
                auto* probe = new ProbePlugin (host.clapHost(), journal);
                probe->clapPlugin()->init (nullptr);
            },
            "called with a null clap_plugin pointer!");
    }

    TEST (ClapcheckPluginRecord, ANullPluginDataEndsTheProcessWithAReport)
    {
        EXPECT_DEATH (
            {
                FakeHost host;
                Journal journal;
                auto* probe = new ProbePlugin (host.clapHost(), journal);
                auto copy = *probe->clapPlugin();
                copy.plugin_data = nullptr;
                copy.activate (&copy, 48000.0, 1, 512);
            },
            "called with a null clap_plugin->plugin_data pointer! The host must never change this pointer!");
    }

} // namespace
} // namespace clapcheck::test
