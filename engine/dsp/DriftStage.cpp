#include "engine/dsp/DriftStage.h"
#include "engine/dsp/HotLoop.h"
#include "engine/dsp/InlineRandom.h"

#include <algorithm>
#include <cmath>

namespace orvel
{
namespace
{
    /** A gain ramp retargeted every frame: RampedValue::setTarget (target)
        then advance(), on a local copy of the ramp (so that it stays in
        registers) and with a multiplication by the length's reciprocal where
        setTarget divides by the length. */
    struct RetargetedRamp
    {
        explicit RetargetedRamp (const RampedValue& rampToCopy) noexcept
            : ramp (rampToCopy), inverseLength (ramp.lengthSamples >= 1 ? 1.0f / (float) ramp.lengthSamples : 0.0f)
        {
        }

        float next (float newTarget) noexcept
        {
            if (newTarget != ramp.target)
            {
                ramp.target = newTarget;
                ramp.countdown = ramp.lengthSamples;

                // The drift's case: a new target every frame on a ramp longer
                // than one frame, so the ramp takes one step toward it.
                if (ramp.lengthSamples >= 2)
                {
                    --ramp.countdown;
                    ramp.step = (newTarget - ramp.current) * inverseLength;
                    ramp.current += ramp.step;
                    return ramp.current;
                }

                if (ramp.lengthSamples >= 1)
                    ramp.step = (newTarget - ramp.current) * inverseLength;
                else
                    ramp.current = newTarget;
            }

            return ramp.advance();
        }

        RampedValue ramp;
        const float inverseLength;
    };
} // namespace

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

ORVEL_HOT_LOOP
void DriftStage::process (float* left, float* right, int numFrames) noexcept
{
    // The gains are worked out into local arrays a chunk at a time, with the
    // LFOs, the ramps and the generator in locals: were the loop to write
    // through `left` and `right`, which the compiler cannot tell apart from the
    // members, it would store and reload every value of the state each frame.
    // In one loop, the LFOs', the ramps' and the generator's frame-to-frame
    // chains overlap.
    constexpr int chunk = 64;
    float leftGains[chunk], rightGains[chunk];

    InlineRandom noise (random);
    RandomLfo::Run first (lfo1), second (lfo2);
    RetargetedRamp leftGain (leftGainRamp), rightGain (rightGainRamp);
    auto depth = depthRamp;
    const auto gain = outputGain;

    for (int start = 0; start < numFrames; start += chunk)
    {
        const int count = std::min (chunk, numFrames - start);

        for (int i = 0; i < count; ++i)
        {
            float leftNoise, rightNoise;
            noise.nextTwoFloats (leftNoise, rightNoise);
            const float f = leftNoise * 0.0096f + first.next();
            const float k = rightNoise * 0.0088f + second.next();
            const float d = depth.advance();
            leftGains[i] = leftGain.next (1.0f - f * d);
            rightGains[i] = rightGain.next (1.0f - k * d);
        }

        for (int i = 0; i < count; ++i)
        {
            left[start + i] = left[start + i] * leftGains[i] * gain;
            right[start + i] = right[start + i] * rightGains[i] * gain;
        }
    }

    random.setSeed ((juce::int64) noise.seed);
    leftGainRamp = leftGain.ramp;
    rightGainRamp = rightGain.ramp;
    depthRamp = depth;
}

} // namespace orvel
