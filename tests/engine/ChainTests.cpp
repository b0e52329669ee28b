#include "AllocationCounter.h"
#include "WrendleFoldProcessor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;

/** A prepared processor, driven block by block with a chosen input. */
struct Rig
{
    explicit Rig (std::initializer_list<std::pair<int, float>> settings = {})
    {
        for (auto [index, value] : settings)
            set (index, value);
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    void set (int index, float normalised) { processor.getParameters()[index]->setValueNotifyingHost (normalised); }

    /** Processes `blocks` blocks of a sine of the given amplitude; returns the last block. */
    juce::AudioBuffer<float> runSine (int blocks, float amplitude = 0.5f, double hz = 220.0)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        for (int b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < blockSize; ++i, ++position)
            {
                const auto s = amplitude * (float) std::sin (2.0 * juce::MathConstants<double>::pi * hz * (double) position / sampleRate);
                buffer.setSample (0, i, s);
                buffer.setSample (1, i, s);
            }
            processor.processBlock (buffer, midi);
        }
        return buffer;
    }

    /** Feeds `input` (any length) through in blocks and returns channel 0 of the output. */
    std::vector<float> runSignal (const std::vector<float>& input)
    {
        std::vector<float> output;
        juce::AudioBuffer<float> buffer (2, blockSize);
        for (size_t start = 0; start < input.size(); start += blockSize)
        {
            buffer.clear();
            for (int i = 0; i < blockSize && start + (size_t) i < input.size(); ++i)
                for (int ch = 0; ch < 2; ++ch)
                    buffer.setSample (ch, i, input[start + (size_t) i]);
            processor.processBlock (buffer, midi);
            output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);
        }
        return output;
    }

    WrendleFoldProcessor processor;
    juce::MidiBuffer midi;
    int64_t position = 0;
};

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
    oversampler->initProcessing (blockSize);
    return oversampler;
}

/** An impulse after a bare up+down round trip through a reference oversampler. */
std::vector<float> roundTrip (const std::vector<float>& input, int index)
{
    auto oversampler = makeReferenceOversampler (index);
    std::vector<float> output;
    juce::AudioBuffer<float> buffer (2, blockSize);
    for (size_t start = 0; start < input.size(); start += blockSize)
    {
        buffer.clear();
        for (int i = 0; i < blockSize && start + (size_t) i < input.size(); ++i)
            for (int ch = 0; ch < 2; ++ch)
                buffer.setSample (ch, i, input[start + (size_t) i]);
        juce::dsp::AudioBlock<float> block (buffer);
        oversampler->processSamplesUp (block);
        oversampler->processSamplesDown (block);
        output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);
    }
    return output;
}

TEST (Chain, MixZeroOutputsTheDryInputDelayedByExactlyTheMainOversamplersLatency)
{
    for (int index = 0; index < 5; ++index)
    {
        SCOPED_TRACE (index);
        Rig rig { { mixIndex, 0.0f }, { softClipIndex, 0.0f }, { oversamplingIndex, (float) index / 4.0f }, { foldAmountIndex, 1.0f } };
        // After preparation the dry delay glides to its target over 441 samples; look after that.
        std::vector<float> impulse ((size_t) blockSize * 6, 0.0f);
        impulse[1000] = 0.5f;
        const auto output = rig.runSignal (impulse);

        // The soft clipper's oversampler runs even when it is off, so the dry
        // impulse comes out as that oversampler's round trip, shifted by the
        // main oversampler's latency.
        const auto mainLatency = (int) std::nearbyint (makeReferenceOversampler (index)->getLatencyInSamples());
        const auto reference = roundTrip (impulse, index);
        for (size_t i = 0; i + (size_t) mainLatency < output.size(); ++i)
            ASSERT_NEAR (output[i + (size_t) mainLatency], reference[i], 1.0e-5f) << i;

        if (index == 0)
        {
            EXPECT_NEAR (output[1000], 0.5f, 1.0e-5f);
        }
    }
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

TEST (Chain, LatencyIsAnnouncedOnlyWhenTheNumberChanges)
{
    Rig rig;
    LatencyListener listener;
    rig.processor.addListener (&listener);

    rig.runSine (3);
    EXPECT_EQ (listener.changes, 0);

    rig.set (oversamplingIndex, 0.75f); // 8X
    rig.runSine (1);
    EXPECT_EQ (listener.changes, 1);
    const auto at8x = rig.processor.getLatencySamples();

    rig.set (oversamplingIndex, 1.0f); // 16X reports the same latency as 8X
    rig.runSine (3);
    EXPECT_EQ (rig.processor.getLatencySamples(), at8x);
    EXPECT_EQ (listener.changes, 1);

    rig.processor.removeListener (&listener);
}

TEST (Chain, PrePostChangeFadesTheFoldedSignalOutAndBackInOverTwentyMillisecondsEach)
{
    Rig rig { { foldAmountIndex, 0.3f }, { softClipIndex, 0.0f } };
    rig.runSine (40, 0.5f, 1000.0);

    // Peak level per 1 ms window after the change.
    rig.set (prePostIndex, 0.0f);
    std::vector<float> peaks;
    for (int block = 0; block < 40; ++block)
    {
        const auto out = rig.runSine (1, 0.5f, 1000.0);
        for (int start = 0; start < blockSize; start += 48)
            peaks.push_back (out.getMagnitude (0, start, 48));
    }

    const auto before = peaks.front();
    const auto quietest = std::min_element (peaks.begin(), peaks.end()) - peaks.begin();
    EXPECT_LT (peaks[(size_t) quietest], 0.05f * before);
    EXPECT_GE (quietest, 15); // about 20 ms down...
    EXPECT_LE (quietest, 28);
    EXPECT_GT (peaks.back(), 0.5f * before); // ...and back up
}

TEST (Chain, MaximumFeedbackWithAnOpenLowPassStaysFiniteAndBounded)
{
    for (auto inverted : { 0.0f, 1.0f })
    {
        Rig rig { { feedbackIndex, 1.0f }, { feedbackLowPassIndex, 1.0f }, { foldAmountIndex, 1.0f }, { inputIndex, 1.0f }, { prePostIndex, inverted }, { softClipIndex, 0.0f } };
        for (int block = 0; block < 50; ++block)
        {
            const auto out = rig.runSine (1, 1.0f, 97.0);
            for (int i = 0; i < blockSize; ++i)
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
        rig.runSine (2);
        EXPECT_EQ (counter.count(), 0u) << oversampling;
    }
}
} // namespace
