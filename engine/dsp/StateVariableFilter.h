#pragma once

#include "engine/dsp/Float4.h"
#include "engine/dsp/RampedValue.h"

#include <cassert>
#include <type_traits>

namespace orvel
{

/** Two-pole state-variable filter in the topology-preserving-transform form
    (trapezoidal integrators), single precision, two channels.

    The fold chain uses it as its low-pass (mode 0), high-pass (mode 2) and DC
    blocker (mode 2 at 15.9 Hz). Cutoff, resonance and peak gain each glide
    through a RampedValue; while any of them glides the coefficients are
    recomputed once per sample frame, on the channel-0 call, and channel 1 uses
    what channel 0 produced. A filter whose ramps are idle does no
    transcendental maths per sample.

    Pitfalls:
    - prepare() does nothing when the rate equals the stored one (which is
      44100 from construction), so a pending cutoff glide survives a second
      prepare at the same rate; only reset() snaps the ramps.
    - The resonance stays at its construction value 0.01 in this product,
      which gives Q = 0.50505 and a damping of R2 = 1.98 (no resonant peak).
    - processSample() with channel 1 must follow the channel-0 call of the same
      frame, or the coefficients glide at half speed.
*/
class StateVariableFilter
{
public:
    /** Output selection; see processSample(). */
    enum Mode
    {
        lowPass = 0,
        bandPass = 1,
        highPass = 2,
        normalisedBandPass = 3, // R2 × BP: unity gain at the centre
        peak = 4,               // x + peak gain × R2 × BP
        notch = 5,              // x − R2 × BP
        allPass = 6,            // x − 2 × R2 × BP
        lowMinusHigh = 7        // LP − HP
    };

    StateVariableFilter() noexcept;

    /** Selects the output (Mode); an unknown mode outputs silence. No coefficient work. */
    void setMode (int newMode) noexcept { mode = newMode; }

    /** Starts a glide of the cutoff to `cutoffHz`, limited to 1 Hz .. the maximum
        cutoff. Coefficients follow while processing; nothing is computed here. */
    void setCutoffTargetHz (float cutoffHz) noexcept;

    /** Starts a glide of the resonance (0 .. 0.99; 1 would remove all damping).
        Coefficients follow while processing. */
    void setResonanceTarget (float resonance) noexcept;

    /** Starts a glide of the gain mode 4 adds the normalised band with.
        Coefficients follow while processing. */
    void setPeakGainTarget (float gain) noexcept;

    /** Stores the rate, sets the maximum cutoff to min ((rate − 2) / 2, 22000),
        snaps every ramp (cutoff target limited to the new maximum) and
        recomputes the coefficients. Does nothing when the rate is unchanged. */
    void prepare (double newSampleRate) noexcept;

    /** Clears both channels' memories and snaps the ramps; recomputes the
        coefficients when asked (the processor always asks). */
    void reset (bool recomputeCoefficients) noexcept;

    /** One sample of one channel (0 or 1). */
    float processSample (float x, int channel) noexcept
    {
        assert (channel == 0 || channel == 1); // only two channels have state

        if (channel == 0 && isGliding())
            advanceRampsAndUpdateCoefficients();

        return tick (x, channel != 0 ? 1 : 0);
    }

    /** Both channels of one frame: the same as processSample (left, 0) then
        processSample (right, 1). */
    void processFrame (float& left, float& right) noexcept
    {
        if (isGliding())
            advanceRampsAndUpdateCoefficients();

        left = tick (left, 0);
        right = tick (right, 1);
    }

    /** Both channels of one frame in one vector: lanes 0 and 1 are the left
        and right samples (lanes 2 and 3 are carried along and mean nothing).
        The same results as processFrame (left, right). */
    Float4 processFrame (Float4 x) noexcept
    {
        if (isGliding())
            advanceRampsAndUpdateCoefficients();

        const auto gv = Float4::broadcast (g);
        auto state1 = Float4::load (s1);
        auto state2 = Float4::load (s2);
        const auto hp = (x - Float4::broadcast (r2PlusG) * state1 - state2) * Float4::broadcast (denominatorInverse);
        const auto bp = state1 + gv * hp;
        (bp + gv * hp).store (s1);
        const auto lp = state2 + gv * bp;
        (lp + gv * bp).store (s2);

        return output (x, lp, bp, hp);
    }

    bool isGliding() const noexcept
    {
        return cutoffRamp.isGliding() || resonanceRamp.isGliding() || gainRamp.isGliding();
    }

    int getMode() const noexcept { return mode; }
    float getCutoffHz() const noexcept { return cutoffHz; }
    float getCutoffTargetHz() const noexcept { return cutoffRamp.target; }
    float getMaximumCutoffHz() const noexcept { return maximumCutoffHz; }
    float getQ() const noexcept { return q; }
    float getG() const noexcept { return g; }
    float getDamping() const noexcept { return r; }
    double getSampleRate() const noexcept { return sampleRate; }
    const RampedValue& getCutoffRamp() const noexcept { return cutoffRamp; }

private:
    template <int>
    friend class StateVariableFilterRun;

    float tick (float x, int c) noexcept
    {
        const float hp = (x - r2PlusG * s1[c] - s2[c]) * denominatorInverse;
        const float bp = s1[c] + g * hp;
        s1[c] = bp + g * hp;
        const float lp = s2[c] + g * bp;
        s2[c] = lp + g * bp;

        return output (x, lp, bp, hp);
    }

    /** The selected mode's output from the input and the three responses;
        for float and for Float4 alike. */
    template <typename V>
    V output (V x, V lp, V bp, V hp) const noexcept
    {
        const auto k = [] (float value)
        {
            if constexpr (std::is_same_v<V, float>)
                return value;
            else
                return V::broadcast (value);
        };

        switch (mode)
        {
            case lowPass:
                return lp;
            case bandPass:
                return bp;
            case highPass:
                return hp;
            case normalisedBandPass:
                return k (r2) * bp;
            case peak:
                return x + k (peakGain) * k (r2) * bp;
            case notch:
                return x - k (r2) * bp;
            case allPass:
                return x - k (2.0f * r2) * bp;
            case lowMinusHigh:
                return lp - hp;
            default:
                return V {};
        }
    }

    void advanceRampsAndUpdateCoefficients() noexcept;
    void updateCoefficients (float newCutoffHz, float resonance, float gain) noexcept;

    int mode = lowPass;
    float cutoffHz = 0.01f;
    float q = 0.0f;
    float gain = 0.01f;
    double sampleRate = 44100.0;
    float g = 0.0f;
    float r = 1.0f;
    float peakGain = 0.01f;
    // Lanes 0 and 1 hold the channels' memories; 2 and 3 are where the vector
    // form carries its unused lanes.
    alignas (16) float s1[4] {};
    alignas (16) float s2[4] {};
    RampedValue cutoffRamp;
    RampedValue resonanceRamp;
    RampedValue gainRamp;
    float maximumCutoffHz = 22000.0f;
    float rampTimeSeconds = 0.01f;

    // Derived once per coefficient update so the per-sample path has no division.
    float r2 = 2.0f;
    float r2PlusG = 2.0f;
    float denominatorInverse = 1.0f;
};

} // namespace orvel
