#include "engine/dsp/EnvelopeFollower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace orvel
{
namespace
{

    enum class Law
    {
        exponential,
        constantStep
    };

    float process (EnvelopeFollower& follower, Law law, float x)
    {
        return law == Law::exponential ? follower.processExponential (x) : follower.processConstantStep (x);
    }

    class EnvelopeFollowerLaws : public ::testing::TestWithParam<Law>
    {
    };

    INSTANTIATE_TEST_SUITE_P (BothLaws,
                              EnvelopeFollowerLaws,
                              ::testing::Values (Law::exponential, Law::constantStep),
                              [] (const ::testing::TestParamInfo<Law>& info)
                              { return std::string (info.param == Law::exponential ? "ExponentialLaw" : "ConstantStepLaw"); });

    TEST_P (EnvelopeFollowerLaws, WithZeroAttackTheInputIsReachedWithinOneSample)
    {
        for (int sampleRate : { 44100, 48000 })
        {
            for (float x : { 0.3f, -1.0f, 2.0f })
            {
                EnvelopeFollower follower;
                follower.prepare (sampleRate, 0.0, 100.0, 1.0f);

                const float out = process (follower, GetParam(), x);

                // 0 ms becomes 0.01 ms: the exponential law keeps 0.01^(1 / 0.441) ≈ 3e-5 of the distance.
                EXPECT_NEAR (out, std::abs (x), std::abs (x) * 1.0e-4f) << sampleRate << " Hz, input " << x;
            }
        }
    }

    TEST_P (EnvelopeFollowerLaws, ANonFiniteInputCountsAsSilence)
    {
        EnvelopeFollower follower;
        follower.prepare (48000, 0.0, 10.0, 1.0f);
        process (follower, GetParam(), 0.5f);

        for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
        {
            const float out = process (follower, GetParam(), bad);
            EXPECT_TRUE (std::isfinite (out));
            EXPECT_LE (out, 0.5f);
        }

        EXPECT_TRUE (std::isfinite (process (follower, GetParam(), 0.25f)));
    }

    TEST (EnvelopeFollower, ExponentialLawFallsToOnePercentOverTheReleaseTime)
    {
        const int sampleRate = 48000;
        EnvelopeFollower follower;
        follower.prepare (sampleRate, 0.0, 100.0, 1.0f);
        follower.processExponential (1.0f);
        const double start = follower.getEnvelope();

        // 100 ms = 4800 samples: the distance to 0 shrinks by 0.01 over 4800 samples.
        for (int n = 1; n <= 4800; ++n)
        {
            follower.processExponential (0.0f);

            if (n == 2400)
            {
                EXPECT_NEAR (follower.getEnvelope(), start * 0.1, 1.0e-9);
            }
        }

        EXPECT_NEAR (follower.getEnvelope(), start * 0.01, 1.0e-10);
    }

    TEST (EnvelopeFollower, ExponentialLawRisesTo99PercentOverTheAttackTime)
    {
        EnvelopeFollower follower;
        follower.prepare (44100, 20.0, 100.0, 1.0f);

        for (int n = 0; n < 882; ++n) // 20 ms
            follower.processExponential (-0.8f);

        EXPECT_NEAR (follower.getEnvelope(), (double) 0.8f * 0.99, 1.0e-9);
    }

    TEST (EnvelopeFollower, ConstantStepLawCrossesFullScaleInExactlyTheAttackAndReleaseTimes)
    {
        EnvelopeFollower follower;
        follower.prepare (48000, 10.0, 50.0, 1.0f); // 480 samples up, 2400 down

        for (int n = 1; n <= 480; ++n)
        {
            follower.processConstantStep (1.0f);
            EXPECT_NEAR (follower.getEnvelope(), std::min (n / 480.0, 1.0), 1.0e-12);
        }

        // Never beyond the input.
        follower.processConstantStep (1.0f);
        EXPECT_EQ (follower.getEnvelope(), 1.0);

        for (int n = 1; n <= 1200; ++n)
            follower.processConstantStep (0.0f);
        EXPECT_NEAR (follower.getEnvelope(), 0.5, 1.0e-9);

        // Falls to a lower input, not past it.
        for (int n = 0; n < 2400; ++n)
            follower.processConstantStep (0.25f);
        EXPECT_EQ (follower.getEnvelope(), 0.25);
    }

    TEST (EnvelopeFollower, NonPositiveTimesBecomeOneHundredthOfAMillisecond)
    {
        EnvelopeFollower follower;
        follower.prepare (48000, -3.0, 0.0, 1.0f);

        const double samples = 0.01 * 0.001 * 48000.0;
        EXPECT_DOUBLE_EQ (follower.getAttackStep(), 1.0 / samples);
        EXPECT_DOUBLE_EQ (follower.getReleaseStep(), 1.0 / samples);
        EXPECT_NEAR (follower.getAttackCoefficient(), std::pow (0.01, 1.0 / samples), 1.0e-15);
        EXPECT_NEAR (follower.getReleaseCoefficient(), std::pow (0.01, 1.0 / samples), 1.0e-15);
    }

    TEST (EnvelopeFollower, AmountScalesTheEnvelopeAfterAOneMillisecondGlide)
    {
        EnvelopeFollower follower;
        follower.prepare (48000, 0.0, 1000.0, 1.0f);
        follower.setAmountTarget (-0.5f);

        const int lengthSamples = 48; // floor (48000 × 0.001)
        EXPECT_EQ (follower.getAmountRamp().lengthSamples, lengthSamples);

        float out = 0.0f;
        for (int n = 1; n <= lengthSamples; ++n)
        {
            out = follower.processConstantStep (1.0f);

            if (n < lengthSamples)
            {
                EXPECT_GT (out, -0.5f);
            }
        }

        EXPECT_EQ (out, -0.5f * (float) follower.getEnvelope());
        EXPECT_EQ (follower.processExponential (1.0f), -0.5f * (float) follower.getEnvelope());
    }

    TEST (EnvelopeFollower, PrepareKeepsTheEnvelopeAndGlidesToTheNewAmount)
    {
        EnvelopeFollower follower;
        follower.prepare (44100, 0.0, 100.0, 1.0f);
        follower.processConstantStep (0.6f);
        follower.setAmountTarget (0.2f);

        follower.prepare (96000, 5.0, 100.0, 0.8f);

        EXPECT_EQ (follower.getEnvelope(), (double) 0.6f);
        // Snapped to the old target (0.2), then gliding to 0.8 over 96 samples.
        EXPECT_EQ (follower.getAmountRamp().current, 0.2f);
        EXPECT_EQ (follower.getAmountRamp().target, 0.8f);
        EXPECT_EQ (follower.getAmountRamp().countdown, 96);
    }

    TEST (EnvelopeFollower, AFreshFollowerFadesItsAmountInOver44Samples)
    {
        EnvelopeFollower follower;
        EXPECT_EQ (follower.getAmountRamp().current, 0.01f);
        EXPECT_EQ (follower.getAmountRamp().target, 1.0f);
        EXPECT_EQ (follower.getAmountRamp().countdown, 44);

        // The construction times: 5 ms attack, 100 ms release at 44100 Hz.
        EXPECT_DOUBLE_EQ (follower.getAttackStep(), 1.0 / (5.0 * 0.001 * 44100.0));
        EXPECT_DOUBLE_EQ (follower.getReleaseCoefficient(), std::pow (0.01, 1.0 / (100.0 * 44100.0 * 0.001)));
    }

} // namespace
} // namespace orvel
