// The main-thread half of the binding with a probe processor: parameters, state, ports,
// latency and tail, render, track info, host notifications, and the checks in front of them.

#include "ProbeBindingFixture.h"

#include <cstring>
#include <functional>
#include <limits>

namespace
{

class BindingExtensions : public ProbeBinding
{
protected:
    void init()
    {
        ASSERT_TRUE (plugin->init (plugin));
        host.clearLog();
    }
};

//==============================================================================
struct ExtensionCase
{
    const char* id;
    bool offered;
};

void PrintTo (const ExtensionCase& c, std::ostream* os)
{
    *os << c.id;
}

class ExtensionAnswers : public BindingExtensions, public ::testing::WithParamInterface<ExtensionCase>
{
};

TEST_P (ExtensionAnswers, FollowTheAnswerTable)
{
    init();
    const auto& c = GetParam();
    EXPECT_EQ (plugin->get_extension (plugin, c.id) != nullptr, c.offered) << c.id;
}

INSTANTIATE_TEST_SUITE_P (BindingExtensions,
                          ExtensionAnswers,
                          ::testing::Values (ExtensionCase { "clap.state", true },
                                             ExtensionCase { "clap.state-context/2", false },
                                             ExtensionCase { "clap.preset-load/2", false },
                                             ExtensionCase { "clap.preset-load.draft/2", false },
                                             ExtensionCase { "clap.render", true },
                                             ExtensionCase { "clap.track-info/1", true },
                                             ExtensionCase { "clap.track-info.draft/1", true },
                                             ExtensionCase { "clap.latency", true },
                                             ExtensionCase { "clap.audio-ports", true },
                                             ExtensionCase { "clap.audio-ports-activation/2", true },
                                             ExtensionCase { "clap.audio-ports-activation/draft-2", true },
                                             ExtensionCase { "clap.audio-ports-config", false },
                                             ExtensionCase { "clap.params", true },
                                             ExtensionCase { "clap.param-indication/4", false },
                                             ExtensionCase { "clap.remote-controls/2", false },
                                             ExtensionCase { "clap.remote-controls.draft/2", false },
                                             ExtensionCase { "clap.note-ports", true },
                                             ExtensionCase { "clap.note-name", false },
                                             ExtensionCase { "clap.thread-pool", false },
                                             ExtensionCase { "clap.timer-support", true },
                                             ExtensionCase { "clap.posix-fd-support", false },
                                             ExtensionCase { "clap.gui", true },
                                             ExtensionCase { "clap.voice-info", false },
                                             ExtensionCase { "clap.tail", true },
                                             ExtensionCase { "clap.context-menu/1", false },
                                             ExtensionCase { "clap.context-menu.draft/0", false },
                                             ExtensionCase { "clap.resource-directory/1", false },
                                             ExtensionCase { "clap.gui.", false }));

TEST_F (BindingExtensions, AProcessorWithoutAnEditorOffersNoGui)
{
    probe->withEditor = false;
    init();
    EXPECT_EQ (gui(), nullptr);
}

//==============================================================================
struct InfoCase
{
    uint32_t index;
    const char* identifier;
    const char* name;
    uint32_t flags;
    double min, max, defaultValue;
    const char* module;
};

void PrintTo (const InfoCase& c, std::ostream* os)
{
    *os << c.identifier;
}

class ParameterInfo : public BindingExtensions, public ::testing::WithParamInterface<InfoCase>
{
};

TEST_P (ParameterInfo, DescribesEachKindOfParameter)
{
    init();
    const auto& c = GetParam();
    ASSERT_EQ (params()->count (plugin), 4u);

    clap_param_info info {};
    std::memset (&info, 0x7f, sizeof (info));
    ASSERT_TRUE (params()->get_info (plugin, c.index, &info));

    EXPECT_EQ (info.id, idOf (c.identifier));
    EXPECT_STREQ (info.name, c.name);
    EXPECT_EQ (info.flags, c.flags);
    EXPECT_DOUBLE_EQ (info.min_value, c.min);
    EXPECT_DOUBLE_EQ (info.max_value, c.max);
    EXPECT_NEAR (info.default_value, c.defaultValue, 1.0e-6);
    EXPECT_STREQ (info.module, c.module);
    EXPECT_EQ (info.cookie, binding->findParameter (info.id));
}

// The group path starts at the innermost group and stops below the first group whose parent is
// the unnamed root, so a parameter in "Outer" > "Inner" is listed under "/Inner/".
INSTANTIATE_TEST_SUITE_P (BindingExtensions,
                          ParameterInfo,
                          ::testing::Values (InfoCase { 0, "Gain", "Gain", 0x20, 0.0, 1.0, 0.5, "" },
                                             InfoCase { 1, "Switch", "Switch", 0x21, 0.0, 1.0, 0.0, "" },
                                             InfoCase { 2, "Mode", "Mode", 0x21, 0.0, 3.0, 2.0, "" },
                                             InfoCase { 3, "Nested", "Nested", 0x20, 0.0, 1.0, 0.0, "/Inner/" }));

TEST_F (BindingExtensions, ValueToTextUsesTheParametersOwnTextAndCutsItSafely)
{
    init();
    char text[64] = {};

    ASSERT_TRUE (params()->value_to_text (plugin, idOf ("Gain"), 0.5, text, sizeof (text)));
    EXPECT_EQ (juce::String (text), textOf (*probe->gain, 0.5f));

    ASSERT_TRUE (params()->value_to_text (plugin, idOf ("Mode"), 2.0, text, sizeof (text)));
    EXPECT_STREQ (text, "C");

    ASSERT_TRUE (params()->value_to_text (plugin, idOf ("Switch"), 1.0, text, sizeof (text)));
    EXPECT_EQ (juce::String (text), textOf (*probe->toggle, 1.0f));

    char small[3];
    std::memset (small, 'x', sizeof (small));
    ASSERT_TRUE (params()->value_to_text (plugin, idOf ("Gain"), 0.5, small, sizeof (small)));
    EXPECT_LT (std::strlen (small), sizeof (small)) << "the text must stay terminated inside the buffer";
}

TEST_F (BindingExtensions, TextToValueAnswersInClapUnits)
{
    init();
    double value = -1.0;

    ASSERT_TRUE (params()->text_to_value (plugin, idOf ("Mode"), "B", &value));
    EXPECT_DOUBLE_EQ (value, 1.0);

    ASSERT_TRUE (params()->text_to_value (plugin, idOf ("Gain"), "3", &value));
    EXPECT_NEAR (value, 0.75, 1.0e-6);
}

TEST_F (BindingExtensions, AFlushWhileInactiveSendsQueuedEditsAndAppliesTheHostsEvents)
{
    init();
    probe->gain->setValueNotifyingHost (0.9f);

    InputEvents in;
    in.add (paramValueEvent (idOf ("Mode"), 0.0, 0));
    OutputEvents out;
    params()->flush (plugin, in.list(), out.list());

    ASSERT_EQ (out.events.size(), 1u);
    EXPECT_EQ (out.events[0].id, idOf ("Gain"));
    EXPECT_NEAR (out.events[0].value, 0.9, 1.0e-6);
    EXPECT_EQ (probe->mode->getIndex(), 0);
    EXPECT_TRUE (host.logTexts().empty());
}

//==============================================================================
TEST_F (BindingExtensions, ASavedStateRestoresEveryValueInAFreshInstance)
{
    init();
    probe->gain->setValueNotifyingHost (0.3f);
    probe->toggle->setValueNotifyingHost (1.0f);
    probe->mode->setValueNotifyingHost (1.0f / 3.0f);
    probe->nested->setValueNotifyingHost (0.8f);

    MemoryOutStream saved;
    ASSERT_TRUE (state()->save (plugin, saved.stream()));
    ASSERT_FALSE (saved.bytes.empty());

    destroy();
    create();
    init();
    ASSERT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.5f);

