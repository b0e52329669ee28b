// What a CLAP host relies on, tried through clap_entry alone: saves while playing, latency
// changes, state loads and their round trip, parameter texts and host values.

#include "ModuleFixture.h"
#include "binding/ClapBinding.h"
#include "binding/ClapIds.h"
#include "plugin/WrendleFoldProcessor.h"
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace
{

clap_id idOf (const char* identifier)
{
    return clapbinding::parameterIdFromIdentifier (identifier);
}

/** Sets CLAP values through a flush, as a host does while the plug-in is inactive. */
void setValues (const clap_plugin* plugin, const clap_plugin_params& params, std::initializer_list<std::pair<const char*, double>> values)
{
    InputEvents edits;
    for (const auto& [identifier, value] : values)
        edits.add (paramValueEvent (idOf (identifier), value, 0));

    OutputEvents ignored;
    params.flush (plugin, edits.list(), ignored.list());
}

std::vector<uint8_t> saveOf (const clap_plugin* plugin, const clap_plugin_state& state)
{
    MemoryOutStream saved;
    EXPECT_TRUE (state.save (plugin, saved.stream()));
    return saved.bytes;
}

/** Fills a block's input with a sine that continues from the last block. */
void fillSine (StereoBlock& block, uint32_t frames, int64_t& position)
{
    for (uint32_t i = 0; i < frames; ++i, ++position)
    {
        const auto s = 0.4f * (float) std::sin (2.0 * 3.141592653589793 * 220.0 * (double) position / 48000.0);
        block.inLeft[i] = s;
        block.inRight[i] = s;
    }
}

/** No output sample reaches `level` (exact silence by default). */
bool isSilent (const StereoBlock& block, uint32_t frames, float level = 0.0f)
{
    for (int ch = 0; ch < 2; ++ch)
        for (uint32_t i = 0; i < frames; ++i)
            if (std::abs (block.outputChannel (ch)[i]) > level)
                return false;

    return true;
}

//==============================================================================
TEST_F (ModuleInstance, BackToBackSavesWhileTheAudioThreadPlaysAtRealTimePaceSilenceNoBlock)
{
    // Two real threads: the host's thread check could answer only for one of them.
    host.withdraw (CLAP_EXT_THREAD_CHECK);
    recreate();

    setValues (plugin, params(), { { "Mix", 0.0 } }); // the dry signal: never legitimately silent
    constexpr uint32_t frames = 256;
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, frames));

    std::atomic<bool> done { false };
    int silentBlocks = 0;
    constexpr int blocks = 300; // 1.6 s

    std::thread audio ([&]
                       {
                           plugin->start_processing (plugin);
                           StereoBlock block (frames, true);
                           int64_t position = 0;
                           auto next = std::chrono::steady_clock::now();

                           for (int b = 0; b < blocks; ++b)
                           {
                               fillSine (block, frames, position);
                               block.run (plugin);

                               if (b > 0 && isSilent (block, frames))
                                   ++silentBlocks;

                               next += std::chrono::microseconds (frames * 1000000 / 48000);
                               std::this_thread::sleep_until (next);
                           }

                           plugin->stop_processing (plugin);
                           done = true; });

    int saves = 0;
    while (! done)
    {
        MemoryOutStream saved;
        ASSERT_TRUE (state().save (plugin, saved.stream()));
        ++saves;
    }

    audio.join();
    plugin->deactivate (plugin);

    EXPECT_GT (saves, blocks);
    EXPECT_EQ (silentBlocks, 0) << "of " << blocks << " blocks, with " << saves << " saves";
}

