#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace orvel
{

/** A linear gain ramp for click-free switching.

    Direction 0 fades in: the value climbs from the floor to 1 and the gain is
    applied while it is below 1. Direction 1 fades out: the value falls from 1
    to the floor and the gain is applied while it is above the floor; once at
    the floor the signal stays multiplied by it (silence).
*/
struct Fade
{
    enum Direction
    {
        fadeIn = 0,
        fadeOut = 1
    };

    float step = 1.0f / 441.0f;
    float value = 0.0f;
    float floor = 0.0f;
    int direction = fadeIn;

    bool hasEnded() const noexcept
    {
        return direction == fadeIn ? ! (value < 1.0f) : ! (value > floor);
    }

    /** Starts the fade from its beginning: 1 for a fade-out, the floor for a fade-in. */
    void restart() noexcept { value = direction == fadeOut ? 1.0f : floor; }

    /** The gain for the next frame, moving the value on by one step. */
    float nextGain() noexcept
    {
        if (direction == fadeOut)
        {
            if (value < floor)
                value = floor;
            const auto gain = value;
            value -= step;
            return gain;
        }

        const auto gain = value < 1.0f ? value : 1.0f;
        value += step;
        return gain;
    }

    /** Applies the fade to the first numFrames frames of every channel, frame by frame. */
    void apply (float* const* channels, int numChannels, int numFrames) noexcept
    {
        for (int i = 0; i < numFrames; ++i)
        {
            const auto gain = nextGain();
            for (int ch = 0; ch < numChannels; ++ch)
                channels[ch][i] *= gain;
        }
    }
};

} // namespace orvel
