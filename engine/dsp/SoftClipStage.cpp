#include "engine/dsp/SoftClipStage.h"

#include "engine/dsp/FastMath.h"

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
    bank.processRoundTrip (index, left, right, numFrames, [&softClip] (float* frames, int numOversampledFrames)
                           { shape (frames, numOversampledFrames, softClip); });
}

void SoftClipStage::shape (float* frames, int numFrames, RampedValue& softClip) noexcept
{
    const auto numSamples = 2 * numFrames;

    if (! softClip.isGliding())
    {
        if (softClip.current > 0.0f)
        {
            // Neighbouring frames mostly share erf's intervals: keep their coefficients.
            FollowingErf erf;
            int i = 0;
            for (; i + 4 <= numSamples; i += 4)
                erf (Float4::load (frames + i)).store (frames + i);
            for (; i < numSamples; ++i)
                frames[i] = fastErf (frames[i]);
        }

        return;
    }

    for (int i = 0; i < numSamples; i += 2)
    {
        const float s = softClip.advance();
        frames[i] = (1.0f - s) * frames[i] + s * fastErf (frames[i]);
        frames[i + 1] = (1.0f - s) * frames[i + 1] + s * fastErf (frames[i + 1]);
    }
}

} // namespace orvel
