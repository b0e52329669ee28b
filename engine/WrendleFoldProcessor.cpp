#include "WrendleFoldProcessor.h"

#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WrendleFoldEditor.h"
#include "state/PluginState.h"
#include "state/PresetFile.h"
#include "state/ProcessorParameterTarget.h"
#include "state/UntrustedXml.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>

juce::AudioProcessor::BusesProperties WrendleFoldProcessor::makeBuses()
{
    return BusesProperties()
        .withInput ("Fold In", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Fold Out", juce::AudioChannelSet::stereo(), true);
}

WrendleFoldProcessor::WrendleFoldProcessor (const juce::String& newsServerAddress)
    : juce::AudioProcessor (makeBuses()),
      settingsTag (orvel::getSettingsTag (settings.getProductKey())),
      notifications (newsProductIdentifier, newsServerAddress)
{
    // Names no preset file: the selector shows it as the Init preset.
    currentPresetPath = orvel::presets::initPresetName;

    sharedData = orvel::SharedData::acquire();
    setBypassed (false);

    applyStoredUserSettings();

    restoreFadeGain.setImmediate (1.0f);
    lookAndFeel = std::make_unique<orvel::OrvelLookAndFeel>();

    dcBlocker.setMode (orvel::StateVariableFilter::highPass);
    dcBlocker.setCutoffTargetHz (15.9f);
    lowPass.setMode (orvel::StateVariableFilter::lowPass);
    lowPass.setCutoffTargetHz (20000.0f);
    highPass.setMode (orvel::StateVariableFilter::highPass);
    highPass.setCutoffTargetHz (20.0f);

    params.createAndAdd (*this, [this] (const juce::String& name, float value) { onParameterChanged (name, value); });
    loadInitPreset();

    notifications.checkForNews();
}

WrendleFoldProcessor::~WrendleFoldProcessor()
{
    sharedData.reset();
    lookAndFeel.reset();
    // The news fetcher goes next (a member), stopping a fetch that is still running.
}

void WrendleFoldProcessor::applyStoredUserSettings()
{
    const auto stored = settings.readStoredSettings();

    userSettings.windowSize = juce::jlimit (0.5, 2.0, stored.windowSize);
    userSettings.brightness = juce::jlimit (-0.5f, 0.5f, stored.brightness);
    userSettings.contrast = juce::jlimit (-0.5f, 0.5f, stored.contrast);
    userSettings.leftHandedMouse = stored.leftHandedMouse;
    userSettings.accelerateGui = stored.accelerateGui;
    setEnvelopeLinear (stored.envelopeLinear);

    if (userSettings.brightness != 0.0f || userSettings.contrast != 0.0f)
        handImageAdjustmentToSharedData();
}

void WrendleFoldProcessor::handImageAdjustmentToSharedData()
{
    // The shared skin images are rebuilt with the user's brightness and contrast.
    if (sharedData != nullptr)
    {
        sharedData->setAdjustment (userSettings.brightness, userSettings.contrast);
        sharedData->startRebuild();
    }
}

void WrendleFoldProcessor::onParameterChanged (const juce::String& name, float)
{
    // Any thread: flags only; the audio thread derives everything at the next block.
    if (name == "Oversampling")
        needsPrepare.exchange (true);
    if (name == "PrePost")
        prePost.state.store (PrePostSwitch::start);
    paramsChanged.exchange (true);
}

void WrendleFoldProcessor::loadInitPreset()
{
    const auto initPreset = settings.getPresetsFolder().getChildFile (orvel::presets::initPresetFileName);

    if (initPreset.exists())
    {
        loadPreset (initPreset.getFullPathName());

        // The Init values become the defaults: missing attributes of later presets
        // and states, and a double-click reset, go to them.
        for (auto* parameter : params.floats())
            parameter->adoptCurrentAsDefault();
        for (auto* parameter : params.switches())
            parameter->adoptCurrentAsDefault();
        params.oversampling->adoptCurrentAsDefault();
        return;
    }

    for (auto* parameter : juce::AudioProcessor::getParameters())
        parameter->setValueNotifyingHost (parameter->getDefaultValue());
}

//==============================================================================
void WrendleFoldProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    prepareChain (sampleRate, maximumBlockSize);

    // The host prepares us when it activates us, the one moment CLAP lets the latency change.
    setLatencySamples (runningLatencySamples.load (std::memory_order_relaxed));
}

