#include "ChainRig.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace chaintest;
using namespace wrendle;

TEST (Chain, MonitorDriveIsZeroBeforeTheFirstBlock)
{
    Rig rig;
    EXPECT_EQ (rig.processor.getMonitorDrive(), 0.0f);
}

TEST (Chain, DriveFollowsFoldAmountExactlyOnceSettledWithTheEnvelopeOff)
{
    for (auto [fold, drive] : { std::pair { 0.0f, 1.0f }, std::pair { 0.5f, 8.0f }, std::pair { 1.0f, 15.0f } })
        for (auto oversampling : { 0.0f, 1.0f })
        {
            Rig rig { { foldAmountIndex, fold }, { oversamplingIndex, oversampling } };
            rig.runSine (20);
            EXPECT_EQ (rig.processor.getMonitorDrive(), drive) << fold << " at " << oversampling;
        }
}

TEST (Chain, EnvelopePushesTheDriveTowardTwentyOrOne)
{
    // Full-scale input with instant attack: the envelope saturates at ±1 after the amount ramp.
    Rig up { { foldAmountIndex, 0.5f }, { envelopeAmountIndex, 1.0f } };
    up.runSine (40, 1.0f, 50.0);
    EXPECT_GT (up.processor.getMonitorDrive(), 17.0f);
    EXPECT_LE (up.processor.getMonitorDrive(), 20.0f);

    Rig down { { foldAmountIndex, 0.5f }, { envelopeAmountIndex, 0.0f } };
    down.runSine (40, 1.0f, 50.0);
    EXPECT_LT (down.processor.getMonitorDrive(), 2.5f);
    EXPECT_GE (down.processor.getMonitorDrive(), 1.0f);
}

TEST (Chain, MonitorDriveHoldsItsLastValueWhileBypassedAndSkipping)
{
    Rig rig { { foldAmountIndex, 1.0f } };
    rig.runSine (10);
    rig.set (bypassIndex, 0.0f);
    rig.runSine (20);
    ASSERT_TRUE (rig.processor.isSkippingProcessing());
    EXPECT_EQ (rig.processor.getMonitorDrive(), 15.0f);
    rig.set (foldAmountIndex, 0.0f);
    rig.runSine (5);
    EXPECT_EQ (rig.processor.getMonitorDrive(), 15.0f);
}

TEST (Chain, AutoGainWithTheDefaultsCompensatesByTheFoldFormula)
{
    Rig rig { { autoGainIndex, 1.0f } };
    EXPECT_NEAR (rig.processor.getAutoGainTarget(), 1.0f / (std::pow (1.325f, 0.4f) + 1.85f), 1.0e-6f);
    EXPECT_NEAR (rig.processor.getAutoGainTarget(), 0.3368f, 1.0e-4f);

    Rig off;
    EXPECT_EQ (off.processor.getAutoGainTarget(), 1.0f);
}

std::unique_ptr<juce::dsp::Oversampling<float>> makeReferenceOversampler (int index)
{
    auto oversampler = std::make_unique<juce::dsp::Oversampling<float>> (2);
    if (index > 0)
    {
        oversampler->clearOversamplingStages();
        for (int s = 0; s < index; ++s)
            oversampler->addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, 0.05f, -90.0f, 0.05f, -80.0f);
        oversampler->setUsingIntegerLatency (true);
    }
    oversampler->initProcessing (defaultBlockSize);
    return oversampler;
}

TEST (Chain, ReportedLatencyIsTheSumOfBothOversamplersRoundedLatencies)
{
    for (int index = 0; index < 5; ++index)
    {
        Rig rig { { oversamplingIndex, (float) index / 4.0f } };

        const auto expected = 2 * (int) std::nearbyint (makeReferenceOversampler (index)->getLatencyInSamples());
        EXPECT_EQ (rig.processor.getLatencySamples(), expected) << index;
        if (index == 0)
        {
            EXPECT_EQ (expected, 0);
        }
    }
}

/** Counts the latency changes the processor announces to its listeners. */
struct LatencyListener : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
    {
        if (details.latencyChanged)
            ++changes;
    }
    int changes = 0;
};

