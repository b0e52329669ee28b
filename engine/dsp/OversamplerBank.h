#pragma once

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <memory>

namespace orvel
{

/** Five stereo oversamplers, one per oversampling choice: index i runs at
    2^i times the base rate (index 0 = "OFF", 4 = "16X").

    Index 0 keeps the pass-through stage that JUCE's channel-count constructor
    installs (latency 0, no integer-latency compensation). Indexes 1..4 are
    cascades of 1..4 half-band polyphase IIR stages (transition width 0.05,
    −90 dB up and −80 dB down) with integer-latency compensation, so their
    latency is a whole number of base-rate samples.

    Pitfall: an oversampler processes nothing (its output block is empty and
    the buffer passes unchanged) until initProcessing() has been called on it,
    and it must never see a block longer than it was initialised for.
    prepare() and processRoundTrip() keep to both rules.
*/
class OversamplerBank
{
public:
    static constexpr int numOversamplers = 5;
    static constexpr size_t numChannels = 2;

    /** Builds all five; allocates. */
    OversamplerBank();

    /** 2^index, or 1 for an index outside 0..4. */
    static int factorForIndex (int index) noexcept;

    /** The oversampler of `index`, limited to 0..4. */
    juce::dsp::Oversampling<float>& get (int index) noexcept { return *oversamplers[(size_t) limitIndex (index)]; }
    const juce::dsp::Oversampling<float>& get (int index) const noexcept { return *oversamplers[(size_t) limitIndex (index)]; }

    static int limitIndex (int index) noexcept { return juce::jlimit (0, numOversamplers - 1, index); }

    /** Initialises the oversampler of `index` for blocks of up to
        `maximumBlockFrames` base-rate frames (at least 1) and clears its
        memories. May allocate. */
    void prepare (int index, int maximumBlockFrames);

    /** The longest block the oversampler of `index` was prepared for; 0 before prepare(). */
    int getPreparedFrames (int index) const noexcept { return preparedFrames[(size_t) limitIndex (index)]; }

    /** Upsamples a block of both channels with the oversampler of `index`, hands
        the oversampled block to `processOversampled`, and downsamples the result
        back in place. Blocks longer than the oversampler was prepared for go
        through in pieces, so the result never depends on the block length; an
        unprepared oversampler leaves the buffer untouched. */
    template <typename ProcessOversampled>
    void processRoundTrip (int index, float* left, float* right, int numFrames, ProcessOversampled&& processOversampled) noexcept
    {
        const int capacity = getPreparedFrames (index);

        if (capacity <= 0 || numFrames <= 0)
            return;

        auto& oversampler = get (index);

        for (int start = 0; start < numFrames; start += capacity)
        {
            const int frames = juce::jmin (capacity, numFrames - start);
            float* channels[] = { left + start, right + start };
            juce::dsp::AudioBlock<float> block (channels, numChannels, (size_t) frames);

            auto oversampled = oversampler.processSamplesUp (block);
            processOversampled (oversampled);
            oversampler.processSamplesDown (block);
        }
    }

private:
    std::array<std::unique_ptr<juce::dsp::Oversampling<float>>, numOversamplers> oversamplers;
    std::array<int, numOversamplers> preparedFrames{};
};

} // namespace orvel
