#include "plugin/WrendleFoldProcessor.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace wrendle;

juce::AudioBuffer<float> makeSine (int numChannels, int numFrames, double sampleRate, float amplitude = 0.5f)
{
    juce::AudioBuffer<float> buffer (numChannels, numFrames);
    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numFrames; ++i)
            buffer.setSample (ch, i, amplitude * (float) std::sin (2.0 * juce::MathConstants<double>::pi * (440.0 + 110.0 * ch) * i / sampleRate));
    return buffer;
}

void setParameter (juce::AudioProcessorParameter& parameter, float normalised)
{
    parameter.setValueNotifyingHost (normalised);
}

struct LayoutCase
{
    int numIn;
    int numOut;
    bool withOutputBus;
    bool accepted;
};

TEST (Processor, AcceptsMonoToMonoMonoToStereoAndStereoToStereoOnly)
{
    const LayoutCase cases[] = {
        { 1, 1, true, true },
        { 1, 2, true, true },
        { 2, 2, true, true },
        { 2, 1, true, false },
        { 0, 2, true, false },
        { 2, 2, false, false },
        { 1, 0, true, false },
        { 6, 6, true, false },
        { 2, 6, true, false },
    };

    WrendleFoldProcessor processor;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.numIn) + " in, " + juce::String (c.numOut) + " out, output bus " + (c.withOutputBus ? "yes" : "no"));
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (c.numIn));
        if (c.withOutputBus)
            layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (c.numOut));

        EXPECT_EQ (processor.isBusesLayoutSupported (layout), c.accepted);
        EXPECT_EQ (processor.canApplyBusesLayout (layout), c.accepted);
    }
}

TEST (Processor, PreparingWithZeroRateAndBlockSizeFallsBackTo44100And256)
{
    WrendleFoldProcessor processor;
    processor.prepareToPlay (0.0, 0);
    EXPECT_EQ (processor.getPreparedSampleRate(), 44100.0);
    EXPECT_EQ (processor.getPreparedBlockSize(), 256);
    EXPECT_EQ (processor.getParameterSet().input->smoothedPlain().getRamp().lengthSamples, 441);
    EXPECT_EQ (processor.getParameterSet().bypass->smoothed().getRamp().lengthSamples, 441);
    EXPECT_EQ (processor.getLatencySamples(), 0);
}

TEST (Processor, AnswersTheHostsFixedQueries)
{
    WrendleFoldProcessor processor;
    EXPECT_EQ (processor.getName(), "Wrendle Fold");
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_EQ (processor.getBypassParameter(), nullptr);
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getBusCount (true), 1);
    EXPECT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getEditorRefreshIntervalMs(), 55);
}

/** Runs one block through a processor set to the given layout and returns the output. */
juce::AudioBuffer<float> processWithLayout (int numIn, int numOut, const juce::AudioBuffer<float>& monoInput)
{
    WrendleFoldProcessor processor;
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numIn));
    layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numOut));
    EXPECT_TRUE (processor.setBusesLayout (layout));

    const auto numFrames = monoInput.getNumSamples();
    processor.setRateAndBufferSizeDetails (44100.0, numFrames);
    processor.prepareToPlay (44100.0, numFrames);

    juce::AudioBuffer<float> buffer (juce::jmax (numIn, numOut), numFrames);
    buffer.clear();
    buffer.copyFrom (0, 0, monoInput, 0, 0, numFrames);
    if (numOut > 1)
        buffer.copyFrom (1, 0, monoInput, 0, 0, numFrames);

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    return buffer;
}

