#include "engine/dsp/DryMixPath.h"

#include <cmath>

namespace orvel
{

void DryMixPath::prepare (double baseSampleRate, int maximumBlockFrames)
{
    sampleRate = baseSampleRate > 0.0 ? baseSampleRate : 44100.0;
    followedRate = 0.0; // recompute every corner for the new rate

    for (int index = 0; index < OversamplerBank::numOversamplers; ++index)
        bank.prepare (index, maximumBlockFrames);
}

void DryMixPath::followFilters (float lowPassHz, float highPassHz, float dcBlockerHz, double filterRate) noexcept
{
    const float cutoffsHz[] = { lowPassHz, highPassHz, dcBlockerHz };
    const bool rateChanged = filterRate != followedRate;
    followedRate = filterRate;

    for (int i = 0; i < 3; ++i)
    {
        if (! rateChanged && cutoffsHz[i] == followedCutoffsHz[i])
            continue;

        followedCutoffsHz[i] = cutoffsHz[i];

        // The wet filter's pre-warped analogue corner, seen from the base rate
        // the all-pass runs at, so that the two agree at low frequencies
        // whatever the oversampling factor.
        const double tangent = filterRate / sampleRate * std::tan (juce::MathConstants<double>::pi * (double) cutoffsHz[i] / filterRate);
        phases[i].setCornerTangent (tangent);
    }
}

void DryMixPath::reset() noexcept
{
    bank.get (oversamplerIndex).reset();

    for (auto& phase : phases)
        phase.reset();
}

void DryMixPath::process (float* left, float* right, int numFrames) noexcept
{
    // Nothing to do between up- and downsampling: the round trip alone gives the phase.
    bank.processRoundTrip (oversamplerIndex, left, right, numFrames, [] (float*, int) {});

    for (auto& phase : phases)
    {
        for (int i = 0; i < numFrames; ++i)
        {
            left[i] = phase.processSample (left[i], 0);
            right[i] = phase.processSample (right[i], 1);
        }
    }
}

} // namespace orvel
