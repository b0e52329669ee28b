#pragma once

#include "engine/dsp/PolyphaseOversampler.h"

#include <juce_core/juce_core.h>

#include <array>
#include <memory>

namespace orvel
{

/** Five stereo oversamplers, one per oversampling choice: index i runs at
    2^i times the base rate (index 0 = "OFF", 4 = "16X").

    Index 0 is a pass-through (latency 0). Indexes 1..4 are cascades of 1..4
    half-band polyphase IIR stages (transition width 0.05, −90 dB up and
    −80 dB down) with integer-latency compensation, so their latency is a
    whole number of base-rate samples. They are PolyphaseOversampler<2>: the
    filters and the output of juce::dsp::Oversampling built that way, with
    both channels of a frame in one vector.

    The oversampled signal is interleaved: frame n is (frames[2n], frames[2n + 1]).

    Pitfall: an oversampler processes nothing (the buffer passes unchanged)
    until it has been prepared, and it never sees a block longer than it was
    prepared for: prepare() and processRoundTrip() keep to both rules.
*/
class OversamplerBank
{
public:
    using Oversampler = PolyphaseOversampler<2>;
    static constexpr int numOversamplers = 5;

    /** Builds all five; allocates. */
    OversamplerBank();

    /** 2^index, or 1 for an index outside 0..4. */
    static int factorForIndex (int index) noexcept;

    /** The oversampler of `index`, limited to 0..4. */
    Oversampler& get (int index) noexcept { return *oversamplers[(size_t) limitIndex (index)]; }
    const Oversampler& get (int index) const noexcept { return *oversamplers[(size_t) limitIndex (index)]; }

    static int limitIndex (int index) noexcept { return juce::jlimit (0, numOversamplers - 1, index); }

    /** Sizes the oversampler of `index` for blocks of up to `maximumBlockFrames`
        base-rate frames (at least 1) and clears its memories. Allocates. */
    void prepare (int index, int maximumBlockFrames);

    /** The longest block the oversampler of `index` was prepared for; 0 before prepare(). */
    int getPreparedFrames (int index) const noexcept { return get (index).getMaximumBlockFrames(); }

    /** Upsamples a block of both channels with the oversampler of `index`, hands
        the interleaved oversampled frames to
        `processOversampled (float* frames, int numOversampledFrames)`, and
        downsamples the result back in place. Blocks longer than the oversampler
        was prepared for go through in pieces, so the result never depends on
        the block length; an unprepared oversampler leaves the buffer untouched. */
    template <typename ProcessOversampled>
    void processRoundTrip (int index, float* left, float* right, int numFrames, ProcessOversampled&& processOversampled) noexcept
    {
        const int capacity = getPreparedFrames (index);

        if (capacity <= 0 || numFrames <= 0)
            return;

        auto& oversampler = get (index);
        const int factor = oversampler.getFactor();

        for (int start = 0; start < numFrames; start += capacity)
        {
            const int frames = juce::jmin (capacity, numFrames - start);
            float* channels[] = { left + start, right + start };

            processOversampled (oversampler.processUp (channels, frames), frames * factor);
            oversampler.processDown (channels, frames);
        }
    }

private:
    std::array<std::unique_ptr<Oversampler>, numOversamplers> oversamplers;
};

} // namespace orvel
