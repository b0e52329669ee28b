#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <limits>

namespace orvel
{

/** juce::Random's generator (48-bit linear congruential) and its
    nextFloat(), written out so that the drift's two draws a frame are
    inlined into its loop instead of two calls into the library. It gives
    juce::Random's numbers bit for bit; `seed` goes back into the juce::Random
    it was taken from, which then carries on from where the block left it. */
struct InlineRandom
{
    explicit InlineRandom (const juce::Random& random) noexcept
        : seed ((uint64_t) random.getSeed())
    {
    }

    /** The next two numbers. The second comes from the seed in one step
        too (two steps of the generator folded into one multiplier and
        increment), so the two are worked out side by side. */
    void nextTwoFloats (float& first, float& second) noexcept
    {
        const auto firstSeed = (seed * multiplier + increment) & mask;
        seed = (seed * (multiplier * multiplier) + (multiplier * increment + increment)) & mask;
        first = floatOf (firstSeed);
        second = floatOf (seed);
    }

    uint64_t seed;

private:
    static constexpr uint64_t multiplier = 0x5deece66dull, increment = 11u, mask = 0xffffffffffffull;

    static float floatOf (uint64_t state) noexcept
    {
        const auto result = (float) (uint32_t) (state >> 16) * (1.0f / 4294967296.0f);
        return result == 1.0f ? 1.0f - std::numeric_limits<float>::epsilon() : result;
    }
};

} // namespace orvel