TEST (Chain, LatencyIsAnnouncedAtPreparationOnlyAndOnlyWhenTheNumberChanges)
{
    Rig rig;
    LatencyListener listener;
    rig.processor.addListener (&listener);

    rig.runSine (3);
    EXPECT_EQ (listener.changes, 0);

    rig.set (oversamplingIndex, 0.75f); // 8X, once the output has faded out
    rig.runSine (5);
    EXPECT_EQ (listener.changes, 0); // not from the audio thread
    EXPECT_GT (rig.processor.getRunningLatencySamples(), 0);

    rig.processor.prepareToPlay (sampleRate, rig.blockSize);
    EXPECT_EQ (listener.changes, 1);
    const auto at8x = rig.processor.getLatencySamples();
    EXPECT_EQ (at8x, rig.processor.getRunningLatencySamples());

    rig.set (oversamplingIndex, 1.0f); // 16X reports the same latency as 8X
    rig.runSine (3);
    rig.processor.prepareToPlay (sampleRate, rig.blockSize);
    EXPECT_EQ (rig.processor.getLatencySamples(), at8x);
    EXPECT_EQ (listener.changes, 1);

    rig.processor.removeListener (&listener);
}

TEST (Chain, MaximumFeedbackWithAnOpenLowPassStaysFiniteAndBounded)
{
    for (auto inverted : { 0.0f, 1.0f })
    {
        Rig rig { { feedbackIndex, 1.0f }, { feedbackLowPassIndex, 1.0f }, { foldAmountIndex, 1.0f }, { inputIndex, 1.0f }, { prePostIndex, inverted }, { softClipIndex, 0.0f } };
        for (int block = 0; block < 50; ++block)
        {
            const auto out = rig.runSine (1, 1.0f, 97.0);
            for (int i = 0; i < out.getNumSamples(); ++i)
            {
                ASSERT_TRUE (std::isfinite (out.getSample (0, i)));
                ASSERT_LE (std::abs (out.getSample (0, i)), 4.0f); // sin bounds the folder; the filters overshoot a little
            }
        }
    }
}

TEST (Chain, NoAllocationWhenOversamplingChangesDuringPlayback)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "allocation counting is off in sanitizer builds";

    Rig rig { { envelopeAmountIndex, 0.8f }, { feedbackIndex, 0.7f } };
    rig.runSine (2);

    for (auto oversampling : { 0.25f, 1.0f, 0.5f, 0.0f, 0.75f })
    {
        rig.set (oversamplingIndex, oversampling);
        const allocation::ScopedCounter counter;
        rig.runSine (8); // the fade out, the preparation and the fade in
        EXPECT_EQ (counter.count(), 0u) << oversampling;
        EXPECT_EQ (rig.processor.getOversamplingIndex(), (int) (oversampling * 4.0f));
    }
}
TEST (Chain, AfterAToneAtFullFeedbackTheOutputFallsBelowMinus100dBFSWithinOneSecond)
{
    // Above 98 % the loop used to feed itself: Inverted held a DC offset, Normal
    // howled in silence (at any Fold Amount from about 0.3 even at 50 %).
    for (auto inverted : { 0.0f, 1.0f })
        for (auto fold : { 0.0f, 0.5f, 1.0f })
            for (auto feedbackLowPass : { 0.0f, 0.5f, 1.0f }) // 20 Hz, 632 Hz, 20 kHz
            {
                SCOPED_TRACE (juce::String ("PrePost ") + juce::String (inverted) + ", Fold " + juce::String (fold) + ", Feedback LP " + juce::String (feedbackLowPass));
                Rig rig { { feedbackIndex, 1.0f }, { prePostIndex, inverted }, { foldAmountIndex, fold }, { feedbackLowPassIndex, feedbackLowPass } };
                const auto output = rig.run (join ({ sine (80.0, 0.5, 0.8f), silence (1.5) }));

                const auto toneEnd = frames (500.0);
                EXPECT_GT (peak (output, toneEnd - frames (100.0), toneEnd), 0.1f);
                EXPECT_LT (peak (output, toneEnd + frames (1000.0), output.size()), 1.0e-5f);
            }
}

TEST (Chain, InNormalAtFullDriveTheFeedbackFallsSilentAfterTheInput)
{
    // The default Feedback with the folder at full drive in Normal: the loop passes
    // the folder's slope (drive 15) and used to sustain a tone of its own at +3 dBFS.
    for (auto feedback : { 0.5f, 0.8f })
    {
        SCOPED_TRACE (feedback);
        Rig rig { { feedbackIndex, feedback }, { prePostIndex, 0.0f }, { foldAmountIndex, 1.0f }, { softClipIndex, 0.0f } };
        const auto output = rig.run (join ({ sine (220.0, 0.5, 0.5f), silence (1.0) }));
        EXPECT_LT (peak (output, frames (1000.0), output.size()), 1.0e-5f);
    }
}

/** The RMS of every 2 ms window from `from` on. */
std::vector<double> windowLevels (const std::vector<float>& signal, size_t from)
{
    std::vector<double> levels;
    for (auto start = from; start + frames (2.0) <= signal.size(); start += frames (2.0))
        levels.push_back (rms (signal, start, start + frames (2.0)));
    return levels;
}

