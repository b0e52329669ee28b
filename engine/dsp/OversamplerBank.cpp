#include "dsp/OversamplerBank.h"

namespace orvel
{

OversamplerBank::OversamplerBank()
{
    using Oversampling = juce::dsp::Oversampling<float>;

    for (int index = 0; index < numOversamplers; ++index)
    {
        auto oversampler = std::make_unique<Oversampling> (numChannels);

        if (index > 0)
        {
            oversampler->clearOversamplingStages();

            for (int stage = 0; stage < index; ++stage)
                oversampler->addOversamplingStage (Oversampling::filterHalfBandPolyphaseIIR, 0.05f, -90.0f, 0.05f, -80.0f);

            oversampler->setUsingIntegerLatency (true);
        }

        oversamplers[(size_t) index] = std::move (oversampler);
    }
}

void OversamplerBank::prepare (int index, int maximumBlockFrames)
{
    const int frames = juce::jmax (1, maximumBlockFrames);
    get (index).initProcessing ((size_t) frames);
    preparedFrames[(size_t) limitIndex (index)] = frames;
}

int OversamplerBank::factorForIndex (int index) noexcept
{
    return index >= 0 && index < numOversamplers ? 1 << index : 1;
}

} // namespace orvel
