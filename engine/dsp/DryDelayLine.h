#pragma once

#include "engine/dsp/RampedValue.h"

#include <vector>

namespace orvel
{

/** Delays the dry copy of the input by a whole number of samples, so that dry
    and oversampled (hence delayed) wet signals line up in the mix.

    A change of delay glides over 441 samples and the read position moves in
    whole samples (the ramp's value truncated toward zero), so it steps through
    every whole delay in between instead of jumping. The ramp's length is fixed
    and no preparation changes it.

    The buffer (2 × 131072 floats) is allocated once, at construction. Delays are
    limited to 0..131071 samples: a longer one would read freshly written data.
*/
class DryDelayLine
{
public:
    static constexpr int bufferLength = 131072;
    static constexpr int indexMask = bufferLength - 1;

    /** Allocates and clears the buffer. */
    DryDelayLine();

    /** Starts a glide of the delay (whole samples, held as a float) when it
        differs from the present target. */
    void setDelayTargetSamples (float delaySamples) noexcept;

    float getDelayTargetSamples() const noexcept { return delayRamp.target; }

    /** Ends a glide at once: the delay jumps to its target. */
    void snapDelay() noexcept { delayRamp.snap(); }

    /** Clears the stored signal; the delay and its glide are kept. */
    void reset() noexcept;

    /** One frame of both channels, in place. */
    void processFrame (float& left, float& right) noexcept { delayFrame (left, right, (int) delayRamp.advance()); }

    /** A block of both channels, in place. */
    void process (float* left, float* right, int numFrames) noexcept
    {
        if (delayRamp.isGliding())
        {
            for (int i = 0; i < numFrames; ++i)
                processFrame (left[i], right[i]);
            return;
        }

        // A settled delay (the usual case) needs no ramp per frame.
        const int delaySamples = (int) delayRamp.target;
        for (int i = 0; i < numFrames; ++i)
            delayFrame (left[i], right[i], delaySamples);
    }

    const RampedValue& getDelayRamp() const noexcept { return delayRamp; }

private:
    void delayFrame (float& left, float& right, int delaySamples) noexcept
    {
        writeIndex = (writeIndex - 1) & indexMask;
        leftBuffer[(size_t) writeIndex] = left;
        rightBuffer[(size_t) writeIndex] = right;

        const int readIndex = (writeIndex + delaySamples) & indexMask;
        left = leftBuffer[(size_t) readIndex];
        right = rightBuffer[(size_t) readIndex];
    }

    std::vector<float> leftBuffer;
    std::vector<float> rightBuffer;
    // Kept masked after every step: a plain countdown would overflow after
    // 2^31 samples (about 13.5 hours at 44.1 kHz).
    int writeIndex = indexMask;
    RampedValue delayRamp;
};

} // namespace orvel