    MemoryInStream load (saved.bytes);
    load.maxBytesPerRead = 7; // the binding must keep reading until the end
    ASSERT_TRUE (state()->load (plugin, load.stream()));

    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.3f);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->toggle), 1.0f);
    EXPECT_EQ (probe->mode->getIndex(), 1);
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->nested), 0.8f);
}

struct LoadFailure
{
    const char* what;
    std::vector<uint8_t> bytes;
    bool failAtEnd;
};

void PrintTo (const LoadFailure& c, std::ostream* os)
{
    *os << c.what;
}

class StateLoadFailures : public BindingExtensions, public ::testing::WithParamInterface<LoadFailure>
{
};

TEST_P (StateLoadFailures, AreRefusedAndLeaveTheProcessorUntouched)
{
    init();
    MemoryInStream stream (GetParam().bytes);
    stream.failAtEnd = GetParam().failAtEnd;

    EXPECT_FALSE (state()->load (plugin, stream.stream())) << GetParam().what;
    EXPECT_FLOAT_EQ (normalisedValueOf (*probe->gain), 0.5f);
}

INSTANTIATE_TEST_SUITE_P (BindingExtensions,
                          StateLoadFailures,
                          ::testing::Values (LoadFailure { "an empty stream", {}, false },
                                             LoadFailure { "a read error", { 1, 2, 3 }, true }));

