#pragma once

#include "engine/dsp/RampedValue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvel
{

/** Mono envelope follower with two laws, scaled by a smoothed amount.

    - processExponential(): one-pole approach, env := (env − |x|) × c + |x|, with
      c chosen so that the distance shrinks to 1 % over the attack or release
      time. It approaches in a straight line in decibels.
    - processConstantStep(): moves by a fixed step per sample, so it crosses the
      full scale 0..1 in exactly the attack or release time.

    Pitfall: the options menu's "Linear" item selects processExponential() (the
    line is in decibels); "Exponential" selects processConstantStep(). The owner
    picks the law per sample; this class keeps no flag for it.

    The envelope carries over across prepare() and setTimes() calls; only
    reset() clears it. A non-finite input counts as silence, because one NaN
    would otherwise stay in the envelope for good.
*/
class EnvelopeFollower
{
public:
    EnvelopeFollower() noexcept;

    /** Recomputes both laws' coefficients from the times (values ≤ 0 ms become
        0.01 ms), gives the amount ramp a length of floor (rate × 0.001) samples,
        snaps it to its previous target and then glides it to `amountTarget`.
        The envelope itself is kept. */
    void prepare (int sampleRate, double attackMs, double releaseMs, float amountTarget) noexcept;

    /** Recomputes both laws' coefficients for new times at the prepared rate
        (values ≤ 0 ms become 0.01 ms); the amount and the envelope are kept. */
    void setTimes (double attackMs, double releaseMs) noexcept;

    /** Starts a glide of the amount (the factor applied to the envelope, −1..1 in
        the product); computes nothing. */
    void setAmountTarget (float amount) noexcept { amountRamp.setTarget (amount); }

    /** Ends a glide of the amount at once: the amount takes its target. */
    void snapAmount() noexcept { amountRamp.snap(); }

    /** Forgets the envelope: the follower starts again from silence. */
    void reset() noexcept { envelope = 0.0; }

    /** The exponential law for one input sample; returns envelope × amount. */
    float processExponential (float x) noexcept
    {
        const double b = magnitudeOf (x);
        envelope = (envelope - b) * (envelope < b ? attackCoefficient : releaseCoefficient) + b;
        return (float) envelope * amountRamp.advance();
    }

    /** The constant-step law for one input sample; returns envelope × amount. */
    float processConstantStep (float x) noexcept
    {
        const double b = magnitudeOf (x);

        if (envelope < b)
            envelope = std::min (envelope + attackStep, b);
        else
            envelope = std::max (envelope - releaseStep, b);

        return (float) envelope * amountRamp.advance();
    }

    double getEnvelope() const noexcept { return envelope; }
    double getAttackCoefficient() const noexcept { return attackCoefficient; }
    double getReleaseCoefficient() const noexcept { return releaseCoefficient; }
    double getAttackStep() const noexcept { return attackStep; }
    double getReleaseStep() const noexcept { return releaseStep; }
    const RampedValue& getAmountRamp() const noexcept { return amountRamp; }

private:
    static double magnitudeOf (float x) noexcept
    {
        const double b = std::abs ((double) x);
        return b <= std::numeric_limits<double>::max() ? b : 0.0; // NaN and infinity count as silence
    }

    void updateCoefficients() noexcept;

    double envelope = 0.0;
    double attackCoefficient = 0.0;
    double releaseCoefficient = 0.0;
    double attackMs = 5.0;
    double releaseMs = 100.0;
    double attackStep = 0.0;
    double releaseStep = 0.0;
    double sampleRate = 44100.0;
    RampedValue amountRamp;
};

} // namespace orvel
