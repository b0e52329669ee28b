#include "dsp/SoftClipStage.h"

#include <cmath>

namespace orvel
{

void SoftClipStage::select (int newIndex) noexcept
{
    index = OversamplerBank::limitIndex (newIndex);
    factor = OversamplerBank::factorForIndex (index);
}

void SoftClipStage::prepare (int maximumBlockFrames)
{
    const int frames = juce::jmax (1, maximumBlockFrames);
    bank.get (index).initProcessing ((size_t) frames);
    preparedFrames[(size_t) index] = frames;
}

void SoftClipStage::reset() noexcept
{
    bank.get (index).reset();
}

void SoftClipStage::process (float* left, float* right, int numFrames, RampedValue& softClip) noexcept
{
    const int capacity = preparedFrames[(size_t) index];

    if (capacity <= 0 || numFrames <= 0)
        return;

    auto& oversampler = bank.get (index);

    for (int start = 0; start < numFrames; start += capacity)
    {
        const int frames = juce::jmin (capacity, numFrames - start);
        float* channels[] = { left + start, right + start };
        juce::dsp::AudioBlock<float> block (channels, 2, (size_t) frames);

        auto upsampled = oversampler.processSamplesUp (block);
        shape (upsampled, softClip);
        oversampler.processSamplesDown (block);
    }
}

void SoftClipStage::shape (juce::dsp::AudioBlock<float>& block, RampedValue& softClip) noexcept
{
    const auto numSamples = block.getNumSamples();

    if (block.getNumChannels() < 2 || numSamples == 0)
        return;

    float* left = block.getChannelPointer (0);
    float* right = block.getChannelPointer (1);

    if (!softClip.isGliding())
    {
        if (softClip.current > 0.0f)
        {
            for (size_t i = 0; i < numSamples; ++i)
            {
                left[i] = std::erf (left[i]);
                right[i] = std::erf (right[i]);
            }
        }

        return;
    }

    for (size_t i = 0; i < numSamples; ++i)
    {
        const float s = softClip.advance();
        left[i] = (1.0f - s) * left[i] + s * std::erf (left[i]);
        right[i] = (1.0f - s) * right[i] + s * std::erf (right[i]);
    }
}

} // namespace orvel