struct SaveCase
{
    const char* what;
    int64_t maxBytesPerWrite;
    int zeroWrites;
    int64_t failAfterBytes;
    bool expected;
};

void PrintTo (const SaveCase& c, std::ostream* os)
{
    *os << c.what;
}

class StateSaves : public BindingExtensions, public ::testing::WithParamInterface<SaveCase>
{
};

TEST_P (StateSaves, WriteEveryByteOrReportFailure)
{
    init();
    const auto& c = GetParam();

    MemoryOutStream reference;
    ASSERT_TRUE (state()->save (plugin, reference.stream()));

    MemoryOutStream stream;
    stream.maxBytesPerWrite = c.maxBytesPerWrite;
    stream.zeroWritesBeforeProgress = c.zeroWrites;
    stream.failAfterBytes = c.failAfterBytes;

    EXPECT_EQ (state()->save (plugin, stream.stream()), c.expected) << c.what;
    EXPECT_LT (stream.writeCalls, 1000) << "the save loop must give up on a stream that never takes anything";

    if (c.expected)
    {
        EXPECT_EQ (stream.bytes, reference.bytes);
    }
}

INSTANTIATE_TEST_SUITE_P (BindingExtensions,
                          StateSaves,
                          ::testing::Values (SaveCase { "small writes", 5, 0, -1, true },
                                             SaveCase { "a few writes of nothing, then progress", -1, 3, -1, true },
                                             SaveCase { "a stream that always takes nothing", -1, -1, -1, false },
                                             SaveCase { "a stream error at the start", -1, 0, 0, false },
                                             SaveCase { "a stream error halfway", 4, 0, 8, false }));

//==============================================================================
TEST_F (BindingExtensions, TailIsZeroWhileInactiveAndTheProcessorsTailInSamplesWhileActive)
{
    init();
    probe->tailSeconds = 0.1;
    const auto* tail = extension<clap_plugin_tail_t> (CLAP_EXT_TAIL);
    ASSERT_NE (tail, nullptr);

    EXPECT_EQ (tail->get (plugin), 0u);

    ASSERT_TRUE (plugin->activate (plugin, 44100.0, 1, 512));
    EXPECT_EQ (tail->get (plugin), 4410u) << "0.1 s at 44.1 kHz, not one sample short through rounding";

    probe->tailSeconds = std::numeric_limits<double>::infinity();
    EXPECT_EQ (tail->get (plugin), (uint32_t) INT32_MAX) << "an endless tail is CLAP's infinite tail";
}