void WrendleFoldProcessor::prepareChain (double sampleRate, int maximumBlockSize)
{
    prepareFramework (sampleRate, maximumBlockSize);
    const auto fs = preparedSampleRate;

    for (auto* parameter : params.floats())
        parameter->prepareSmoothing (fs);
    for (auto* parameter : params.switches())
        parameter->prepareSmoothing (fs);

    prepareAllOversamplers();

    oversamplingIndex = orvel::OversamplerBank::limitIndex (params.oversampling->getIndex());
    oversamplingIndexInUse.store (oversamplingIndex, std::memory_order_relaxed);
    oversamplingFactor = orvel::OversamplerBank::factorForIndex (oversamplingIndex);
    const auto oversampledRate = fs * oversamplingFactor;

    mainOversamplers.get (oversamplingIndex).initProcessing ((size_t) preparedBlockSize);
    softClipStage.select (oversamplingIndex);
    refreshLatency();

    autoGain.prepare (oversampledRate, (double) 0.01f);
    softClipStage.prepare (oversamplingFactor * preparedBlockSize);

    dcBlocker.prepare (oversampledRate);
    feedbackLowPass.prepare (oversampledRate, 0.01);
    highPass.prepare (oversampledRate);
    lowPass.prepare (oversampledRate);

    const auto switchStep = 1.0f / ((float) oversampledRate * 0.02f);
    prePost.fadeIn.step = switchStep;
    prePost.fadeOut.step = switchStep;
    prePost.state.store (PrePostSwitch::idle);
    prePost.fadeIn.value = prePost.fadeIn.floor;
    prePost.fadeOut.value = 1.0f;
    prePost.inverted = params.prePost->isOn();

    drift.prepare (fs);
    drift.setDepthTarget (0.013f);
    envelope.prepare ((int) fs, params.envelopeAttack->getValue() * 250.0, params.envelopeRelease->getValue() * 1000.0, 1.0f);

    updateParameters();
    reset();
    silenceWatch.prepare (fs);

    paramsChanged.store (false);
    needsPrepare.store (false);
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
        mainOversamplers.get (index).initProcessing ((size_t) preparedBlockSize);
        softClipStage.select (index);
        softClipStage.prepare (orvel::OversamplerBank::factorForIndex (index) * preparedBlockSize);
    }

    oversamplersPreparedForBlockSize = preparedBlockSize;
}

void WrendleFoldProcessor::refreshLatency()
{
    const auto mainLatency = orvel::roundHalfEven (mainOversamplers.get (oversamplingIndex).getLatencyInSamples());
    const auto softClipLatency = orvel::roundHalfEven (softClipStage.getLatencyInSamples());
    // Not setLatencySamples: on the audio thread that would lock JUCE's listener list, and
    // the host learns the number at its next activation (prepareToPlay).
    runningLatencySamples.store (mainLatency + softClipLatency, std::memory_order_relaxed);
    dryDelay.setDelayTargetSamples ((float) mainLatency);
}

void WrendleFoldProcessor::updateParameters()
{
    const auto fs = preparedSampleRate;
    envelope.prepare ((int) fs, params.envelopeAttack->getValue() * 250.0, params.envelopeRelease->getValue() * 1000.0, 1.0f);
    envelope.setAmountTarget (params.envelopeAmount->getPlainValue() / 100.0f);

    highPass.setCutoffTargetHz (params.highPass->getPlainValue());
    lowPass.setCutoffTargetHz (params.lowPass->getPlainValue());

    const auto feedbackCutoff = params.feedbackLowPass->getPlainValue();
    const auto cutoffHz = feedbackCutoff < 1.0f ? 1.0 : std::min (feedbackLowPass.getMaximumCutoffHz(), (double) feedbackCutoff);
    feedbackLowPass.setCutoffHz (cutoffHz);
    feedbackLowPass.setNormalisedCutoffTarget (cutoffHz / feedbackLowPass.getSampleRate());

    auto gainCompensation = 1.0f;
    if (params.autoGain->getValue() >= 0.5f)
    {
        const auto x = (double) params.foldAmount->smoothedPlain().getRequestedTarget()
                     + 0.65 * (double) params.feedback->smoothedPlain().getRequestedTarget()
                     + (double) params.input->smoothedPlain().getRequestedTarget();
        gainCompensation = 1.0f / (std::pow ((float) x, 0.4f) + 1.85f);
    }
    autoGain.setTarget (gainCompensation);

    setBypassed (params.bypass->getValue() < 0.5f);
}