//==============================================================================
TEST_F (ModuleInstance, AnOversamplingChangeWhileProcessingAsksForARestartAndTheNextActivateReportsTheNewLatency)
{
    const auto* latency = extensionOf<clap_plugin_latency> (plugin, CLAP_EXT_LATENCY);
    ASSERT_NE (latency, nullptr);
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    EXPECT_EQ (latency->get (plugin), 0u);

    StereoBlock block (256, true);
    int64_t position = 0;
    InputEvents change;
    change.add (paramValueEvent (idOf ("Oversampling"), 2.0, 0)); // 4X
    OutputEvents out;

    host.actAsAudioThread();
    ASSERT_TRUE (plugin->start_processing (plugin));

    for (int b = 0; b < 40; ++b) // the change fades out over 20 ms first
    {
        fillSine (block, 256, position);
        block.run (plugin, b == 4 ? change.list() : nullptr, out.list());
    }

    plugin->stop_processing (plugin);
    host.actAsMainThread();

    EXPECT_EQ (host.restartRequests.load(), 1);
    while (host.serviceCallbacks (plugin))
    {
    }
    EXPECT_EQ (host.latencyChanges.load(), 0) << "never while active";
    EXPECT_EQ (latency->get (plugin), 0u) << "what the host compensates until it restarts us";

    int64_t readInside = -1;
    host.onLatencyChanged = [&]
    { readInside = (int64_t) latency->get (plugin); };

    plugin->deactivate (plugin);
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));

    EXPECT_EQ (host.latencyChanges.load(), 1);
    EXPECT_GT (readInside, 0);
    EXPECT_EQ (latency->get (plugin), (uint32_t) readInside);
    EXPECT_TRUE (host.logTexts().empty()) << host.logTexts().front();

    // An unchanged latency is not reported again.
    plugin->deactivate (plugin);
    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    EXPECT_EQ (host.latencyChanges.load(), 1);
    host.onLatencyChanged = nullptr;
    plugin->deactivate (plugin);
}

TEST_F (ModuleInstance, AnOversamplingChangeWhileProcessingAllocatesNothingOnTheAudioThread)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "the sanitizers bring their own allocator";

    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
    host.actAsAudioThread();
    ASSERT_TRUE (plugin->start_processing (plugin));

    StereoBlock block (512, true);
    int64_t position = 0;
    OutputEvents out;
    InputEvents changes[4];
    for (int i = 0; i < 4; ++i)
        changes[i].add (paramValueEvent (idOf ("Oversampling"), (double) ((i + 1) % 5), 100));

    for (int b = 0; b < 4; ++b) // warm-up
    {
        fillSine (block, 512, position);
        block.run (plugin, nullptr, out.list());
    }

    std::size_t allocations = 0;
    for (int round = 0; round < 4; ++round)
    {
        for (int b = 0; b < 6; ++b) // each change fades out, re-prepares and fades back in
        {
            fillSine (block, 512, position);
            const allocation::ScopedCounter counter;
            block.run (plugin, b == 0 ? changes[round].list() : nullptr, out.list());
            allocations += counter.count();
        }
    }

    plugin->stop_processing (plugin);
    host.actAsMainThread();

    EXPECT_EQ (allocations, 0u);
    EXPECT_EQ (host.restartRequests.load(), 1);
    plugin->deactivate (plugin);
}

//==============================================================================
TEST_F (ModuleInstance, ABlobThePluginRefusesMakesLoadAnswerFalseAndChangesNothing)
{
    setValues (plugin, params(), { { "Mix", 0.4 }, { "FoldAmount", 0.7 } });
    const auto valid = saveOf (plugin, state());
    ASSERT_GT (valid.size(), 16u);

    juce::Random random (7);
    std::vector<uint8_t> randomBytes (4096);
    for (auto& b : randomBytes)
        b = (uint8_t) random.nextInt (256);

    auto wrongMagic = valid;
    wrongMagic[0] ^= 0x01;

    // Well-formed, but far beyond anything the plug-in writes.
    const auto padding = juce::String::repeatedString ("x", 300 * 1024);
    const auto bigText = "<WrendleFold_SETTINGS Mix=\"0.9\" Padding=\"" + padding + "\"/>";
    juce::MemoryOutputStream envelope;
    envelope.writeInt (0x21324356);
    envelope.writeInt ((int) bigText.getNumBytesAsUTF8());
    envelope.write (bigText.toRawUTF8(), bigText.getNumBytesAsUTF8() + 1);
    const auto* envelopeBytes = static_cast<const uint8_t*> (envelope.getData());
    const std::vector<uint8_t> oversized (envelopeBytes, envelopeBytes + envelope.getDataSize());

    struct Case
    {
        const char* name;
        std::vector<uint8_t> blob;
    };

    const Case cases[] = {
        { "random bytes", randomBytes },
        { "truncated", std::vector<uint8_t> (valid.begin(), valid.begin() + (long) valid.size() / 2) },
        { "wrong magic", wrongMagic },
        { "empty", {} },
        { "over 256 KB", oversized },
    };

    // Values the blobs would change.
    setValues (plugin, params(), { { "Mix", 0.2 }, { "FoldAmount", 0.1 } });
    const auto before = allValues();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        MemoryInStream stream (c.blob);
        EXPECT_FALSE (state().load (plugin, stream.stream()));
        EXPECT_EQ (allValues(), before);
    }

    EXPECT_TRUE (host.rescans.empty());
}

