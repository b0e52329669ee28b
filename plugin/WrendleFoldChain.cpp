#include "plugin/WrendleFoldProcessor.h"

#include "engine/dsp/RampedGain.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// The processor's audio side: preparation, the per-block parameter update and
// the fold chain from input to output (bypass, wet path through the
// oversamplers and the fold core, dry mix, soft clip, output guards).

//==============================================================================
namespace
{
/** Seconds of the fade out before, and of the fade in after, a re-preparation
    while playing: the bypass crossfade's length. */
constexpr double preparationFadeSeconds = 0.02;

/** NaN, infinity and samples beyond `limit` become silence. */
void silenceBadSamples (float* samples, int numFrames, float limit) noexcept
{
    for (int i = 0; i < numFrames; ++i)
    {
        const auto x = samples[i];
        samples[i] = std::abs (x) <= limit ? x : 0.0f; // false for NaN
    }
}

bool allFinite (const float* samples, int numFrames) noexcept
{
    // An all-ones exponent marks NaN and infinity; integer tests keep the loop
    // free of branches and safe from fast-math assumptions.
    constexpr uint32_t exponentMask = 0x7f800000u;
    uint32_t nonFinite = 0;

    for (int i = 0; i < numFrames; ++i)
    {
        uint32_t bits;
        std::memcpy (&bits, samples + i, sizeof (bits));
        nonFinite |= (uint32_t) ((bits & exponentMask) == exponentMask);
    }

    return nonFinite == 0;
}
} // namespace

void WrendleFoldProcessor::setDriftSeed (juce::int64 seed) noexcept
{
    driftSeed.store (seed);
    hasDriftSeed.store (true);
}

void WrendleFoldProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    prepareFramework (sampleRate, maximumBlockSize);
    preparedForOfflineRender = isNonRealtime();
    mixDryBuffer.setSize (2, preparedBlockSize, false, false, true);
    prepareAllOversamplers();
    dryMixPath.prepare (preparedSampleRate, preparedBlockSize);

    prepareChain();
    bypassDelay.reset();

    preparationFade.prepare (preparedSampleRate, preparationFadeSeconds);
    preparationFade.setImmediate (1.0f);
    playedSincePreparation = false;

    paramsChanged.store (false);
    needsPrepare.store (false);
    silenceWatch.prepare (preparedSampleRate);

    // The host prepares us when it activates us, the one moment it lets the latency change.
    setLatencySamples (runningLatencySamples.load (std::memory_order_relaxed));
}

void WrendleFoldProcessor::prepareAllOversamplers()
{
    // Every oversampler gets its buffers while the host prepares us, so a change
    // of oversampling during playback (which re-prepares on the audio thread)
    // finds them sized already and allocates nothing.
    if (oversamplersPreparedForBlockSize == preparedBlockSize)
        return;

    for (int index = 0; index < orvel::OversamplerBank::numOversamplers; ++index)
    {
        mainOversamplers.prepare (index, preparedBlockSize);
        softClipStage.select (index);
        softClipStage.prepare (preparedBlockSize);
    }

    oversamplersPreparedForBlockSize = preparedBlockSize;
}

void WrendleFoldProcessor::prepareChain() noexcept
{
    // Runs on the host's thread from prepareToPlay, and on the audio thread after
    // an oversampling change once the output has faded out. Allocates nothing.
    const auto fs = preparedSampleRate;

    for (auto* parameter : params.floats())
        parameter->prepareSmoothing (fs);
    for (auto* parameter : params.switches())
        parameter->prepareSmoothing (fs);

    oversamplingIndex = orvel::OversamplerBank::limitIndex (params.oversampling->getIndex());
    oversamplingIndexInUse.store (oversamplingIndex, std::memory_order_relaxed);
    oversamplingFactor = orvel::OversamplerBank::factorForIndex (oversamplingIndex);
    const auto oversampledRate = fs * oversamplingFactor;

    // These glide once per oversampled frame: set up for that rate, they last
    // their 10 ms at every factor.
    params.foldAmount->smoothedPlain().prepare (oversampledRate, 0.01);
    params.feedback->smoothedPlain().prepare (oversampledRate, 0.01);
    params.softClip->smoothed().prepare (oversampledRate, 0.01);

    // Every oversampler is sized already (prepareAllOversamplers); this only
    // picks them, and resetChainState() below clears them.
    softClipStage.select (oversamplingIndex);
    dryMixPath.select (oversamplingIndex);
    refreshLatency();
    bypassDelay.snapDelay();

    // The targets first, so that what is prepared below starts at them instead
    // of gliding in from wherever it was.
    updateParameters();

    autoGain.prepare (oversampledRate, (double) 0.01f);

    // The envelope, too, runs once per oversampled frame.
    foldCore.prepare (oversampledRate, params.envelopeAttack->getValue() * 250.0, params.envelopeRelease->getValue() * 1000.0,
                      params.envelopeAmount->getPlainValue() / 100.0f);
    foldCore.snapEnvelopeAmount();
    foldCore.setTopology (params.prePost->isOn());

    if (hasDriftSeed.load())
        drift.reseed (driftSeed.load());
    else if (preparedForOfflineRender)
        drift.reseed (offlineRenderDriftSeed);
    drift.prepare (fs);
    drift.setDepthTarget (orvel::DriftStage::productDepth);

    resetChainState(); // also lands the filters' cutoff glides on their targets
}

