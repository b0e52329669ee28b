#include "engine/dsp/DriftStage.h"

#include <cmath>

namespace orvel
{

DriftStage::DriftStage()
{
    startGlides();
}

DriftStage::DriftStage (juce::int64 seed)
    : random (seed),
      lfo1 (random.nextInt64()),
      lfo2 (random.nextInt64())
{
    startGlides();
}

void DriftStage::startGlides() noexcept
{
    // All three fade in from 0.01 to 1 over 441 samples at 44100 Hz.
    leftGainRamp.setTarget (1.0f);
    rightGainRamp.setTarget (1.0f);
    depthRamp.setTarget (1.0f);
}

void DriftStage::prepare (double sampleRate) noexcept
{
    const int lfoRate = (int) sampleRate;

    lfo1.prepare (lfoRate);
    lfo1.setRateHz ((float) (2 + random.nextInt (3)) + random.nextFloat());
    lfo1.setAmplitudeTarget (0.0996f);

    lfo2.prepare (lfoRate);
    lfo2.setRateHz ((float) (2 + random.nextInt (3)) + random.nextFloat());
    lfo2.setAmplitudeTarget (0.08976f);

    const double u1 = (double) random.nextFloat();
    const double u2 = (double) random.nextFloat();
    leftGainRamp.prepare (sampleRate, 0.2 * u1 + 0.5678);
    rightGainRamp.prepare (sampleRate, 0.2 * u2 + 0.5);
    depthRamp.prepare (sampleRate, 0.01);
}

} // namespace orvel
