#pragma once

#include "engine/dsp/Float4.h"

#include <array>
#include <vector>

namespace orvel
{

/** Oversampling by 2^stages with cascaded half-band polyphase IIR stages,
    several channels processed together in one vector.

    The filters are those of juce::dsp::Oversampling<float> built with
    addOversamplingStage (filterHalfBandPolyphaseIIR, 0.05, -90, 0.05, -80) per
    stage and integer latency: the same allpass coefficients (from JUCE's own
    filter design), the same order of operations per sample, the same
    denormal snapping of the filter memories after each block and the same
    fractional (Thiran) delay that makes the latency a whole number of
    samples. Its output therefore equals JUCE's, and getLatencyInSamples()
    reports the same value. What differs is the layout: the channels of a frame
    share a vector, so two channels run in the time JUCE spends on one.

    - Two channels: one vector holds a frame twice; the direct allpass path
      runs in lanes 0 and 1 and the delayed path in lanes 2 and 3, so a vector
      is exactly two interleaved output frames.
    - Four channels (wet and dry stereo, say): one vector per path.

    The oversampled signal is interleaved: frame n of channel c is
    getOversampledFrames()[n × numChannels + c]. processUp() fills it from
    planar base-rate channels; the caller works on it in place;
    processDown() filters it back into planar channels.

    Pitfalls:
    - prepare() must run before processing; until then processUp() returns
      null and processDown() leaves the output untouched.
    - A block longer than the prepared maximum is cut to that maximum.
    - With no stages (factor 1) the round trip is an exact copy with latency 0.
*/
template <int channelCount>
class PolyphaseOversampler
{
public:
    static_assert (channelCount == 2 || channelCount == 4, "two or four channels");
    static constexpr int numChannels = channelCount;
    static constexpr int maxStages = 4;

    /** Designs the filters of `numStages` stages (0..4, factor 2^numStages).
        Allocates; nothing else does until prepare(). */
    explicit PolyphaseOversampler (int numStages);

    int getNumStages() const noexcept { return (int) stages.size(); }
    int getFactor() const noexcept { return 1 << getNumStages(); }

    /** The round trip's latency in base-rate samples, a whole number. */
    float getLatencyInSamples() const noexcept { return latencySamples; }

    /** Sizes the buffers for blocks of up to `maximumBlockFrames` base-rate
        frames and resets. Allocates. */
    void prepare (int maximumBlockFrames);

    int getMaximumBlockFrames() const noexcept { return maximumFrames; }

    /** Clears every filter memory and the fractional delay. */
    void reset() noexcept;

    /** Upsamples `numFrames` frames of the planar `channels` (numChannels
        pointers) and returns the interleaved oversampled frames
        (numFrames × factor of them), or null before prepare(). */
    float* processUp (const float* const* channels, int numFrames) noexcept;

    /** Downsamples the oversampled frames of the last processUp() call of the
        same length into the planar `channels`. */
    void processDown (float* const* channels, int numFrames) noexcept;

    /** The interleaved oversampled frames (valid after processUp()). */
    float* getOversampledFrames() noexcept { return stages.empty() ? baseFrames.data() : stages.back().frames.data(); }

    /** Allpass sections per path: enough for any design JUCE makes down to
        about −130 dB stop-band attenuation. */
    static constexpr int maxSections = 8;

private:
    /** One path's allpass coefficients, each broadcast to every lane, with
        the memories of the sections. */
    struct Path
    {
        int numSections = 0;
        std::array<Float4, maxSections> coefficients {};
        std::array<Float4, maxSections> memories {};
    };

    /** One direction of one 2× stage: the direct path (even output samples)
        and the delayed path (odd ones). For two channels `combined` holds both
        paths in one vector per section, direct in lanes 0 and 1 and delayed in
        2 and 3; a delayed path one section shorter than the direct one gets a
        zero coefficient in its last section, whose output is then discarded. */
    struct Filter
    {
        Path direct, delayed, combined;
        Float4 delayedOutput; // the delayed path's last output, halved into the next down frame
    };

    struct Stage
    {
        Filter up, down;
        std::vector<float> frames; // this stage's interleaved output at its doubled rate
    };

    float* upsample (const float* const* channels, int numFrames) noexcept;
    void downsample (float* const* channels, int numFrames) noexcept;
    void runUp (Stage& stage, const float* input, int inputFrames) noexcept;
    void runDown (Stage& stage, float* output, int outputFrames) noexcept;
    void snapMemoriesToZero (Filter& filter) noexcept;

    std::vector<Stage> stages;
    std::vector<float> baseFrames; // base-rate frames, interleaved
    int maximumFrames = 0;
    float latencySamples = 0.0f;

    // The fractional delay that rounds the latency up to whole samples: a
    // first-order Thiran allpass, y = x[n−1] + alpha × (x[n] − y[n−1]).
    float fractionalDelay = 0.0f;
    Float4 thiranAlpha;
    Float4 thiranInput, thiranOutput;
};

// The stereo entry points are specialised: they carry the second body of
// HotLoop.h, which the CPU runs where it can.
template <>
float* PolyphaseOversampler<2>::processUp (const float* const* channels, int numFrames) noexcept;
template <>
void PolyphaseOversampler<2>::processDown (float* const* channels, int numFrames) noexcept;

extern template class PolyphaseOversampler<2>;
extern template class PolyphaseOversampler<4>;

} // namespace orvel
