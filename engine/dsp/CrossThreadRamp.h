#pragma once

#include "engine/dsp/RampedValue.h"

#include <atomic>

namespace orvel
{

/** A RampedValue whose target may be set from any thread.

    Parameters are set from the host's audio thread, the message thread (editor,
    presets) or a host's automation thread, while only the audio thread advances
    the ramp. The writer publishes the new target in an atomic; the audio thread
    picks it up with pullTarget() at the start of a block and restarts the ramp
    from where it stands. Two changes between blocks collapse into the last one,
    which is where the ramp must end anyway. The ramp itself is touched only by
    the audio thread, or by prepare() while no block runs.
*/
class CrossThreadRamp
{
public:
    CrossThreadRamp() noexcept = default;

    /** Any thread. */
    void setTarget (float newTarget) noexcept { requested.store (newTarget, std::memory_order_relaxed); }

    /** The most recently requested target (any thread). */
    float getRequestedTarget() const noexcept { return requested.load (std::memory_order_relaxed); }

    /** Audio thread: adopts the most recently requested target. */
    void pullTarget() noexcept { ramp.setTarget (requested.load (std::memory_order_relaxed)); }

    /** Audio thread, once per sample of the stage that uses it. */
    float advance() noexcept { return ramp.advance(); }

    /** Sample rate and a ramp length of floor (seconds × rate); lands on the requested target. */
    void prepare (double sampleRate, double rampSeconds) noexcept
    {
        pullTarget();
        ramp.prepare (sampleRate, rampSeconds);
    }

    float getCurrent() const noexcept { return ramp.current; }
    const RampedValue& getRamp() const noexcept { return ramp; }
    RampedValue& getRamp() noexcept { return ramp; }

private:
    std::atomic<float> requested { 0.01f };
    RampedValue ramp;
};

} // namespace orvel