void WrendleFoldProcessor::reset()
{
    feedbackLowPass.reset();
    dcBlocker.reset (true);
    lowPass.reset (true);
    highPass.reset (true);
    feedbackMemory[0] = feedbackMemory[1] = 0.0f;
    softClipStage.reset();
}

//==============================================================================
void WrendleFoldProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
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

    const auto changed = paramsChanged.exchange (false);
    if (changed)
        updateParameters();

    const auto prepared = needsPrepare.exchange (false);
    if (prepared)
        prepareChain (getSampleRate(), getBlockSize());

    const auto fadeRestarts = restoreFadePending.load();
    refreshLatency();
    wetPeak = 0.0f;

    processChannels (buffer, numIn, numOut, numFrames);

    const auto decayed = orvel::SilenceWatch::peakOf (buffer, numOut, numFrames) <= orvel::SilenceWatch::decayedLevel
                         && wetPeak <= orvel::SilenceWatch::decayedLevel && feedbackMemory[0] == 0.0f
                         && feedbackMemory[1] == 0.0f && envelope.getEnvelope() <= orvel::SilenceWatch::decayedLevel;
    silenceWatch.addBlock (inputWasSilent && decayed && ! changed && ! prepared && ! fadeRestarts, numFrames);

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
        processChain (buffer, numFrames);
        return;
    }

    if (numIn == 1 && (numOut == 1 || numOut == 2))
    {
        // The chain is stereo: a mono input runs through it as two identical channels.
        const auto frames = juce::jmin (numFrames, monoScratchBuffer.getNumSamples());
        if (frames > 0)
        {
            monoScratchBuffer.copyFrom (0, 0, buffer, 0, 0, frames);
            monoScratchBuffer.copyFrom (1, 0, buffer, 0, 0, frames);
        }

        processChain (monoScratchBuffer, frames);

        if (frames > 0)
        {
            buffer.copyFrom (0, 0, monoScratchBuffer, 0, 0, frames);
            if (numOut == 2)
                buffer.copyFrom (1, 0, monoScratchBuffer, 1, 0, frames);
        }
    }
}

void WrendleFoldProcessor::processChain (juce::AudioBuffer<float>& buffer, int numFrames) noexcept
{
    const juce::ScopedNoDenormals noDenormals;

    if (skipProcessing)
    {
        if (! dryBuffer.hasBeenCleared())
            dryBuffer.clear();
        return;
    }

    // Blocks never exceed what the host promised at activation; clamp anyway so
    // a misbehaving host cannot make us write past the scratch buffers.
    numFrames = juce::jmin (numFrames, dryBuffer.getNumSamples());
    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);

    pullRestoreFade();
    for (auto* parameter : params.floats())
        parameter->smoothedPlain().pullTarget();
    for (auto* parameter : params.switches())
        parameter->smoothed().pullTarget();

    if (numFrames > 0)
        for (int ch = 0; ch < 2; ++ch)
            dryBuffer.copyFrom (ch, 0, buffer, ch, 0, numFrames);
    auto* dryLeft = dryBuffer.getWritePointer (0);
    auto* dryRight = dryBuffer.getWritePointer (1);
    dryDelay.process (dryLeft, dryRight, numFrames);

    auto& inputGain = params.input->smoothedPlain();
    for (int i = 0; i < numFrames; ++i)
    {
        const auto gain = restoreFadeGain.advance() * inputGain.advance();
        left[i] *= gain;
        right[i] *= gain;
    }

    drift.process (left, right, numFrames);

    if (numFrames > 0)
        runOversampledCore (buffer, numFrames);

    auto& mix = params.mix->smoothedPlain();
    auto& outputGain = params.output->smoothedPlain();
    for (int i = 0; i < numFrames; ++i)
    {
        const auto m = mix.advance();
        const auto gain = outputGain.advance();
        left[i] = (dryLeft[i] + (left[i] - dryLeft[i]) * m) * gain;
        right[i] = (dryRight[i] + (right[i] - dryRight[i]) * m) * gain;
    }

    softClipStage.process (left, right, numFrames, params.softClip->smoothed().getRamp());

    applyBypassCrossfade (buffer, dryBuffer, numFrames);
}

