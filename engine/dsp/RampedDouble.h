#pragma once

#include <cmath>

namespace orvel
{

/** The double-precision twin of RampedValue, for blocks whose smoothed values
    must not lose precision (the biquad's normalised cutoff lives around 1e-4 at
    16× oversampling, where a float step would stall the glide).

    Same rules as RampedValue: setTarget() starts a ramp of `lengthSamples`
    advances from wherever the value stands, the last advance lands exactly on
    the target, and an idle ramp returns its target without touching `current`.
*/
struct RampedDouble
{
    double sampleRate = 44100.0;
    double current = 0.01;
    double target = 0.01;
    double step = 0.0;
    int countdown = -1; // -1: idle
    int lengthSamples = 441;

    RampedDouble() noexcept = default;
    explicit RampedDouble (double initialValue) noexcept
        : current (initialValue), target (initialValue) {}

    /** Sets the rate and the ramp length (floor (seconds × rate)) and snaps to the target. */
    void prepare (double newSampleRate, double rampSeconds) noexcept
    {
        sampleRate = newSampleRate;
        lengthSamples = (int) std::floor (rampSeconds * newSampleRate);
        snap();
    }

    void setTarget (double newTarget) noexcept
    {
        if (newTarget == target)
            return;

        target = newTarget;
        countdown = lengthSamples;

        if (lengthSamples >= 1)
            step = (newTarget - current) / (double) lengthSamples;
        else
            current = newTarget;
    }

    double advance() noexcept
    {
        if (countdown <= 0)
            return target;

        if (--countdown == 0)
            current = target;
        else
            current += step;

        return current;
    }

    void snap() noexcept
    {
        current = target;
        countdown = -1;
    }

    /** Sets current and target together, with no ramp. */
    void setImmediate (double value) noexcept
    {
        current = target = value;
        countdown = -1;
    }

    bool isGliding() const noexcept { return countdown > 0; }
};

} // namespace orvel
