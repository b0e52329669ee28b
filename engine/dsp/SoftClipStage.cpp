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
    bank.prepare (index, maximumBlockFrames);
}

void SoftClipStage::reset() noexcept
{
    bank.get (index).reset();
}

void SoftClipStage::process (float* left, float* right, int numFrames, RampedValue& softClip) noexcept
{
    bank.processRoundTrip (index, left, right, numFrames, [&softClip] (juce::dsp::AudioBlock<float>& upsampled)
                           { shape (upsampled, softClip); });
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