void WrendleFoldProcessor::refreshLatency()
{
    const auto mainLatency = orvel::roundHalfEven (mainOversamplers.get (oversamplingIndex).getLatencyInSamples());
    const auto softClipLatency = orvel::roundHalfEven (softClipStage.getLatencyInSamples());
    // Not setLatencySamples: on the audio thread that would lock JUCE's listener list, and
    // the host learns the number at its next activation (prepareToPlay).
    runningLatencySamples.store (mainLatency + softClipLatency, std::memory_order_relaxed);
    bypassDelay.setDelayTargetSamples ((float) (mainLatency + softClipLatency));
}

void WrendleFoldProcessor::updateParameters()
{
    foldCore.setEnvelopeTimes (params.envelopeAttack->getValue() * 250.0, params.envelopeRelease->getValue() * 1000.0);
    foldCore.setEnvelopeAmountTarget (params.envelopeAmount->getPlainValue() / 100.0f);

    foldCore.setHighPassCutoffHz (params.highPass->getPlainValue());
    foldCore.setLowPassCutoffHz (params.lowPass->getPlainValue());
    foldCore.setFeedbackCutoffHz (params.feedbackLowPass->getPlainValue());

    auto gainCompensation = 1.0f;
    if (params.autoGain->getValue() >= 0.5f)
    {
        const auto x = (double) params.foldAmount->smoothedPlain().getRequestedTarget()
                       + 0.65 * (double) params.feedback->smoothedPlain().getRequestedTarget()
                       + (double) params.input->smoothedPlain().getRequestedTarget();
        gainCompensation = 1.0f / (std::pow ((float) x, 0.4f) + 1.85f);
    }
    autoGain.setTarget (gainCompensation);

    setBypassed (params.bypass->getValue() < 0.5f || hostBypassed);
}

void WrendleFoldProcessor::resetChainState() noexcept
{
    foldCore.reset();
    mainOversamplers.get (oversamplingIndex).reset();
    softClipStage.reset();
    dryMixPath.reset();
}

void WrendleFoldProcessor::reset()
{
    resetChainState();
    bypassDelay.reset();
}

//==============================================================================
void WrendleFoldProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processBlockWithHostBypass (buffer, false);
}

void WrendleFoldProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processBlockWithHostBypass (buffer, true);
}

