#pragma once

#include "binding/ClapIds.h"
#include "binding/ClapProcessorExtensions.h"
#include "binding/GuiEventLoop.h"

#include "binding/clapcheck/CheckedPlugin.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

namespace juce
{
class LegacyAudioParametersWrapper;
}

namespace clapbinding
{

class EditorWrapperComponent;

/**
    One plug-in instance as the host sees it: owns a JUCE processor and translates CLAP calls,
    events, parameters, state and GUI requests into processor and editor calls. It knows the
    processor only through juce::AudioProcessor.

    The checking base receives every host call first (thread, state and argument checks), so the
    overrides below only ever see calls that passed them; its plug-in record (clapPlugin()) is
    what the host holds.

    Threads: process(), the queue drain in it and the parameter flush while active run on the
    host's audio thread; everything else on the main thread, which is also JUCE's message thread.
    Parameter changes made inside the plug-in reach the audio thread through a lock-free
    single-writer, single-reader queue.

    Pitfalls:
    - Create it with new: the host's destroy() deletes it (through the base).
    - The transport of a block is valid only during that process call; the play head answers
      nothing outside it.
*/
class ClapBinding : public clapcheck::CheckedPlugin,
                    private juce::AudioProcessorListener,
                    private juce::AudioPlayHead,
                    private juce::AudioProcessorParameter::Listener,
                    private juce::ComponentListener
{
public:
    ClapBinding (const clap_host* host, std::unique_ptr<juce::AudioProcessor> processor);
    ~ClapBinding() override;

    /** The binding behind a record the host holds (after the base's record check). */
    static ClapBinding& fromPlugin (const clap_plugin* plugin) noexcept;

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    /** What one parameter is to the binding; its address is the cookie handed to the host. */
    struct ParameterRecord
    {
        juce::AudioProcessorParameter* parameter = nullptr;
        juce::RangedAudioParameter* ranged = nullptr; // null when the parameter has no range

        bool isDiscreteRanged() const noexcept { return ranged != nullptr && parameter->isDiscrete(); }
        /** CLAP value: plain for discrete ranged parameters, normalised otherwise. */
        double toClapValue (float normalised) const noexcept;
        /** The normalised value of a CLAP value, which is first held within the parameter's
            CLAP range. */
        float fromClapValue (double clapValue) const noexcept;
        /** Reported as stepped: a discrete ranged parameter between whole numbers (a choice, a
            switch, an integer). */
        bool isStepped() const noexcept;
    };

    const ParameterRecord* findParameter (clap_id id) const noexcept;
    /** The parameter's CLAP id: from the table, or computed from its identifier when absent. */
    clap_id getParameterId (juce::AudioProcessorParameter* parameter) const noexcept;

    /** The parameter objects in processor order. */
    const juce::Array<juce::AudioProcessorParameter*>& getParameterList() const noexcept { return parameterList; }

    //==============================================================================
    float getGuiScale() const noexcept { return guiScale; }
    bool isParentAttached() const noexcept { return parentAttached; }
    /** The editor holder while the host has a GUI created, else null. */
    EditorWrapperComponent* getEditorWrapper() const noexcept { return editorWrapper.get(); }

    /** Installs what keeps JUCE's message loop running inside the host while a GUI is attached;
        without one the host's own event loop must dispatch JUCE's windows. Main thread. */
    void setGuiEventLoop (std::unique_ptr<GuiEventLoop> loop) noexcept;

    static constexpr int outboundQueueSize = 65536;
    static constexpr int maxChannels = 128;

protected:
    //==============================================================================
    // Lifecycle (after the checks of the base).
    bool init() noexcept override;
    bool activate (double sampleRate, uint32_t minFrames, uint32_t maxFrames) noexcept override;
    void deactivate() noexcept override;
    bool startProcessing() noexcept override;
    void stopProcessing() noexcept override;
    void reset() noexcept override;
    clap_process_status process (const clap_process* process) noexcept override;
    void onMainThread() noexcept override;

    //==============================================================================
    bool implementsState() const noexcept override { return true; }
    bool implementsRender() const noexcept override { return true; }
    bool implementsTrackInfo() const noexcept override { return true; }
    bool implementsLatency() const noexcept override { return true; }
    bool implementsAudioPorts() const noexcept override { return true; }
    bool implementsAudioPortsActivation() const noexcept override { return true; }
    bool implementsParams() const noexcept override { return true; }
    bool implementsNotePorts() const noexcept override { return true; }
    bool implementsTimerSupport() const noexcept override { return true; }
    bool implementsGui() const noexcept override;
    bool implementsTail() const noexcept override { return true; }

    bool stateSave (const clap_ostream* stream) noexcept override;
    bool stateLoad (const clap_istream* stream) noexcept override;

    bool renderHasHardRealtimeRequirement() const noexcept override { return false; }
    bool renderSetMode (clap_plugin_render_mode mode) noexcept override;

    void trackInfoChanged() noexcept override;

    uint32_t latencyGet() const noexcept override;
    uint32_t tailGet() const noexcept override;

    uint32_t audioPortsCount (bool isInput) const noexcept override;
    bool audioPortsGet (uint32_t index, bool isInput, clap_audio_port_info* info) const noexcept override;

    bool audioPortsActivationCanActivateWhileProcessing() const noexcept override { return false; }
    bool audioPortsActivationSetActive (bool, uint32_t, bool, uint32_t) noexcept override { return false; }

    uint32_t paramsCount() const noexcept override;
    bool isValidParameterId (clap_id id) const noexcept override { return recordsById.count (id) != 0; }
    bool paramsGetInfo (uint32_t index, clap_param_info* info) const noexcept override;
    bool paramsGetValue (clap_id id, double* value) const noexcept override;
    bool paramsValueToText (clap_id id, double value, char* display, uint32_t size) const noexcept override;
    bool paramsTextToValue (clap_id id, const char* display, double* value) const noexcept override;
    void paramsFlush (const clap_input_events* in, const clap_output_events* out) noexcept override;

    uint32_t notePortsCount (bool isInput) const noexcept override;
    bool notePortsGet (uint32_t index, bool isInput, clap_note_port_info* info) const noexcept override;

    void onTimer (clap_id timerId) noexcept override;

    bool guiIsApiSupported (const char* api, bool isFloating) noexcept override;
    bool guiCreate (const char* api, bool isFloating) noexcept override;
    void guiDestroy() noexcept override;
    bool guiSetScale (double scale) noexcept override;
    bool guiGetSize (uint32_t* width, uint32_t* height) noexcept override;
    bool guiCanResize() noexcept override;
    bool guiGetResizeHints (clap_gui_resize_hints* hints) noexcept override;
    bool guiAdjustSize (uint32_t* width, uint32_t* height) noexcept override;
    bool guiSetSize (uint32_t width, uint32_t height) noexcept override;
    bool guiSetParent (const clap_window* window) noexcept override;
    bool guiShow() noexcept override;

private:
    //==============================================================================
    struct GatheredChannels
    {
        int count = 0;
        /** False when channels are missing and the block is longer than the spares: the block
            is then silenced rather than processed. */
        bool complete = true;
    };
    /** Points channelPointers at the host's buffers: the input copied into the outputs, missing
        channels filled with silent spares. */
    GatheredChannels gatherChannels (const clap_process& process) noexcept;
    /** Runs the processor on the gathered block; the status the host gets for it. */
    clap_process_status runProcessor (juce::AudioBuffer<float>& buffer) noexcept;
    void applyInputEvent (const clap_event_header* event, uint32_t offset) noexcept;
    void applyHostValue (const clap_event_param_value* event) noexcept;
    void drainOutboundQueue (const clap_output_events* out) noexcept;
    void pushOutbound (uint16_t type, clap_id id, float clapValue) noexcept;
    void queueOutbound (uint16_t type, int parameterIndex, float normalisedValue) noexcept;
    void sendMidiOut (const clap_output_events* out) noexcept;
    void wakeIfQuiet() noexcept;
    juce::String groupPathOf (juce::AudioProcessorParameter* parameter) const;
    bool hasEditor() const noexcept;

    // juce::AudioProcessorListener
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override;

    // juce::AudioPlayHead
    juce::Optional<PositionInfo> getPosition() const override;

    // juce::AudioProcessorParameter::Listener: the binding hears parameters through the
    // processor's listener interface, so it registers with no parameter directly.
    void parameterValueChanged (int, float) override {}
    void parameterGestureChanged (int, bool) override {}

    //==============================================================================
    /** Keeps JUCE's GUI subsystem up for as long as this instance lives (counted by JUCE). */
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    std::unique_ptr<juce::AudioProcessor> processor;

    /** The binding whose host-sent value is being broadcast on this thread (null when none).
        Per thread, so that an edit made on the message thread while the audio thread applies
        host automation is still sent to the host. */
    static thread_local const ClapBinding* applyingHostValue;

    /** The binding that is loading a state on this thread (null when none): what the processor
        reports meanwhile is not sent to the host as edits; one values rescan follows instead. */
    static thread_local const ClapBinding* loadingState;

    /** What the processor offers beyond juce::AudioProcessor, or null. */
    ClapProcessorExtensions* extensions = nullptr;

    /** The last process call told the host it may stop calling until input or events come. */
    std::atomic<bool> quietUntilInput { false };

    juce::MidiBuffer midiBuffer;

    std::unique_ptr<EditorWrapperComponent> editorWrapper;
    bool parentAttached = false;
    float guiScale = 1.0f;
    std::unique_ptr<GuiEventLoop> guiEventLoop;

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
    std::unique_ptr<juce::LegacyAudioParametersWrapper> parameterWrapper;
    juce::Array<juce::AudioProcessorParameter*> parameterList;

    /** The block's transport during a process call, null otherwise. */
    const clap_event_transport* transport = nullptr;

    std::array<float*, maxChannels> channelPointers {};
    /** Stands in for channels the host leaves out; sized at activation. */
    juce::AudioBuffer<float> spareChannels;

    JUCE_DECLARE_NON_COPYABLE (ClapBinding)
};

} // namespace clapbinding
