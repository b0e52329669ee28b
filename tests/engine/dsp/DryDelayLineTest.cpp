#include "engine/dsp/DryDelayLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvel
{
namespace
{

    /** Feeds the sample numbers start, start + 1, ... (exact in float below 2^24),
        with their negatives on the right, and returns the delay each output frame
        had: its sample number minus the number it carries. */
    std::vector<int> delaysOf (DryDelayLine& line, int start, int numFrames)
    {
        std::vector<float> left ((size_t) numFrames), right ((size_t) numFrames);
        for (int n = 0; n < numFrames; ++n)
        {
            left[(size_t) n] = (float) (start + n);
            right[(size_t) n] = -(float) (start + n);
        }

        line.process (left.data(), right.data(), numFrames);

        std::vector<int> delays ((size_t) numFrames);
        for (int n = 0; n < numFrames; ++n)
        {
            EXPECT_EQ (right[(size_t) n], -left[(size_t) n]) << "both channels share one delay";
            delays[(size_t) n] = start + n - (int) left[(size_t) n];
        }
        return delays;
    }

    TEST (DryDelayLine, AZeroDelayReturnsTheFrameJustWritten)
    {
        DryDelayLine line;
        line.setDelayTargetSamples (0.0f);

        for (int delay : delaysOf (line, 1, 1000))
            ASSERT_EQ (delay, 0);
    }

    TEST (DryDelayLine, DelaysByExactlyItsTargetOnceSettled)
    {
        for (float target : { 1.0f, 7.0f, 40.0f, 300.0f })
        {
            DryDelayLine line;
            line.setDelayTargetSamples (target);
            delaysOf (line, 1, 441);

            for (int delay : delaysOf (line, 442, 2000))
                ASSERT_EQ (delay, (int) target);
        }
    }

    TEST (DryDelayLine, ChangingTheDelayStepsThroughEveryWholeValueOver441Samples)
    {
        DryDelayLine line;
        line.setDelayTargetSamples (0.0f);
        delaysOf (line, 1, 441); // settle at 0 (the construction value is 0.01)

        line.setDelayTargetSamples (40.0f);
        const auto delays = delaysOf (line, 442, 600);

        for (size_t n = 1; n < delays.size(); ++n)
        {
            ASSERT_GE (delays[n], delays[n - 1]) << "frame " << n;
            ASSERT_LE (delays[n], delays[n - 1] + 1) << "frame " << n;
        }

        // Linear glide: frame k (1-based) reads at trunc (40 k / 441); 40 is reached at frame 441.
        for (int k = 1; k <= 600; ++k)
            ASSERT_EQ (delays[(size_t) k - 1], std::min (40 * k / 441, 40)) << "frame " << k;
    }

    TEST (DryDelayLine, KeepsItsDelayAcrossManyBufferLengths)
    {
        DryDelayLine line;
        line.setDelayTargetSamples (25.0f);
        delaysOf (line, 0, 441);

        // Well past the 131072-frame buffer, in blocks of an awkward size.
        for (int start = 441; start < 441 + 3 * DryDelayLine::bufferLength; start += 4099)
            for (int delay : delaysOf (line, start, 4099))
                ASSERT_EQ (delay, 25);
    }

    TEST (DryDelayLine, DelayTargetsAreLimitedToTheBuffer)
    {
        struct Case
        {
            float requested, expected;
        };

        for (const auto& c : { Case { -5.0f, 0.0f }, Case { 1.0e9f, 131071.0f }, Case { 12.0f, 12.0f } })
        {
            DryDelayLine line;
            line.setDelayTargetSamples (c.requested);
            EXPECT_EQ (line.getDelayTargetSamples(), c.expected);
        }
    }

} // namespace
} // namespace orvel
