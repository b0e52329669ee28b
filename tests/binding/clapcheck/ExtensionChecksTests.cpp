#include "ClapCheckTestSupport.h"

namespace clapcheck::test
{
namespace
{
    using ClapcheckExtensions = PluginFixture;

    constexpr int64_t noResult = -1;

    int64_t asResult (bool value)
    {
        return value ? 1 : 0;
    }

    const clap_plugin_render_t* render (PluginFixture& f)
    {
        return f.extension<clap_plugin_render_t> (CLAP_EXT_RENDER);
    }
    const clap_plugin_params_t* params (PluginFixture& f)
    {
        return f.paramsTable();
    }
    const clap_plugin_gui_t* gui (PluginFixture& f)
    {
        return f.guiTable();
    }

    TEST_F (ClapcheckExtensions, EachOfferedExtensionIsAnsweredUnderItsIdAndItsDraftId)
    {
        reach (Stage::initialised);

        for (const auto* id : { "clap.state", "clap.render", "clap.track-info/1", "clap.track-info.draft/1", "clap.latency",
                                "clap.audio-ports", "clap.audio-ports-activation/2", "clap.audio-ports-activation/draft-2",
                                "clap.params", "clap.note-ports", "clap.timer-support", "clap.gui", "clap.tail" })
            EXPECT_NE (plugin->get_extension (plugin, id), nullptr) << id;

        EXPECT_EQ (plugin->get_extension (plugin, "clap.track-info/1"), plugin->get_extension (plugin, "clap.track-info.draft/1"));

        for (const auto* id : { "clap.context-menu/1", "clap.context-menu.draft/0", "clap.preset-load/2",
                                "clap.remote-controls/2", "clap.audio-ports-config", "clap.params.", "clap", "" })
            EXPECT_EQ (plugin->get_extension (plugin, id), nullptr) << id;

        EXPECT_TRUE (host.lines.empty());
    }

    TEST_F (ClapcheckExtensions, ANotImplementedExtensionIsNotOffered)
    {
        struct Bare : CheckedPlugin
        {
            using CheckedPlugin::CheckedPlugin;
        };

        auto* bare = new Bare (probeDescriptor(), host.clapHost());
        const auto* record = bare->clapPlugin();
        record->init (record);

        for (const auto* id : { "clap.state", "clap.params", "clap.gui", "clap.tail", "clap.latency" })
            EXPECT_EQ (record->get_extension (record, id), nullptr) << id;

        record->destroy (record);
    }

    //==============================================================================
    struct ExtensionMisuseCase
    {
        const char* name;
        Stage stage;
        Gui gui;
        std::function<int64_t (PluginFixture&)> call;
        Report report;
        std::vector<std::string> expectedTexts;
        int64_t expectedResult;
        const char* pluginOperation;
        std::function<void (PluginFixture&)> prepare = nullptr;
    };

    /** Names the case in test output instead of dumping its bytes. */
    void PrintTo (const ExtensionMisuseCase& c, std::ostream* os)
    {
        *os << c.name;
    }

    class ExtensionMisuse : public PluginFixture, public ::testing::WithParamInterface<ExtensionMisuseCase>
    {
    };

    TEST_P (ExtensionMisuse, IsReportedAndAnsweredAsTabled)
    {
        const auto& misuse = GetParam();

        if (misuse.prepare)
            misuse.prepare (*this);

        reach (misuse.stage, misuse.gui);

        const auto result = misuse.call (*this);

        EXPECT_EQ (host.texts(), misuse.expectedTexts);

        for (const auto& line : host.lines)
            EXPECT_EQ (line.severity, CLAP_LOG_HOST_MISBEHAVING);

        EXPECT_EQ (result, misuse.expectedResult);

        const auto reachesPlugin = ruleFor (misuse.report).outcome == Outcome::carriesOn;
        EXPECT_EQ (journal.count (misuse.pluginOperation), reachesPlugin ? 1 : 0);
    }

    ExtensionMisuseCase guiWithoutCreate (const char* name,
                                          const char* method,
                                          std::function<int64_t (PluginFixture&)> call,
                                          const char* pluginOperation)
    {
        return { name,
                 Stage::initialised,
                 Gui::none,
                 std::move (call),
                 Report::guiCallWithoutCreate,
                 { std::string ("clap_plugin_gui.") + method + "() was called without a prior call to clap_plugin_gui.create()" },
                 method == std::string ("suggest_title") ? noResult : 0,
                 pluginOperation };
    }

