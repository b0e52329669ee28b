#include "Commands.h"
#include "HostError.h"
#include "PluginInstance.h"

#include <clap/ext/gui.h>
#include <clap/ext/note-ports.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>

namespace wrendlehost
{

namespace
{
    /** An extension and the ids it has been published under, newest first.
        Draft ids are probed too: many plug-ins in the field still answer only those.
    */
    struct KnownExtension
    {
        std::vector<const char*> ids;
    };

    const std::vector<KnownExtension>& knownExtensions()
    {
        static const std::vector<KnownExtension> list {
            { { "clap.audio-ports" } },
            { { "clap.audio-ports-activation/2", "clap.audio-ports-activation/draft-2" } },
            { { "clap.audio-ports-config" } },
            { { "clap.configurable-audio-ports/1", "clap.configurable-audio-ports.draft1" } },
            { { "clap.surround/4", "clap.surround.draft/4" } },
            { { "clap.ambisonic/3", "clap.ambisonic.draft/3" } },
            { { "clap.note-ports" } },
            { { "clap.note-name" } },
            { { "clap.params" } },
            { { "clap.param-indication/4", "clap.param-indication.draft/4" } },
            { { "clap.remote-controls/2", "clap.remote-controls.draft/2" } },
            { { "clap.state" } },
            { { "clap.state-context/2" } },
            { { "clap.preset-load/2", "clap.preset-load.draft/2" } },
            { { "clap.latency" } },
            { { "clap.tail" } },
            { { "clap.render" } },
            { { "clap.gui" } },
            { { "clap.timer-support" } },
            { { "clap.posix-fd-support" } },
            { { "clap.thread-pool" } },
            { { "clap.track-info/1", "clap.track-info.draft/1" } },
            { { "clap.voice-info" } },
            { { "clap.context-menu/1", "clap.context-menu.draft/0" } },
            { { "clap.resource-directory/1", "clap.resource-directory.draft/0" } },
        };

        return list;
    }

    struct FlagName
    {
        uint32_t bit;
        const char* name;
    };

    std::vector<std::string> parameterFlagNames (uint32_t flags)
    {
        static const FlagName names[] = {
            { CLAP_PARAM_IS_STEPPED, "stepped" },
            { CLAP_PARAM_IS_PERIODIC, "periodic" },
            { CLAP_PARAM_IS_HIDDEN, "hidden" },
            { CLAP_PARAM_IS_READONLY, "read-only" },
            { CLAP_PARAM_IS_BYPASS, "bypass" },
            { CLAP_PARAM_IS_AUTOMATABLE, "automatable" },
            { CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID, "automatable-per-note-id" },
            { CLAP_PARAM_IS_AUTOMATABLE_PER_KEY, "automatable-per-key" },
            { CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL, "automatable-per-channel" },
            { CLAP_PARAM_IS_AUTOMATABLE_PER_PORT, "automatable-per-port" },
            { CLAP_PARAM_IS_MODULATABLE, "modulatable" },
            { CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID, "modulatable-per-note-id" },
            { CLAP_PARAM_IS_MODULATABLE_PER_KEY, "modulatable-per-key" },
            { CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL, "modulatable-per-channel" },
            { CLAP_PARAM_IS_MODULATABLE_PER_PORT, "modulatable-per-port" },
            { CLAP_PARAM_REQUIRES_PROCESS, "requires-process" },
        };

        std::vector<std::string> result;

        for (const auto& flag : names)
            if ((flags & flag.bit) != 0)
                result.emplace_back (flag.name);

        return result;
    }

    std::vector<std::string> audioPortFlagNames (uint32_t flags)
    {
        static const FlagName names[] = {
            { CLAP_AUDIO_PORT_IS_MAIN, "main" },
            { CLAP_AUDIO_PORT_SUPPORTS_64BITS, "64-bit" },
            { CLAP_AUDIO_PORT_PREFERS_64BITS, "prefers-64-bit" },
            { CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE, "common-sample-size" },
        };

        std::vector<std::string> result;

        for (const auto& flag : names)
            if ((flags & flag.bit) != 0)
                result.emplace_back (flag.name);

        return result;
    }

    std::vector<std::string> noteDialectNames (uint32_t dialects)
    {
        static const FlagName names[] = {
            { CLAP_NOTE_DIALECT_CLAP, "clap" },
            { CLAP_NOTE_DIALECT_MIDI, "midi" },
            { CLAP_NOTE_DIALECT_MIDI_MPE, "midi-mpe" },
            { CLAP_NOTE_DIALECT_MIDI2, "midi2" },
        };

        std::vector<std::string> result;

        for (const auto& flag : names)
            if ((dialects & flag.bit) != 0)
                result.emplace_back (flag.name);

        return result;
    }

