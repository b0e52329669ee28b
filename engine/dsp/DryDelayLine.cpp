#include "engine/dsp/DryDelayLine.h"

#include <algorithm>

namespace orvel
{

DryDelayLine::DryDelayLine()
    : leftBuffer ((size_t) bufferLength, 0.0f),
      rightBuffer ((size_t) bufferLength, 0.0f)
{
}

void DryDelayLine::setDelayTargetSamples (float delaySamples) noexcept
{
    // Written so that NaN lands on 0.
    const float limited = delaySamples > 0.0f ? std::min (delaySamples, (float) indexMask) : 0.0f;
    delayRamp.setTarget (limited);
}

void DryDelayLine::reset() noexcept
{
    std::fill (leftBuffer.begin(), leftBuffer.end(), 0.0f);
    std::fill (rightBuffer.begin(), rightBuffer.end(), 0.0f);
}

} // namespace orvel