void WrendleFoldProcessor::runOversampledCore (juce::AudioBuffer<float>& buffer, int numFrames) noexcept
{
    auto& oversampler = mainOversamplers.get (oversamplingIndex);
    juce::dsp::AudioBlock<float> block (buffer.getArrayOfWritePointers(), 2, (size_t) numFrames);
    auto oversampled = oversampler.processSamplesUp (block);

    advancePrePostSwitch();
    auto* left = oversampled.getChannelPointer (0);
    auto* right = oversampled.getChannelPointer (1);
    const auto frames = (int) oversampled.getNumSamples();

    // The topology and the envelope law are fixed for a block: pick the loop once.
    const auto linear = envelopeLinear.load (std::memory_order_relaxed);
    if (prePost.inverted)
        linear ? runCore<true, true> (left, right, frames) : runCore<true, false> (left, right, frames);
    else
        linear ? runCore<false, true> (left, right, frames) : runCore<false, false> (left, right, frames);

    oversampler.processSamplesDown (block);
    wetPeak = orvel::SilenceWatch::peakOf (buffer, 2, numFrames);
}

void WrendleFoldProcessor::advancePrePostSwitch() noexcept
{
    switch (prePost.state.load())
    {
        case PrePostSwitch::fadingIn:
            if (prePost.fadeIn.hasEnded())
                prePost.state.store (PrePostSwitch::idle);
            break;

        case PrePostSwitch::fadingOut:
            if (prePost.fadeOut.hasEnded())
            {
                prePost.inverted = params.prePost->isOn();
                prePost.fadeIn.restart();
                prePost.state.store (PrePostSwitch::fadingIn);
            }
            break;

        case PrePostSwitch::start:
            prePost.fadeOut.restart();
            prePost.state.store (PrePostSwitch::fadingOut);
            break;

        default:
            break;
    }
}

template <bool inverted, bool linearEnvelope>
void WrendleFoldProcessor::runCore (float* left, float* right, int numFrames) noexcept
{
    auto& foldAmount = params.foldAmount->smoothedPlain();
    auto& feedback = params.feedback->smoothedPlain();
    const auto switchState = prePost.state.load (std::memory_order_relaxed);
    auto memoryLeft = feedbackMemory[0];
    auto memoryRight = feedbackMemory[1];
    float drive = monitorDrive.load (std::memory_order_relaxed);

    for (int i = 0; i < numFrames; ++i)
    {
        auto l = left[i];
        auto r = right[i];

        if constexpr (! inverted)
        {
            l = juce::jlimit (-6.0f, 6.0f, l + memoryLeft);
            r = juce::jlimit (-6.0f, 6.0f, r + memoryRight);
        }

        drive = foldAmount.advance() * 14.0f + 1.0f;

        const auto e = (l + r) * 2.5f;
        const auto g = juce::jlimit (-1.0f, 1.0f, linearEnvelope ? envelope.processExponential (e) : envelope.processConstantStep (e));
        if (g > 0.0f)
            drive += (20.0f - drive) * g;
        else if (g < 0.0f)
            drive -= (1.0f - drive) * g;

        if constexpr (inverted)
        {
            lowPass.processFrame (l, r);
            highPass.processFrame (l, r);
        }

        const auto a = autoGain.advance();
        l = std::sin (drive * l) * a;
        r = std::sin (drive * r) * a;

        dcBlocker.processFrame (l, r);

        if constexpr (inverted)
        {
            l = juce::jlimit (-6.0f, 6.0f, l + memoryLeft);
            r = juce::jlimit (-6.0f, 6.0f, r + memoryRight);
        }
        else
        {
            lowPass.processFrame (l, r);
            highPass.processFrame (l, r);
        }

        const auto u = feedback.advance();
        const auto w = u * u * u * 0.94f;
        auto fbLeft = l * w;
        auto fbRight = r * w;
        feedbackLowPass.processFrame (fbLeft, fbRight);
        memoryLeft = std::erf (fbLeft);
        memoryRight = std::erf (fbRight);
        if (std::abs (memoryLeft) < 3.5e-5f)
            memoryLeft = 0.0f;
        if (std::abs (memoryRight) < 3.5e-5f)
            memoryRight = 0.0f;

        if (switchState == PrePostSwitch::fadingIn || switchState == PrePostSwitch::fadingOut)
        {
            const auto fade = switchState == PrePostSwitch::fadingIn ? prePost.fadeIn.nextGain() : prePost.fadeOut.nextGain();
            l *= fade;
            r *= fade;
        }

        left[i] = l;
        right[i] = r;
    }

    feedbackMemory[0] = memoryLeft;
    feedbackMemory[1] = memoryRight;
    if (numFrames > 0)
        monitorDrive.store (drive, std::memory_order_relaxed);
}

//==============================================================================
juce::AudioProcessorEditor* WrendleFoldProcessor::createEditor()
{
    return new WrendleFoldEditor (*this);
}