void WrendleFoldProcessor::processBlockWithHostBypass (juce::AudioBuffer<float>& buffer, bool bypassedByHost)
{
    const auto numIn = getTotalNumInputChannels();
    const auto numOut = getTotalNumOutputChannels();
    const auto numFrames = buffer.getNumSamples();

    // While a restore rewrites the parameters the output is silent; the main thread never
    // waits for this thread.
    const auto restoreAtStart = restoreSequence.load (std::memory_order_acquire);

    if ((restoreAtStart & 1u) != 0)
    {
        buffer.clear();
        silenceWatch.reset();
        return;
    }

    const auto inputWasSilent = orvel::SilenceWatch::isSilent (buffer, numIn, numFrames);

    if (! buffer.hasBeenCleared())
        for (auto ch = juce::jmin (numIn, 2); ch < numOut; ++ch)
            buffer.clear (ch, 0, numFrames);

    const auto hostBypassMoved = bypassedByHost != hostBypassed;
    hostBypassed = bypassedByHost;

    const auto changed = paramsChanged.exchange (false) || hostBypassMoved;
    if (changed)
        updateParameters();

    const auto prepareRequested = needsPrepare.exchange (false);
    if (prepareRequested)
    {
        // While playing, the old chain fades out first and the preparation
        // happens where it has gone silent; before anything played, at once.
        if (playedSincePreparation)
            preparationFade.setTarget (0.0f);
        else
            prepareChain();
    }

    refreshLatency();
    processChannels (buffer, numIn, numOut, numFrames);

    // Quiet when nothing came in, nothing changed and what went out is below hearing; only a
    // quarter second of such blocks (longer than every fade and glide) lets the host stop
    // calling, so no feedback or filter tail is cut.
    const auto fadeSettled = ! preparationFade.isGliding() && preparationFade.target == 1.0f
                             && ! restoreFadePending.load (std::memory_order_relaxed);
    const auto quiet = inputWasSilent && ! changed && ! prepareRequested && fadeSettled
                       && orvel::SilenceWatch::peakOf (buffer, numOut, numFrames) <= orvel::SilenceWatch::decayedLevel;
    silenceWatch.addBlock (quiet, numFrames);

    // A restore began while this block read the parameters: it may have seen half of them.
    std::atomic_thread_fence (std::memory_order_acquire);

    if (restoreSequence.load (std::memory_order_relaxed) != restoreAtStart)
    {
        buffer.clear();
        silenceWatch.reset();
    }
}

void WrendleFoldProcessor::processChannels (juce::AudioBuffer<float>& buffer, int numIn, int numOut, int numFrames) noexcept
{
    if (numIn == 2 && numOut == 2)
    {
        processAroundPreparations (buffer.getWritePointer (0), buffer.getWritePointer (1), numFrames);
        return;
    }

    if (numIn == 1 && (numOut == 1 || numOut == 2))
    {
        // The chain is stereo: a mono input runs through it as two identical channels.
        const auto frames = juce::jmin (numFrames, monoScratchBuffer.getNumSamples());
        if (frames <= 0)
            return;

        monoScratchBuffer.copyFrom (0, 0, buffer, 0, 0, frames);
        monoScratchBuffer.copyFrom (1, 0, buffer, 0, 0, frames);

        processAroundPreparations (monoScratchBuffer.getWritePointer (0), monoScratchBuffer.getWritePointer (1), frames);

        buffer.copyFrom (0, 0, monoScratchBuffer, 0, 0, frames);
        if (numOut == 2)
            buffer.copyFrom (1, 0, monoScratchBuffer, 1, 0, frames);
    }
}

void WrendleFoldProcessor::processAroundPreparations (float* left, float* right, int numFrames) noexcept
{
    // Blocks never exceed what the host promised at activation; clamp anyway so
    // a misbehaving host cannot make us write past the scratch buffers.
    numFrames = juce::jmin (numFrames, dryBuffer.getNumSamples());

    for (int done = 0; done < numFrames;)
    {
        if (preparationFade.target == 0.0f && ! preparationFade.isGliding())
        {
            // Faded out: the new preparation takes over here, mid-block if need be.
            prepareChain();
            preparationFade.setTarget (1.0f);
        }

        auto frames = numFrames - done;
        if (preparationFade.target == 0.0f)
            frames = juce::jmin (frames, preparationFade.countdown);

        processChain (left + done, right + done, frames);
        done += frames;
    }

    if (numFrames > 0)
        playedSincePreparation = true;
}

void WrendleFoldProcessor::processChain (float* left, float* right, int numFrames) noexcept
{
    const juce::ScopedNoDenormals noDenormals;

    silenceBadSamples (left, numFrames, maximumInputMagnitude);
    silenceBadSamples (right, numFrames, maximumInputMagnitude);

    float* const bypassDry[] = { dryBuffer.getWritePointer (0), dryBuffer.getWritePointer (1) };
    juce::FloatVectorOperations::copy (bypassDry[0], left, numFrames);
    juce::FloatVectorOperations::copy (bypassDry[1], right, numFrames);
    bypassDelay.process (bypassDry[0], bypassDry[1], numFrames);

    if (skipProcessing)
    {
        juce::FloatVectorOperations::copy (left, bypassDry[0], numFrames);
        juce::FloatVectorOperations::copy (right, bypassDry[1], numFrames);
        wasSkipping = true;
    }
    else
    {
        // Back from a bypass: the chain starts clean instead of from what it held
        // when it stopped, long ago.
        if (wasSkipping)
        {
            resetChainState();
            wasSkipping = false;
        }

        processWetPath (left, right, numFrames);

        float* const wet[] = { left, right };
        applyBypassCrossfade (wet, bypassDry, numFrames);
    }

    applyPreparationFade (left, right, numFrames);
    silenceNonFiniteOutput (left, right, numFrames);
}