TEST_F (BindingExtensions, LatencyIsTheProcessorsLatency)
{
    init();
    probe->setLatencySamples (37);
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    EXPECT_EQ (extension<clap_plugin_latency> (CLAP_EXT_LATENCY)->get (plugin), 37u);
}

TEST_F (BindingExtensions, RenderModeSwitchesTheProcessorBetweenRealtimeAndOffline)
{
    init();
    const auto* render = extension<clap_plugin_render_t> (CLAP_EXT_RENDER);
    ASSERT_NE (render, nullptr);

    EXPECT_FALSE (render->has_hard_realtime_requirement (plugin));
    EXPECT_TRUE (render->set (plugin, CLAP_RENDER_OFFLINE));
    EXPECT_TRUE (probe->isNonRealtime());
    EXPECT_TRUE (render->set (plugin, CLAP_RENDER_REALTIME));
    EXPECT_FALSE (probe->isNonRealtime());
}

TEST_F (BindingExtensions, TrackInfoPassesNameAndColourOnlyWhenTheHostFlagsThem)
{
    init();
    const auto* trackInfo = extension<clap_plugin_track_info_t> (CLAP_EXT_TRACK_INFO);
    ASSERT_NE (trackInfo, nullptr);

    host.trackInfo.flags = CLAP_TRACK_INFO_HAS_TRACK_NAME | CLAP_TRACK_INFO_HAS_TRACK_COLOR;
    std::strcpy (host.trackInfo.name, "Drums");
    host.trackInfo.color = { 0x80, 0x10, 0x20, 0x30 };
    trackInfo->changed (plugin);

    EXPECT_EQ (probe->trackPropertyUpdates, 1);
    EXPECT_EQ (probe->trackProperties.name, "Drums");
    EXPECT_EQ (probe->trackProperties.colour.getARGB(), 0x80102030u);

    host.trackInfo.flags = 0;
    trackInfo->changed (plugin);
    EXPECT_EQ (probe->trackProperties.name, "");
    EXPECT_EQ (probe->trackProperties.colour, juce::Colour());

    host.trackInfoAnswer = false;
    trackInfo->changed (plugin);
    EXPECT_EQ (probe->trackPropertyUpdates, 2) << "nothing changes when the host has no answer";
}

//==============================================================================
TEST_F (BindingExtensions, AudioPortsDescribeTheProcessorsBusesAsAnInPlacePair)
{
    init();
    const auto* ports = extension<clap_plugin_audio_ports> (CLAP_EXT_AUDIO_PORTS);
    ASSERT_EQ (ports->count (plugin, true), 1u);
    ASSERT_EQ (ports->count (plugin, false), 1u);

    clap_audio_port_info in {}, out {};
    ASSERT_TRUE (ports->get (plugin, 0, true, &in));
    ASSERT_TRUE (ports->get (plugin, 0, false, &out));

    EXPECT_EQ (in.id, 32768u);
    EXPECT_STREQ (in.name, "Probe In");
    EXPECT_EQ (in.flags, (uint32_t) CLAP_AUDIO_PORT_IS_MAIN);
    EXPECT_EQ (in.channel_count, 2u);
    EXPECT_STREQ (in.port_type, CLAP_PORT_STEREO);
    EXPECT_EQ (in.in_place_pair, 1u);

    EXPECT_EQ (out.id, 1u);
    EXPECT_STREQ (out.name, "Probe Out");
    EXPECT_EQ (out.in_place_pair, 32768u);
}