TEST (Processor, MonoInputRunsAsTwoIdenticalChannels)
{
    const auto input = makeSine (1, 512, 44100.0);

    const auto monoToStereo = processWithLayout (1, 2, input);
    const auto monoToMono = processWithLayout (1, 1, input);

    // The two channels (and two instances) differ only by the drift stage's small random
    // input gains, which the folder's drive multiplies: a few thousandths at most, where a
    // wrong dispatch (silence, the other channel) differs by tenths.
    for (int i = 0; i < 512; ++i)
    {
        ASSERT_NEAR (monoToStereo.getSample (0, i), monoToStereo.getSample (1, i), 1.0e-2f) << i;
        ASSERT_NEAR (monoToStereo.getSample (0, i), monoToMono.getSample (0, i), 1.0e-2f) << i;
    }
    EXPECT_GT (monoToStereo.getMagnitude (1, 0, 512), 0.1f);
}

TEST (Processor, SurplusOutputChannelsAreCleared)
{
    WrendleFoldProcessor processor;
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::mono());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());
    ASSERT_TRUE (processor.setBusesLayout (layout));
    processor.prepareToPlay (48000.0, 64);

    // With mono in, channel 1 holds whatever the host left there; it must not leak out.
    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    buffer.setSample (1, 10, 0.9f);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    EXPECT_EQ (buffer.getSample (1, 10), 0.0f);
}

TEST (Processor, BypassFadesToTheDryInputOverTwentyMillisecondsThenPassesItDelayedByTheReportedLatency)
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 96; // 2 ms
    WrendleFoldProcessor processor;
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    setParameter (*processor.getParameterSet().oversampling, 0.25f); // 2X: the wet path has latency
    processor.prepareToPlay (sampleRate, blockSize);
    setParameter (*processor.getParameterSet().foldAmount, 1.0f);

    juce::MidiBuffer midi;
    auto run = [&] (int blocks)
    {
        for (int b = 0; b < blocks; ++b)
        {
            auto buffer = makeSine (2, blockSize, sampleRate);
            processor.processBlock (buffer, midi);
        }
    };

    run (10);
    ASSERT_FALSE (processor.isSkippingProcessing());

    setParameter (*processor.getParameterSet().bypass, 0.0f);
    run (9); // 18 ms: still fading
    EXPECT_FALSE (processor.isSkippingProcessing());
    run (2); // 22 ms: both fades have ended; the next block hands over to the dry copy
    run (1);
    EXPECT_TRUE (processor.isSkippingProcessing());

    // Every block carries the same sine, so the input `latency` frames back is
    // the previous block's tail before the block's own samples.
    const auto input = makeSine (2, blockSize, sampleRate);
    const auto latency = processor.getLatencySamples();
    ASSERT_GT (latency, 0);
    auto buffer = input;
    processor.processBlock (buffer, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < blockSize; ++i)
            ASSERT_EQ (buffer.getSample (ch, i), input.getSample (ch, (i - latency + blockSize) % blockSize)) << ch << ", " << i;

    // Back on: the chain runs again and the skip ends at once.
    setParameter (*processor.getParameterSet().bypass, 1.0f);
    run (1);
    EXPECT_FALSE (processor.isSkippingProcessing());
    EXPECT_FALSE (processor.getLastBypassRequest());
}

TEST (Processor, ChangingOversamplingRunsWithTheNewLatencyOnceTheOutputHasFadedOutAndReportsItAtTheNextPreparation)
{
    WrendleFoldProcessor processor;
    processor.setRateAndBufferSizeDetails (44100.0, 128);
    processor.prepareToPlay (44100.0, 128);
    EXPECT_EQ (processor.getLatencySamples(), 0);

    juce::MidiBuffer midi;
    juce::AudioBuffer<float> buffer (2, 128);
    buffer.clear();

    // Before anything has played there is nothing to fade: the next block prepares.
    setParameter (*processor.getParameterSet().oversampling, 0.25f);
    EXPECT_EQ (processor.getRunningLatencySamples(), 0);
    processor.processBlock (buffer, midi);
    EXPECT_GT (processor.getRunningLatencySamples(), 0);

    // While playing, the output fades out over 20 ms (seven blocks of 2.9 ms) first.
    int previous = processor.getRunningLatencySamples();
    for (auto normalised : { 0.5f, 0.75f, 1.0f, 0.0f, 0.5f })
    {
        SCOPED_TRACE (normalised);
        setParameter (*processor.getParameterSet().oversampling, normalised);
        processor.processBlock (buffer, midi);
        EXPECT_EQ (processor.getRunningLatencySamples(), previous);

        for (int block = 0; block < 7; ++block)
            processor.processBlock (buffer, midi);
        EXPECT_EQ (processor.getOversamplingIndex(), (int) (normalised * 4.0f));
        EXPECT_EQ (processor.getRunningLatencySamples() > 0, normalised > 0.0f);
        previous = processor.getRunningLatencySamples();
    }

    // The host only learns the number when it prepares the processor again.
    EXPECT_EQ (processor.getLatencySamples(), 0);
    processor.prepareToPlay (44100.0, 128);
    EXPECT_EQ (processor.getLatencySamples(), previous);
}