    std::string join (const std::vector<std::string>& items, const char* separator)
    {
        std::string result;

        for (const auto& item : items)
            result += (result.empty() ? "" : separator) + item;

        return result;
    }

    std::string safe (const char* text)
    {
        return text != nullptr ? text : "";
    }

    std::string versionText (const clap_version_t& v)
    {
        return std::to_string (v.major) + "." + std::to_string (v.minor) + "." + std::to_string (v.revision);
    }

    std::string shortNumber (double value)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%.6g", value);
        return text;
    }

    std::string milliseconds (uint32_t samples, double sampleRateHz)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%.3g ms", samples * 1000.0 / sampleRateHz);
        return text;
    }

    std::string padRight (const std::string& text, size_t width)
    {
        // Pads by code points, so names with accents keep the columns straight.
        size_t codePoints = 0;

        for (const auto c : text)
            if ((static_cast<unsigned char> (c) & 0xc0) != 0x80)
                ++codePoints;

        return codePoints >= width ? text : text + std::string (width - codePoints, ' ');
    }

    std::vector<std::string> descriptorFeatures (const clap_plugin_descriptor_t& descriptor)
    {
        std::vector<std::string> features;

        if (descriptor.features != nullptr)
            for (auto* feature = descriptor.features; *feature != nullptr; ++feature)
                features.emplace_back (*feature);

        return features;
    }

    struct NotePort
    {
        uint32_t index = 0;
        clap_note_port_info_t info {};
    };

    struct GuiSupport
    {
        std::vector<std::string> embedded;
        std::vector<std::string> floating;
        std::string preferredApi;
        bool preferredFloating = false;
    };

    /** Everything `info` reports, gathered before anything is printed, so that
        text and JSON show exactly the same facts.
    */
    struct Report
    {
        std::string modulePath;
        clap_version_t moduleClapVersion {};
        std::vector<const clap_plugin_descriptor_t*> allDescriptors;
        const clap_plugin_descriptor_t* descriptor = nullptr;

        std::vector<std::string> extensions;
        std::vector<AudioPortInfo> audioInputs, audioOutputs;
        std::vector<NotePort> noteInputs, noteOutputs;
        std::vector<ParameterInfo> parameters;
        std::optional<GuiSupport> gui;
        std::optional<bool> hardRealtime;

        double sampleRateHz = 0.0;
        uint32_t maxBlockFrames = 0;
        bool activated = false;
        std::string activationError;
        std::optional<uint32_t> latencySamples;
        std::optional<uint32_t> tailSamples;
    };

    std::vector<NotePort> readNotePorts (const PluginInstance& instance, bool inputs)
    {
        std::vector<NotePort> result;
        const auto* ports = instance.getExtensionAs<clap_plugin_note_ports_t> (CLAP_EXT_NOTE_PORTS);

        if (ports == nullptr || ports->count == nullptr || ports->get == nullptr)
            return result;

        const auto count = ports->count (&instance.get(), inputs);

        for (uint32_t i = 0; i < count; ++i)
        {
            NotePort port;
            port.index = i;

            if (ports->get (&instance.get(), i, inputs, &port.info))
            {
                port.info.name[sizeof (port.info.name) - 1] = 0;
                result.push_back (port);
            }
        }

        return result;
    }

    std::optional<GuiSupport> readGuiSupport (const PluginInstance& instance)
    {
        const auto* gui = instance.getExtensionAs<clap_plugin_gui_t> (CLAP_EXT_GUI);

        if (gui == nullptr)
            return std::nullopt;

        GuiSupport support;

        if (gui->is_api_supported != nullptr)
        {
            for (const auto* api : { CLAP_WINDOW_API_X11, CLAP_WINDOW_API_WAYLAND, CLAP_WINDOW_API_COCOA, CLAP_WINDOW_API_WIN32 })
            {
                if (gui->is_api_supported (&instance.get(), api, false))
                    support.embedded.emplace_back (api);

                if (gui->is_api_supported (&instance.get(), api, true))
                    support.floating.emplace_back (api);
            }
        }

        const char* preferred = nullptr;
        bool preferredFloating = false;

        if (gui->get_preferred_api != nullptr && gui->get_preferred_api (&instance.get(), &preferred, &preferredFloating)
            && preferred != nullptr)
        {
            support.preferredApi = preferred;
            support.preferredFloating = preferredFloating;
        }

        return support;
    }

    Report gatherReport (const Module& module, PluginInstance& instance, const clap_plugin_descriptor_t& descriptor,
                         const InfoOptions& options)
    {
        Report report;
        report.modulePath = module.getPath();
        report.moduleClapVersion = module.getEntry().clap_version;
        report.allDescriptors = module.getDescriptors();
        report.descriptor = &descriptor;

        for (const auto& known : knownExtensions())
        {
            for (const auto* id : known.ids)
            {
                if (instance.getExtension (id) != nullptr)
                {
                    report.extensions.emplace_back (id);
                    break;
                }
            }
        }

        report.audioInputs = instance.readAudioPorts (true);
        report.audioOutputs = instance.readAudioPorts (false);
        report.noteInputs = readNotePorts (instance, true);
        report.noteOutputs = readNotePorts (instance, false);
        report.parameters = instance.readParameters();
        report.gui = readGuiSupport (instance);

        if (const auto* render = instance.getExtensionAs<clap_plugin_render_t> (CLAP_EXT_RENDER);
            render != nullptr && render->has_hard_realtime_requirement != nullptr)
        {
            report.hardRealtime = render->has_hard_realtime_requirement (&instance.get());
        }

        // Latency and tail are only meaningful once the plug-in knows the sample
        // rate, so they are read from an activated instance.
        report.sampleRateHz = options.sampleRateHz;
        report.maxBlockFrames = options.maxBlockFrames;

        try
        {
            instance.activate (options.sampleRateHz, options.maxBlockFrames);
            report.activated = true;
            report.latencySamples = instance.readLatencySamples();
            report.tailSamples = instance.readTailSamples();
            instance.deactivate();
        }
        catch (const HostError& error)
        {
            report.activationError = error.what();
        }

        return report;
    }

    //==============================================================================
    void printText (const Report& report, std::ostream& out)
    {
        const auto& d = *report.descriptor;
        out << safe (d.name);

        if (d.version != nullptr && *d.version != 0)
            out << " " << d.version;

        out << "\n";

        const auto row = [&out] (const char* label, const std::string& value)
        {
            if (! value.empty())
                out << "  " << padRight (label, 13) << value << "\n";
        };

        row ("id", safe (d.id));
        row ("vendor", safe (d.vendor));
        row ("features", join (descriptorFeatures (d), ", "));
        row ("description", safe (d.description));
        row ("url", safe (d.url));
        row ("manual", safe (d.manual_url));
        row ("support", safe (d.support_url));
        row ("CLAP", versionText (d.clap_version));
        row ("module", report.modulePath);

        if (report.allDescriptors.size() > 1)
        {
            std::vector<std::string> ids;

            for (const auto* other : report.allDescriptors)
                ids.emplace_back (other->id);

            row ("plug-ins", std::to_string (ids.size()) + " in this module (choose with --id): " + join (ids, ", "));
        }

        out << "\nExtensions (" << report.extensions.size() << ")\n";

        if (report.extensions.empty())
        {
            out << "  none\n";
        }
        else
        {
            std::string line = " ";

            for (const auto& id : report.extensions)
            {
                if (line.size() + id.size() + 1 > 78)
                {
                    out << line << "\n";
                    line = " ";
                }

                line += " " + id;
            }

            out << line << "\n";
        }

        if (report.gui)
        {
            std::string text = "embedded " + (report.gui->embedded.empty() ? std::string ("none") : join (report.gui->embedded, ", "));
            text += "; floating " + (report.gui->floating.empty() ? std::string ("none") : join (report.gui->floating, ", "));

            if (! report.gui->preferredApi.empty())
                text += "; prefers " + report.gui->preferredApi + (report.gui->preferredFloating ? " (floating)" : "");

            out << "  gui: " << text << "\n";
        }

        if (report.hardRealtime)
            out << "  render: " << (*report.hardRealtime ? "needs hard real time (no offline rendering)" : "can render offline") << "\n";

        out << "\nAudio ports\n";

        if (report.audioInputs.empty() && report.audioOutputs.empty())
            out << "  none\n";

        const auto printAudioPorts = [&out] (const std::vector<AudioPortInfo>& ports, const char* direction)
        {
            for (const auto& port : ports)
            {
                std::string details = "id " + std::to_string (port.info.id);
                const auto flags = audioPortFlagNames (port.info.flags);

                if (! flags.empty())
                    details += ", " + join (flags, ", ");

                if (port.info.in_place_pair != CLAP_INVALID_ID)
                    details += ", in-place with " + std::to_string (port.info.in_place_pair);

                out << "  " << padRight (direction, 7) << port.index << "  "
                    << padRight ("\"" + std::string (port.info.name) + "\"", 14) << " "
                    << padRight (port.portType.empty() ? "-" : port.portType, 8)
                    << padRight (std::to_string (port.info.channel_count) + " ch", 6) << " " << details << "\n";
            }
        };

        printAudioPorts (report.audioInputs, "input");
        printAudioPorts (report.audioOutputs, "output");

        if (! report.noteInputs.empty() || ! report.noteOutputs.empty())
        {
            out << "\nNote ports\n";

            const auto printNotePorts = [&out] (const std::vector<NotePort>& ports, const char* direction)
            {
                for (const auto& port : ports)
                    out << "  " << padRight (direction, 7) << port.index << "  "
                        << padRight ("\"" + std::string (port.info.name) + "\"", 14) << " id " << port.info.id
                        << ", " << join (noteDialectNames (port.info.supported_dialects), ", ") << "\n";
            };

            printNotePorts (report.noteInputs, "input");
            printNotePorts (report.noteOutputs, "output");
        }

        out << "\nParameters (" << report.parameters.size() << ")\n";

        if (report.parameters.empty())
        {
            out << "  none\n";
        }
        else
        {
            struct Row
            {
                std::string id, name, range, defaultValue, defaultText, flags;
            };

            std::vector<Row> rows { { "ID", "NAME", "RANGE", "DEFAULT", "TEXT AT DEFAULT", "FLAGS" } };

            for (const auto& p : report.parameters)
            {
                const std::string module (p.info.module);
                rows.push_back ({ std::to_string (p.info.id),
                                  module.empty() ? std::string (p.info.name) : module + "/" + p.info.name,
                                  shortNumber (p.info.min_value) + " .. " + shortNumber (p.info.max_value),
                                  shortNumber (p.info.default_value),
                                  p.defaultText.empty() ? "-" : p.defaultText,
                                  join (parameterFlagNames (p.info.flags), ", ") });
            }

            size_t widths[5] = {};

            for (const auto& r : rows)
            {
                const std::string* cells[5] = { &r.id, &r.name, &r.range, &r.defaultValue, &r.defaultText };

                for (size_t c = 0; c < 5; ++c)
                    widths[c] = std::max (widths[c], cells[c]->size());
            }

            for (const auto& r : rows)
                out << "  " << padRight (r.id, widths[0] + 2) << padRight (r.name, widths[1] + 2)
                    << padRight (r.range, widths[2] + 2) << padRight (r.defaultValue, widths[3] + 2)
                    << padRight (r.defaultText, widths[4] + 2) << r.flags << "\n";
        }

        out << "\nActivated at " << shortNumber (report.sampleRateHz) << " Hz, blocks up to " << report.maxBlockFrames
            << " frames\n";

        if (! report.activated)
        {
            out << "  activation failed\n";
            return;
        }

        if (report.latencySamples)
            out << "  latency      " << *report.latencySamples << " samples ("
                << milliseconds (*report.latencySamples, report.sampleRateHz) << ")\n";
        else
            out << "  latency      not reported (0 samples)\n";

        if (! report.tailSamples)
            out << "  tail         not reported (0 samples)\n";
        else if (*report.tailSamples == UINT32_MAX)
            out << "  tail         infinite\n";
        else
            out << "  tail         " << *report.tailSamples << " samples ("
                << milliseconds (*report.tailSamples, report.sampleRateHz) << ")\n";
    }

    //==============================================================================
    using Json = nlohmann::ordered_json; // members keep the order they are written in

    Json descriptorJson (const clap_plugin_descriptor_t& d)
    {
        return Json { { "id", safe (d.id) },
                      { "name", safe (d.name) },
                      { "vendor", safe (d.vendor) },
                      { "version", safe (d.version) },
                      { "description", safe (d.description) },
                      { "url", safe (d.url) },
                      { "manual_url", safe (d.manual_url) },
                      { "support_url", safe (d.support_url) },
                      { "clap_version", versionText (d.clap_version) },
                      { "features", descriptorFeatures (d) } };
    }

    /** The value, or null when the plug-in did not report one. */
    template <typename Value>
    Json valueOrNull (const std::optional<Value>& value)
    {
        return value ? Json (*value) : Json (nullptr);
    }

    Json audioPortsJson (const std::vector<AudioPortInfo>& ports)
    {
        auto list = Json::array();

        for (const auto& port : ports)
            list.push_back ({ { "index", port.index },
                              { "id", port.info.id },
                              { "name", std::string (port.info.name) },
                              { "channels", port.info.channel_count },
                              { "port_type", port.portType },
                              { "flags", audioPortFlagNames (port.info.flags) },
                              { "in_place_pair", port.info.in_place_pair == CLAP_INVALID_ID ? Json (nullptr) : Json (port.info.in_place_pair) } });

        return list;
    }

    Json notePortsJson (const std::vector<NotePort>& ports)
    {
        auto list = Json::array();

        for (const auto& port : ports)
            list.push_back ({ { "index", port.index },
                              { "id", port.info.id },
                              { "name", std::string (port.info.name) },
                              { "dialects", noteDialectNames (port.info.supported_dialects) },
                              { "preferred_dialect", noteDialectNames (port.info.preferred_dialect) } });

        return list;
    }

    Json parametersJson (const std::vector<ParameterInfo>& parameters)
    {
        auto list = Json::array();

        for (const auto& p : parameters)
            list.push_back ({ { "id", p.info.id },
                              { "name", std::string (p.info.name) },
                              { "module", std::string (p.info.module) },
                              { "min", p.info.min_value },
                              { "max", p.info.max_value },
                              { "default", p.info.default_value },
                              { "default_text", p.defaultText.empty() ? Json (nullptr) : Json (p.defaultText) },
                              { "flags_value", p.info.flags },
                              { "flags", parameterFlagNames (p.info.flags) } });

        return list;
    }

    Json activationJson (const Report& report)
    {
        const bool infiniteTail = report.tailSamples && *report.tailSamples == UINT32_MAX;

        Json activation { { "sample_rate", report.sampleRateHz },
                          { "max_block_frames", report.maxBlockFrames },
                          { "ok", report.activated } };

        if (! report.activated)
            activation["error"] = report.activationError;

        activation["latency_samples"] = valueOrNull (report.latencySamples);
        activation["tail_samples"] = infiniteTail ? Json (nullptr) : valueOrNull (report.tailSamples);
        activation["tail_infinite"] = infiniteTail;
        return activation;
    }

    void printJson (const Report& report, std::ostream& out)
    {
        auto otherPlugins = Json::array();

        for (const auto* other : report.allDescriptors)
            otherPlugins.push_back (descriptorJson (*other));

        Json gui = nullptr;

        if (report.gui)
            gui = Json { { "embedded_apis", report.gui->embedded },
                         { "floating_apis", report.gui->floating },
                         { "preferred_api", report.gui->preferredApi.empty() ? Json (nullptr) : Json (report.gui->preferredApi) } };

        const Json json { { "module", report.modulePath },
                          { "module_clap_version", versionText (report.moduleClapVersion) },
                          { "plugin", descriptorJson (*report.descriptor) },
                          { "plugins_in_module", otherPlugins },
                          { "extensions", report.extensions },
                          { "gui", gui },
                          { "hard_realtime_requirement", valueOrNull (report.hardRealtime) },
                          { "audio_ports", { { "inputs", audioPortsJson (report.audioInputs) }, { "outputs", audioPortsJson (report.audioOutputs) } } },
                          { "note_ports", { { "inputs", notePortsJson (report.noteInputs) }, { "outputs", notePortsJson (report.noteOutputs) } } },
                          { "parameters", parametersJson (report.parameters) },
                          { "activation", activationJson (report) } };

        // Texts come from the plug-in: bytes that are not UTF-8 become U+FFFD so
        // the output always parses; non-finite numbers are written as null.
        out << json.dump (2, ' ', false, Json::error_handler_t::replace) << '\n';
    }
} // namespace

int runInfo (const InfoOptions& options, std::ostream& out)
{
    Host host (options.showDebugLogs);
    Module module (options.modulePath);
    const auto& descriptor = module.chooseDescriptor (options.pluginId);

    Report report;
    {
        PluginInstance instance (module, host, descriptor);
        report = gatherReport (module, instance, descriptor, options);
    }

    if (options.json)
        printJson (report, out);
    else
        printText (report, out);

    if (! report.activated)
        throw failure (report.activationError);

    return exitOk;
}

} // namespace wrendlehost