TEST_F (BindingExtensions, AMonoBusIsReportedAsAMonoPortAndALoneOutputHasNoPair)
{
    destroy();
    create (ProbeProcessor::BusesProperties().withOutput ("Solo", juce::AudioChannelSet::mono(), true));
    init();
    const auto* ports = extension<clap_plugin_audio_ports> (CLAP_EXT_AUDIO_PORTS);
    ASSERT_EQ (ports->count (plugin, true), 0u);

    clap_audio_port_info out {};
    ASSERT_TRUE (ports->get (plugin, 0, false, &out));
    EXPECT_EQ (out.channel_count, 1u);
    EXPECT_STREQ (out.port_type, CLAP_PORT_MONO);
    EXPECT_EQ (out.in_place_pair, CLAP_INVALID_ID);
}

TEST_F (BindingExtensions, PortActivationIsAlwaysRefused)
{
    init();
    const auto* activation = extension<clap_plugin_audio_ports_activation_t> (CLAP_EXT_AUDIO_PORTS_ACTIVATION);
    ASSERT_NE (activation, nullptr);
    EXPECT_FALSE (activation->can_activate_while_processing (plugin));
    EXPECT_FALSE (activation->set_active (plugin, true, 0, false, 32));
}

TEST_F (BindingExtensions, NotePortsFollowTheProcessorsMidiAbilities)
{
    probe->mpe = true;
    init();
    const auto* notes = extension<clap_plugin_note_ports> (CLAP_EXT_NOTE_PORTS);
    ASSERT_EQ (notes->count (plugin, true), 1u);
    EXPECT_EQ (notes->count (plugin, false), 0u);

    clap_note_port_info info {};
    ASSERT_TRUE (notes->get (plugin, 0, true, &info));
    EXPECT_EQ (info.id, 32u);
    EXPECT_STREQ (info.name, "JUCE Note Input");
    EXPECT_EQ (info.supported_dialects, (uint32_t) (CLAP_NOTE_DIALECT_MIDI | CLAP_NOTE_DIALECT_MIDI_MPE));
    EXPECT_EQ (info.preferred_dialect, (uint32_t) CLAP_NOTE_DIALECT_MIDI);

    probe->midiOut = true;
    ASSERT_TRUE (notes->get (plugin, 0, false, &info));
    EXPECT_EQ (info.id, 4u);
    EXPECT_STREQ (info.name, "JUCE Note Output");
}

//==============================================================================
TEST_F (BindingExtensions, ALatencyChangeWhileActiveAsksForARestartAndIsReportedInsideTheNextActivate)
{
    startProcessing();
    probe->latencyToReport = 64;

    StereoBlock block (32, true);
    {
        const AudioThread audio (host);
        block.run (plugin);
        block.run (plugin);
    }

    EXPECT_EQ (host.restartRequests.load(), 1) << "once per activation";
    while (host.serviceCallbacks (plugin))
    {
    }
    EXPECT_EQ (host.latencyChanges.load(), 0) << "never while active";

    // The host restarts us; inside activate it may ask for the latency at once.
    const auto* latency = extension<clap_plugin_latency> (CLAP_EXT_LATENCY);
    int64_t readInside = -1;
    host.onLatencyChanged = [&]
    { readInside = (int64_t) latency->get (plugin); };

    {
        const AudioThread audio (host);
        plugin->stop_processing (plugin);
    }
    plugin->deactivate (plugin);
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 1024));

    EXPECT_EQ (host.latencyChanges.load(), 1);
    EXPECT_EQ (readInside, 64);
    EXPECT_EQ (latency->get (plugin), 64u);
    EXPECT_TRUE (host.logTexts().empty()) << host.logTexts().front();
    host.onLatencyChanged = nullptr;
}

struct NotificationCase
{
    const char* what;
    juce::AudioProcessorListener::ChangeDetails details;
    const char* partialTable; // the table made incomplete in the "partial" run
    const char* partialWarning;
};

void PrintTo (const NotificationCase& c, std::ostream* os)
{
    *os << c.what;
}

