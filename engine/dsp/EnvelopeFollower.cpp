#include "engine/dsp/EnvelopeFollower.h"

namespace orvel
{

EnvelopeFollower::EnvelopeFollower() noexcept
{
    updateCoefficients();

    // A freshly built follower fades its amount in from 0.01 to 1 over 1 ms.
    amountRamp.lengthSamples = (int) std::floor (sampleRate * 0.001);
    amountRamp.setTarget (1.0f);
}

void EnvelopeFollower::prepare (int newSampleRate, double newAttackMs, double newReleaseMs, float amountTarget) noexcept
{
    // A rate of 0 or below would turn the coefficients into gains above 1.
    sampleRate = newSampleRate > 0 ? (double) newSampleRate : 44100.0;
    setTimes (newAttackMs, newReleaseMs);

    amountRamp.prepareLength (sampleRate, (int) std::floor (sampleRate * 0.001));
    amountRamp.setTarget (amountTarget);
}

void EnvelopeFollower::setTimes (double newAttackMs, double newReleaseMs) noexcept
{
    attackMs = newAttackMs > 0.0 ? newAttackMs : 0.01;
    releaseMs = newReleaseMs > 0.0 ? newReleaseMs : 0.01;
    updateCoefficients();
}

void EnvelopeFollower::updateCoefficients() noexcept
{
    // The distance to the input shrinks to 1 % over the time constant.
    attackCoefficient = std::pow (0.01, 1.0 / (attackMs * sampleRate * 0.001));
    releaseCoefficient = std::pow (0.01, 1.0 / (releaseMs * sampleRate * 0.001));

    const double attackSamples = attackMs * 0.001 * sampleRate;
    const double releaseSamples = releaseMs * 0.001 * sampleRate;
    attackStep = attackSamples > 0.0 ? 1.0 / attackSamples : 1.0;
    releaseStep = releaseSamples > 0.0 ? 1.0 / releaseSamples : 1.0;
}

} // namespace orvel
