#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>

namespace orvel
{

/** Tells when a processor may stop being called: once its input has been silent,
    and everything it holds has decayed, for longer than its longest ramp.

    The owner judges each block (silent input, output and memories below
    decayedLevel, nothing changed) and hands the verdict to addBlock(); the watch
    counts how long the verdicts have been quiet. Requiring the whole settle time
    means every fade and glide that a change started has ended, so a processor
    that sleeps and wakes sounds like one that processed the silence. Audio
    thread only.
*/
class SilenceWatch
{
public:
    /** Below the smallest step of a 24-bit output: what lies under it is not heard. */
    static constexpr float decayedLevel = 1.0f / 16777216.0f;

    /** Longer than the longest ramp of the chain (the 150 ms restore fade). */
    static constexpr double settleSeconds = 0.25;

    void prepare (double sampleRate) noexcept
    {
        requiredSamples = (juce::int64) std::ceil (settleSeconds * sampleRate);
        reset();
    }

    /** Starts counting again, as after a change. */
    void reset() noexcept
    {
        quietSamples = 0;
        settled = false;
    }

    void addBlock (bool quiet, int numFrames) noexcept
    {
        quietSamples = quiet ? quietSamples + numFrames : 0;
        settled = quiet && quietSamples >= requiredSamples;
    }

    /** The last block was quiet, and so was everything for the settle time before it. */
    bool isSettled() const noexcept { return settled; }

    /** Every sample of the first numChannels channels is exactly zero. */
    static bool isSilent (const juce::AudioBuffer<float>& buffer, int numChannels, int numFrames) noexcept
    {
        for (int ch = 0; ch < juce::jmin (numChannels, buffer.getNumChannels()); ++ch)
        {
            const auto* samples = buffer.getReadPointer (ch);

            for (int i = 0; i < numFrames; ++i)
                if (samples[i] != 0.0f)
                    return false;
        }

        return true;
    }

    /** The largest magnitude over the first numChannels channels (NaN counts as loud). */
    static float peakOf (const juce::AudioBuffer<float>& buffer, int numChannels, int numFrames) noexcept
    {
        auto peak = 0.0f;

        for (int ch = 0; ch < juce::jmin (numChannels, buffer.getNumChannels()); ++ch)
        {
            const auto* samples = buffer.getReadPointer (ch);

            for (int i = 0; i < numFrames; ++i)
            {
                const auto magnitude = std::abs (samples[i]);

                if (! (magnitude <= peak))
                    peak = std::isnan (magnitude) ? 1.0f : magnitude;
            }
        }

        return peak;
    }

private:
    juce::int64 requiredSamples = 11025;
    juce::int64 quietSamples = 0;
    bool settled = false;
};

} // namespace orvel
