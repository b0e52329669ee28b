#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>

/**
    A processor that shows the binding from the processor's side: it records what each block
    brings (channels, MIDI, play-head position), doubles its audio so in-place and separate
    buffers can be told apart, and does on request what a product processor does on its own
    (change its latency, emit MIDI, report a change).

    Parameters, in processor order: "Gain" (continuous, default 0.5), "Switch" (bool),
    "Mode" (choice of four, plain range 0..3, default 2), and "Nested" in group
    "Outer" > "Inner".

    The records are written on the audio thread and read by tests after process() returns;
    nothing here is meant to be read while a block runs, except where atomics say so.
*/
class ProbeProcessor : public juce::AudioProcessor
{
public:
    using juce::AudioProcessor::BusesProperties;

    explicit ProbeProcessor (BusesProperties buses = stereoBuses());
    static BusesProperties stereoBuses();

    const juce::String getName() const override { return "Probe"; }
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    void reset() override { ++resets; }

    double getTailLengthSeconds() const override { return tailSeconds; }
    bool acceptsMidi() const override { return midiIn; }
    bool producesMidi() const override { return midiOut; }
    bool supportsMPE() const override { return mpe; }
    bool isBusesLayoutSupported (const BusesLayout&) const override { return true; }

    bool hasEditor() const override { return withEditor; }
    juce::AudioProcessorEditor* createEditor() override;

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destination) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    void updateTrackProperties (const TrackProperties& properties) override
    {
        trackProperties = properties;
        ++trackPropertyUpdates;
    }

    //==============================================================================
    juce::AudioParameterFloat* gain = nullptr;
    juce::AudioParameterBool* toggle = nullptr;
    juce::AudioParameterChoice* mode = nullptr;
    juce::AudioParameterFloat* nested = nullptr;

    // Behaviour switches
    bool midiIn = true;
    bool midiOut = false;
    bool mpe = false;
    bool withEditor = true;
    bool editorIsNull = false; ///< hasEditor() but createEditor() gives nothing
    double tailSeconds = 0.0;
    std::atomic<int> latencyToReport { 0 }; ///< applied with setLatencySamples in the next block
    bool emitNoteOnAt10 = false;            ///< adds a note-on (and a sysex) to the MIDI output

    // Records of the last block
    static constexpr int maxRecordedMidi = 64;
    struct MidiRecord
    {
        int position;
        int size;
        juce::uint8 bytes[3];
    };

    std::atomic<int> blocks { 0 };
    int resets = 0;
    int lastNumChannels = 0;
    int lastNumSamples = 0;
    std::array<const float*, 8> lastChannelPointers {};
    int midiCount = 0;
    std::array<MidiRecord, maxRecordedMidi> midi {};
    juce::Optional<juce::AudioPlayHead::PositionInfo> lastPosition;
    float gainSeenInLastBlock = -1.0f;
    int preparedBlockSize = 0;
    double preparedSampleRate = 0.0;
    int prepareCalls = 0;

    TrackProperties trackProperties;
    int trackPropertyUpdates = 0;
};

/** JUCE hides these behind the concrete parameter classes; tests read them as a host would. */
inline float normalisedValueOf (const juce::AudioProcessorParameter& parameter)
{
    return parameter.getValue();
}
inline juce::String textOf (const juce::AudioProcessorParameter& parameter, float normalised)
{
    return parameter.getText (normalised, 256);
}

/**
    A stand-in editor: 300 × 200, resizable with limits 100..600 × 50..400 and no fixed
    aspect ratio unless asked; it can also be made fixed-size or constrainer-free.
*/
class ProbeEditor : public juce::AudioProcessorEditor
{
public:
    enum class Sizing
    {
        constrained,
        aspectLocked,
        fixed,
        unconstrained
    };

    ProbeEditor (ProbeProcessor& processor, Sizing sizing);
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::black); }

    static Sizing nextSizing;
};
