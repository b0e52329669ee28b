#pragma once

#include "engine/dsp/RampedValue.h"
#include "engine/dsp/RandomLfo.h"

#include <juce_core/juce_core.h>

namespace orvel
{

/** A slow, slightly random gain wobble on each channel, as analogue gear drifts.

    Each channel's gain ramp is retargeted every sample to 1 − (LFO + noise) ×
    depth and follows over 0.5..0.77 s, so the noise is smoothed into a drift.
    The gain never exceeds 1; with the product's depth of 0.013 it stays within
    about 0.9986..1 once the first preparation's depth ramp (1 → 0.013 over
    10 ms) has run.

    Every prepare() draws new LFO rates and ramp lengths, so each preparation
    gives a new drift character. The random sequence is seeded from the clock
    unless a seed is given: a seeded stage repeats its output exactly.
*/
class DriftStage
{
public:
    /** Draws from generators seeded from the clock. */
    DriftStage();

    /** Draws from generators seeded with `seed` (the LFOs' seeds are drawn from it). */
    explicit DriftStage (juce::int64 seed);

    /** Starts the stage afresh from `seed`, as a stage just built with it would
        be: the LFOs' tables and phases, the gains and the glides. Allocates
        nothing, so it may run in a preparation on the audio thread. */
    void reseed (juce::int64 seed) noexcept { *this = DriftStage (seed); }

    /** Draws new LFO rates (2..5 Hz) and gain-ramp lengths and snaps the ramps.
        Computes everything the per-sample path needs; allocates nothing. */
    void prepare (double sampleRate) noexcept;

    /** The product's depth: the gain stays within about 0.9986..1 (see above). */
    static constexpr float productDepth = 0.013f;

    /** Starts a 10 ms glide of the depth (productDepth in the product). */
    void setDepthTarget (float depth) noexcept { depthRamp.setTarget (depth); }

    /** One frame of both channels, in place. */
    void processFrame (float& left, float& right) noexcept { process (&left, &right, 1); }

    /** A block of both channels, in place. Each gain ramp is retargeted every
        frame as RampedValue::setTarget() would, with the division by the
        ramp's length done as a multiplication by its reciprocal (the division
        sat on the frame-to-frame chain; the gains differ by about an ulp). */
    void process (float* left, float* right, int numFrames) noexcept;

    const RandomLfo& getLfo1() const noexcept { return lfo1; }
    const RandomLfo& getLfo2() const noexcept { return lfo2; }
    const RampedValue& getLeftGainRamp() const noexcept { return leftGainRamp; }
    const RampedValue& getRightGainRamp() const noexcept { return rightGainRamp; }
    const RampedValue& getDepthRamp() const noexcept { return depthRamp; }
    const juce::Random& getRandom() const noexcept { return random; }

private:
    void startGlides() noexcept;

    float outputGain = 1.0f;
    juce::Random random;
    RandomLfo lfo1;
    RandomLfo lfo2;
    RampedValue leftGainRamp;
    RampedValue rightGainRamp;
    RampedValue depthRamp;
};

} // namespace orvel
