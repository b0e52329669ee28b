// The dry signal's timing against the processed one: the bypass and the mix.

#include "ChainRig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace chaintest;
using namespace wrendle;

/** Deterministic noise in −amplitude..amplitude. */
std::vector<float> noise (double seconds, float amplitude)
{
    juce::Random random (5);
    std::vector<float> signal ((size_t) (seconds * sampleRate));
    for (auto& s : signal)
        s = amplitude * (2.0f * random.nextFloat() - 1.0f);
    return signal;
}

float choiceValue (int oversamplingChoice)
{
    return (float) oversamplingChoice / 4.0f;
}

TEST (ChainAlignment, BypassedOutputIsTheInputDelayedByTheReportedLatency)
{
    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        Rig rig { { foldAmountIndex, 0.5f }, { oversamplingIndex, choiceValue (choice) } };
        rig.run (noise (0.1, 0.5f));
        rig.set (bypassIndex, 0.0f);
        rig.run (noise (0.05, 0.5f));
        ASSERT_TRUE (rig.processor.isSkippingProcessing());

        const auto latency = (size_t) rig.processor.getLatencySamples();
        EXPECT_EQ (latency == 0, choice == 0);
        const auto input = noise (0.05, 0.5f);
        const auto output = rig.run (input);
        for (auto n = latency; n < input.size(); ++n)
            ASSERT_EQ (output[n], input[n - latency]) << n;
    }
}

TEST (ChainAlignment, TheBypassCrossfadeAddsTheInputAtTheReportedLatency)
{
    // An instance that is never bypassed gives the processed signal P; while the
    // other fades out over 20 ms (960 frames) its output is (1 − k s) P + k s x
    // delayed, with s = 1 / 960 and k counting the frames of the fade.
    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        const std::initializer_list<std::pair<int, float>> settings { { foldAmountIndex, 0.5f }, { mixIndex, 0.6f }, { oversamplingIndex, choiceValue (choice) } };
        Rig bypassing (settings), engaged (settings);
        const auto input = noise (0.2, 0.5f);
        const auto start = frames (100.0); // on a block boundary
        const std::vector<float> first (input.begin(), input.begin() + (long) start);
        const std::vector<float> rest (input.begin() + (long) start, input.end());

        bypassing.run (first);
        engaged.run (first);
        bypassing.set (bypassIndex, 0.0f);
        const auto faded = bypassing.run (rest);
        const auto processed = engaged.run (rest);

        // The two gains move by one step per frame, in float as the fades do.
        const auto latency = (size_t) bypassing.processor.getLatencySamples();
        const auto step = 1.0f / ((float) sampleRate * 0.02f);
        auto processedGain = 1.0f, dryGain = 0.0f;
        for (size_t k = 0; k < frames (20.0); ++k, processedGain -= step, dryGain += step)
            ASSERT_NEAR (faded[k] - processedGain * processed[k], dryGain * input[start + k - latency], 1.0e-6f) << k;
    }
}

TEST (ChainAlignment, ReEngagingPlaysTheInputThatArrivedWhileBypassedAtTheReportedLatency)
{
    // An impulse arrives in the last bypassed block, close enough to its end to
    // come out of the delay after the bypass is switched off. The chain starts
    // clean and hears only silence, so the output is that impulse alone, scaled
    // by the dry copy's fade-out.
    for (int choice = 1; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        Rig rig ({ { foldAmountIndex, 0.5f }, { oversamplingIndex, choiceValue (choice) } }, 64);
        rig.run (noise (0.1, 0.5f));
        rig.set (bypassIndex, 0.0f);
        rig.run (silence (0.05));
        ASSERT_TRUE (rig.processor.isSkippingProcessing());

        const auto latency = rig.processor.getLatencySamples();
        std::vector<float> lastBypassed (64, 0.0f);
        lastBypassed[(size_t) (64 - latency / 2)] = 1.0f;
        rig.run (lastBypassed);

        rig.set (bypassIndex, 1.0f);
        const auto output = rig.run (silence (0.01));
        const auto expectedAt = (size_t) (latency - latency / 2);
        const auto dryGain = 1.0f - (float) expectedAt / 960.0f;
        for (size_t n = 0; n < output.size(); ++n)
            ASSERT_NEAR (output[n], n == expectedAt ? dryGain : 0.0f, 1.0e-6f) << n;
    }
}

/** The impulse response of the chain at a given Mix, with the folder nearly linear. */
std::vector<float> mixImpulseResponse (int oversamplingChoice, float mix)
{
    Rig rig { { mixIndex, mix }, { softClipIndex, 0.0f }, { oversamplingIndex, choiceValue (oversamplingChoice) } };
    auto input = silence (0.5);
    input[0] = 1.0e-3f; // sin (x) = x to 1e-7 here
    auto response = rig.run (input);
    for (auto& s : response)
        s *= 1000.0f;
    return response;
}

std::vector<double> logSpacedFrequencies (double fromHz, double toHz, int count)
{
    std::vector<double> frequencies;
    for (int i = 0; i < count; ++i)
        frequencies.push_back (fromHz * std::pow (toHz / fromHz, (double) i / (count - 1)));
    return frequencies;
}

TEST (ChainAlignment, AtMixFiftyPercentNoFrequencyFallsMoreThanOneDecibelBelowTheLowerOfDryAndWet)
{
    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        const auto dry = mixImpulseResponse (choice, 0.0f);
        const auto half = mixImpulseResponse (choice, 0.5f);
        const auto wet = mixImpulseResponse (choice, 1.0f);

        for (auto hz : logSpacedFrequencies (20.0, 18000.0, 60))
        {
            const auto lower = std::min (magnitudeAt (dry, hz), magnitudeAt (wet, hz));
            EXPECT_GE (20.0 * std::log10 (magnitudeAt (half, hz) / lower), -1.0) << hz << " Hz";
        }
    }
}

TEST (ChainAlignment, MixZeroPassesTheDryInputAtUnchangedLevelAtEveryFrequency)
{
    // The dry copy takes the wet path's phase and nothing of its magnitude.
    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        const auto dry = mixImpulseResponse (choice, 0.0f);

        for (auto hz : logSpacedFrequencies (20.0, 18000.0, 30))
            EXPECT_NEAR (20.0 * std::log10 (magnitudeAt (dry, hz)), 0.0, 0.1) << hz << " Hz";
    }
}
} // namespace