void WrendleFoldProcessor::processWetPath (float* left, float* right, int numFrames) noexcept
{
    pullRestoreFade();
    for (auto* parameter : params.floats())
        parameter->smoothedPlain().pullTarget();
    for (auto* parameter : params.switches())
        parameter->smoothed().pullTarget();

    auto& mix = params.mix->smoothedPlain();
    const auto dryNeeded = mix.getRamp().isGliding() || mix.getRamp().target < 1.0f;
    auto* dryLeft = mixDryBuffer.getWritePointer (0);
    auto* dryRight = mixDryBuffer.getWritePointer (1);

    if (dryNeeded)
    {
        if (! dryMixRunning)
            dryMixPath.reset();
        dryMixRunning = true;

        juce::FloatVectorOperations::copy (dryLeft, left, numFrames);
        juce::FloatVectorOperations::copy (dryRight, right, numFrames);

        const auto& voice = foldCore.getVoice (foldCore.hasFiltersFirst());
        dryMixPath.followFilters (voice.lowPass.getCutoffHz(), voice.highPass.getCutoffHz(), voice.dcBlocker.getCutoffHz(),
                                  preparedSampleRate * oversamplingFactor);
        dryMixPath.process (dryLeft, dryRight, numFrames);
    }
    else
    {
        dryMixRunning = false;
    }

    orvel::applyRampedGain<2> (left, right, numFrames, { &restoreFadeGain, &params.input->smoothedPlain().getRamp() });

    drift.process (left, right, numFrames);

    mainOversamplers.processRoundTrip (oversamplingIndex, left, right, numFrames,
                                       [this] (float* frames, int numOversampledFrames)
                                       { runFoldCore (frames, numOversampledFrames); });

    auto& outputGain = params.output->smoothedPlain();
    if (dryNeeded)
    {
        for (int i = 0; i < numFrames; ++i)
        {
            const auto m = mix.advance();
            const auto gain = outputGain.advance();
            left[i] = (dryLeft[i] + (left[i] - dryLeft[i]) * m) * gain;
            right[i] = (dryRight[i] + (right[i] - dryRight[i]) * m) * gain;
        }
    }
    else
    {
        orvel::applyRampedGain<1> (left, right, numFrames, { &outputGain.getRamp() });
    }

    softClipStage.process (left, right, numFrames, params.softClip->smoothed().getRamp());
}

void WrendleFoldProcessor::runFoldCore (float* frames, int numFrames) noexcept
{
    if (numFrames <= 0)
        return;

    // The envelope law is fixed for a block: pick the loop once.
    const auto wantFiltersFirst = params.prePost->isOn();
    auto& foldAmount = params.foldAmount->smoothedPlain().getRamp();
    auto& feedback = params.feedback->smoothedPlain().getRamp();

    foldCore.processBlock (envelopeLinear.load (std::memory_order_relaxed), frames, numFrames, wantFiltersFirst,
                           foldAmount, feedback, autoGain);

    monitorDrive.store (foldCore.getDrive(), std::memory_order_relaxed);
}

void WrendleFoldProcessor::applyPreparationFade (float* left, float* right, int numFrames) noexcept
{
    if (! preparationFade.isGliding() && preparationFade.target == 1.0f)
        return;

    for (int i = 0; i < numFrames; ++i)
    {
        const auto gain = preparationFade.advance();
        left[i] *= gain;
        right[i] *= gain;
    }
}

void WrendleFoldProcessor::silenceNonFiniteOutput (float* left, float* right, int numFrames) noexcept
{
    // The input is clean by now, so this takes a state gone bad some other way
    // (a NaN reaching a gain, say): it must not stay in the filters for good.
    if (allFinite (left, numFrames) && allFinite (right, numFrames))
        return;

    juce::FloatVectorOperations::clear (left, numFrames);
    juce::FloatVectorOperations::clear (right, numFrames);
    resetChainState();
}
