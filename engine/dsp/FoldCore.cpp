#include "engine/dsp/FoldCore.h"
#include "engine/dsp/HotLoop.h"

#include <algorithm>
#include <cmath>

namespace orvel
{

void FoldVoice::reset() noexcept
{
    lowPass.reset (true);
    highPass.reset (true);
    dcBlocker.reset (true);
    feedbackLowPass.reset();
    envelope.reset();
    memory = Float4();
}

FoldCore::FoldCore() noexcept
{
    for (auto& voice : voices)
    {
        voice.dcBlocker.setMode (StateVariableFilter::highPass);
        voice.dcBlocker.setCutoffTargetHz (foldlaws::dcBlockerHz);
        voice.lowPass.setMode (StateVariableFilter::lowPass);
        voice.lowPass.setCutoffTargetHz (20000.0f);
        voice.highPass.setMode (StateVariableFilter::highPass);
        voice.highPass.setCutoffTargetHz (foldlaws::highPassStartHz);
    }
}

void FoldCore::prepare (double oversampledRate, double attackMs, double releaseMs, float envelopeAmount) noexcept
{
    for (auto& voice : voices)
    {
        voice.dcBlocker.prepare (oversampledRate);
        voice.feedbackLowPass.prepare (oversampledRate, 0.01);
        voice.highPass.prepare (oversampledRate);
        voice.lowPass.prepare (oversampledRate);
        voice.envelope.prepare ((int) oversampledRate, attackMs, releaseMs, envelopeAmount);
    }

    const auto wasFiltersFirst = headingFiltersFirst;
    switchLength = std::max (1, (int) std::lround (oversampledRate * switchSeconds));
    setTopology (wasFiltersFirst);
}

void FoldCore::setEnvelopeTimes (double attackMs, double releaseMs) noexcept
{
    for (auto& voice : voices)
        voice.envelope.setTimes (attackMs, releaseMs);
}

void FoldCore::setEnvelopeAmountTarget (float amount) noexcept
{
    for (auto& voice : voices)
        voice.envelope.setAmountTarget (amount);
}

void FoldCore::snapEnvelopeAmount() noexcept
{
    for (auto& voice : voices)
        voice.envelope.snapAmount();
}

void FoldCore::setHighPassCutoffHz (float cutoffHz) noexcept
{
    for (auto& voice : voices)
        voice.highPass.setCutoffTargetHz (cutoffHz);
}

void FoldCore::setLowPassCutoffHz (float cutoffHz) noexcept
{
    for (auto& voice : voices)
        voice.lowPass.setCutoffTargetHz (cutoffHz);
}

void FoldCore::setFeedbackCutoffHz (float cutoffHz) noexcept
{
    for (auto& voice : voices)
    {
        auto& filter = voice.feedbackLowPass;
        const auto c = cutoffHz < 1.0f ? 1.0 : std::min (filter.getMaximumCutoffHz(), (double) cutoffHz);
        filter.setCutoffHz (c);
        filter.setNormalisedCutoffTarget (c / filter.getSampleRate());
    }
}

void FoldCore::setTopology (bool filtersFirst) noexcept
{
    headingFiltersFirst = filtersFirst;
    switchPosition = filtersFirst ? switchLength : 0;
}

void FoldCore::reset() noexcept
{
    for (auto& voice : voices)
        voice.reset();
}

ORVEL_HOT_LOOP
void FoldCore::processBlock (bool exponentialLaw, float* frames, int numFrames, bool wantFiltersFirst,
                             RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
{
    if (exponentialLaw)
        process<true> (frames, numFrames, wantFiltersFirst, foldAmount, feedback, autoGain);
    else
        process<false> (frames, numFrames, wantFiltersFirst, foldAmount, feedback, autoGain);
}

} // namespace orvel
