#include "PluginInstance.h"

#include "HostError.h"

#include <clap/ext/latency.h>

#include <cstring>

namespace wrendlehost
{

namespace
{
    /** Plug-ins fill fixed-size text fields; never trust them to terminate one. */
    template <size_t size>
    std::string boundedText (const char (&field)[size])
    {
        return std::string (field, strnlen (field, size));
    }

    constexpr uint32_t textBufferBytes = 256;
} // namespace

PluginInstance::PluginInstance (const Module& module, Host& hostToUse, const clap_plugin_descriptor_t& descriptor)
    : host (hostToUse)
{
    const auto& factory = module.getFactory();
    const std::string id (descriptor.id);

    plugin = factory.create_plugin (&factory, host.getClapHost(), descriptor.id);

    if (plugin == nullptr)
        throw failure ("the module could not create the plug-in '" + id + "' (create_plugin returned null)");

    if (plugin->init == nullptr || plugin->destroy == nullptr || plugin->activate == nullptr
        || plugin->deactivate == nullptr || plugin->start_processing == nullptr || plugin->stop_processing == nullptr
        || plugin->process == nullptr || plugin->get_extension == nullptr)
    {
        // Without destroy there is nothing safe to call; leak the instance.
        const bool canDestroy = plugin->destroy != nullptr;

        if (canDestroy)
            plugin->destroy (plugin);

        plugin = nullptr;
        throw failure ("the plug-in '" + id + "' has an incomplete clap_plugin record");
    }

    host.setPlugin (plugin);

    if (! plugin->init (plugin))
    {
        plugin->destroy (plugin);
        plugin = nullptr;
        host.setPlugin (nullptr);
        throw failure ("the plug-in '" + id + "' failed to initialise (init returned false)");
    }

    host.runRequestedCallbacks();
}

PluginInstance::~PluginInstance()
{
    if (plugin == nullptr)
        return;

    stopProcessing();
    deactivate();
    host.runRequestedCallbacks();
    plugin->destroy (plugin);
    host.setPlugin (nullptr);
}

void PluginInstance::destroyWithoutCleanup()
{
    if (plugin == nullptr)
        return;

    plugin->destroy (plugin);
    plugin = nullptr;
    active = false;
    processing = false;
    host.setPlugin (nullptr);
}

const void* PluginInstance::getExtension (const char* extensionId) const
{
    return plugin->get_extension (plugin, extensionId);
}

void PluginInstance::activate (double sampleRateHz, uint32_t maxBlockFrames)
{
    if (active)
        deactivate();

    if (! plugin->activate (plugin, sampleRateHz, 1, maxBlockFrames))
        throw failure ("the plug-in failed to activate at " + std::to_string (static_cast<long long> (sampleRateHz))
                       + " Hz with blocks of up to " + std::to_string (maxBlockFrames) + " frames");

    active = true;
    host.takeLatencyChanged(); // a change reported during activation is already in the value we read next
    host.runRequestedCallbacks();
}

void PluginInstance::deactivate()
{
    if (! active)
        return;

    stopProcessing();
    plugin->deactivate (plugin);
    active = false;
    host.runRequestedCallbacks();
}

void PluginInstance::startProcessing()
{
    if (processing)
        return;

    bool started = false;
    {
        Host::AudioThreadScope audio;
        started = plugin->start_processing (plugin);
    }

    if (! started)
        throw failure ("the plug-in refused to start processing (start_processing returned false)");

    processing = true;
}

void PluginInstance::stopProcessing()
{
    if (! processing)
        return;

    {
        Host::AudioThreadScope audio;
        plugin->stop_processing (plugin);
    }

    processing = false;
}

bool PluginInstance::flushParameters (const clap_input_events_t& events)
{
    const auto* params = getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    if (params == nullptr || params->flush == nullptr)
        return false;

    const clap_output_events_t dropped { nullptr, [] (const clap_output_events_t*, const clap_event_header_t*)
                                         { return true; } };
    params->flush (plugin, &events, &dropped);
    host.runRequestedCallbacks();
    return true;
}

clap_process_status PluginInstance::process (const clap_process_t& block) noexcept
{
    Host::AudioThreadScope audio;
    return plugin->process (plugin, &block);
}

std::vector<ParameterInfo> PluginInstance::readParameters() const
{
    std::vector<ParameterInfo> result;
    const auto* params = getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    if (params == nullptr || params->count == nullptr || params->get_info == nullptr)
        return result;

    const auto count = params->count (plugin);

    for (uint32_t i = 0; i < count; ++i)
    {
        ParameterInfo parameter;

        if (! params->get_info (plugin, i, &parameter.info))
            continue;

        parameter.info.name[sizeof (parameter.info.name) - 1] = 0;
        parameter.info.module[sizeof (parameter.info.module) - 1] = 0;
        parameter.defaultText = valueToText (parameter.info.id, parameter.info.default_value);
        result.push_back (parameter);
    }

    return result;
}

std::vector<AudioPortInfo> PluginInstance::readAudioPorts (bool inputs) const
{
    std::vector<AudioPortInfo> result;
    const auto* ports = getExtensionAs<clap_plugin_audio_ports_t> (CLAP_EXT_AUDIO_PORTS);

    if (ports == nullptr || ports->count == nullptr || ports->get == nullptr)
        return result;

    const auto count = ports->count (plugin, inputs);

    for (uint32_t i = 0; i < count; ++i)
    {
        AudioPortInfo port;
        port.index = i;

        if (! ports->get (plugin, i, inputs, &port.info))
            continue;

        port.info.name[sizeof (port.info.name) - 1] = 0;
        port.portType = port.info.port_type != nullptr ? port.info.port_type : "";
        port.info.port_type = nullptr; // belongs to the plug-in; only the copy is kept
        result.push_back (port);
    }

    return result;
}

std::optional<uint32_t> PluginInstance::readLatencySamples() const
{
    const auto* latency = getExtensionAs<clap_plugin_latency_t> (CLAP_EXT_LATENCY);

    if (latency == nullptr || latency->get == nullptr)
        return std::nullopt;

    return latency->get (plugin);
}

std::optional<uint32_t> PluginInstance::readTailSamples() const
{
    const auto* tail = getExtensionAs<clap_plugin_tail_t> (CLAP_EXT_TAIL);

    if (tail == nullptr || tail->get == nullptr)
        return std::nullopt;

    return tail->get (plugin);
}

std::string PluginInstance::valueToText (clap_id paramId, double value) const
{
    const auto* params = getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    if (params == nullptr || params->value_to_text == nullptr)
        return {};

    char text[textBufferBytes] = {};

    if (! params->value_to_text (plugin, paramId, value, text, textBufferBytes))
        return {};

    return boundedText (text);
}

std::optional<double> PluginInstance::textToValue (clap_id paramId, const std::string& text) const
{
    const auto* params = getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

    if (params == nullptr || params->text_to_value == nullptr)
        return std::nullopt;

    double value = 0.0;

    if (! params->text_to_value (plugin, paramId, text.c_str(), &value))
        return std::nullopt;

    return value;
}

} // namespace wrendlehost
