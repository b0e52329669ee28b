#include "FrequencyResponse.h"

#include "engine/dsp/BiquadFilter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvel
{
namespace
{

    constexpr double pi = 3.141592653589793238462643383279;

    /** The bilinear transform of 1 / (s² + s / Q + 1), pre-warped at the cutoff. */
    double analyticLowPassMagnitude (double frequencyHz, double cutoffHz, double q, double sampleRate)
    {
        const double w = std::tan (pi * frequencyHz / sampleRate) / std::tan (pi * cutoffHz / sampleRate);
        return 1.0 / std::hypot (1.0 - w * w, w / q);
    }

    BiquadFilter preparedFilter (double cutoffHz, double sampleRate)
    {
        BiquadFilter filter;
        filter.setCutoffHz (cutoffHz);
        filter.prepare (sampleRate, 0.01);
        return filter;
    }

    TEST (BiquadFilter, LowPassMagnitudeMatchesTheAnalyticBilinearResponse)
    {
        struct Case
        {
            double cutoffHz, sampleRate;
        };

        for (const auto& c : { Case { 1000.0, 48000.0 }, Case { 20000.0, 44100.0 * 8 }, Case { 3.0, 44100.0 } })
        {
            auto filter = preparedFilter (c.cutoffHz, c.sampleRate);
            ASSERT_FALSE (filter.isGliding());

            const int length = c.cutoffHz < 10.0 ? 1 << 17 : 1 << 14;
            const auto response = test::impulseResponse (length, [&] (float x)
                                                         { return filter.processSample (x, 0); });

            for (double ratio : { 0.1, 0.5, 1.0, 2.0, 5.0 })
            {
                const double frequencyHz = c.cutoffHz * ratio;
                const double expected = analyticLowPassMagnitude (frequencyHz, c.cutoffHz, 0.707, c.sampleRate);
                EXPECT_NEAR (test::magnitudeAt (response, frequencyHz, c.sampleRate), expected, expected * 1.0e-5 + 1.0e-7)
                    << "cutoff " << c.cutoffHz << " Hz, at " << frequencyHz << " Hz";
            }
        }
    }

    TEST (BiquadFilter, CoefficientsFollowTheLowPassFormula)
    {
        const auto filter = preparedFilter (2500.0, 48000.0);
        const auto c = filter.getCoefficients();
        const double k = std::tan (pi * 2500.0 / 48000.0);
        const double e = 1.0 / (1.0 + k / 0.707 + k * k);

        EXPECT_DOUBLE_EQ (c.b0, k * k * e);
        EXPECT_DOUBLE_EQ (c.b1, 2.0 * k * k * e);
        EXPECT_DOUBLE_EQ (c.b2, k * k * e);
        EXPECT_DOUBLE_EQ (c.a1, 2.0 * (k * k - 1.0) * e);
        EXPECT_DOUBLE_EQ (c.a2, (1.0 - k / 0.707 + k * k) * e);
    }

    TEST (BiquadFilter, NormalisedCutoffIsClampedBeforeTheCoefficientsAreFormed)
    {
        struct Case
        {
            double target, expected;
        };

        const Case cases[] = {
            { 0.6, 0.49999999 },
            { 0.5, 0.49999999 },
            { 0.0, 4.0e-8 },
            { -1.0, 4.0e-8 },
            { 0.25, 0.25 },
        };

        for (const auto& c : cases)
        {
            auto filter = preparedFilter (1000.0, 48000.0);
            filter.setNormalisedCutoffTarget (c.target);

            // Glide to the end: floor (0.01 × 48000) frames.
            float y = 0.0f;
            for (int n = 0; n < 480; ++n)
                y = filter.processSample ((float) std::sin (2.0 * pi * 100.0 * n / 48000.0), 0);

            EXPECT_FALSE (filter.isGliding());
            EXPECT_EQ (filter.getNormalisedCutoff(), c.expected) << "target " << c.target;
            EXPECT_TRUE (std::isfinite (y));

            const double k = std::tan (pi * c.expected);
            EXPECT_DOUBLE_EQ (filter.getCoefficients().b0, k * k / (1.0 + k / 0.707 + k * k));
        }
    }

    TEST (BiquadFilter, ACutoffAtNyquistPassesLowFrequenciesUnchanged)
    {
        auto filter = preparedFilter (1000.0, 48000.0);
        filter.setNormalisedCutoffTarget (0.6);

        for (int n = 0; n < 480; ++n)
            filter.processSample (0.0f, 0);

        // The cutoff ends at 0.49999999 cycles per sample: w ≈ 0, |H| ≈ 1.
        for (int n = 0; n < 4800; ++n)
        {
            const float x = (float) std::sin (2.0 * pi * 440.0 * n / 48000.0);
            EXPECT_NEAR (filter.processSample (x, 0), x, 1.0e-5f);
        }
    }

    TEST (BiquadFilter, PrepareLimitsTheCutoffToTheMaximumAndSetsTheRampLength)
    {
        struct Case
        {
            double cutoffHz, sampleRate, expectedMaximumHz, expectedCutoffHz;
        };

        const Case cases[] = {
            { 30000.0, 44100.0, 22000.0, 22000.0 },
            { 30000.0, 40000.0, 19998.0, 19998.0 }, // (40000 − 4) / 2
            { -10.0, 48000.0, 22000.0, 0.0 },
            { 800.0, 96000.0, 22000.0, 800.0 },
        };

        for (const auto& c : cases)
        {
            auto filter = preparedFilter (c.cutoffHz, c.sampleRate);
            EXPECT_EQ (filter.getMaximumCutoffHz(), c.expectedMaximumHz);
            EXPECT_DOUBLE_EQ (filter.getNormalisedCutoff(),
                              std::max (c.expectedCutoffHz / c.sampleRate, BiquadFilter::minimumNormalisedCutoff));
            EXPECT_EQ (filter.getQ(), 0.707);
        }
    }

    TEST (BiquadFilter, CutoffGlidesLinearlyOncePerFrameAndLandsOnTheTarget)
    {
        auto filter = preparedFilter (1000.0, 48000.0);
        const double from = 1000.0 / 48000.0;
        const double to = 4000.0 / 48000.0;
        filter.setNormalisedCutoffTarget (to);

        // Channel 1 alone never moves the coefficients.
        filter.processSample (0.5f, 1);
        EXPECT_DOUBLE_EQ (filter.getNormalisedCutoff(), from);

        for (int n = 1; n <= 480; ++n)
        {
            float left = 0.25f, right = -0.25f;
            filter.processFrame (left, right);

            if (n < 480)
            {
                EXPECT_NEAR (filter.getNormalisedCutoff(), from + (to - from) * n / 480.0, 1.0e-12);
            }
        }

        EXPECT_EQ (filter.getNormalisedCutoff(), to);
        EXPECT_FALSE (filter.isGliding());
    }

    TEST (BiquadFilter, ChannelsAreIndependentAndResetClearsThem)
    {
        auto filter = preparedFilter (700.0, 44100.0);
        auto fresh = filter;

        for (int n = 0; n < 64; ++n)
        {
            float left = 1.0f, right = 0.0f;
            filter.processFrame (left, right);
            EXPECT_EQ (right, 0.0f); // a silent channel stays silent beside a loud one
        }

        filter.reset();

        for (int n = 0; n < 64; ++n)
        {
            const float x = n == 0 ? 1.0f : 0.0f;
            EXPECT_EQ (filter.processSample (x, 0), fresh.processSample (x, 0));
            EXPECT_EQ (filter.processSample (x, 1), fresh.processSample (x, 1));
        }
    }

} // namespace
} // namespace orvel