    INSTANTIATE_TEST_SUITE_P (
        ClapcheckEveryExtensionCheck,
        ExtensionMisuse,
        ::testing::Values (
            ExtensionMisuseCase { "RenderUnknownMode", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return asResult (render (f)->set (f.plugin, 2)); },
                                  Report::renderUnknownMode,
                                  { "host called clap_plugin_render.set_mode with an unknown mode : 2" },
                                  0,
                                  "renderSetMode" },
            ExtensionMisuseCase { "TrackInfoChangedWithoutHostTable", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      f.extension<clap_plugin_track_info_t> (CLAP_EXT_TRACK_INFO)->changed (f.plugin);
                                      return noResult;
                                  },
                                  Report::trackInfoChangedWithoutHostTable,
                                  { "host called clap_plugin_track_info.changed() but does not provide a complete "
                                    "clap_host_track_info interface" },
                                  noResult,
                                  "trackInfoChanged" },
            ExtensionMisuseCase { "TrackInfoChangedWithPartialHostTable", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                  f.extension<clap_plugin_track_info_t> (CLAP_EXT_TRACK_INFO)->changed (f.plugin);
                                  return noResult; },
                                  Report::trackInfoChangedWithoutHostTable,
                                  { "clap_host_track_info is partially implemented", "host called clap_plugin_track_info.changed() but does not provide a complete "
                                                                                     "clap_host_track_info interface" },
                                  noResult,
                                  "trackInfoChanged",
                                  [] (PluginFixture& f)
                                  {
                                      f.host.trackInfoTable.get = nullptr;
                                      f.host.offer (CLAP_EXT_TRACK_INFO, &f.host.trackInfoTable);
                                  } },
            ExtensionMisuseCase { "LatencyQueriedWhileInactiveIsStillAnswered", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return int64_t { f.extension<clap_plugin_latency_t> (CLAP_EXT_LATENCY)->get (f.plugin) }; },
                                  Report::latencyQueriedInactive,
                                  { "It is wrong to query the latency before the plugin is activated, because if the plugin "
                                    "dosen't know the sample rate, it can't know the number of samples of latency." },
                                  64,
                                  "latencyGet" },
            ExtensionMisuseCase { "TailQueriedWhileInactiveIsStillAnswered", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return int64_t { f.extension<clap_plugin_tail_t> (CLAP_EXT_TAIL)->get (f.plugin) }; },
                                  Report::tailQueriedInactive,
                                  { "It is wrong to query the tail before the plugin is activated, because if the plugin "
                                    "dosen't know the sample rate, it can't know the tail length in samples." },
                                  7,
                                  "tailGet" },
            ExtensionMisuseCase { "AudioPortInfoOutOfBounds", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      clap_audio_port_info_t info {};
                                      return asResult (f.extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS)
                                                           ->get (f.plugin, 1, true, &info));
                                  },
                                  Report::audioPortsInfoOutOfBounds,
                                  { "Host called clap_plugin_audio_ports.info() with an index out of bounds: 1 >= 1" },
                                  0,
                                  "audioPortsGet" },
            ExtensionMisuseCase { "AudioPortActivationWhileActiveIsStillRouted", Stage::active, Gui::none, [] (PluginFixture& f)
                                  {
                                      return asResult (f.extension<clap_plugin_audio_ports_activation_t> (
                                                            CLAP_EXT_AUDIO_PORTS_ACTIVATION)
                                                           ->set_active (f.plugin, true, 0, false, 32));
                                  },
                                  Report::audioPortsActivationWhileActive,
                                  { "it is illegal to call clap_audio_ports_activation.set_active() if the plugin is active if "
                                    "clap_plugin_audio_ports_activation.can_activate_while_processing() returns false" },
                                  0,
                                  "audioPortsActivationSetActive" },
            ExtensionMisuseCase { "ParamInfoOutOfBounds", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      clap_param_info_t info {};
                                      return asResult (params (f)->get_info (f.plugin, 3, &info));
                                  },
                                  Report::paramsInfoOutOfBounds,
                                  { "called clap_plugin_params.info with an index out of bounds: 3 >= 3" },
                                  0,
                                  "paramsGetInfo" },
            ExtensionMisuseCase { "ParamValueWithUnknownId", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      double value = 0.0;
                                      return asResult (params (f)->get_value (f.plugin, 99, &value));
                                  },
                                  Report::paramsValueInvalidId,
                                  { "clap_plugin_params.value called with invalid param_id: 99" },
                                  0,
                                  "paramsGetValue" },
            ExtensionMisuseCase { "ValueToTextWithUnknownId", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      char text[16];
                                      return asResult (params (f)->value_to_text (f.plugin, 4000000000u, 0.5, text, 16));
                                  },
                                  Report::paramsValueToTextInvalidId,
                                  { "clap_plugin_params.value_to_text called with invalid param_id: 4000000000" },
                                  0,
                                  "paramsValueToText" },
            ExtensionMisuseCase { "ValueToTextWithNullDisplay", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return asResult (params (f)->value_to_text (f.plugin, 1, 0.5, nullptr, 16)); },
                                  Report::paramsValueToTextNullDisplay,
                                  { "clap_plugin_params.value_to_text called with a null display pointer" },
                                  0,
                                  "paramsValueToText" },
            ExtensionMisuseCase { "ValueToTextWithOneByteBuffer", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      char text[1];
                                      return asResult (params (f)->value_to_text (f.plugin, 1, 0.5, text, 1));
                                  },
                                  Report::paramsValueToTextEmptyBuffer,
                                  { "clap_plugin_params.value_to_text called with a empty buffer (less than one character)" },
                                  0,
                                  "paramsValueToText" },
            ExtensionMisuseCase { "ValueToTextWithZeroByteBuffer", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      char text[1];
                                      return asResult (params (f)->value_to_text (f.plugin, 1, 0.5, text, 0));
                                  },
                                  Report::paramsValueToTextEmptyBuffer,
                                  { "clap_plugin_params.value_to_text called with a empty buffer (less than one character)" },
                                  0,
                                  "paramsValueToText" },
            ExtensionMisuseCase { "TextToValueWithUnknownId", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      double value = 0.0;
                                      return asResult (params (f)->text_to_value (f.plugin, 0, "1", &value));
                                  },
                                  Report::paramsTextToValueInvalidId,
                                  { "clap_plugin_params.text_to_value called with invalid param_id: 0" },
                                  0,
                                  "paramsTextToValue" },
            ExtensionMisuseCase { "TextToValueWithNullText", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      double value = 0.0;
                                      return asResult (params (f)->text_to_value (f.plugin, 1, nullptr, &value));
                                  },
                                  Report::paramsTextToValueNullDisplay,
                                  { "clap_plugin_params.text_to_value called with a null display pointer" },
                                  0,
                                  "paramsTextToValue" },
            ExtensionMisuseCase { "TextToValueWithNullValue", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return asResult (params (f)->text_to_value (f.plugin, 1, "1", nullptr)); },
                                  Report::paramsTextToValueNullValue,
                                  { "clap_plugin_params.text_to_value called with a null value pointer" },
                                  0,
                                  "paramsTextToValue" },
            ExtensionMisuseCase { "NotePortInfoWithoutNotePorts", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      clap_note_port_info_t info {};
                                      return asResult (f.extension<clap_plugin_note_ports_t> (CLAP_EXT_NOTE_PORTS)
                                                           ->get (f.plugin, 0, true, &info));
                                  },
                                  Report::notePortsInfoOutOfBounds,
                                  { "Host called clap_plugin_note_ports.info() with an index out of bounds: 0 >= 0" },
                                  0,
                                  "notePortsGet" },
            ExtensionMisuseCase { "TimerWithInvalidId", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      f.extension<clap_plugin_timer_support_t> (CLAP_EXT_TIMER_SUPPORT)
                                          ->on_timer (f.plugin, CLAP_INVALID_ID);
                                      return noResult;
                                  },
                                  Report::timerInvalidId,
                                  { "Host called clap_plugin_timer_support.on_timer with an invalid timer_id" },
                                  noResult,
                                  "onTimer" },
            ExtensionMisuseCase { "StateLoadWithNullStream", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return asResult (f.extension<clap_plugin_state_t> (CLAP_EXT_STATE)->load (f.plugin, nullptr)); },
                                  Report::nullArgument,
                                  { "Host called clap_plugin_state.load() with a null stream pointer" },
                                  0,
                                  "stateLoad" },

            ExtensionMisuseCase { "GuiCreateTwice", Stage::initialised, Gui::embedded, [] (PluginFixture& f)
                                  { return asResult (gui (f)->create (f.plugin, "x11", false)); },
                                  Report::guiCreateTwice,
                                  { "clap_plugin_gui.create() was called while the plugin gui was already created" },
                                  0,
                                  "guiCreate" },
            ExtensionMisuseCase { "GuiCreateEmbeddedWithNullApi", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  { return asResult (gui (f)->create (f.plugin, nullptr, false)); },
                                  Report::guiCreateNullApi,
                                  { "clap_plugin_gui.create() was called with a null api and a non floating window" },
                                  0,
                                  "guiCreate" },
            ExtensionMisuseCase { "GuiDestroyWithoutCreate", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      gui (f)->destroy (f.plugin);
                                      return noResult;
                                  },
                                  Report::guiDestroyNotCreated,
                                  { "clap_plugin_gui.destroy() was called while the plugin gui not created" },
                                  noResult,
                                  "guiDestroy" },
            guiWithoutCreate (
                "GuiSetScaleWithoutCreate", "set_scale", [] (PluginFixture& f)
                { return asResult (gui (f)->set_scale (f.plugin, 2.0)); },
                "guiSetScale"),
            guiWithoutCreate (
                "GuiGetSizeWithoutCreate", "size", [] (PluginFixture& f)
                {
                              uint32_t w = 0, h = 0;
                              return asResult (gui (f)->get_size (f.plugin, &w, &h)); },
                "guiGetSize"),
            guiWithoutCreate (
                "GuiCanResizeWithoutCreate", "can_resize", [] (PluginFixture& f)
                { return asResult (gui (f)->can_resize (f.plugin)); },
                "guiCanResize"),
            guiWithoutCreate (
                "GuiResizeHintsWithoutCreate", "get_resize_hints", [] (PluginFixture& f)
                {
                              clap_gui_resize_hints_t hints {};
                              return asResult (gui (f)->get_resize_hints (f.plugin, &hints)); },
                "guiGetResizeHints"),
            guiWithoutCreate (
                "GuiAdjustSizeWithoutCreate", "adjust_size", [] (PluginFixture& f)
                {
                              uint32_t w = 10, h = 10;
                              return asResult (gui (f)->adjust_size (f.plugin, &w, &h)); },
                "guiAdjustSize"),
            guiWithoutCreate (
                "GuiSetSizeWithoutCreate", "set_size", [] (PluginFixture& f)
                { return asResult (gui (f)->set_size (f.plugin, 600, 400)); },
                "guiSetSize"),
            guiWithoutCreate (
                "GuiShowWithoutCreate", "show", [] (PluginFixture& f)
                { return asResult (gui (f)->show (f.plugin)); },
                "guiShow"),
            guiWithoutCreate (
                "GuiHideWithoutCreate", "hide", [] (PluginFixture& f)
                { return asResult (gui (f)->hide (f.plugin)); },
                "guiHide"),
            guiWithoutCreate (
                "GuiSuggestTitleWithoutCreate", "suggest_title", [] (PluginFixture& f)
                {
                              gui (f)->suggest_title (f.plugin, "Track 1");
                              return noResult; },
                "guiSuggestTitle"),
            ExtensionMisuseCase { "GuiSetSizeWhenNotResizable", Stage::initialised, Gui::embedded, [] (PluginFixture& f)
                                  {
                                      f.probe->resizable = false;
                                      return asResult (gui (f)->set_size (f.plugin, 600, 400));
                                  },
                                  Report::guiSetSizeNotResizable,
                                  { "clap_plugin_gui.set_size() was called but the gui is not resizable" },
                                  0,
                                  "guiSetSize" },
            ExtensionMisuseCase { "GuiSetSizeNotAdjustedFirstStillSetsTheSize", Stage::initialised, Gui::embedded, [] (PluginFixture& f)
                                  {
                                      f.probe->adjustedWidth = 480;
                                      f.probe->adjustedHeight = 460;
                                      return asResult (gui (f)->set_size (f.plugin, 600, 400));
                                  },
                                  Report::guiSetSizeNotAdjusted,
                                  { "clap_plugin_gui.set_size() was called with a size which was not adjusted by "
                                    "clap_plugin_gui.adjust_size(): 600x400 vs 480x460" },
                                  1,
                                  "guiSetSize" },
            ExtensionMisuseCase { "GuiSetParentWithoutCreate", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      const clap_window_t window {};
                                      return asResult (gui (f)->set_parent (f.plugin, &window));
                                  },
                                  Report::guiSetParentNotCreated,
                                  { "clap_plugin_gui.set_parent() was called while the plugin gui was not created" },
                                  0,
                                  "guiSetParent" },
            ExtensionMisuseCase { "GuiSetParentOnAFloatingWindow", Stage::initialised, Gui::floating, [] (PluginFixture& f)
                                  {
                                      const clap_window_t window {};
                                      return asResult (gui (f)->set_parent (f.plugin, &window));
                                  },
                                  Report::guiSetParentFloating,
                                  { "clap_plugin_gui.set_parent() was called while the plugin gui is a floating window, use "
                                    "set_transient() instead" },
                                  0,
                                  "guiSetParent" },
            ExtensionMisuseCase { "GuiSetTransientWithoutCreate", Stage::initialised, Gui::none, [] (PluginFixture& f)
                                  {
                                      const clap_window_t window {};
                                      return asResult (gui (f)->set_transient (f.plugin, &window));
                                  },
                                  Report::guiSetTransientNotCreated,
                                  { "clap_plugin_gui.set_transient() was called while the plugin gui was not created" },
                                  0,
                                  "guiSetTransient" },
            ExtensionMisuseCase { "GuiSetTransientOnAnEmbeddedWindow", Stage::initialised, Gui::embedded, [] (PluginFixture& f)
                                  {
                                      const clap_window_t window {};
                                      return asResult (gui (f)->set_transient (f.plugin, &window));
                                  },
                                  Report::guiSetTransientNotFloating,
                                  { "clap_plugin_gui.set_transient() was called while the plugin gui isn't a floating window, "
                                    "use set_parent() instead" },
                                  0,
                                  "guiSetTransient" },
            ExtensionMisuseCase { "GuiSuggestTitleOnAnEmbeddedWindow", Stage::initialised, Gui::embedded, [] (PluginFixture& f)
                                  {
                                      gui (f)->suggest_title (f.plugin, "Track 1");
                                      return noResult;
                                  },
                                  Report::guiSuggestTitleNotFloating,
                                  { "clap_plugin_gui.suggest_title() but the gui was not created as a floating window" },
                                  noResult,
                                  "guiSuggestTitle" },
            ExtensionMisuseCase { "GuiSuggestTitleWithNullTitle", Stage::initialised, Gui::floating, [] (PluginFixture& f)
                                  {
                                      gui (f)->suggest_title (f.plugin, nullptr);
                                      return noResult;
                                  },
                                  Report::guiSuggestTitleNull,
                                  { "clap_plugin_gui.suggest_title() was called with a null title" },
                                  noResult,
                                  "guiSuggestTitle" }),
        [] (const ::testing::TestParamInfo<ExtensionMisuseCase>& info)
        { return std::string (info.param.name); });

    //==============================================================================
    TEST_F (ClapcheckExtensions, AnExtensionCallBeforeInitIsReportedAndStillAnswered)
    {
        const StandardStreamCapture streams;
        const auto* latency = extension<clap_plugin_latency_t> (CLAP_EXT_LATENCY);
        ASSERT_NE (latency, nullptr);

        EXPECT_EQ (latency->get (plugin), 64u);

        EXPECT_EQ (streams.errorText(), "Host is required to call clap_plugin.init() first\n"
                                        "clap_plugin.extension() was called before clap_plugin.init()\n"
                                        "Host is required to call clap_plugin.init() first\n"
                                        "It is wrong to query the latency before the plugin is activated, because if the "
                                        "plugin dosen't know the sample rate, it can't know the number of samples of latency.\n");
    }

    TEST_F (ClapcheckExtensions, ValueToTextAcceptsATwoByteBuffer)
    {
        reach (Stage::initialised);
        char text[2] = { 'x', 'x' };

        EXPECT_TRUE (paramsTable()->value_to_text (plugin, 1, 0.5, text, 2));
        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("paramsValueToText"), 1);
    }

    TEST_F (ClapcheckExtensions, InBoundsInfoRequestsReachThePlugin)
    {
        reach (Stage::initialised);
        clap_param_info_t paramInfo {};
        clap_audio_port_info_t portInfo {};

        EXPECT_TRUE (paramsTable()->get_info (plugin, 2, &paramInfo));
        EXPECT_TRUE (extension<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS)->get (plugin, 0, false, &portInfo));

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("paramsGetInfo"), 1);
        EXPECT_EQ (journal.count ("audioPortsGet"), 1);
    }

    TEST_F (ClapcheckExtensions, OfflineRenderingIsRefusedSilentlyWhenThePluginNeedsRealTime)
    {
        reach (Stage::initialised);
        probe->hardRealtime = true;

        EXPECT_FALSE (render (*this)->set (plugin, CLAP_RENDER_OFFLINE));
        EXPECT_TRUE (render (*this)->set (plugin, CLAP_RENDER_REALTIME));

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("renderSetMode"), 1);
    }

    TEST_F (ClapcheckExtensions, TrackInfoChangedReachesThePluginWhenTheHostTableIsComplete)
    {
        host.offer (CLAP_EXT_TRACK_INFO_COMPAT, &host.trackInfoTable);
        reach (Stage::initialised);

        extension<clap_plugin_track_info_t> (CLAP_EXT_TRACK_INFO)->changed (plugin);

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("trackInfoChanged"), 1);
    }

    TEST_F (ClapcheckExtensions, PortActivationWhileActiveIsExpectedOnTheAudioThreadWhenThePluginAllowsIt)
    {
        probe->allowActivationWhileProcessing = true;
        reach (Stage::processing);
        host.mainThread = false;

        extension<clap_plugin_audio_ports_activation_t> (CLAP_EXT_AUDIO_PORTS_ACTIVATION)->set_active (plugin, true, 0, true, 32);

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (journal.count ("audioPortsActivationSetActive"), 1);
    }

    //==============================================================================
    TEST_F (ClapcheckExtensions, GuiFlagsFollowCreateParentAndDestroy)
    {
        reach (Stage::initialised);
        const clap_window_t window {};

        ASSERT_TRUE (guiTable()->create (plugin, "x11", false));
        EXPECT_TRUE (probe->isGuiCreated());
        EXPECT_FALSE (probe->isGuiFloating());
        EXPECT_FALSE (probe->isGuiParented());
        EXPECT_EQ (probe->getGuiApi(), "x11");

        ASSERT_TRUE (guiTable()->set_parent (plugin, &window));
        EXPECT_TRUE (probe->isGuiParented());

        guiTable()->destroy (plugin);
        EXPECT_FALSE (probe->isGuiCreated());
        EXPECT_FALSE (probe->isGuiParented());
        EXPECT_TRUE (host.lines.empty());
    }

    TEST_F (ClapcheckExtensions, AFloatingGuiMayBeCreatedWithoutAnApi)
    {
        reach (Stage::initialised);

        EXPECT_TRUE (guiTable()->create (plugin, nullptr, true));
        EXPECT_TRUE (probe->isGuiFloating());
        EXPECT_EQ (probe->getGuiApi(), "");
        EXPECT_TRUE (host.lines.empty());
    }

    TEST_F (ClapcheckExtensions, SetSizeWithAnAdjustedSizePassesSilently)
    {
        reach (Stage::initialised, Gui::embedded);
        probe->adjustedWidth = 480;
        probe->adjustedHeight = 460;

        EXPECT_TRUE (guiTable()->set_size (plugin, 480, 460));

        EXPECT_TRUE (host.lines.empty());
        EXPECT_EQ (probe->setSizes, std::vector<std::string> { "480x460" });
    }

    TEST_F (ClapcheckExtensions, SetSizeSetsTheRequestedSizeEvenWhenItWasNotAdjusted)
    {
        reach (Stage::initialised, Gui::embedded);
        probe->adjustedWidth = 480;
        probe->adjustedHeight = 460;

        guiTable()->set_size (plugin, 600, 400);

        EXPECT_EQ (probe->setSizes, std::vector<std::string> { "600x400" });
    }

} // namespace
} // namespace clapcheck::test
