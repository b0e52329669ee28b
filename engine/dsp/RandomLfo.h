#pragma once

#include "engine/dsp/RampedValue.h"

#include <juce_core/juce_core.h>

#include <array>

namespace orvel
{

/** A slow random LFO: each cycle holds two random levels (one per half cycle),
    smoothed by a one-pole low-pass at 100 Hz, and scaled to 0..amplitude.

    The table of 1024 entries is redrawn at every wrap of the phase, so every
    cycle brings two new levels. The generator is private and seeded from the
    clock unless a seed is given, so no two LFOs (or two runs) share a sequence
    by chance.

    Pitfall: the output is unipolar, (y + 1) / 2 × amplitude, in 0..amplitude,
    and the amplitude itself glides over 10 ms after every change.
*/
class RandomLfo
{
public:
    static constexpr int tableSize = 1024;

    /** Draws from a generator seeded from the clock. */
    RandomLfo();

    /** Draws from a generator seeded with `seed`: two LFOs built with the same
        seed and driven alike give the same output. */
    explicit RandomLfo (juce::int64 seed);

    /** Stores the rate, recomputes the phase increment and the smoothing
        coefficient, and snaps the amplitude ramp (length 10 ms). */
    void prepare (int newSampleRate) noexcept;

    /** Recomputes the phase increment; ignored when equal to the rate last set.
        Rates below 0.01 Hz become 0.01 Hz. */
    void setRateHz (float newRateHz) noexcept;

    /** Starts a glide of the amplitude; computes nothing. */
    void setAmplitudeTarget (float amplitude) noexcept { amplitudeRamp.setTarget (amplitude); }

    /** The LFO's state in locals for a run of samples, handed back when the
        run goes out of scope. Written through the caller's pointers, which
        the compiler cannot tell apart from the members, the state would
        otherwise be stored and reloaded every sample; and two runs in one
        loop let two LFOs' sample-to-sample chains overlap. The LFO must not
        be used while a run on it exists. */
    class Run
    {
    public:
        explicit Run (RandomLfo& lfoToRun) noexcept
            : lfo (lfoToRun), phase (lfo.phase), level (lfo.y), amplitude (lfo.amplitudeRamp)
        {
        }

        ~Run()
        {
            lfo.phase = phase;
            lfo.y = level;
            lfo.amplitudeRamp = amplitude;
        }

        Run (const Run&) = delete;
        Run& operator= (const Run&) = delete;

        /** The next output sample, in 0..amplitude. */
        float next() noexcept
        {
            if (phase >= (float) tableSize)
            {
                phase -= (float) tableSize;
                lfo.refillTable();
            }
            // The clamp only matters when rounding lands a wrapped phase on 1024.
            const int index = juce::jmin ((int) phase, tableSize - 1);
            phase += lfo.phaseIncrement;
            // The sum's operands in this order let a fused multiply-add take
            // the product on the sample-to-sample chain.
            level = level * lfo.a + (double) lfo.table[(size_t) index] * lfo.oneMinusA;
            return ((float) level + 1.0f) * 0.5f * amplitude.advance();
        }

    private:
        RandomLfo& lfo;
        float phase;
        double level;
        RampedValue amplitude;
    };

    /** The next output sample, in 0..amplitude. */
    float nextValue() noexcept
    {
        Run run (*this);
        return run.next();
    }

    float getRateHz() const noexcept { return rateHz; }
    float getPhaseIncrement() const noexcept { return phaseIncrement; }
    int getSampleRate() const noexcept { return sampleRate; }
    const RampedValue& getAmplitudeRamp() const noexcept { return amplitudeRamp; }

private:
    explicit RandomLfo (const juce::Random& generator);

    void refillTable() noexcept;
    void updatePhaseIncrement() noexcept;

    float phase = 0.0f;
    double y = 0.0;
    double a = 0.0;
    double oneMinusA = 1.0;
    float rateHz = 1.0f;
    float phaseIncrement = 0.0f;
    int sampleRate = 44100;
    RampedValue amplitudeRamp;
    std::array<float, tableSize> table {};
    juce::Random random;
};

} // namespace orvel
