#pragma once

#include "lv2/Lv2ProcessorExtensions.h"
#include "lv2/Lv2Uris.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <memory>
#include <vector>

namespace lv2binding
{

/**
    One LV2 plug-in instance over a juce::AudioProcessor: the ports (see Lv2Ports.h), run, the
    state interface and what the UI reads through instance-access.

    Host port values reach a parameter only when the port changes: the instance remembers what
    each port held at the last run (at first the parameter's default, which the bundle declares
    as the port's default). A state restore, or the plug-in's own editor, may move a parameter
    away from its port; the port does not pull it back until the host moves the port, and the UI
    writes the parameter's value back to the host's port.

    A port's value reaches its parameter through setValue, without the parameter's listeners
    (they would take JUCE's locks on the audio thread): the processor's editor must follow
    the parameters' values, as the product's does with its refresh timer.

    No feature is required. Without urid:map there is no state and no change notification;
    without options the processor is prepared for defaultBlockSize frames. Longer runs are cut
    into blocks of the prepared size, so run never allocates.

    Threads: constructed, activated, saved and restored on the host's main thread (JUCE's
    message thread); run on the audio thread.
*/
class Lv2Plugin : private juce::AudioProcessorListener
{
public:
    static constexpr int defaultBlockSize = 1024;
    static constexpr int largestBlockSize = 8192;

    Lv2Plugin (std::unique_ptr<juce::AudioProcessor> processor, const juce::String& pluginUri, double sampleRate,
               const LV2_Feature* const* features);
    ~Lv2Plugin() override;

    void connectPort (uint32_t port, void* data) noexcept;
    void activate();
    void deactivate();
    void run (uint32_t numFrames) noexcept;

    LV2_State_Status saveState (LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restoreState (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }
    int getPreparedBlockSize() const noexcept { return preparedBlockSize; }
    int getNumParameters() const noexcept { return (int) parameters.size(); }
    juce::AudioProcessorParameter& getParameter (int index) const noexcept { return *parameters[(size_t) index]; }

    /** What the host's port of parameter `index` held at the last run, in plain units. Any thread. */
    float getHostPortValue (int index) const noexcept { return hostPortValues[(size_t) index].load (std::memory_order_relaxed); }

    /** A parameter's plain value (the port's units) for a normalised one, and back. */
    static float toPlain (const juce::AudioProcessorParameter& parameter, float normalised);
    static float toNormalised (const juce::AudioProcessorParameter& parameter, float plain);

    /** Whether two plain values of a parameter are the same setting: within a millionth of its range. */
    static bool isSameValue (const juce::AudioProcessorParameter& parameter, float a, float b);

private:
    void prepare();
    void applyPortValues() noexcept;
    void processBlocks (uint32_t numFrames) noexcept;
    void processOneBlock (juce::AudioBuffer<float>& block, bool bypassedByHost) noexcept;
    void writeEvents() noexcept;
    int currentLatency() const noexcept;
    LV2_URID map (const juce::String& uri) const;

    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override;

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    std::unique_ptr<juce::AudioProcessor> processor;
    Lv2ProcessorExtensions* const extensions;
    const PluginUris uris;
    const LV2_URID_Map* uridMap = nullptr;
    const double sampleRate;
    int preparedBlockSize = defaultBlockSize;
    bool prepared = false;

    std::vector<juce::AudioProcessorParameter*> parameters;
    std::vector<const float*> parameterPorts;
    std::vector<float> lastPortValues;
    std::unique_ptr<std::atomic<float>[]> hostPortValues;

    const float* audioInputs[2] {};
    float* audioOutputs[2] {};
    void* eventsOut = nullptr;
    float* latencyOut = nullptr;
    const float* freeWheeling = nullptr;
    const float* enabled = nullptr;
    bool lastFreeWheeling = false;

    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    std::atomic<bool> stateChanged { false };

    struct Urids
    {
        LV2_URID atomString = 0, atomInt = 0, atomChunk = 0, atomSequence = 0, atomObject = 0, stateChanged = 0;
        LV2_URID processorState = 0, stateString = 0, program = 0, presetSettings = 0;
    } urids;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Lv2Plugin)
};

} // namespace lv2binding
