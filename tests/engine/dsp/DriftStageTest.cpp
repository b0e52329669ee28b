#include "engine/dsp/DriftStage.h"
#include "engine/dsp/InlineRandom.h"
#include "engine/dsp/RandomLfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace orvel
{
namespace
{

    TEST (RandomLfo, OutputStaysWithinZeroAndTheAmplitudeAtAnyRate)
    {
        for (float rateHz : { 0.0f, 0.5f, 3.7f, 400.0f, 5000.0f, 1.0e9f })
        {
            RandomLfo lfo;
            lfo.prepare (1000);
            lfo.setRateHz (rateHz);
            lfo.setAmplitudeTarget (0.25f);

            for (int n = 0; n < 20000; ++n)
            {
                const float value = lfo.nextValue();
                ASSERT_GE (value, 0.0f) << rateHz << " Hz";

                // The amplitude glides down from 1 over the first 10 ms.
                ASSERT_LE (value, n < 10 ? 1.0f : 0.25f) << rateHz << " Hz, sample " << n;
            }
        }
    }

    TEST (RandomLfo, RatesBelowOneHundredthOfAHertzAreRaised)
    {
        RandomLfo lfo;
        lfo.prepare (48000);
        lfo.setRateHz (0.0f);
        EXPECT_EQ (lfo.getRateHz(), 0.01f);
        EXPECT_FLOAT_EQ (lfo.getPhaseIncrement(), 0.01f / 48000.0f * 1024.0f);
    }

    TEST (RandomLfo, HoldsTwoNewRandomLevelsInEveryCycle)
    {
        // 2 Hz at 1000 Hz: each half cycle lasts 250 samples, long enough for the
        // 100 Hz smoother to settle on the half's level, which is then (r + 1) / 2.
        RandomLfo lfo;
        lfo.prepare (1000);
        lfo.setRateHz (2.0f);

        const int cycles = 20;
        std::vector<float> output;
        for (int n = 0; n < cycles * 500; ++n)
            output.push_back (lfo.nextValue());

        std::set<float> levels;

        for (int half = 1; half < cycles * 2; ++half)
        {
            // Samples 150..240 of each half are settled and equal.
            const float level = output[(size_t) (half * 250 + 240)];
            EXPECT_NEAR (output[(size_t) (half * 250 + 150)], level, 1.0e-6f) << "half " << half;
            levels.insert (level);
        }

        // A table that was never redrawn would give two levels only.
        EXPECT_GT (levels.size(), (size_t) cycles);
    }

    TEST (DriftStage, GainIsNeverAboveOneAndStaysWithinItsDepth)
    {
        const double sampleRate = 44100.0;
        DriftStage drift;
        drift.prepare (sampleRate);
        drift.setDepthTarget (0.013f);

        // The first preparation ramps the depth from 1 down over 10 ms (and the
        // LFO amplitudes from 1): the gain dips a little but never rises above unity.
        float lowest = 1.0f;
        for (int n = 0; n < (int) sampleRate; ++n)
        {
            float left = 1.0f, right = 1.0f;
            drift.processFrame (left, right);
            ASSERT_LE (left, 1.0f);
            ASSERT_LE (right, 1.0f);
            ASSERT_GT (left, 0.9f);
            ASSERT_GT (right, 0.9f);
            lowest = std::min ({ lowest, left, right });
        }
        EXPECT_LT (lowest, 0.9999f);

        // Prepared again, the stage starts settled: the targets are 1 − (LFO +
        // noise) × depth, with LFO ≤ 0.0996 (0.08976 right), noise < 0.0096
        // (0.0088), depth 0.013.
        drift.prepare (sampleRate);
        const float lowestLeft = 1.0f - (0.0996f + 0.0096f) * 0.013f;
        const float lowestRight = 1.0f - (0.08976f + 0.0088f) * 0.013f;

        std::vector<float> left ((size_t) sampleRate * 5, 1.0f);
        std::vector<float> right = left;
        drift.process (left.data(), right.data(), (int) left.size());

        for (size_t n = 0; n < left.size(); ++n)
        {
            ASSERT_LE (left[n], 1.0f);
            ASSERT_LE (right[n], 1.0f);
            ASSERT_GE (left[n], lowestLeft - 1.0e-6f);
            ASSERT_GE (right[n], lowestRight - 1.0e-6f);
        }
    }

    TEST (DriftStage, EveryPreparationDrawsRatesAndGlideLengthsInTheirRanges)
    {
        const double sampleRate = 48000.0;
        DriftStage drift;
        std::set<float> rates;

        for (int i = 0; i < 30; ++i)
        {
            drift.prepare (sampleRate);

            for (const auto* lfo : { &drift.getLfo1(), &drift.getLfo2() })
            {
                EXPECT_GE (lfo->getRateHz(), 2.0f);
                EXPECT_LT (lfo->getRateHz(), 5.0f);
                EXPECT_EQ (lfo->getSampleRate(), 48000);
                rates.insert (lfo->getRateHz());
            }

            EXPECT_GE (drift.getLeftGainRamp().lengthSamples, (int) std::floor (0.5678 * sampleRate));
            EXPECT_LE (drift.getLeftGainRamp().lengthSamples, (int) std::floor (0.7678 * sampleRate));
            EXPECT_GE (drift.getRightGainRamp().lengthSamples, (int) std::floor (0.5 * sampleRate));
            EXPECT_LE (drift.getRightGainRamp().lengthSamples, (int) std::floor (0.7 * sampleRate));
            EXPECT_EQ (drift.getDepthRamp().lengthSamples, 480);
            EXPECT_EQ (drift.getLfo1().getAmplitudeRamp().target, 0.0996f);
            EXPECT_EQ (drift.getLfo2().getAmplitudeRamp().target, 0.08976f);
        }

        EXPECT_GT (rates.size(), (size_t) 30);
    }

    TEST (InlineRandom, GivesJuceRandomsNumbersAndLeavesItsSeed)
    {
        // 0x817bb27b1744 steps to the largest state, whose float rounds up to 1
        // and is pulled back below it; a negative seed is taken as its bits.
        for (juce::int64 seed : { (juce::int64) 0, (juce::int64) 1, (juce::int64) 0x817bb27b1744, (juce::int64) -123456789012345, (juce::int64) 0x7fffffffffffffff })
        {
            juce::Random reference (seed);
            InlineRandom inlined (reference);
            for (int n = 0; n < 100000; ++n)
            {
                float first, second;
                inlined.nextTwoFloats (first, second);
                ASSERT_EQ (first, reference.nextFloat()) << seed << ", draw " << n;
                ASSERT_EQ (second, reference.nextFloat()) << seed << ", draw " << n;
                ASSERT_EQ ((juce::int64) inlined.seed, reference.getSeed());
            }
        }
    }

    TEST (DriftStage, ABlockFollowsTheFrameByFrameLawWhateverTheSplitAndLeavesTheGeneratorAsJuceRandomWould)
    {
        // The law, frame by frame: each gain ramp retargeted to
        // 1 − (LFO + noise × scale) × depth, then advanced; the block path
        // multiplies by the length's reciprocal where the ramp divides.
        struct Law
        {
            explicit Law (const DriftStage& stage)
                : random (stage.getRandom()), lfo1 (stage.getLfo1()), lfo2 (stage.getLfo2()),
                  left (stage.getLeftGainRamp()), right (stage.getRightGainRamp()), depth (stage.getDepthRamp())
            {
            }

            void processFrame (float& l, float& r)
            {
                const float f = random.nextFloat() * 0.0096f + lfo1.nextValue();
                const float d = depth.advance();
                left.setTarget (1.0f - f * d);
                const float h = lfo2.nextValue();
                right.setTarget (1.0f - (random.nextFloat() * 0.0088f + h) * d);
                l *= left.advance();
                r *= right.advance();
            }

            juce::Random random;
            RandomLfo lfo1, lfo2;
            RampedValue left, right, depth;
        };

        for (int split : { 1, 63, 64, 65, 480 })
        {
            DriftStage stage (42);
            stage.prepare (48000.0);
            stage.setDepthTarget (DriftStage::productDepth);
            Law law (stage);

            std::vector<float> left (48000), right (48000);
            for (size_t n = 0; n < left.size(); ++n)
                left[n] = -(right[n] = std::sin (0.01f * (float) n));
            auto lawLeft = left, lawRight = right;

            for (int start = 0; start < (int) left.size(); start += split)
                stage.process (left.data() + start, right.data() + start, std::min (split, (int) left.size() - start));
            for (size_t n = 0; n < left.size(); ++n)
                law.processFrame (lawLeft[n], lawRight[n]);

            for (size_t n = 0; n < left.size(); ++n)
            {
                ASSERT_NEAR (left[n], lawLeft[n], 1.0e-7f) << "split " << split << ", frame " << n;
                ASSERT_NEAR (right[n], lawRight[n], 1.0e-7f) << "split " << split << ", frame " << n;
            }
            EXPECT_EQ (stage.getRandom().getSeed(), law.random.getSeed()) << split;
            EXPECT_NEAR (stage.getLeftGainRamp().current, law.left.current, 1.0e-7f) << split;
        }
    }

} // namespace
} // namespace orvel