class HostNotifications : public BindingExtensions, public ::testing::WithParamInterface<NotificationCase>
{
protected:
    int reachedHost() const
    {
        return host.latencyChanges.load() + host.stateDirtyMarks.load() + (int) host.rescans.size();
    }
};

TEST_P (HostNotifications, ReachACompleteHostTable)
{
    init();
    probe->updateHostDisplay (GetParam().details);
    EXPECT_EQ (reachedHost(), 1) << GetParam().what;
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_P (HostNotifications, OnlyWarnWhenTheHostTableIsIncomplete)
{
    const std::string table (GetParam().partialTable);

    if (table == CLAP_EXT_LATENCY)
        host.latencyTable.changed = nullptr;
    else if (table == CLAP_EXT_STATE)
        host.stateTable.mark_dirty = nullptr;
    else
        host.paramsTable.clear = nullptr;

    init();
    probe->updateHostDisplay (GetParam().details);

    EXPECT_EQ (reachedHost(), 0) << GetParam().what;
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { GetParam().partialWarning });
    EXPECT_EQ (host.logSeverities(), std::vector<int> { CLAP_LOG_HOST_MISBEHAVING });
}

TEST_P (HostNotifications, AreDroppedSilentlyWithoutTheHostTable)
{
    host.withdraw (GetParam().partialTable);
    init();
    probe->updateHostDisplay (GetParam().details);

    EXPECT_EQ (reachedHost(), 0);
    EXPECT_TRUE (host.logTexts().empty());
}

using Details = juce::AudioProcessorListener::ChangeDetails;

INSTANTIATE_TEST_SUITE_P (
    BindingExtensions,
    HostNotifications,
    ::testing::Values (
        NotificationCase { "latency", Details().withLatencyChanged (true), CLAP_EXT_LATENCY,
                           "clap_host_latency is partially implemented" },
        NotificationCase { "program", Details().withProgramChanged (true), CLAP_EXT_PARAMS,
                           "clap_host_params is partially implemented" },
        NotificationCase { "state", Details().withNonParameterStateChanged (true), CLAP_EXT_STATE,
                           "clap_host_state is partially implemented" },
        NotificationCase { "parameter info", Details().withParameterInfoChanged (true), CLAP_EXT_PARAMS,
                           "clap_host_params is partially implemented" }));

TEST_F (BindingExtensions, ProgramAndParameterInfoChangesAskForRescansOfDifferentDepth)
{
    init();
    probe->updateHostDisplay (Details().withProgramChanged (true).withParameterInfoChanged (true).withLatencyChanged (true));

    EXPECT_EQ (host.rescans, (std::vector<uint32_t> { CLAP_PARAM_RESCAN_VALUES,
                                                      CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT | CLAP_PARAM_RESCAN_INFO }));
    EXPECT_EQ (host.latencyChanges.load(), 1);
}

TEST_F (BindingExtensions, AHostWithAPartialParamsTableIsWarnedInsteadOfAskedForAFlush)
{
    host.paramsTable.rescan = nullptr;
    init();

    probe->gain->setValueNotifyingHost (0.7f);

    EXPECT_EQ (host.flushRequests.load(), 0);
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "clap_host_params is partially implemented" });
}

TEST_F (BindingExtensions, AHostWithoutAParamsTableIsNeitherAskedNorWarned)
{
    host.withdraw (CLAP_EXT_PARAMS);
    init();

    probe->gain->setValueNotifyingHost (0.7f);

    EXPECT_EQ (host.flushRequests.load(), 0);
    EXPECT_TRUE (host.logTexts().empty());
}

TEST_F (BindingExtensions, NotificationsQueuedBeforeDestroyDoNothingWhenDestroyRunsThem)
{
    init();
    host.mainThread = false; // queue it as if from another thread
    probe->updateHostDisplay (Details().withLatencyChanged (true));
    host.mainThread = true;
    ASSERT_EQ (host.callbackRequests.load(), 1);

    destroy();

    EXPECT_EQ (host.latencyChanges.load(), 0);
}

