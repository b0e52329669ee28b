#pragma once

#include "engine/dsp/OversamplerBank.h"
#include "engine/dsp/RampedValue.h"

namespace orvel
{

/** Error-function saturator run at the oversampled rate, with its own bank of
    five oversamplers (built like the main bank).

    The switch is a RampedValue owned by the caller (the "Soft Clip"
    parameter's smoothed value): while it glides, each oversampled frame blends
    (1 − s) × x + s × erf (x) with s advanced once per oversampled frame, so a
    10 ms ramp set up at the base rate lasts 10 ms / factor. When it is idle,
    erf is applied when its value is above 0 and nothing otherwise. erf is
    fastErf, two oversampled frames per vector.

    Pitfalls:
    - The stage up- and downsamples whether the switch is on or off, so its
      latency (getLatencyInSamples()) is always part of the reported latency.
    - The selected oversampler must be prepared before it processes anything;
      an unprepared one leaves the buffer untouched. Blocks longer than what it
      was prepared for are processed in pieces, never past its buffers.
*/
class SoftClipStage
{
public:
    /** Builds the bank; allocates. */
    SoftClipStage() = default;

    /** Selects the oversampler in use (0..4; the factor is 2^index). Allocates
        nothing; the oversampler keeps whatever preparation it had. */
    void select (int index) noexcept;

    /** Initialises the selected oversampler for blocks of up to
        `maximumBlockFrames` base-rate frames (and resets it). May allocate. */
    void prepare (int maximumBlockFrames);

    /** Clears the selected oversampler's filter memories. */
    void reset() noexcept;

    /** A block of both channels at the base rate, in place. */
    void process (float* left, float* right, int numFrames, RampedValue& softClip) noexcept;

    int getIndex() const noexcept { return index; }
    int getFactor() const noexcept { return factor; }

    /** The selected oversampler's round-trip latency in base-rate samples. */
    float getLatencyInSamples() const noexcept { return bank.get (index).getLatencyInSamples(); }

private:
    /** erf (or the blend toward it) on `numFrames` interleaved stereo frames. */
    static void shape (float* frames, int numFrames, RampedValue& softClip) noexcept;

    OversamplerBank bank;
    int index = 0;
    int factor = 1;
};

} // namespace orvel
