#include "engine/dsp/SoftClipStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvel
{
namespace
{

    constexpr double pi = 3.141592653589793238462643383279;

    RampedValue switchAt (float value)
    {
        RampedValue softClip;
        softClip.prepare (44100.0, 0.01);
        softClip.setImmediate (value);
        return softClip;
    }

    std::vector<float> sine (int length, double frequencyHz, double amplitude, double sampleRate = 44100.0)
    {
        std::vector<float> signal ((size_t) length);
        for (int n = 0; n < length; ++n)
            signal[(size_t) n] = (float) (amplitude * std::sin (2.0 * pi * frequencyHz * n / sampleRate));
        return signal;
    }

    TEST (SoftClipStage, WithoutOversamplingTheSwitchedOnStageIsTheErrorFunction)
    {
        SoftClipStage stage;
        stage.select (0);
        stage.prepare (16);
        auto softClip = switchAt (1.0f);

        // erf from tables.
        const float inputs[] = { 0.0f, 0.5f, 1.0f, 2.0f, -1.0f, -3.0f, 10.0f, -0.1f };
        const float expected[] = { 0.0f, 0.5204998778f, 0.8427007929f, 0.9953222650f,
                                   -0.8427007929f, -0.9999779095f, 1.0f, -0.1124629160f };

        std::vector<float> left (std::begin (inputs), std::end (inputs));
        std::vector<float> right (left.rbegin(), left.rend());
        stage.process (left.data(), right.data(), (int) left.size(), softClip);

        for (size_t i = 0; i < left.size(); ++i)
        {
            EXPECT_NEAR (left[i], expected[i], 1.0e-7f) << "erf (" << inputs[i] << ")";
            EXPECT_NEAR (right[left.size() - 1 - i], expected[i], 1.0e-7f);
        }
    }

    TEST (SoftClipStage, SwitchedOffWithoutOversamplingItPassesTheSignalUnchanged)
    {
        SoftClipStage stage;
        stage.prepare (64);
        auto softClip = switchAt (0.0f);

        const auto input = sine (64, 1000.0, 3.0);
        auto left = input, right = input;
        stage.process (left.data(), right.data(), 64, softClip);

        EXPECT_EQ (left, input);
        EXPECT_EQ (right, input);
        EXPECT_EQ (stage.getLatencyInSamples(), 0.0f);
    }

    /** The lag (0..maxLag) at which output best matches the input. */
    int bestLag (const std::vector<float>& input, const std::vector<float>& output, int maxLag, int from)
    {
        int best = -1;
        double bestError = 1.0e300;

        for (int lag = 0; lag <= maxLag; ++lag)
        {
            double error = 0.0;
            for (size_t n = (size_t) from; n < output.size(); ++n)
                error += std::pow ((double) output[n] - (double) input[n - (size_t) lag], 2.0);

            if (error < bestError)
            {
                bestError = error;
                best = lag;
            }
        }

        return best;
    }

    TEST (SoftClipStage, ReportedLatencyIsAWholeNumberThatMatchesTheRoundTripDelay)
    {
        float previousLatency = 0.0f;

        for (int index = 1; index <= 4; ++index)
        {
            SoftClipStage stage;
            stage.select (index);
            stage.prepare (256);
            EXPECT_EQ (stage.getFactor(), 1 << index);

            const float latency = stage.getLatencyInSamples();
            EXPECT_EQ (latency, std::round (latency)) << "index " << index;
            EXPECT_GE (latency, previousLatency);
            EXPECT_GT (latency, 0.0f);
            previousLatency = latency;

            // Switched off, the stage still runs the round trip: a low sine comes
            // back delayed by the reported latency and otherwise intact.
            auto softClip = switchAt (0.0f);
            const auto input = sine (4096, 150.0, 0.8);
            auto left = input, right = input;

            for (int start = 0; start < 4096; start += 256)
                stage.process (left.data() + start, right.data() + start, 256, softClip);

            EXPECT_EQ (bestLag (input, left, 100, 1024), (int) latency) << "index " << index;
            EXPECT_EQ (left, right);

            for (size_t n = 1024; n < input.size(); ++n)
                ASSERT_NEAR (left[n], input[n - (size_t) latency], 2.0e-3f) << "index " << index << ", sample " << n;
        }
    }

    TEST (SoftClipStage, SwitchedOnWithOversamplingItSaturatesTheDelayedSignalThroughErf)
    {
        SoftClipStage stage;
        stage.select (2);
        stage.prepare (512);
        const auto latency = (size_t) stage.getLatencyInSamples();
        auto softClip = switchAt (1.0f);

        const auto input = sine (4096, 100.0, 1.5);
        auto left = input, right = input;
        for (int start = 0; start < 4096; start += 512)
            stage.process (left.data() + start, right.data() + start, 512, softClip);

        for (size_t n = 1024; n < input.size(); ++n)
            ASSERT_NEAR (left[n], std::erf (input[n - latency]), 5.0e-3f) << "sample " << n;
    }

    TEST (SoftClipStage, SwitchingOnCrossfadesOnceForEveryOversampledFrame)
    {
        // Without oversampling: frame k of the fade blends with s = k / 441.
        {
            SoftClipStage stage;
            stage.prepare (1024);
            auto softClip = switchAt (0.0f);
            softClip.setTarget (1.0f);

            const float x = 0.8f;
            std::vector<float> left (600, x), right (600, -x);
            stage.process (left.data(), right.data(), 600, softClip);

            for (int k = 1; k <= 600; ++k)
            {
                const float s = (float) std::min (k, 441) / 441.0f;
                ASSERT_NEAR (left[(size_t) k - 1], (1.0f - s) * x + s * std::erf (x), 1.0e-5f) << "frame " << k;
                ASSERT_NEAR (right[(size_t) k - 1], -left[(size_t) k - 1], 1.0e-7f);
            }
        }

        // At 4×, the same 441-step ramp is used up after ceil (441 / 4) = 111 base frames.
        {
            SoftClipStage stage;
            stage.select (2);
            stage.prepare (1024);
            auto softClip = switchAt (0.0f);
            softClip.setTarget (1.0f);

            std::vector<float> left (110, 0.5f), right (110, 0.5f);
            stage.process (left.data(), right.data(), 110, softClip);
            EXPECT_TRUE (softClip.isGliding());
            EXPECT_EQ (softClip.countdown, 441 - 440);

            stage.process (left.data(), right.data(), 1, softClip);
            EXPECT_FALSE (softClip.isGliding());
            EXPECT_EQ (softClip.current, 1.0f);
        }
    }

    TEST (SoftClipStage, BlocksLongerThanPreparedAreProcessedInPiecesWithTheSameResult)
    {
        SoftClipStage whole, pieces;
        for (auto* stage : { &whole, &pieces })
        {
            stage->select (3);
            stage->prepare (64);
        }

        auto switchWhole = switchAt (0.0f);
        auto switchPieces = switchAt (0.0f);
        switchWhole.setTarget (1.0f);
        switchPieces.setTarget (1.0f);

        const auto input = sine (1000, 440.0, 2.0);
        auto wholeLeft = input, wholeRight = input;
        auto piecesLeft = input, piecesRight = input;

        whole.process (wholeLeft.data(), wholeRight.data(), 1000, switchWhole);

        for (int start = 0; start < 1000; start += 40)
            pieces.process (piecesLeft.data() + start, piecesRight.data() + start, 40, switchPieces);

        EXPECT_EQ (wholeLeft, piecesLeft);
        EXPECT_EQ (wholeRight, piecesRight);
    }

    TEST (SoftClipStage, AnUnpreparedOversamplerLeavesTheBufferUntouched)
    {
        SoftClipStage stage;
        stage.prepare (32); // index 0 only
        stage.select (4);
        auto softClip = switchAt (1.0f);

        const auto input = sine (32, 1000.0, 2.0);
        auto left = input, right = input;
        stage.process (left.data(), right.data(), 32, softClip);

        EXPECT_EQ (left, input);
        EXPECT_EQ (right, input);
    }

    TEST (SoftClipStage, ResetClearsTheOversamplerMemory)
    {
        SoftClipStage stage;
        stage.select (1);
        stage.prepare (64);
        auto softClip = switchAt (1.0f);

        std::vector<float> left (64, 1.0f), right (64, 1.0f);
        stage.process (left.data(), right.data(), 64, softClip);
        stage.reset();

        std::vector<float> silenceLeft (64, 0.0f), silenceRight (64, 0.0f);
        stage.process (silenceLeft.data(), silenceRight.data(), 64, softClip);

        for (size_t n = 0; n < 64; ++n)
        {
            EXPECT_EQ (silenceLeft[n], 0.0f);
            EXPECT_EQ (silenceRight[n], 0.0f);
        }
    }

} // namespace
} // namespace orvel
