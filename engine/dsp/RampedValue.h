#pragma once

#include <cmath>

namespace orvel
{

/** A linear smoother: every smoothed quantity of the engine is one.

    The ramp runs for exactly `lengthSamples` advances and then lands exactly on
    the target, so a fade or a parameter glide never ends a rounding error away
    from where it was sent. Not thread-safe: one thread sets and advances it
    (see CrossThreadRamp for a target set from another thread).

    The float form is the one the engine uses throughout; the double form is for
    values that must not lose precision, such as the feedback filter's
    normalised cutoff, which lives around 1e-4 at 16× oversampling where a float
    step would stall the glide.
*/
template <typename Value>
struct BasicRampedValue
{
    double sampleRate = 44100.0;
    Value current = Value (0.01);
    Value target = Value (0.01);
    Value step = 0;
    int countdown = -1; // -1: idle
    int lengthSamples = 441;

    BasicRampedValue() noexcept = default;
    explicit BasicRampedValue (Value initialValue) noexcept
        : current (initialValue), target (initialValue) {}

    /** Sets the rate and the ramp length (floor (seconds × rate)) and snaps to the target. */
    void prepare (double newSampleRate, double rampSeconds) noexcept
    {
        prepareLength (newSampleRate, (int) std::floor (rampSeconds * newSampleRate));
    }

    /** Sets the sample rate and an explicit ramp length, then snaps. */
    void prepareLength (double newSampleRate, int newLengthSamples) noexcept
    {
        sampleRate = newSampleRate;
        lengthSamples = newLengthSamples;
        snap();
    }

    /** Starts a ramp from the current value; a target equal to the present one changes nothing. */
    void setTarget (Value newTarget) noexcept
    {
        if (newTarget == target)
            return;

        target = newTarget;
        countdown = lengthSamples;

        if (lengthSamples >= 1)
            step = (newTarget - current) / (Value) lengthSamples;
        else
            current = newTarget;
    }

    /** One sample on: returns the new current value (the target once the ramp has ended). */
    Value advance() noexcept
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
    void setImmediate (Value value) noexcept
    {
        current = target = value;
        countdown = -1;
    }

    bool isGliding() const noexcept { return countdown > 0; }
};

using RampedValue = BasicRampedValue<float>;
using RampedDouble = BasicRampedValue<double>;

} // namespace orvel
