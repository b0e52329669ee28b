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

private:
    std::array<std::unique_ptr<juce::dsp::Oversampling<float>>, numOversamplers> oversamplers;
};

} // namespace orvel
