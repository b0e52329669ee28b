#include "FrequencyResponse.h"

#include "engine/dsp/DryMixPath.h"
#include "engine/dsp/StateVariableFilter.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvel
{
namespace
{

    constexpr double pi = 3.141592653589793238462643383279;
    constexpr double sampleRate = 48000.0;

    /** The smallest angle between two phases, in degrees. */
    double degreesApart (double a, double b)
    {
        return std::abs (std::remainder (a - b, 2.0 * pi)) * 180.0 / pi;
    }

    TEST (FirstOrderAllPass, PassesEveryFrequencyAtUnityAndTurnsMinus90DegreesAtItsCorner)
    {
        for (double cornerHz : { 20.0, 1000.0, 15000.0 })
        {
            FirstOrderAllPass allPass;
            allPass.setCornerTangent (std::tan (pi * cornerHz / sampleRate));
            const auto response = test::impulseResponse (1 << 16, [&] (float x)
                                                         { return allPass.processSample (x, 0); });

            for (double hz : { 5.0, 100.0, 1000.0, 10000.0, 23000.0 })
                EXPECT_NEAR (test::magnitudeAt (response, hz, sampleRate), 1.0, 1.0e-4) << cornerHz << " Hz corner at " << hz << " Hz";

            EXPECT_NEAR (test::phaseAt (response, cornerHz, sampleRate), -0.5 * pi, 1.0e-3) << cornerHz;
        }
    }

    TEST (DryMixPath, FollowsThePhaseOfTheLowPassHighPassAndDcBlockerAtFlatLevel)
    {
        // Without oversampling the path is the three all-passes alone; the wet
        // filters run at the same rate here.
        for (auto [lowPassHz, highPassHz] : { std::pair { 20000.0f, 20.0f }, std::pair { 3000.0f, 200.0f }, std::pair { 12000.0f, 1000.0f } })
        {
            SCOPED_TRACE (juce::String (lowPassHz) + " / " + juce::String (highPassHz));
            StateVariableFilter lowPass, highPass, dcBlocker;
            lowPass.setMode (StateVariableFilter::lowPass);
            highPass.setMode (StateVariableFilter::highPass);
            dcBlocker.setMode (StateVariableFilter::highPass);
            for (auto [filter, hz] : { std::pair { &lowPass, lowPassHz }, std::pair { &highPass, highPassHz }, std::pair { &dcBlocker, 15.9f } })
            {
                filter->setCutoffTargetHz (hz);
                filter->prepare (sampleRate);
                filter->reset (true);
            }

            DryMixPath dry;
            dry.prepare (sampleRate, 64);
            dry.select (0);
            dry.followFilters (lowPassHz, highPassHz, 15.9f, sampleRate);

            const auto wetResponse = test::impulseResponse (1 << 17, [&] (float x)
                                                            { return dcBlocker.processSample (highPass.processSample (lowPass.processSample (x, 0), 0), 0); });
            const auto dryResponse = test::impulseResponse (1 << 17, [&] (float x)
                                                            {
                                                                float left = x, right = x;
                                                                dry.process (&left, &right, 1);
                                                                return left; });

            for (double hz = 20.0; hz < 18000.0; hz *= 1.25)
            {
                EXPECT_NEAR (test::magnitudeAt (dryResponse, hz, sampleRate), 1.0, 1.0e-3) << hz << " Hz";
                EXPECT_LT (degreesApart (test::phaseAt (dryResponse, hz, sampleRate), test::phaseAt (wetResponse, hz, sampleRate)), 2.0) << hz << " Hz";
            }
        }
    }

    TEST (DryMixPath, WithOversamplingItKeepsTheLevelAndResetClearsItsMemory)
    {
        for (int index = 1; index < OversamplerBank::numOversamplers; ++index)
        {
            SCOPED_TRACE (index);
            DryMixPath dry;
            dry.prepare (sampleRate, 64);
            dry.select (index);
            dry.followFilters (20000.0f, 20.0f, 15.9f, sampleRate * OversamplerBank::factorForIndex (index));

            // A slow sine comes out at the same level.
            std::vector<float> left (16384), right (16384);
            for (size_t n = 0; n < left.size(); ++n)
                left[n] = right[n] = (float) std::sin (2.0 * pi * 50.0 * (double) n / sampleRate);
            for (size_t start = 0; start < left.size(); start += 64)
                dry.process (left.data() + start, right.data() + start, 64);

            float largest = 0.0f;
            for (size_t n = 12288; n < left.size(); ++n)
                largest = std::max (largest, std::abs (left[n]));
            EXPECT_NEAR (largest, 1.0f, 1.0e-3f);
            EXPECT_GT (dry.getLatencyInSamples(), 0.0f);

            dry.reset();
            std::vector<float> silentLeft (64, 0.0f), silentRight (64, 0.0f);
            dry.process (silentLeft.data(), silentRight.data(), 64);
            EXPECT_EQ (*std::max_element (silentLeft.begin(), silentLeft.end()), 0.0f);
            EXPECT_EQ (*std::min_element (silentLeft.begin(), silentLeft.end()), 0.0f);
        }
    }

} // namespace
} // namespace orvel
