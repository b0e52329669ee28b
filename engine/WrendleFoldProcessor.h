#pragma once

#include "OrvelProcessor.h"
#include "WrendleFoldParameters.h"

#include <juce_dsp/juce_dsp.h>

#include <array>
#include <atomic>
#include <memory>

namespace orvel
{
class OrvelLookAndFeel;
class SharedData;
} // namespace orvel

/** The audio processor of one Wrendle Fold instance. */
class WrendleFoldProcessor : public orvel::OrvelProcessor
{
public:
    WrendleFoldProcessor();
    ~WrendleFoldProcessor() override;

    //==========================================================================
    const juce::String getName() const override { return "Wrendle Fold"; }
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    void reset() override;
    juce::AudioProcessorEditor* createEditor() override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==========================================================================
    const wrendle::WrendleFoldParameters& getParameterSet() const noexcept { return params; }

    /** The fold drive of the last processed sample, for the monitor (any thread). */
    float getMonitorDrive() const noexcept { return monitorDrive.load (std::memory_order_relaxed); }

    int getOversamplingIndex() const noexcept { return oversamplingIndex; }
    orvel::OrvelLookAndFeel& getLookAndFeel() noexcept { return *lookAndFeel; }
    const std::shared_ptr<orvel::SharedData>& getSharedData() const noexcept { return sharedData; }

    /** Recomputes every value derived from the parameters; audio thread or preparation. */
    void updateParameters();

    static constexpr int numOversamplingChoices = 5;

private:
    void onParameterChanged (const juce::String& name, float normalisedValue);
    void refreshLatency();
    void processChain (juce::AudioBuffer<float>& buffer, int numFrames) noexcept;
    void loadInitPreset();

    static BusesProperties makeBuses();
    static std::unique_ptr<juce::dsp::Oversampling<float>> makeOversampler (int index);

    wrendle::WrendleFoldParameters params;
    bool envelopeLinear = false;

    std::atomic<float> monitorDrive { 0.0f };
    std::atomic<int> prePostSwitchState { -1 };

    std::array<std::unique_ptr<juce::dsp::Oversampling<float>>, numOversamplingChoices> mainOversamplers;
    int oversamplingIndex = 0;
    int oversamplingFactor = 1;
    float dryDelayTargetSamples = 0.0f;
    std::atomic<bool> needsPrepare { false };

    std::unique_ptr<orvel::OrvelLookAndFeel> lookAndFeel;
    std::shared_ptr<orvel::SharedData> sharedData;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrendleFoldProcessor)
};

/** Builds a new processor; the host binding's factory function. */
juce::AudioProcessor* createWrendleFoldProcessor();
