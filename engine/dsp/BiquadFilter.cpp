#include "engine/dsp/BiquadFilter.h"

#include <algorithm>
#include <cmath>

namespace orvel
{

BiquadFilter::BiquadFilter() noexcept
{
    updateCoefficients();
}

void BiquadFilter::prepare (double newSampleRate, double rampSeconds) noexcept
{
    if (! (newSampleRate > 0.0))
        return;

    sampleRate = newSampleRate;
    maximumCutoffHz = std::min ((newSampleRate - 4.0) * 0.5, 22000.0);
    s1[0] = s1[1] = s2[0] = s2[1] = 0.0;
    updateCoefficients();

    normalisedCutoffRamp.prepare (sampleRate, rampSeconds);
    qRamp.prepare (sampleRate, rampSeconds);

    normalisedCutoffRamp.setImmediate (std::clamp (cutoffHz, 0.0, maximumCutoffHz) / sampleRate);
    normalisedCutoff = normalisedCutoffRamp.current;
    qRamp.setImmediate (0.707);
    q = 0.707;

    updateCoefficients();
}

void BiquadFilter::reset() noexcept
{
    s1[0] = s1[1] = s2[0] = s2[1] = 0.0;
    updateCoefficients();
}

void BiquadFilter::advanceRampsAndUpdateCoefficients() noexcept
{
    normalisedCutoff = normalisedCutoffRamp.advance();
    q = qRamp.advance();
    updateCoefficients();
}

void BiquadFilter::updateCoefficients() noexcept
{
    constexpr double pi = 3.141592653589793238462643383279;

    // Written so that NaN lands on the lower limits.
    normalisedCutoff = normalisedCutoff >= minimumNormalisedCutoff ? std::min (normalisedCutoff, maximumNormalisedCutoff)
                                                                   : minimumNormalisedCutoff;
    q = q >= 0.1 ? std::min (q, 10.0) : 0.1;

    const double k = std::tan (pi * normalisedCutoff);
    const double kSquared = k * k;
    const double e = 1.0 / (1.0 + k / q + kSquared);

    b0 = kSquared * e;
    b1 = 2.0 * kSquared * e;
    b2 = kSquared * e;
    a1 = 2.0 * (kSquared - 1.0) * e;
    a2 = (1.0 - k / q + kSquared) * e;
}

} // namespace orvel
