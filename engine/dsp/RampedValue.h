#pragma once

#include <cmath>

namespace orvel
{

/** A linear smoother: every smoothed quantity of the engine is one.

    The ramp runs for exactly `lengthSamples` advances and then lands exactly on
    the target, so a fade or a parameter glide never ends a rounding error away
    from where it was sent. Not thread-safe: one thread sets and advances it
    (see SmoothedTarget for a target set from another thread).
*/
struct RampedValue
{
    double sampleRate = 44100.0;
    float current = 0.01f;
    float target = 0.01f;
    float step = 0.0f;
    int countdown = -1; // -1: idle
    int lengthSamples = 441;

    RampedValue() noexcept = default;
    explicit RampedValue (float initialValue) noexcept : current (initialValue), target (initialValue) {}

    /** Sets the rate and the ramp length (floor (seconds × rate)) and snaps to the target. */
    void prepare (double newSampleRate, double rampSeconds) noexcept
    {
        sampleRate = newSampleRate;
        lengthSamples = (int) std::floor (rampSeconds * newSampleRate);
        current = target;
        countdown = -1;
    }

    /** Sets the sample rate and an explicit ramp length, then snaps. */
    void prepareLength (double newSampleRate, int newLengthSamples) noexcept
    {
        sampleRate = newSampleRate;
        lengthSamples = newLengthSamples;
        current = target;
        countdown = -1;
    }

    /** Starts a ramp from the current value; a target equal to the present one changes nothing. */
    void setTarget (float newTarget) noexcept
    {
        if (newTarget == target)
            return;

        target = newTarget;
        countdown = lengthSamples;

        if (lengthSamples >= 1)
            step = (newTarget - current) / (float) lengthSamples;
        else
            current = newTarget;
    }

    /** One sample on: returns the new current value (the target once the ramp has ended). */
    float advance() noexcept
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
    void setImmediate (float value) noexcept
    {
        current = target = value;
        countdown = -1;
    }

    bool isGliding() const noexcept { return countdown > 0; }
};

} // namespace orvel
