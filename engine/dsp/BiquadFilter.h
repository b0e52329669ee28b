#pragma once

#include "engine/dsp/Float4.h"
#include "engine/dsp/RampedValue.h"

#include <cassert>

namespace orvel
{

/** Low-pass biquad in transposed direct form II, double precision, two channels
    (the fold chain's feedback low-pass, Q 0.707).

    The owner writes the cutoff in hertz with setCutoffHz() (used by the next
    prepare()) and glides the normalised cutoff (cycles per sample) with
    setNormalisedCutoffTarget(). While any ramp glides, the coefficients are
    recomputed once per sample frame on the channel-0 call.

    Pitfalls:
    - The normalised cutoff is clamped to 4e-8 .. 0.49999999 and Q to 0.1 .. 10
      when the coefficients are formed, and the clamped values are kept: a
      cutoff at or above Nyquist becomes a filter that passes nearly everything.
    - The maximum cutoff leaves 2 Hz below Nyquist ((rate − 4) / 2, at most
      22000 Hz); owners should limit their targets to it.
    - Only the low-pass response is built; the product selects no other.
*/
class BiquadFilter
{
public:
    static constexpr double minimumNormalisedCutoff = 4.0e-8;
    static constexpr double maximumNormalisedCutoff = 0.49999999;

    BiquadFilter() noexcept;

    /** Stores the rate and the maximum cutoff, clears the memories, sets the
        ramps' length to floor (rampSeconds × rate), snaps the normalised cutoff
        to the stored cutoff in hertz (limited to the maximum) over the rate and Q
        to 0.707, and recomputes the coefficients. */
    void prepare (double newSampleRate, double rampSeconds) noexcept;

    /** Clears the memories and recomputes the coefficients from the values in
        use; the ramps are left as they are. */
    void reset() noexcept;

    /** Stores the cutoff in hertz for the next prepare(); computes nothing. */
    void setCutoffHz (double newCutoffHz) noexcept { cutoffHz = newCutoffHz; }

    /** Starts a glide of the normalised cutoff (Hz / rate); coefficients
        follow while processing. */
    void setNormalisedCutoffTarget (double normalisedCutoff) noexcept { normalisedCutoffRamp.setTarget (normalisedCutoff); }

    /** One sample of one channel (0 or 1). */
    float processSample (float x, int channel) noexcept
    {
        assert (channel == 0 || channel == 1); // only two channels have state

        if (channel == 0 && isGliding())
            advanceRampsAndUpdateCoefficients();

        return tick (x, channel != 0 ? 1 : 0);
    }

    /** Both channels of one frame: processSample (left, 0) then processSample (right, 1). */
    void processFrame (float& left, float& right) noexcept
    {
        if (isGliding())
            advanceRampsAndUpdateCoefficients();

        left = tick (left, 0);
        right = tick (right, 1);
    }

    /** Both channels of one frame in lanes 0 and 1 of `x`, as processFrame (left,
        right) for the input x × inputGain, the gain taken into the
        coefficients: where the filter sits on a feedback loop, the gain then
        costs nothing on the loop's path. The result holds the outputs in lanes
        0 and 1 and again in 2 and 3. */
    Float4 processFrame (Float4 x, float inputGain) noexcept
    {
        if (isGliding())
            advanceRampsAndUpdateCoefficients();

        const auto left = tick (x.lane (0), 0, inputGain);
        const auto right = tick (x.lane (1), 1, inputGain);
        return Float4::lanes (left, right, left, right);
    }

    bool isGliding() const noexcept
    {
        return normalisedCutoffRamp.isGliding() || qRamp.isGliding();
    }

    double getCutoffHz() const noexcept { return cutoffHz; }
    double getMaximumCutoffHz() const noexcept { return maximumCutoffHz; }
    double getSampleRate() const noexcept { return sampleRate; }
    /** The normalised cutoff in use, after clamping. */
    double getNormalisedCutoff() const noexcept { return normalisedCutoff; }
    double getQ() const noexcept { return q; }

    struct Coefficients
    {
        double b0, b1, b2, a1, a2;
    };
    Coefficients getCoefficients() const noexcept { return { b0, b1, b2, a1, a2 }; }

private:
    friend class BiquadRun;

    // A gain of 1 leaves the products exact, so both forms round alike.
    float tick (float x, int c) noexcept { return tick (x, c, 1.0f); }

    float tick (float x, int c, float inputGain) noexcept
    {
        const double in = (double) x;
        const double gain = (double) inputGain;
        const double y = (b0 * gain) * in + s1[c];
        s1[c] = (b1 * gain) * in + s2[c] - a1 * y;
        s2[c] = (b2 * gain) * in - a2 * y;
        return (float) y;
    }

    void advanceRampsAndUpdateCoefficients() noexcept;
    void updateCoefficients() noexcept;

    // The two channels always share one set of coefficients.
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double normalisedCutoff = 0.01;
    double q = 0.707;
    double s1[2] {};
    double s2[2] {};
    double cutoffHz = 441.0;
    RampedDouble normalisedCutoffRamp { 0.01 };
    RampedDouble qRamp { 0.707 };
    double maximumCutoffHz = 22000.0;
    double sampleRate = 44100.0;
};

} // namespace orvel
