#include "engine/dsp/StateVariableFilter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace orvel
{

StateVariableFilter::StateVariableFilter() noexcept
{
    // Valid coefficients from the construction values, so that a filter which
    // is only ever prepared at 44100 Hz (a no-op) still filters.
    updateCoefficients (cutoffRamp.current, resonanceRamp.current, gainRamp.current);
}

void StateVariableFilter::setCutoffTargetHz (float newCutoffHz) noexcept
{
    // Written so that NaN also lands on 1 Hz.
    const float limited = newCutoffHz >= 1.0f ? std::min (newCutoffHz, maximumCutoffHz) : 1.0f;
    cutoffRamp.setTarget (limited);
}

void StateVariableFilter::setResonanceTarget (float resonance) noexcept
{
    resonanceRamp.setTarget (resonance >= 0.0f ? std::min (resonance, 0.99f) : 0.0f);
}

void StateVariableFilter::setPeakGainTarget (float newGain) noexcept
{
    gainRamp.setTarget (newGain);
}

void StateVariableFilter::prepare (double newSampleRate) noexcept
{
    if (newSampleRate == sampleRate || ! (newSampleRate > 0.0))
        return;

    sampleRate = newSampleRate;
    maximumCutoffHz = (float) std::min ((newSampleRate - 2.0) * 0.5, 22000.0);

    cutoffRamp.prepare (sampleRate, rampTimeSeconds);
    resonanceRamp.prepare (sampleRate, rampTimeSeconds);
    gainRamp.prepare (sampleRate, rampTimeSeconds);

    cutoffRamp.target = std::clamp (cutoffRamp.target, 0.0f, maximumCutoffHz);
    cutoffRamp.snap();

    updateCoefficients (cutoffRamp.current, resonanceRamp.current, gainRamp.current);
}

void StateVariableFilter::reset (bool recomputeCoefficients) noexcept
{
    std::fill (std::begin (s1), std::end (s1), 0.0f);
    std::fill (std::begin (s2), std::end (s2), 0.0f);

    cutoffRamp.prepare (sampleRate, rampTimeSeconds);
    resonanceRamp.prepare (sampleRate, rampTimeSeconds);
    gainRamp.prepare (sampleRate, rampTimeSeconds);

    if (cutoffRamp.target > maximumCutoffHz)
        cutoffRamp.setTarget (maximumCutoffHz);

    if (recomputeCoefficients)
        updateCoefficients (cutoffRamp.current, resonanceRamp.current, gainRamp.current);
}

void StateVariableFilter::advanceRampsAndUpdateCoefficients() noexcept
{
    const float newCutoffHz = cutoffRamp.advance();
    const float resonance = resonanceRamp.advance();
    const float newGain = gainRamp.advance();
    updateCoefficients (newCutoffHz, resonance, newGain);
}

void StateVariableFilter::updateCoefficients (float newCutoffHz, float resonance, float newGain) noexcept
{
    constexpr double twoPi = 6.283185307179586476925286766559;

    cutoffHz = newCutoffHz;
    gain = newGain;
    q = 1.0f / ((1.0f - resonance) * 2.0f);
    r = 1.0f / (2.0f * q);
    peakGain = newGain;

    // The bilinear pre-warp written out as an analogue design would: the
    // analogue frequency 2/T × tan (wd T / 2) scaled back by T / 2, which is
    // tan (π fc / fs) up to float rounding.
    const float period = (float) (1.0 / sampleRate);
    const float wd = (float) ((double) newCutoffHz * twoPi);
    g = std::tan (wd * period * 0.5f) * (2.0f / period) * period * 0.5f;

    r2 = 2.0f * r;
    r2PlusG = r2 + g;
    denominatorInverse = 1.0f / (g * g + r2 * g + 1.0f);
}

} // namespace orvel
