#include "engine/dsp/OversamplerBank.h"

namespace orvel
{

OversamplerBank::OversamplerBank()
{
    for (int index = 0; index < numOversamplers; ++index)
        oversamplers[(size_t) index] = std::make_unique<Oversampler> (index);
}

void OversamplerBank::prepare (int index, int maximumBlockFrames)
{
    get (index).prepare (juce::jmax (1, maximumBlockFrames));
}

int OversamplerBank::factorForIndex (int index) noexcept
{
    return index >= 0 && index < numOversamplers ? 1 << index : 1;
}

} // namespace orvel