//==============================================================================
std::unique_ptr<juce::XmlElement> WrendleFoldProcessor::createSettingsXml()
{
    // The values are atomics: no lock, so a save never holds up a block.
    const orvel::ProcessorParameterTarget target (*this);
    return orvel::createSettingsElement (target, settingsTag, JucePlugin_VersionString);
}

void WrendleFoldProcessor::applySettingsXml (const juce::XmlElement* element, bool asPreset)
{
    applySettings (element, asPreset, true);
}

void WrendleFoldProcessor::applySettings (const juce::XmlElement* element, bool asPreset, bool asUserEdits)
{
    startRestoreFade();

    // Odd while the values change: the audio thread outputs silence meanwhile, and silences a
    // block that overlapped the change, instead of this thread waiting for the block to end.
    restoreSequence.fetch_add (1, std::memory_order_relaxed);
    std::atomic_thread_fence (std::memory_order_release);

    {
        using Changes = orvel::ProcessorParameterTarget::Changes;
        orvel::ProcessorParameterTarget target (*this, asUserEdits ? Changes::asUserEdits : Changes::silent);
        orvel::applySettingsElement (target, element, settingsTag, asPreset, lockedParameterNames);
    }

    restoreSequence.fetch_add (1, std::memory_order_release);

    // Again after the values are in: a block that ran between the first request and the
    // restore has already used it up, and the first block with the new values must start
    // from silence.
    startRestoreFade();
}

void WrendleFoldProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto element = createSettingsXml();
    orvel::addHostStateAttributes (*element, currentPresetPath, saveCounter, lockText);
    copyXmlToBinary (*element, destData);
}

void WrendleFoldProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    loadStateInformation (data, sizeInBytes);
}

bool WrendleFoldProcessor::loadStateInformation (const void* data, int sizeInBytes)
{
    // A blob that is refused or does not parse changes nothing at all.
    const auto element = orvel::readHostStateBinary (data, sizeInBytes);

    if (element == nullptr)
        return false;

    const orvel::ProcessorParameterTarget parameters (*this);
    auto extras = orvel::readHostStateAttributes (*element, parameters);

    // What the host restores is the project as saved: no change to tell it about.
    currentPresetPath = extras.presetPath;
    saveCounter = extras.saveCounter;
    lockedParameterNames = std::move (extras.lockedNames);
    lockText = extras.lockText;
    ++lockRestoreCount;

    applySettings (element.get(), false, false);
    return true;
}

size_t WrendleFoldProcessor::getMaximumStateBytes() const noexcept { return orvel::maxHostStateBytes; }

juce::String WrendleFoldProcessor::createSettingsText()
{
    return createSettingsXml()->toString();
}

void WrendleFoldProcessor::applySettingsText (const juce::String& text)
{
    // Clipboard text can come from anywhere: the same limits as a host state.
    const auto element = orvel::readSettingsText (text);
    applySettingsXml (element.get(), false);
}

void WrendleFoldProcessor::copySettingsToClipboard()
{
    juce::SystemClipboard::copyTextToClipboard (createSettingsText());
}

void WrendleFoldProcessor::pasteSettingsFromClipboard()
{
    applySettingsText (juce::SystemClipboard::getTextFromClipboard());
}

//==============================================================================
void WrendleFoldProcessor::loadPreset (const juce::String& path)
{
    // Remembered even when nothing loads, so the host state records the choice.
    setCurrentPresetPath (path);

    const auto preset = orvel::readPresetFile (path);

    if (preset.isPreset)
        applySettingsXml (preset.element.get(), true);
}

juce::String WrendleFoldProcessor::savePreset (const juce::String& path)
{
    const auto element = createSettingsXml();
    return orvel::writePresetFile (*element, path);
}

void WrendleFoldProcessor::setLockedParameterNames (const juce::StringArray& names)
{
    const auto text = names.joinIntoString ("|");

    if (names == lockedParameterNames && text == lockText)
        return;

    lockedParameterNames = names;
    lockText = text;
    tellHostStateChanged();
}

void WrendleFoldProcessor::setCurrentPresetPath (const juce::String& path)
{
    if (path == currentPresetPath)
        return;

    currentPresetPath = path;
    tellHostStateChanged();
}

void WrendleFoldProcessor::tellHostStateChanged()
{
    // The saved state carries it but no parameter does: without this the host would not
    // ask the user to save.
    updateHostDisplay (ChangeDetails().withNonParameterStateChanged (true));
}

juce::AudioProcessor* createWrendleFoldProcessor()
{
    return new WrendleFoldProcessor();
}
