// What the chain does with bad input, resets, activations, oversampling changes
// and the host's block split.

#include "ChainRig.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace
{
using namespace chaintest;
using namespace wrendle;

float choiceValue (int oversamplingChoice)
{
    return (float) oversamplingChoice / 4.0f;
}

bool allFinite (const std::vector<float>& signal)
{
    return std::all_of (signal.begin(), signal.end(), [] (float s)
                        { return std::isfinite (s); });
}

struct BadInput
{
    const char* name;
    float value;
};

TEST (ChainRobustness, BadInputIsTakenAsSilenceAndTheLevelRecoversWithin100Milliseconds)
{
    const BadInput kinds[] = { { "NaN", std::numeric_limits<float>::quiet_NaN() },
                               { "+Inf", std::numeric_limits<float>::infinity() },
                               { "-Inf", -std::numeric_limits<float>::infinity() },
                               { "1e30", 1.0e30f } };

    // A tone, one block of bad input, the tone again: against a clean instance
    // that heard the tone throughout.
    const auto tone = sine (330.0, 0.5, 0.4f);
    const auto badStart = frames (200.0) / defaultBlockSize * defaultBlockSize;
    const auto badEnd = badStart + defaultBlockSize;

    for (int choice = 0; choice < 5; ++choice)
        for (auto inverted : { 0.0f, 1.0f })
        {
            // The envelope (+40) would keep a huge input in mind for good.
            const std::initializer_list<std::pair<int, float>> settings { { oversamplingIndex, choiceValue (choice) }, { prePostIndex, inverted }, { foldAmountIndex, 0.4f }, { feedbackIndex, 0.8f }, { mixIndex, 0.7f }, { envelopeAmountIndex, 0.7f } };
            Rig cleanRig (settings);
            const auto clean = cleanRig.run (tone);
            const auto cleanLevel = rms (clean, badEnd + frames (100.0), badEnd + frames (150.0));

            for (const auto& kind : kinds)
            {
                SCOPED_TRACE (juce::String (kind.name) + ", oversampling " + juce::String (choice) + ", PrePost " + juce::String (inverted));
                auto input = tone;
                std::fill (input.begin() + (long) badStart, input.begin() + (long) badEnd, kind.value);

                Rig rig (settings);
                const auto output = rig.run (input);

                EXPECT_TRUE (allFinite (output));
                EXPECT_NEAR (20.0 * std::log10 (rms (output, badEnd + frames (100.0), badEnd + frames (150.0)) / cleanLevel), 0.0, 0.1);
            }
        }
}

TEST (ChainRobustness, AStateGoneNonFiniteIsClearedAndTheChainRecovers)
{
    // The input is cleaned at the chain's entry, but a gain can still go bad:
    // here the Input parameter is handed a NaN for a while.
    for (int choice : { 0, 2, 4 })
    {
        SCOPED_TRACE (choice);
        Rig rig { { oversamplingIndex, choiceValue (choice) }, { foldAmountIndex, 0.4f }, { feedbackIndex, 0.8f }, { mixIndex, 0.7f } };
        const auto before = rig.run (sine (330.0, 0.2, 0.4f));

        rig.processor.getParameterSet().input->setValue (std::numeric_limits<float>::quiet_NaN());
        const auto during = rig.run (sine (330.0, 0.05, 0.4f));
        rig.processor.getParameterSet().input->setValue (0.5f);
        const auto after = rig.run (sine (330.0, 0.3, 0.4f));

        EXPECT_TRUE (allFinite (during));
        EXPECT_TRUE (allFinite (after));
        EXPECT_NEAR (20.0 * std::log10 (rms (after, frames (100.0), after.size()) / rms (before, frames (100.0), before.size())), 0.0, 0.1);
    }
}

TEST (ChainRobustness, ResetClearsEveryStateSoSilenceComesOutAtOnce)
{
    for (int choice = 0; choice < 5; ++choice)
        for (auto inverted : { 0.0f, 1.0f })
        {
            SCOPED_TRACE (juce::String (choice) + ", PrePost " + juce::String (inverted));
            Rig rig { { oversamplingIndex, choiceValue (choice) }, { prePostIndex, inverted }, { foldAmountIndex, 0.4f }, { feedbackIndex, 0.9f }, { mixIndex, 0.5f }, { envelopeAmountIndex, 0.9f } };
            rig.run (sine (330.0, 0.2, 0.4f));

            rig.processor.reset();
            const auto output = rig.run (silence (0.05));
            EXPECT_EQ (peak (output, 0, output.size()), 0.0f);
        }
}

TEST (ChainRobustness, TheFirstTwoMillisecondsAfterActivationPeakWithinFiveHundredthsOfSteadyState)
{
    // A cosine of 0.3 at the defaults: 375 Hz has a whole period of 128 frames,
    // so a second of it leaves a warmed-up instance at the fresh one's phase.
    // The filters' own start from rest changes the first samples' shape a
    // little; a fold at the wrong drive would more than double their peak.
    const auto cosine = sine (375.0, 1.0, 0.3f, 0.5 * pi);
    const std::vector<float> opening (cosine.begin(), cosine.begin() + (long) frames (20.0));

    for (int choice = 0; choice < 5; ++choice)
        for (auto inverted : { 0.0f, 1.0f })
        {
            SCOPED_TRACE (juce::String (choice) + ", PrePost " + juce::String (inverted));
            const std::initializer_list<std::pair<int, float>> settings { { oversamplingIndex, choiceValue (choice) }, { prePostIndex, inverted } };
            Rig fresh (settings), warmed (settings);
            warmed.run (cosine);

            const auto first = fresh.run (opening);
            const auto steady = warmed.run (opening);
            const auto from = (size_t) fresh.processor.getLatencySamples();
            EXPECT_NEAR (peak (first, from, from + frames (2.0)), peak (steady, from, from + frames (2.0)), 0.05f);
        }
}

TEST (ChainRobustness, AnOversamplingChangeWhilePlayingStepsNoFurtherThanSteadyPlay)
{
    const std::pair<int, int> changes[] = { { 0, 1 }, { 1, 4 }, { 4, 2 }, { 2, 0 }, { 3, 0 } };

    for (auto [from, to] : changes)
        for (auto blockSize : { 64, 1024 })
        {
            SCOPED_TRACE (juce::String (from) + " to " + juce::String (to) + " in blocks of " + juce::String (blockSize));
            Rig rig ({ { oversamplingIndex, choiceValue (from) } }, blockSize);
            const auto steady = rig.run (sine (220.0, 0.3, 0.3f));

            rig.set (oversamplingIndex, choiceValue (to));
            const auto across = rig.run (sine (220.0, 0.1, 0.3f, 2.0 * pi * 220.0 * 0.3));
            EXPECT_EQ (rig.processor.getOversamplingIndex(), to);

            const auto played = join ({ steady, across }); // the step into the change counts too
            const auto steadyStep = largestStep (steady, frames (100.0), steady.size());
            const auto acrossStep = largestStep (played, steady.size() - 1, played.size());
            EXPECT_LE (acrossStep, 1.1f * steadyStep);
        }
}

TEST (ChainRobustness, OutputDoesNotDependOnTheHostsBlockSplit)
{
    std::vector<float> input = sine (110.0, 0.25, 0.5f);
    juce::Random random (3);
    for (auto& s : input)
        s += 0.05f * (2.0f * random.nextFloat() - 1.0f);

    for (int choice = 0; choice < 5; ++choice)
    {
        SCOPED_TRACE (choice);
        const std::initializer_list<std::pair<int, float>> settings { { oversamplingIndex, choiceValue (choice) }, { foldAmountIndex, 0.5f }, { envelopeAmountIndex, 0.8f }, { envelopeAttackIndex, 0.02f }, { feedbackIndex, 0.7f }, { mixIndex, 0.7f }, { autoGainIndex, 1.0f } };
        Rig whole (settings, 4096);
        const auto reference = whole.run (input);

        for (auto split : { 1, 7, 64, 256 })
        {
            Rig pieces (settings, 4096);
            const auto output = pieces.run (input, split);
            ASSERT_EQ (output.size(), reference.size());
            for (size_t n = 0; n < output.size(); ++n)
                ASSERT_NEAR (output[n], reference[n], 1.0e-6f) << "split " << split << ", frame " << n;
        }
    }
}

TEST (ChainRobustness, TheDriftSeedMakesRendersRepeatAndAnOfflineRenderRepeatsWithoutOne)
{
    const auto input = sine (110.0, 0.2, 0.5f);
    const auto render = [&input] (std::optional<juce::int64> seed, bool offline)
    {
        WrendleFoldProcessor processor;
        if (seed)
            processor.setDriftSeed (*seed);
        processor.setNonRealtime (offline);
        processor.getParameterSet().foldAmount->setValueNotifyingHost (0.5f);
        processor.prepareToPlay (sampleRate, 256);

        std::vector<float> output;
        juce::MidiBuffer midi;
        for (size_t start = 0; start + 256 <= input.size(); start += 256)
        {
            juce::AudioBuffer<float> buffer (2, 256);
            for (int ch = 0; ch < 2; ++ch)
                buffer.copyFrom (ch, 0, input.data() + start, 256);
            processor.processBlock (buffer, midi);
            output.insert (output.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + 256);
        }
        return output;
    };

    EXPECT_EQ (render (5, false), render (5, false));
    EXPECT_NE (render (5, false), render (6, false));
    EXPECT_EQ (render (std::nullopt, true), render (std::nullopt, true));
    EXPECT_NE (render (std::nullopt, false), render (std::nullopt, false)); // real time starts from the clock
}

TEST (ChainRobustness, ResetBadInputAndABadStateAllocateNothing)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "allocation counting is off in sanitizer builds";

    for (int choice : { 0, 2, 4 })
    {
        SCOPED_TRACE (choice);
        Rig rig { { oversamplingIndex, choiceValue (choice) }, { mixIndex, 0.5f } };
        rig.runSine (10);

        juce::AudioBuffer<float> bad (2, defaultBlockSize);
        bad.clear();
        bad.setSample (0, 10, std::numeric_limits<float>::quiet_NaN());
        bad.setSample (1, 20, std::numeric_limits<float>::infinity());
        auto& input = *rig.processor.getParameterSet().input;
        input.setValue (std::numeric_limits<float>::quiet_NaN());

        const allocation::ScopedCounter counter;
        rig.processor.reset();
        for (int block = 0; block < 4; ++block)
            rig.processor.processBlock (bad, rig.midi);
        EXPECT_EQ (counter.count(), 0u);
    }
}
} // namespace
