#include "WrendleFoldProcessor.h"

#include "editor/OrvelLookAndFeel.h"
#include "editor/SharedData.h"
#include "editor/WrendleFoldEditor.h"

juce::AudioProcessor::BusesProperties WrendleFoldProcessor::makeBuses()
{
    return BusesProperties()
        .withInput ("Fold In", juce::AudioChannelSet::stereo(), true)
        .withOutput ("Fold Out", juce::AudioChannelSet::stereo(), true);
}

WrendleFoldProcessor::WrendleFoldProcessor()
    : juce::AudioProcessor (makeBuses())
{
    sharedData = orvel::SharedData::acquire();
    setBypassed (false);

    userSettings.windowSize = juce::jlimit (0.5, 2.0, userSettings.windowSize);
    userSettings.brightness = juce::jlimit (-0.5f, 0.5f, userSettings.brightness);
    userSettings.contrast = juce::jlimit (-0.5f, 0.5f, userSettings.contrast);

    restoreFadeGain.setImmediate (1.0f);
    lookAndFeel = std::make_unique<orvel::OrvelLookAndFeel>();

    for (int i = 0; i < numOversamplingChoices; ++i)
        mainOversamplers[(size_t) i] = makeOversampler (i);

    params.createAndAdd (*this, [this] (const juce::String& name, float value) { onParameterChanged (name, value); });
    loadInitPreset();
}

WrendleFoldProcessor::~WrendleFoldProcessor()
{
    sharedData.reset();
    lookAndFeel.reset();
}

std::unique_ptr<juce::dsp::Oversampling<float>> WrendleFoldProcessor::makeOversampler (int index)
{
    // Index 0 keeps the pass-through stage the constructor installs (no latency).
    auto oversampler = std::make_unique<juce::dsp::Oversampling<float>> (2);

    if (index > 0)
    {
        oversampler->clearOversamplingStages();
        for (int stage = 0; stage < index; ++stage)
            oversampler->addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                               0.05f, -90.0f, 0.05f, -80.0f);
        oversampler->setUsingIntegerLatency (true);
    }

    return oversampler;
}

void WrendleFoldProcessor::onParameterChanged (const juce::String& name, float)
{
    // Any thread: flags only; the audio thread derives everything at the next block.
    if (name == "Oversampling")
        needsPrepare.exchange (true);
    if (name == "PrePost")
        prePostSwitchState.store (0);
    paramsChanged.exchange (true);
}

void WrendleFoldProcessor::loadInitPreset()
{
    for (auto* parameter : juce::AudioProcessor::getParameters())
    {
        parameter->beginChangeGesture();
        parameter->setValueNotifyingHost (parameter->getDefaultValue());
        parameter->endChangeGesture();
    }
}

//==============================================================================
void WrendleFoldProcessor::prepareToPlay (double sampleRate, int maximumBlockSize)
{
    prepareFramework (sampleRate, maximumBlockSize);

    for (auto* parameter : params.floats())
        parameter->prepareSmoothing (preparedSampleRate);
    for (auto* parameter : params.switches())
        parameter->prepareSmoothing (preparedSampleRate);

    oversamplingIndex = juce::jlimit (0, numOversamplingChoices - 1, params.oversampling->getIndex());
    oversamplingFactor = 1 << oversamplingIndex;

    mainOversamplers[(size_t) oversamplingIndex]->initProcessing ((size_t) preparedBlockSize);
    refreshLatency();

    updateParameters();
    reset();

    paramsChanged.store (false);
    needsPrepare.store (false);
}

void WrendleFoldProcessor::refreshLatency()
{
    const auto mainLatency = orvel::roundHalfEven (mainOversamplers[(size_t) oversamplingIndex]->getLatencyInSamples());
    setLatencySamples (mainLatency);
    dryDelayTargetSamples = (float) mainLatency;
}

void WrendleFoldProcessor::updateParameters()
{
    setBypassed (params.bypass->getValue() < 0.5f);
}

void WrendleFoldProcessor::reset()
{
}

//==============================================================================
void WrendleFoldProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const auto numIn = getTotalNumInputChannels();
    const auto numOut = getTotalNumOutputChannels();
    const auto numFrames = buffer.getNumSamples();

    if (! buffer.hasBeenCleared())
        for (auto ch = juce::jmin (numIn, 2); ch < numOut; ++ch)
            buffer.clear (ch, 0, numFrames);

    if (paramsChanged.exchange (false))
        updateParameters();
    if (needsPrepare.exchange (false))
        prepareToPlay (getSampleRate(), getBlockSize());

    refreshLatency();

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

    numFrames = juce::jmin (numFrames, dryBuffer.getNumSamples());
    pullRestoreFade();

    if (numFrames > 0)
        for (int ch = 0; ch < 2; ++ch)
            dryBuffer.copyFrom (ch, 0, buffer, ch, 0, numFrames);

    auto* left = buffer.getWritePointer (0);
    auto* right = buffer.getWritePointer (1);
    for (int i = 0; i < numFrames; ++i)
    {
        const auto gain = restoreFadeGain.advance();
        left[i] *= gain;
        right[i] *= gain;
    }

    applyBypassCrossfade (buffer, dryBuffer, numFrames);
}

//==============================================================================
juce::AudioProcessorEditor* WrendleFoldProcessor::createEditor()
{
    return new WrendleFoldEditor (*this);
}

void WrendleFoldProcessor::getStateInformation (juce::MemoryBlock&)
{
}

void WrendleFoldProcessor::setStateInformation (const void*, int)
{
}

juce::AudioProcessor* createWrendleFoldProcessor()
{
    return new WrendleFoldProcessor();
}