TEST (Chain, APrePostSwitchLeavesNoTwoMillisecondWindowBelowTenPercentOfTheLevelAround)
{
    for (auto blockSize : { 512, 4096 })
        for (auto toInverted : { false, true })
            for (auto oversampling : { 0.0f, 0.5f })
            {
                SCOPED_TRACE (juce::String (blockSize) + " frames, to " + (toInverted ? "Inverted" : "Normal") + ", oversampling " + juce::String (oversampling));
                Rig rig ({ { foldAmountIndex, 0.3f }, { softClipIndex, 0.0f }, { prePostIndex, toInverted ? 0.0f : 1.0f }, { oversamplingIndex, oversampling } }, blockSize);
                const auto before = rig.run (sine (1000.0, 0.2, 0.5f));
                rig.set (prePostIndex, toInverted ? 1.0f : 0.0f);
                const auto after = rig.run (sine (1000.0, 0.3, 0.5f, 2.0 * pi * 1000.0 * 0.2));

                const auto levelBefore = rms (before, frames (100.0), before.size());
                const auto levelAfter = rms (after, frames (200.0), after.size());
                const auto lowest = windowLevels (after, 0);
                const auto quietest = *std::min_element (lowest.begin(), lowest.end());
                EXPECT_GE (quietest, 0.1 * std::min (levelBefore, levelAfter));
            }
}

TEST (Chain, APrePostChangeBackDuringTheSwitchTurnsItRoundWithoutAJump)
{
    for (auto backAfterMs : { 5.0, 10.0, 15.0 })
    {
        SCOPED_TRACE (backAfterMs);
        Rig rig ({ { foldAmountIndex, 0.3f }, { softClipIndex, 0.0f } }, 48);
        const auto steady = rig.run (sine (1000.0, 0.2, 0.5f));
        const auto steadyStep = largestStep (steady, frames (100.0), steady.size());

        std::vector<float> output;
        auto phase = 2.0 * pi * 1000.0 * 0.2;
        const auto play = [&] (double ms)
        {
            const auto part = rig.run (sine (1000.0, ms / 1000.0, 0.5f, phase));
            phase += 2.0 * pi * 1000.0 * ms / 1000.0;
            output.insert (output.end(), part.begin(), part.end());
        };

        rig.set (prePostIndex, 0.0f);
        play (backAfterMs);
        rig.set (prePostIndex, 1.0f);
        play (100.0);

        EXPECT_LE (largestStep (output, 0, output.size()), 1.5f * steadyStep);
        const auto levels = windowLevels (output, 0);
        EXPECT_GE (*std::min_element (levels.begin(), levels.end()), 0.1 * rms (steady, frames (100.0), steady.size()));
    }
}

/** Milliseconds from the end of a tone until the monitored drive falls to `drive`. */
double releaseTimeMs (int oversamplingChoice, float drive)
{
    Rig rig ({ { envelopeAmountIndex, 1.0f }, { envelopeReleaseIndex, 0.5f }, { oversamplingIndex, (float) oversamplingChoice / 4.0f } }, 48);
    rig.runSine (300, 0.2f, 200.0); // 300 ms
    for (int block = 1; block <= 2000; ++block)
    {
        rig.runSine (1, 0.0f);
        if (rig.processor.getMonitorDrive() <= drive)
            return block;
    }
    return 1.0e9;
}

TEST (Chain, EnvelopeReleaseLastsTheSameTimeAtEveryOversamplingFactor)
{
    // The envelope (about 1 with this tone) falls by 1 over the release time of
    // 500 ms; the drive 1 + 19 × envelope reaches 2.9 at an envelope of 0.1.
    const auto atOff = releaseTimeMs (0, 2.9f);
    EXPECT_NEAR (atOff, 450.0, 50.0);

    for (int choice = 1; choice < 5; ++choice)
        EXPECT_NEAR (releaseTimeMs (choice, 2.9f), atOff, 0.15 * atOff) << choice;
}

TEST (Chain, FoldAmountGlidesOverTenMillisecondsAtEveryOversamplingFactor)
{
    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        Rig rig ({ { oversamplingIndex, (float) choice / 4.0f } }, 48);
        rig.runSine (10);
        rig.set (foldAmountIndex, 1.0f); // drive 1 → 15

        rig.runSine (5);
        EXPECT_NEAR (rig.processor.getMonitorDrive(), 8.0f, 1.0f); // half way after 5 ms
        rig.runSine (4);
        EXPECT_LT (rig.processor.getMonitorDrive(), 15.0f);
        rig.runSine (2);
        EXPECT_EQ (rig.processor.getMonitorDrive(), 15.0f);
    }
}
} // namespace
