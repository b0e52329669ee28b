#include "engine/dsp/RampedGain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvel
{
namespace
{

    TEST (RampedGain, ScalesExactlyAsAdvancingTheRampsFrameByFrameAndLeavesThemWhereTheyWouldBe)
    {
        struct Case
        {
            const char* name;
            float firstTarget, secondTarget;
            bool firstGlides, secondGlides;
        };
        const Case cases[] = {
            { "both idle at unity", 1.0f, 1.0f, false, false },
            { "both idle", 0.5f, 1.25f, false, false },
            { "first glides", 0.3f, 1.0f, true, false },
            { "second glides past the block's end", 1.0f, 2.0f, false, true },
            { "both glide", 0.1f, 1.9f, true, true },
        };

        for (const auto& c : cases)
        {
            RampedValue first (0.8f), second (1.0f);
            first.prepareLength (48000.0, c.firstGlides ? 100 : 0);
            second.prepareLength (48000.0, c.secondGlides ? 1000 : 0);
            first.setTarget (c.firstTarget);
            second.setTarget (c.secondTarget);
            auto firstByFrames = first, secondByFrames = second;

            std::vector<float> left (300), right (300);
            for (size_t n = 0; n < left.size(); ++n)
                right[n] = -(left[n] = std::sin (0.05f * (float) n));
            auto leftByFrames = left, rightByFrames = right;

            applyRampedGain<2> (left.data(), right.data(), (int) left.size(), { &first, &second });
            for (size_t n = 0; n < left.size(); ++n)
            {
                const auto gain = firstByFrames.advance() * secondByFrames.advance();
                leftByFrames[n] *= gain;
                rightByFrames[n] *= gain;
            }

            EXPECT_EQ (left, leftByFrames) << c.name;
            EXPECT_EQ (right, rightByFrames) << c.name;
            EXPECT_EQ (first.current, firstByFrames.current) << c.name;
            EXPECT_EQ (first.countdown, firstByFrames.countdown) << c.name;
            EXPECT_EQ (second.current, secondByFrames.current) << c.name;
            EXPECT_EQ (second.countdown, secondByFrames.countdown) << c.name;
        }
    }

} // namespace
} // namespace orvel
