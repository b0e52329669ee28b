#pragma once

#include "engine/dsp/RampedValue.h"

#include <array>
#include <cstddef>

namespace orvel
{

/** Multiplies both channels, frame by frame, by the product of the ramps'
    values (each advanced once per frame), as
    `left[i] *= a.advance() * b.advance() ...` would.

    While none of the ramps glides the product holds for the whole block, so
    the block is scaled by one number, and not touched at all at unity. While
    one glides the ramps run as local copies: written through `left` and
    `right`, which the compiler cannot tell apart from the ramps, the loop
    would otherwise store and reload them every frame. */
template <size_t numRamps>
void applyRampedGain (float* left, float* right, int numFrames, const std::array<RampedValue*, numRamps>& ramps) noexcept
{
    bool gliding = false;
    for (const auto* ramp : ramps)
        gliding = gliding || ramp->isGliding();

    if (! gliding)
    {
        float gain = 1.0f;
        for (const auto* ramp : ramps)
            gain *= ramp->target;

        if (gain != 1.0f)
        {
            for (int i = 0; i < numFrames; ++i)
            {
                left[i] *= gain;
                right[i] *= gain;
            }
        }
        return;
    }

    std::array<RampedValue, numRamps> local;
    for (size_t r = 0; r < numRamps; ++r)
        local[r] = *ramps[r];

    for (int i = 0; i < numFrames; ++i)
    {
        float gain = 1.0f;
        for (auto& ramp : local)
            gain *= ramp.advance();
        left[i] *= gain;
        right[i] *= gain;
    }

    for (size_t r = 0; r < numRamps; ++r)
        *ramps[r] = local[r];
}

} // namespace orvel
