#include "FrequencyResponse.h"

#include "engine/dsp/StateVariableFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace orvel
{
namespace
{

    constexpr double pi = 3.141592653589793238462643383279;

    // The product's resonance of 0.01 gives Q = 1 / (2 × 0.99), so R = 0.99.
    constexpr double damping = 0.99;

    /** The analogue prototype the TPT structure maps onto with pre-warping:
        w = tan (π f / fs) / tan (π fc / fs). */
    double analyticMagnitude (int mode, double frequencyHz, double cutoffHz, double sampleRate)
    {
        const double w = std::tan (pi * frequencyHz / sampleRate) / std::tan (pi * cutoffHz / sampleRate);
        const double denominator = std::hypot (1.0 - w * w, 2.0 * damping * w);
        return mode == StateVariableFilter::lowPass ? 1.0 / denominator : w * w / denominator;
    }

    StateVariableFilter preparedFilter (int mode, float cutoffHz, double sampleRate)
    {
        StateVariableFilter filter;
        filter.setMode (mode);
        filter.setCutoffTargetHz (cutoffHz);
        filter.prepare (sampleRate);
        filter.reset (true);
        return filter;
    }

    struct ResponseCase
    {
        int mode;
        float cutoffHz;
        double sampleRate;
    };

    class StateVariableFilterResponse : public ::testing::TestWithParam<ResponseCase>
    {
    };

    TEST_P (StateVariableFilterResponse, MagnitudeMatchesTheAnalyticPrewarpedResponse)
    {
        const auto [mode, cutoffHz, sampleRate] = GetParam();
        auto filter = preparedFilter (mode, cutoffHz, sampleRate);

        const auto response = test::impulseResponse (1 << 20, [&] (float x)
                                                     { return filter.processSample (x, 0); });

        for (double ratio : { 0.01, 0.1, 0.5, 1.0, 2.0, 8.0 })
        {
            const double frequencyHz = cutoffHz * ratio;

            if (frequencyHz >= sampleRate * 0.49)
                continue;

            const double expected = analyticMagnitude (mode, frequencyHz, cutoffHz, sampleRate);
            EXPECT_NEAR (test::magnitudeAt (response, frequencyHz, sampleRate), expected, expected * 1.0e-4 + 2.0e-6)
                << "mode " << mode << ", cutoff " << cutoffHz << " Hz, at " << frequencyHz << " Hz";
        }
    }

    INSTANTIATE_TEST_SUITE_P (Modes,
                              StateVariableFilterResponse,
                              ::testing::Values (ResponseCase { StateVariableFilter::lowPass, 1000.0f, 48000.0 },
                                                 ResponseCase { StateVariableFilter::lowPass, 20000.0f, 44100.0 * 4 },
                                                 ResponseCase { StateVariableFilter::highPass, 1000.0f, 48000.0 },
                                                 ResponseCase { StateVariableFilter::highPass, 20.0f, 44100.0 },
                                                 // the DC blocker
                                                 ResponseCase { StateVariableFilter::highPass, 15.9f, 44100.0 * 16 }),
                              [] (const ::testing::TestParamInfo<ResponseCase>& info)
                              {
                                  const auto& c = info.param;
                                  return std::string (c.mode == StateVariableFilter::lowPass ? "LowPass" : "HighPass") + std::to_string ((int) std::lround (c.cutoffHz * 10.0f)) + "DeciHertzAt" + std::to_string ((int) c.sampleRate) + "Hz";
                              });

    TEST (StateVariableFilter, LowPassAndHighPassHaveUnityGainAtTheEndsOfTheirPassBands)
    {
        auto lowPass = preparedFilter (StateVariableFilter::lowPass, 1000.0f, 48000.0);
        auto highPass = preparedFilter (StateVariableFilter::highPass, 1000.0f, 48000.0);

        float low = 0.0f;
        for (int n = 0; n < 48000; ++n)
            low = lowPass.processSample (1.0f, 0);

        float high = 0.0f;
        for (int n = 0; n < 48000; ++n)
            high = highPass.processSample (n % 2 == 0 ? 1.0f : -1.0f, 0);

        EXPECT_NEAR (low, 1.0f, 1.0e-5f);             // DC
        EXPECT_NEAR (std::abs (high), 1.0f, 1.0e-4f); // Nyquist
    }

    struct CutoffCase
    {
        float requestedHz;
        double sampleRate;
        float expectedHz;
    };

    TEST (StateVariableFilter, CutoffIsLimitedToOneHertzAndTheMaximumCutoff)
    {
        const CutoffCase cases[] = {
            { 0.0f, 44100.0, 1.0f },
            { -50.0f, 44100.0, 1.0f },
            { 0.5f, 44100.0, 1.0f },
            { 1000.0f, 44100.0, 1000.0f },
            { 30000.0f, 44100.0, 22000.0f }, // min ((44100 − 2) / 2, 22000)
            { 30000.0f, 40000.0, 19999.0f }, // (40000 − 2) / 2
            { 30000.0f, 192000.0, 22000.0f },
            { std::nanf (""), 48000.0, 1.0f },
        };

        for (const auto& c : cases)
        {
            StateVariableFilter filter;
            filter.prepare (c.sampleRate);
            filter.setCutoffTargetHz (c.requestedHz);
            EXPECT_EQ (filter.getCutoffTargetHz(), c.expectedHz) << c.requestedHz << " Hz at " << c.sampleRate;

            filter.reset (true);
            EXPECT_EQ (filter.getCutoffHz(), c.expectedHz);
            EXPECT_TRUE (std::isfinite (filter.processSample (1.0f, 0)));
        }
    }

    TEST (StateVariableFilter, PrepareLimitsAnEarlierCutoffToTheNewMaximum)
    {
        StateVariableFilter filter;
        filter.prepare (96000.0);
        filter.setCutoffTargetHz (21000.0f);
        filter.prepare (32000.0);

        EXPECT_EQ (filter.getMaximumCutoffHz(), 15999.0f);
        EXPECT_EQ (filter.getCutoffHz(), 15999.0f);
        EXPECT_FALSE (filter.isGliding());
    }

    TEST (StateVariableFilter, PreparingTwiceAtTheSameRateKeepsAGlideGoingAndOnlyResetSnapsIt)
    {
        StateVariableFilter filter;
        filter.prepare (48000.0);
        filter.setCutoffTargetHz (2000.0f);
        const int countdown = filter.getCutoffRamp().countdown;
        ASSERT_GT (countdown, 0);

        filter.prepare (48000.0);
        EXPECT_TRUE (filter.isGliding());
        EXPECT_EQ (filter.getCutoffRamp().countdown, countdown);

        filter.reset (true);
        EXPECT_FALSE (filter.isGliding());
        EXPECT_EQ (filter.getCutoffHz(), 2000.0f);
        EXPECT_NEAR (filter.getG(), std::tan (pi * 2000.0 / 48000.0), 1.0e-6);
    }

    TEST (StateVariableFilter, CutoffGlidesOncePerFrameOnTheChannelZeroCall)
    {
        const double sampleRate = 48000.0;
        StateVariableFilter filter;
        filter.prepare (sampleRate);
        filter.setCutoffTargetHz (500.0f);
        filter.reset (true);

        filter.setCutoffTargetHz (4000.0f);
        const int lengthSamples = filter.getCutoffRamp().lengthSamples;
        EXPECT_EQ (lengthSamples, (int) std::floor (0.01f * sampleRate)); // the ramp time is a float 0.01 s

        // Channel 1 alone never moves the coefficients.
        for (int n = 0; n < 10; ++n)
            filter.processSample (0.1f, 1);
        EXPECT_EQ (filter.getCutoffHz(), 500.0f);

        // A copy driven frame by frame must match the per-sample path exactly.
        auto twin = filter;

        for (int n = 1; n <= lengthSamples; ++n)
        {
            const float x = (float) std::sin (0.05 * n);
            float left = x, right = -x;
            twin.processFrame (left, right);
            EXPECT_EQ (filter.processSample (x, 0), left);
            EXPECT_EQ (filter.processSample (-x, 1), right);

            if (n < lengthSamples)
            {
                EXPECT_GT (filter.getCutoffHz(), 500.0f);
                EXPECT_LT (filter.getCutoffHz(), 4000.0f);
            }
        }

        EXPECT_EQ (filter.getCutoffHz(), 4000.0f);
        EXPECT_FALSE (filter.isGliding());
        EXPECT_NEAR (filter.getG(), std::tan (pi * 4000.0 / sampleRate), 1.0e-6);
    }

    TEST (StateVariableFilter, ResetClearsBothChannelsMemories)
    {
        auto filter = preparedFilter (StateVariableFilter::lowPass, 300.0f, 44100.0);
        auto fresh = filter;

        for (int n = 0; n < 100; ++n)
        {
            filter.processSample (0.9f, 0);
            filter.processSample (-0.7f, 1);
        }

        filter.reset (true);

        for (int n = 0; n < 20; ++n)
        {
            const float x = n == 0 ? 1.0f : 0.0f;
            EXPECT_EQ (filter.processSample (x, 0), fresh.processSample (x, 0));
            EXPECT_EQ (filter.processSample (x, 1), fresh.processSample (x, 1));
        }
    }

    TEST (StateVariableFilter, OtherModesCombineTheThreeOutputsAsDocumented)
    {
        // With one shared input, every mode is a fixed combination of HP, BP and LP.
        const double sampleRate = 48000.0;
        const float x = 0.75f;
        auto lp = preparedFilter (StateVariableFilter::lowPass, 1200.0f, sampleRate);
        auto bp = preparedFilter (StateVariableFilter::bandPass, 1200.0f, sampleRate);
        auto hp = preparedFilter (StateVariableFilter::highPass, 1200.0f, sampleRate);
        const float r2 = 2.0f * lp.getDamping();

        struct ModeCase
        {
            int mode;
            float (*combine) (float x, float hp, float bp, float lp, float r2);
        };

        const ModeCase cases[] = {
            { 3, [] (float, float, float b, float, float k)
              { return k * b; } },
            { 4, [] (float in, float, float b, float, float k)
              { return in + 0.01f * k * b; } }, // peak gain at its construction value
            { 5, [] (float in, float, float b, float, float k)
              { return in - k * b; } },
            { 6, [] (float in, float, float b, float, float k)
              { return in - 2.0f * k * b; } },
            { 7, [] (float, float h, float, float l, float)
              { return l - h; } },
            { 42, [] (float, float, float, float, float)
              { return 0.0f; } },
        };

        for (const auto& c : cases)
        {
            auto filter = preparedFilter (c.mode, 1200.0f, sampleRate);
            auto l = lp, b = bp, h = hp;

            for (int n = 0; n < 8; ++n)
            {
                const float expected = c.combine (x, h.processSample (x, 0), b.processSample (x, 0), l.processSample (x, 0), r2);
                EXPECT_NEAR (filter.processSample (x, 0), expected, 1.0e-6f) << "mode " << c.mode;
            }
        }
    }

    TEST (StateVariableFilter, TheVectorFrameGivesExactlyWhatTheTwoChannelCallsGiveInEveryModeWhileGliding)
    {
        for (int mode = 0; mode <= StateVariableFilter::lowMinusHigh; ++mode)
        {
            StateVariableFilter filter;
            filter.setMode (mode);
            filter.prepare (48000.0);
            filter.setCutoffTargetHz (300.0f);
            filter.reset (true);
            filter.setCutoffTargetHz (5000.0f); // glides through the whole run
            auto twin = filter;

            for (int n = 0; n < 600; ++n)
            {
                float left = (float) std::sin (0.05 * n), right = (float) std::cos (0.31 * n);
                const auto both = twin.processFrame (Float4::lanes (left, right, left, right));
                filter.processFrame (left, right);
                ASSERT_EQ (both.lane (0), left) << "mode " << mode << ", frame " << n;
                ASSERT_EQ (both.lane (1), right) << "mode " << mode << ", frame " << n;
            }
        }
    }

} // namespace
} // namespace orvel