TEST_F (ModuleInstance, ALoadSendsNoParameterEventsToTheHostAndAsksForOneValuesRescan)
{
    setValues (plugin, params(), { { "Mix", 0.35 }, { "FoldAmount", 0.8 }, { "Oversampling", 3.0 }, { "PrePost", 1.0 } });
    const auto saved = saveOf (plugin, state());
    const auto expected = allValues();

    recreate();
    const auto flushesBefore = host.flushRequests.load();

    MemoryInStream stream (saved);
    ASSERT_TRUE (state().load (plugin, stream.stream()));

    EXPECT_EQ (allValues(), expected);
    EXPECT_EQ (host.rescans, std::vector<uint32_t> { CLAP_PARAM_RESCAN_VALUES });

    while (host.serviceCallbacks (plugin))
    {
    }

    // Nothing waits to go out as an edit: not on a flush, not in a processed block.
    InputEvents none;
    OutputEvents out;
    params().flush (plugin, none.list(), out.list());
    EXPECT_TRUE (out.events.empty());

    ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 256));
    host.actAsAudioThread();
    ASSERT_TRUE (plugin->start_processing (plugin));
    StereoBlock block (256, true);
    block.run (plugin, nullptr, out.list());
    plugin->stop_processing (plugin);
    host.actAsMainThread();
    plugin->deactivate (plugin);

    EXPECT_TRUE (out.events.empty());
    EXPECT_EQ (host.flushRequests.load(), flushesBefore);
    EXPECT_EQ (host.stateDirtyMarks.load(), 0) << "a restored project is not a changed one";
}

TEST_F (ModuleInstance, SaveThenLoadIntoAFreshInstanceThenSaveGivesTheSameBytes)
{
    setValues (plugin, params(),
               { { "Mix", 0.6543 }, { "FoldAmount", 0.123456789 }, { "HighPass", 0.377 }, { "LowPass", 0.911 }, { "FeedbackLP", 0.2468 }, { "Oversampling", 1.0 }, { "SoftClip", 1.0 } });

    const auto first = saveOf (plugin, state());
    EXPECT_EQ (saveOf (plugin, state()), first) << "saving twice";

    recreate();
    MemoryInStream stream (first);
    ASSERT_TRUE (state().load (plugin, stream.stream()));
    EXPECT_EQ (saveOf (plugin, state()), first);
}

//==============================================================================
TEST_F (ModuleInstance, EveryParameterShowsTheSameTextAgainForTheValueItsTextReadsBackAs)
{
    int mismatches = 0;

    for (uint32_t index = 0; index < params().count (plugin); ++index)
    {
        clap_param_info info {};
        ASSERT_TRUE (params().get_info (plugin, index, &info));
        SCOPED_TRACE (info.name);

        const auto textOf = [&] (double value)
        {
            char text[256] = {};
            EXPECT_TRUE (params().value_to_text (plugin, info.id, value, text, sizeof (text)));
            return std::string (text);
        };

        constexpr int steps = 400;
        for (int step = 0; step <= steps; ++step)
        {
            const auto value = info.min_value + (info.max_value - info.min_value) * step / steps;
            const auto text = textOf (value);

            double readBack = -1.0;
            ASSERT_TRUE (params().text_to_value (plugin, info.id, text.c_str(), &readBack)) << text;
            const auto again = textOf (readBack);

            if (again != text)
            {
                ++mismatches;
                ADD_FAILURE() << value << " shows \"" << text << "\", which reads back as " << readBack << " showing \"" << again << "\"";
            }
        }
    }

    EXPECT_EQ (mismatches, 0);
}