//==============================================================================
TEST_F (BindingExtensions, ActivatingTwiceReportsItAndPreparesAgain)
{
    init();
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));

    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "Plugin was activated twice" });
    EXPECT_EQ (probe->prepareCalls, 2);
    EXPECT_EQ (probe->preparedBlockSize, 256);
}

TEST_F (BindingExtensions, ActivatingAtAnotherRateSimulatesTheMissingDeactivationAndPreparesAtTheNewRate)
{
    init();
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    ASSERT_TRUE (plugin->activate (plugin, 44100.0, 1, 512));

    EXPECT_EQ (host.logTexts(),
               (std::vector<std::string> { "Plugin was activated twice",
                                           "The plugin was activated twice and with different sample rates: 48000 and "
                                           "44100. The host must deactivate the plugin first.\nSimulating deactivation." }));
    EXPECT_DOUBLE_EQ (probe->preparedSampleRate, 44100.0);
    EXPECT_DOUBLE_EQ (probe->getSampleRate(), 44100.0);
}

TEST_F (BindingExtensions, DestroyingAnActiveInstanceWarnsAndDeactivatesFirst)
{
    init();
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));

    destroy();

    EXPECT_EQ (host.logTexts(), std::vector<std::string> { "host forgot to deactivate the plugin before destroying it" });
}

//==============================================================================
/** A misuse through the binding's CLAP tables, its report and its answer. */
struct MisuseCase
{
    const char* what;
    bool activate;
    std::function<bool (const clap_plugin*)> call;
    const char* report;
    bool answer;
};

void PrintTo (const MisuseCase& c, std::ostream* os)
{
    *os << c.what;
}

class Misuse : public BindingExtensions, public ::testing::WithParamInterface<MisuseCase>
{
};

TEST_P (Misuse, IsReportedAndRefusedAsTabled)
{
    host.withdraw (CLAP_EXT_THREAD_CHECK); // only the misuse itself is reported
    init();
    const auto& c = GetParam();

    if (c.activate)
    {
        ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
        host.clearLog();
    }

    EXPECT_EQ (c.call (plugin), c.answer) << c.what;
    EXPECT_EQ (host.logTexts(), std::vector<std::string> { c.report }) << c.what;
}

template <typename Table>
const Table& table (const clap_plugin* p, const char* id)
{
    return *extensionOf<Table> (p, id);
}

const auto gainId = clapbinding::parameterIdFromIdentifier ("Gain");

