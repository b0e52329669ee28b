#pragma once

#include "ClapIds.h"

#include <clap/entry.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/host.h>
#include <clap/plugin.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace clapbinding
{

/** One plug-in instance as the host sees it: owns a JUCE processor and
    translates CLAP calls, events, parameters and state into processor calls.
    It knows the processor only through juce::AudioProcessor. */
class ClapBinding : private juce::AudioProcessorListener,
                    private juce::AudioPlayHead
{
public:
    ClapBinding (const clap_host* host, std::unique_ptr<juce::AudioProcessor> processor);
    ~ClapBinding() override;

    /** The record the host holds; its plugin_data points back at this object. */
    const clap_plugin* getPlugin() const noexcept { return &plugin; }
    static ClapBinding* fromPlugin (const clap_plugin* plugin) noexcept;

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    /** What one parameter is to the binding. */
    struct ParameterRecord
    {
        juce::AudioProcessorParameter* parameter = nullptr;
        juce::RangedAudioParameter* ranged = nullptr; // null when the parameter has no range

        bool isDiscreteRanged() const noexcept { return ranged != nullptr && parameter->isDiscrete(); }
        /** CLAP value: plain for discrete ranged parameters, normalised otherwise. */
        double toClapValue (float normalised) const noexcept;
        float fromClapValue (double clapValue) const noexcept;
    };

    const ParameterRecord* findParameter (clap_id id) const noexcept;
    bool isValidParameterId (clap_id id) const noexcept { return parameterIds.count (id) != 0; }
    clap_id getParameterId (juce::AudioProcessorParameter* parameter) const noexcept;

    static constexpr int outboundQueueSize = 65536;
    static constexpr int maxChannels = 128;

private:
    //==========================================================================
    // The plug-in record's functions.
    bool init();
    void destroy();
    bool activate (double sampleRate, uint32_t minFrames, uint32_t maxFrames);
    void deactivate();
    bool startProcessing();
    void stopProcessing();
    void reset();
    clap_process_status process (const clap_process* process);
    const void* getExtension (const char* id);
    void onMainThread();

    //==========================================================================
    // Extensions.
    uint32_t paramsCount() const noexcept;
    bool paramsGetInfo (uint32_t index, clap_param_info* info) const noexcept;
    bool paramsGetValue (clap_id id, double* value) const noexcept;
    bool paramsValueToText (clap_id id, double value, char* display, uint32_t size) const noexcept;
    bool paramsTextToValue (clap_id id, const char* display, double* value) const noexcept;
    void paramsFlush (const clap_input_events* in, const clap_output_events* out) noexcept;

    uint32_t audioPortsCount (bool isInput) const noexcept;
    bool audioPortsGet (uint32_t index, bool isInput, clap_audio_port_info* info) const noexcept;

    bool stateSave (const clap_ostream* stream);
    bool stateLoad (const clap_istream* stream);

    //==========================================================================
    void applyInputEvent (const clap_event_header* event, uint32_t offset) noexcept;
    void applyHostValue (const clap_event_param_value* event) noexcept;
    void drainOutboundQueue (const clap_output_events* out) noexcept;
    void pushOutbound (uint16_t type, clap_id id, float value) noexcept;
    void requestHostFlush() noexcept;

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override;

    juce::Optional<PositionInfo> getPosition() const override;

    static const clap_plugin_params paramsExtension;
    static const clap_plugin_audio_ports audioPortsExtension;
    static const clap_plugin_latency latencyExtension;
    static const clap_plugin_state stateExtension;

    //==========================================================================
    const clap_host* host;
    clap_plugin plugin;
    const clap_host_params* hostParams = nullptr;

    bool active = false;
    double activeSampleRate = 0.0;

    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    std::unique_ptr<juce::AudioProcessor> processor;
    bool applyingHostValue = false;
    juce::MidiBuffer midiBuffer;

    juce::CriticalSection stateLock;
    juce::MemoryBlock stateScratch;

    struct OutboundEntry
    {
        int type = 0;
        uint32_t flags = 0;
        uint32_t paramId = 0;
        float value = 0.0f;
    };
    juce::AbstractFifo outboundFifo { outboundQueueSize };
    std::vector<OutboundEntry> outboundEntries;

    std::unordered_map<clap_id, ParameterRecord> recordsById;
    std::unordered_map<juce::AudioProcessorParameter*, clap_id> idsByParameter;
    std::unordered_set<clap_id> parameterIds;
    juce::Array<juce::AudioProcessorParameter*> parameterList;

    const clap_event_transport* transport = nullptr;
    bool hasTransport = false;

    std::array<float*, maxChannels> channelPointers {};

    JUCE_DECLARE_NON_COPYABLE (ClapBinding)
};

} // namespace clapbinding