TEST (Processor, SteadyStateProcessingAllocatesNothing)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "allocation counting is off in sanitizer builds";

    for (auto oversampling : { 0.0f, 0.5f, 1.0f })
    {
        SCOPED_TRACE (oversampling);
        WrendleFoldProcessor processor;
        processor.setRateAndBufferSizeDetails (48000.0, 512);
        setParameter (*processor.getParameterSet().oversampling, oversampling);
        setParameter (*processor.getParameterSet().autoGain, 1.0f);
        setParameter (*processor.getParameterSet().envelopeAmount, 0.9f);
        processor.prepareToPlay (48000.0, 512);

        auto buffer = makeSine (2, 512, 48000.0);
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);

        auto& params = processor.getParameterSet();
        std::size_t allocations = 0;
        for (int block = 0; block < 70; ++block)
        {
            // Parameter changes between blocks, as host automation or the editor would make them.
            const auto t = (float) block / 50.0f;
            if (block < 50)
            {
                setParameter (*params.foldAmount, t);
                setParameter (*params.feedback, 1.0f - t);
                setParameter (*params.lowPass, 0.3f + 0.5f * t);
                setParameter (*params.prePost, block % 10 < 5 ? 1.0f : 0.0f);
                setParameter (*params.bypass, block % 20 < 15 ? 1.0f : 0.0f);
                setParameter (*params.mix, block % 8 < 4 ? 1.0f : 0.5f);
            }
            else
            {
                // Then still controls in each topology, where the core runs whole blocks at once.
                setParameter (*params.bypass, 1.0f);
                setParameter (*params.prePost, block < 60 ? 1.0f : 0.0f);
            }

            const allocation::ScopedCounter counter;
            processor.processBlock (buffer, midi);
            allocations += counter.count();
        }
        EXPECT_EQ (allocations, 0u);
    }
}

TEST (Processor, OutputStaysFiniteAndBoundedForEveryLayoutAndOversampling)
{
    for (auto [numIn, numOut] : { std::pair { 1, 1 }, std::pair { 1, 2 }, std::pair { 2, 2 } })
        for (auto oversampling : { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f })
        {
            WrendleFoldProcessor processor;
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numIn));
            layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numOut));
            ASSERT_TRUE (processor.setBusesLayout (layout));
            setParameter (*processor.getParameterSet().oversampling, oversampling);
            setParameter (*processor.getParameterSet().feedback, 1.0f);
            processor.prepareToPlay (44100.0, 256);

            juce::Random random (42);
            juce::MidiBuffer midi;
            for (int block = 0; block < 20; ++block)
            {
                juce::AudioBuffer<float> buffer (2, 256);
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < 256; ++i)
                        buffer.setSample (ch, i, random.nextFloat() * 2.0f - 1.0f);
                processor.processBlock (buffer, midi);
                for (int ch = 0; ch < numOut; ++ch)
                    for (int i = 0; i < 256; ++i)
                    {
                        const auto s = buffer.getSample (ch, i);
                        ASSERT_TRUE (std::isfinite (s));
                        ASSERT_LE (std::abs (s), 4.0f);
                    }
            }
        }
}
} // namespace