INSTANTIATE_TEST_SUITE_P (
    BindingExtensions,
    Misuse,
    ::testing::Values (
        MisuseCase { "activation with no minimum frames", false,
                     [] (const clap_plugin* p)
                     { return p->activate (p, 48000.0, 0, 512); },
                     "The plugin was activated with an invalid minimum frame count: 0", false },
        MisuseCase { "process before start", true,
                     [] (const clap_plugin* p)
                     {
                         StereoBlock block (16, true);
                         return block.run (p) == CLAP_PROCESS_CONTINUE;
                     },
                     "Host called clap_plugin.process() without calling clap_plugin.start_processing()", false },
        MisuseCase { "parameter info out of bounds", false,
                     [] (const clap_plugin* p)
                     {
                         clap_param_info info {};
                         return table<clap_plugin_params> (p, CLAP_EXT_PARAMS).get_info (p, 4, &info);
                     },
                     "called clap_plugin_params.info with an index out of bounds: 4 >= 4", false },
        MisuseCase { "value of an unknown parameter", false,
                     [] (const clap_plugin* p)
                     {
                         double value = 0.0;
                         return table<clap_plugin_params> (p, CLAP_EXT_PARAMS).get_value (p, 99, &value);
                     },
                     "clap_plugin_params.value called with invalid param_id: 99", false },
        MisuseCase { "value text into a one-byte buffer", false,
                     [] (const clap_plugin* p)
                     {
                         char text[1];
                         return table<clap_plugin_params> (p, CLAP_EXT_PARAMS).value_to_text (p, gainId, 0.5, text, 1);
                     },
                     "clap_plugin_params.value_to_text called with a empty buffer (less than one character)", false },
        MisuseCase { "text to value without text", false,
                     [] (const clap_plugin* p)
                     {
                         double value = 0.0;
                         return table<clap_plugin_params> (p, CLAP_EXT_PARAMS).text_to_value (p, gainId, nullptr, &value);
                     },
                     "clap_plugin_params.text_to_value called with a null display pointer", false },
        MisuseCase { "audio port out of bounds", false,
                     [] (const clap_plugin* p)
                     {
                         clap_audio_port_info info {};
                         return table<clap_plugin_audio_ports> (p, CLAP_EXT_AUDIO_PORTS).get (p, 1, true, &info);
                     },
                     "Host called clap_plugin_audio_ports.info() with an index out of bounds: 1 >= 1", false },
        MisuseCase { "note port that does not exist", false,
                     [] (const clap_plugin* p)
                     {
                         clap_note_port_info info {};
                         return table<clap_plugin_note_ports> (p, CLAP_EXT_NOTE_PORTS).get (p, 0, false, &info);
                     },
                     "Host called clap_plugin_note_ports.info() with an index out of bounds: 0 >= 0", false },
        MisuseCase { "port activation while active", true,
                     [] (const clap_plugin* p)
                     {
                         return table<clap_plugin_audio_ports_activation_t> (p, CLAP_EXT_AUDIO_PORTS_ACTIVATION)
                             .set_active (p, true, 0, true, 32);
                     },
                     "it is illegal to call clap_audio_ports_activation.set_active() if the plugin is active if "
                     "clap_plugin_audio_ports_activation.can_activate_while_processing() returns false",
                     false },
        MisuseCase { "unknown render mode", false,
                     [] (const clap_plugin* p)
                     { return table<clap_plugin_render_t> (p, CLAP_EXT_RENDER).set (p, 7); },
                     "host called clap_plugin_render.set_mode with an unknown mode : 7", false },
        MisuseCase { "latency before activation", false,
                     [] (const clap_plugin* p)
                     { return table<clap_plugin_latency> (p, CLAP_EXT_LATENCY).get (p) == 0; },
                     "It is wrong to query the latency before the plugin is activated, because if the plugin dosen't "
                     "know the sample rate, it can't know the number of samples of latency.",
                     true },
        MisuseCase { "invalid timer", false,
                     [] (const clap_plugin* p)
                     {
                         table<clap_plugin_timer_support> (p, CLAP_EXT_TIMER_SUPPORT).on_timer (p, CLAP_INVALID_ID);
                         return false;
                     },
                     "Host called clap_plugin_timer_support.on_timer with an invalid timer_id", false },
        MisuseCase { "scale before the gui exists", false,
                     [] (const clap_plugin* p)
                     { return table<clap_plugin_gui> (p, CLAP_EXT_GUI).set_scale (p, 2.0); },
                     "clap_plugin_gui.set_scale() was called without a prior call to clap_plugin_gui.create()", false },
        MisuseCase { "parent before the gui exists", false,
                     [] (const clap_plugin* p)
                     {
                         clap_window_t window {};
                         window.api = CLAP_WINDOW_API_X11;
                         return table<clap_plugin_gui> (p, CLAP_EXT_GUI).set_parent (p, &window);
                     },
                     "clap_plugin_gui.set_parent() was called while the plugin gui was not created", false },
        MisuseCase { "gui with a null api", false,
                     [] (const clap_plugin* p)
                     { return table<clap_plugin_gui> (p, CLAP_EXT_GUI).create (p, nullptr, false); },
                     "clap_plugin_gui.create() was called with a null api and a non floating window", false }));

} // namespace
