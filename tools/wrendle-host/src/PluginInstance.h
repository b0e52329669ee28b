#pragma once

#include "Host.h"
#include "Module.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/params.h>

#include <optional>
#include <string>
#include <vector>

namespace wrendlehost
{

/** What the host knows about one parameter. */
struct ParameterInfo
{
    clap_param_info_t info {};
    std::string defaultText; ///< value_to_text at the default; empty when the plug-in gave none
};

/** One audio port as the plug-in describes it. */
struct AudioPortInfo
{
    uint32_t index = 0;
    clap_audio_port_info_t info {};
    std::string portType;
};

/** One plug-in instance through its whole CLAP lifecycle.

    The constructor creates and initialises it; the destructor undoes whatever is
    still in place in the order CLAP requires (stop processing, deactivate,
    destroy), so an early error can never skip a step. Every lifecycle call but
    the audio ones is made on the main thread; startProcessing, process and
    stopProcessing run inside a Host::AudioThreadScope.
*/
class PluginInstance
{
public:
    /** Creates and initialises the plug-in. Throws HostError (exit code 2). */
    PluginInstance (const Module& module, Host& host, const clap_plugin_descriptor_t& descriptor);
    ~PluginInstance();

    PluginInstance (const PluginInstance&) = delete;
    PluginInstance& operator= (const PluginInstance&) = delete;

    const clap_plugin_t& get() const noexcept { return *plugin; }

    /** The plug-in's table for the extension id, or null. */
    const void* getExtension (const char* extensionId) const;

    template <typename Table>
    const Table* getExtensionAs (const char* extensionId) const
    {
        return static_cast<const Table*> (getExtension (extensionId));
    }

    /** Activates with a minimum block of 1 frame (the last block of a file is
        usually shorter). Throws HostError (exit code 2) when the plug-in refuses.
    */
    void activate (double sampleRateHz, uint32_t maxBlockFrames);
    void deactivate();
    bool isActive() const noexcept { return active; }

    /** Throws HostError (exit code 2) when the plug-in refuses. */
    void startProcessing();
    void stopProcessing();

    /** Hands parameter events to the inactive plug-in through params.flush, on the main
        thread as CLAP asks while inactive; events the plug-in sends back are dropped.
        False when the plug-in has no flush. */
    bool flushParameters (const clap_input_events_t& events);

    /** One process call on the (simulated) audio thread. */
    clap_process_status process (const clap_process_t& block) noexcept;

    /** Destroys the plug-in at once, in whatever state it is (active, processing):
        for checking how a plug-in copes with a host that skips the clean-up. */
    void destroyWithoutCleanup();

    /** Runs the plug-in's on_main_thread if it asked for it. */
    void serviceMainThread() { host.runRequestedCallbacks(); }

    // Queries, each null/empty when the plug-in does not offer the extension.
    std::vector<ParameterInfo> readParameters() const;
    std::vector<AudioPortInfo> readAudioPorts (bool inputs) const;
    std::optional<uint32_t> readLatencySamples() const;
    std::optional<uint32_t> readTailSamples() const;

    /** value_to_text through the params extension; empty when refused. */
    std::string valueToText (clap_id paramId, double value) const;

    /** text_to_value through the params extension; empty when refused. */
    std::optional<double> textToValue (clap_id paramId, const std::string& text) const;

private:
    Host& host;
    const clap_plugin_t* plugin = nullptr;
    bool active = false;
    bool processing = false;
};

} // namespace wrendlehost