TEST_F (ModuleInstance, HostValuesBeyondFloatRangeAreClampedAndNonFiniteOnesIgnored)
{
    setValues (plugin, params(), { { "Mix", 0.5 }, { "Oversampling", 2.0 }, { "Bypass", 1.0 } });

    struct Case
    {
        double sent;
        double mix, oversampling, bypass;
    };

    const Case cases[] = {
        { -1.0e300, 0.0, 0.0, 0.0 },
        { std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0, 0.0 }, // unchanged from the row before
        { 1.0e300, 1.0, 4.0, 1.0 },
        { std::numeric_limits<double>::max(), 1.0, 4.0, 1.0 },
        { -std::numeric_limits<double>::infinity(), 1.0, 4.0, 1.0 }, // unchanged
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.sent);
        setValues (plugin, params(), { { "Mix", c.sent }, { "Oversampling", c.sent }, { "Bypass", c.sent } });

        double value = -1.0;
        params().get_value (plugin, idOf ("Mix"), &value);
        EXPECT_EQ (value, c.mix);
        params().get_value (plugin, idOf ("Oversampling"), &value);
        EXPECT_EQ (value, c.oversampling);
        params().get_value (plugin, idOf ("Bypass"), &value);
        EXPECT_EQ (value, c.bypass);
    }
}

//==============================================================================
TEST_F (ModuleInstance, OnceItsTailHasDecayedOnSilentInputTheHostMayStopCallingAndWakingSoundsAsIfItHadProcessedTheSilence)
{
    // Two instances rendering offline, so that their drift stages start alike: one sleeps, the
    // other processes the silence.
    const clap_plugin* plugins[2] = { plugin, create() };
    ASSERT_NE (plugins[1], nullptr);
    ASSERT_TRUE (plugins[1]->init (plugins[1]));

    constexpr uint32_t frames = 256;
    for (auto* p : plugins)
    {
        ASSERT_TRUE (extensionOf<clap_plugin_render_t> (p, CLAP_EXT_RENDER)->set (p, CLAP_RENDER_OFFLINE));
        setValues (p, *extensionOf<clap_plugin_params> (p, CLAP_EXT_PARAMS),
                   { { "FoldAmount", 0.6 }, { "Feedback", 0.9 }, { "FeedbackLP", 0.2 }, { "Mix", 0.7 } });
        ASSERT_TRUE (p->activate (p, 48000.0, 1, frames));
    }

    host.actAsAudioThread();
    for (auto* p : plugins)
        ASSERT_TRUE (p->start_processing (p));

    StereoBlock blocks[2] = { StereoBlock (frames, true), StereoBlock (frames, true) };
    int64_t positions[2] = { 0, 0 };
    const auto runBoth = [&] (bool sine, bool firstSleeps, clap_process_status* statuses)
    {
        for (int i = 0; i < 2; ++i)
        {
            if (sine)
            {
                fillSine (blocks[i], frames, positions[i]);
            }
            else
            {
                std::fill (blocks[i].inLeft.begin(), blocks[i].inLeft.end(), 0.0f);
                std::fill (blocks[i].inRight.begin(), blocks[i].inRight.end(), 0.0f);
            }

            if (! (i == 0 && firstSleeps))
                statuses[i] = blocks[i].run (plugins[i]);
        }
    };

    clap_process_status statuses[2] {};
    for (int b = 0; b < 20; ++b)
    {
        runBoth (true, false, statuses);
        EXPECT_EQ (statuses[0], CLAP_PROCESS_CONTINUE);
    }

    // Silence in: the tail rings on, and only a quarter second after it has gone below the
    // smallest step of a 24-bit output may the host stop.
    int lastHeard = -1, firstQuiet = -1;
    for (int b = 0; b < 600 && firstQuiet < 0; ++b)
    {
        runBoth (false, false, statuses);
        if (! isSilent (blocks[0], frames, 1.0f / 16777216.0f))
            lastHeard = b;
        if (statuses[0] == CLAP_PROCESS_CONTINUE_IF_NOT_QUIET)
            firstQuiet = b;
    }

    ASSERT_GE (firstQuiet, 0) << "never let the host stop";
    EXPECT_GE (lastHeard, 0) << "the tail rang past the input";
    EXPECT_GE ((firstQuiet - lastHeard) * (int) frames, 12000);

    // The host stops calling the first; the second processes two seconds of silence.
    for (int b = 0; b < 375; ++b)
        runBoth (false, true, statuses);

    // An edit on the main thread wakes a sleeping instance.
    host.actAsMainThread();
    const auto wakes = host.processRequests.load();
    for (auto* p : plugins)
        setValues (p, *extensionOf<clap_plugin_params> (p, CLAP_EXT_PARAMS), { { "FoldAmount", 0.65 } });
    EXPECT_GT (host.processRequests.load(), wakes);
    host.actAsAudioThread();

    // Input again: both sound alike, the drift's random wobble aside.
    positions[0] = positions[1] = 0;
    auto largestDifference = 0.0f, peak = 0.0f;
    for (int b = 0; b < 40; ++b)
    {
        runBoth (true, false, statuses);
        EXPECT_EQ (statuses[0], CLAP_PROCESS_CONTINUE);

        for (uint32_t i = 0; i < frames; ++i)
        {
            largestDifference = std::max (largestDifference, std::abs (blocks[0].outputChannel (0)[i] - blocks[1].outputChannel (0)[i]));
            peak = std::max (peak, std::abs (blocks[1].outputChannel (0)[i]));
        }
    }

    EXPECT_GT (peak, 0.05f);
    EXPECT_LT (largestDifference, 0.05f * peak);

    for (auto* p : plugins)
        p->stop_processing (p);
    host.actAsMainThread();

    for (auto* p : plugins)
        p->deactivate (p);
    plugins[1]->destroy (plugins[1]);
}

