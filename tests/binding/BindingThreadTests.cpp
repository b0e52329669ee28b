// What crosses threads: parameter edits made on one thread while the audio thread processes and
// drains the outbound queue (run it under ThreadSanitizer: WRENDLE_SANITIZER=thread), and the
// audio thread's promise to allocate nothing in steady state.

#include "ProbeBindingFixture.h"
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <thread>

namespace
{

class BindingThreads : public ProbeBinding
{
protected:
    void SetUp() override
    {
        // The two threads here play main and audio thread at once; the host cannot tell them apart.
        host.withdraw (CLAP_EXT_THREAD_CHECK);
        ProbeBinding::SetUp();
        startProcessing (48000.0, 256);
    }
};

TEST_F (BindingThreads, EditsFromAnotherThreadWhileTheAudioThreadAppliesAutomationAreAllSentAndNeverEchoed)
{
    constexpr int editCount = 5000;
    std::atomic<bool> editorDone { false };
    OutputEvents sent;
    sent.events.reserve (3 * editCount + 16);

    std::thread audio ([&]
                       {
        StereoBlock block (64, true);
        InputEvents automation;
        OutputEvents out;
        int round = 0;

        // Automation on another parameter, applied (and broadcast) on this thread meanwhile.
        for (bool lastRound = false; ! lastRound; ++round)
        {
            lastRound = editorDone.load();
            automation.clear();
            automation.add (paramValueEvent (clapbinding::parameterIdFromIdentifier ("Nested"), (round % 100) / 100.0, 0));
            out.events.clear();
            block.run (plugin, automation.list(), out.list());
            sent.events.insert (sent.events.end(), out.events.begin(), out.events.end());
        } });

    for (int i = 1; i <= editCount; ++i)
    {
        probe->gain->beginChangeGesture();
        probe->gain->setValueNotifyingHost ((float) i / (float) editCount);
        probe->gain->endChangeGesture();
    }

    editorDone = true;
    audio.join();

    int values = 0, gestures = 0;
    double lastValue = -1.0;

    for (const auto& event : sent.events)
    {
        ASSERT_EQ (event.id, idOf ("Gain")) << "the automated parameter must not be echoed";

        if (event.type == CLAP_EVENT_PARAM_VALUE)
        {
            ++values;
            lastValue = event.value;
        }
        else
        {
            ++gestures;
        }
    }

    EXPECT_EQ (values, editCount);
    EXPECT_EQ (gestures, 2 * editCount);
    EXPECT_DOUBLE_EQ (lastValue, 1.0);
    EXPECT_GE (host.flushRequests.load(), editCount);
}

TEST_F (BindingThreads, ProcessingWithEventsAndAQueueDrainAllocatesNothing)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "the sanitizers bring their own allocator";

    StereoBlock block (256, false);
    block.fillInput();
    InputEvents events;
    events.add (paramValueEvent (idOf ("Gain"), 0.3, 0));
    events.add (noteEvent (CLAP_EVENT_NOTE_ON, 60, 0.8, 10));
    events.add (midiEvent (0xb0, 1, 64, 20));
    events.add (paramValueEvent (idOf ("Mode"), 1.0, 100));
    events.add (noteEvent (CLAP_EVENT_NOTE_OFF, 60, 0.0, 300)); // after the block: goes to the next one
    OutputEvents out;

    clap_event_transport transport {};
    transport.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_IS_PLAYING;
    transport.tempo = 100.0;

    block.run (plugin, events.list(), out.list(), &transport); // warm-up

    for (int round = 0; round < 3; ++round)
    {
        // Edits queued by the editor, drained by the next process call.
        probe->gain->beginChangeGesture();
        probe->gain->setValueNotifyingHost (0.1f * (float) (round + 1));
        probe->gain->endChangeGesture();
        out.events.clear();

        std::size_t allocations = 0;
        {
            const allocation::ScopedCounter counter;
            block.run (plugin, events.list(), out.list(), &transport);
            allocations = counter.count();
        }

        EXPECT_EQ (allocations, 0u) << "round " << round;
        EXPECT_EQ (out.events.size(), 3u);
    }
}

} // namespace