//==============================================================================
/** The product's processor in a binding of this process, to reach what only the editor changes. */
class ProductBinding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto owned = std::make_unique<WrendleFoldProcessor>();
        processor = owned.get();
        plugin = (new clapbinding::ClapBinding (host.clapHost(), std::move (owned)))->clapPlugin();
        ASSERT_TRUE (plugin->init (plugin));
    }

    void TearDown() override { plugin->destroy (plugin); }

    void serviceAll()
    {
        while (host.serviceCallbacks (plugin))
        {
        }
    }

    TestHost host;
    WrendleFoldProcessor* processor = nullptr;
    const clap_plugin* plugin = nullptr;
};

TEST_F (ProductBinding, ALockChangeMarksTheProjectDirtyAndALoadDoesNot)
{
    serviceAll();
    const auto marksBefore = host.stateDirtyMarks.load();

    processor->setLockedParameterNames ({ "Mix" });
    serviceAll();
    EXPECT_EQ (host.stateDirtyMarks.load(), marksBefore + 1);

    processor->setLockedParameterNames ({ "Mix" }); // no change
    serviceAll();
    EXPECT_EQ (host.stateDirtyMarks.load(), marksBefore + 1);

    const auto& state = *static_cast<const clap_plugin_state*> (plugin->get_extension (plugin, CLAP_EXT_STATE));
    const auto saved = saveOf (plugin, state);
    processor->setLockedParameterNames ({});
    serviceAll();
    EXPECT_EQ (host.stateDirtyMarks.load(), marksBefore + 2);

    MemoryInStream stream (saved);
    ASSERT_TRUE (state.load (plugin, stream.stream()));
    serviceAll();
    EXPECT_EQ (processor->lockedParameterNames, juce::StringArray { "Mix" });
    EXPECT_EQ (host.stateDirtyMarks.load(), marksBefore + 2);
}

} // namespace
