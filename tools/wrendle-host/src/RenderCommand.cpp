#include "AudioFileOutput.h"
#include "Commands.h"
#include "HostError.h"
#include "PluginInstance.h"
#include "RenderLoop.h"

#include <clap/events.h>

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace wrendlehost
{

namespace
{
    std::string decibelText (double linear)
    {
        if (linear <= 0.0)
            return "-inf dBFS";

        char text[32];
        std::snprintf (text, sizeof (text), "%.2f dBFS", 20.0 * std::log10 (linear));
        return text;
    }

    //==============================================================================
    std::string lowerWithoutSpaces (const std::string& text)
    {
        std::string result;

        for (const auto c : text)
            if (! std::isspace (static_cast<unsigned char> (c)))
                result += static_cast<char> (std::tolower (static_cast<unsigned char> (c)));

        return result;
    }

    std::string trimmed (const std::string& text)
    {
        const auto first = text.find_first_not_of (" \t");

        if (first == std::string::npos)
            return {};

        const auto last = text.find_last_not_of (" \t");
        return text.substr (first, last - first + 1);
    }

    /** A plain decimal number (what the user means as a CLAP value), or nothing
        for anything else, which is then handed to the plug-in as display text.
    */
    std::optional<double> parsePlainNumber (const std::string& text)
    {
        const auto value = trimmed (text);

        if (value.empty())
            return std::nullopt;

        // strtod would also take "inf", "nan" and hex; those are texts here.
        for (const auto c : value)
            if (! (std::isdigit (static_cast<unsigned char> (c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
                return std::nullopt;

        char* end = nullptr;
        const double parsed = std::strtod (value.c_str(), &end);

        if (end != value.c_str() + value.size() || ! std::isfinite (parsed))
            return std::nullopt;

        return parsed;
    }

    std::string hintToList (const RenderOptions& options)
    {
        return "; 'wrendle-host info " + options.modulePath + "' lists the parameters";
    }

    const ParameterInfo& findParameter (const std::vector<ParameterInfo>& parameters, const std::string& name,
                                        const RenderOptions& options)
    {
        for (const auto& p : parameters)
            if (name == p.info.name)
                return p;

        // Also accept the name in any case and without spaces ("foldamount" for
        // "Fold Amount"), which spares quoting on the command line.
        const auto wanted = lowerWithoutSpaces (name);
        std::vector<const ParameterInfo*> matches;

        for (const auto& p : parameters)
            if (lowerWithoutSpaces (p.info.name) == wanted)
                matches.push_back (&p);

        if (matches.size() == 1)
            return *matches.front();

        if (matches.size() > 1)
            throw usageError ("the parameter name '" + name + "' is ambiguous" + hintToList (options));

        if (! name.empty() && std::all_of (name.begin(), name.end(), [] (char c)
                                           { return std::isdigit (static_cast<unsigned char> (c)) != 0; }))
            for (const auto& p : parameters)
                if (std::to_string (p.info.id) == name)
                    return p;

        if (parameters.empty())
            throw usageError ("the plug-in has no parameters, so '" + name + "' cannot be set");

        throw usageError ("the plug-in has no parameter named '" + name + "'" + hintToList (options));
    }

    /** Turns every --set into a parameter-value event. Numbers are CLAP values
        and must lie in the parameter's range; anything else goes through the
        plug-in's own text_to_value.
    */
    void buildParameterEvents (const PluginInstance& instance, const RenderOptions& options, InputEvents& events)
    {
        if (options.parameterSettings.empty())
            return;

        const auto parameters = instance.readParameters();

        for (const auto& [name, valueText] : options.parameterSettings)
        {
            const auto& parameter = findParameter (parameters, name, options);
            const std::string displayName (parameter.info.name);
            double value = 0.0;

            if ((parameter.info.flags & CLAP_PARAM_IS_READONLY) != 0)
                throw usageError ("the parameter '" + displayName + "' is read-only");

            if (const auto number = parsePlainNumber (valueText))
            {
                value = *number;

                if (value < parameter.info.min_value || value > parameter.info.max_value)
                {
                    char range[96];
                    std::snprintf (range, sizeof (range), "%g .. %g", parameter.info.min_value, parameter.info.max_value);
                    throw usageError ("the value " + trimmed (valueText) + " is outside the range " + range + " of '"
                                      + displayName + "'");
                }
            }
            else if (const auto fromText = instance.textToValue (parameter.info.id, trimmed (valueText)))
            {
                value = *fromText;
            }
            else
            {
                throw usageError ("the plug-in cannot read '" + trimmed (valueText) + "' as a value of '" + displayName + "'");
            }

            const auto text = instance.valueToText (parameter.info.id, value);
            std::fprintf (stderr, "set %s = %s (value %.9g)\n", displayName.c_str(), text.empty() ? "?" : text.c_str(), value);

            clap_event_param_value_t event {};
            event.header.size = sizeof (event);
            event.header.time = 0;
            event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
            event.header.type = CLAP_EVENT_PARAM_VALUE;
            event.header.flags = 0;
            event.param_id = parameter.info.id;
            event.cookie = parameter.info.cookie;
            event.note_id = -1; // -1 everywhere: the value applies to the whole parameter
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = value;
            events.add (event);
        }
    }

    size_t mainPortIndex (const std::vector<AudioPortInfo>& ports)
    {
        for (size_t i = 0; i < ports.size(); ++i)
            if ((ports[i].info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0)
                return i;

        return 0;
    }

    InputMapping chooseMapping (int fileChannels, uint32_t portChannels, bool hasInput, const std::string& inputPath)
    {
        if (! hasInput || portChannels == 0)
            return InputMapping::none;

        if (static_cast<uint32_t> (fileChannels) == portChannels)
            return InputMapping::direct;

        if (fileChannels == 1)
            return InputMapping::spreadMono;

        if (fileChannels == 2 && portChannels == 1)
            return InputMapping::mixToMono;

        throw failure ("'" + inputPath + "' has " + std::to_string (fileChannels) + " channels; the plug-in's main input takes "
                       + std::to_string (portChannels));
    }

    //==============================================================================
    /** Opens the input first, so that a bad file is reported before any plug-in code runs. */
    RenderSource openSource (const RenderOptions& options)
    {
        SF_INFO format {};
        RenderSource source;
        source.path = options.inputPath;
        source.file.reset (sf_open (options.inputPath.c_str(), SFM_READ, &format));

        if (source.file == nullptr)
            throw failure ("cannot read '" + options.inputPath + "': " + sf_strerror (nullptr));

        if (format.channels < 1 || format.samplerate < 1)
            throw failure ("'" + options.inputPath + "' has no audio channels");

        source.fileChannels = format.channels;
        source.frames = static_cast<uint64_t> (std::max<sf_count_t> (format.frames, 0));
        source.sampleRateHz = options.sampleRateHz.value_or (static_cast<double> (format.samplerate));

        if (options.sampleRateHz && std::abs (*options.sampleRateHz - format.samplerate) > 1.0e-6)
            std::fprintf (stderr, "note: '%s' is %d Hz; processing at %g Hz without resampling\n", options.inputPath.c_str(),
                          format.samplerate, source.sampleRateHz);

        return source;
    }

    /** Reads the ports, sets the parameters, asks for offline rendering and
        activates the plug-in; then works out the latency to compensate and the
        tail to render. The values go in before activation (params.flush while
        inactive), so the latency read after it is the one these settings give;
        a plug-in without flush gets them as events of the first block instead.
    */
    RenderPlan preparePlugin (PluginInstance& instance, const RenderSource& source, const RenderOptions& options,
                              InputEvents& firstBlockEvents)
    {
        RenderPlan plan;
        plan.inputPorts = instance.readAudioPorts (true);
        plan.outputPorts = instance.readAudioPorts (false);

        if (plan.outputPorts.empty())
            throw failure ("the plug-in has no audio output");

        plan.mainInput = mainPortIndex (plan.inputPorts);
        plan.mainOutput = mainPortIndex (plan.outputPorts);
        plan.inputChannels = plan.inputPorts.empty() ? 0u : plan.inputPorts[plan.mainInput].info.channel_count;
        plan.outputChannels = plan.outputPorts[plan.mainOutput].info.channel_count;

        if (plan.outputChannels == 0)
            throw failure ("the plug-in's main audio output has no channels");

        plan.mapping = chooseMapping (source.fileChannels, plan.inputChannels, ! plan.inputPorts.empty(), options.inputPath);

        if (plan.mapping == InputMapping::none)
            std::fprintf (stderr, "note: the plug-in has no audio input; the input file only sets the length\n");

        buildParameterEvents (instance, options, firstBlockEvents);

        if (! firstBlockEvents.empty() && instance.flushParameters (*firstBlockEvents.getList()))
            firstBlockEvents.clear();

        if (const auto* render = instance.getExtensionAs<clap_plugin_render_t> (CLAP_EXT_RENDER);
            render != nullptr && render->set != nullptr)
        {
            render->set (&instance.get(), CLAP_RENDER_OFFLINE);
        }

        instance.activate (source.sampleRateHz, options.blockFrames);

        plan.latencySamples = instance.readLatencySamples().value_or (0);
        uint64_t tailFrames = 0;

        if (options.tailSeconds)
        {
            tailFrames = static_cast<uint64_t> (std::llround (*options.tailSeconds * source.sampleRateHz));
        }
        else if (const auto reportedTail = instance.readTailSamples())
        {
            if (*reportedTail == UINT32_MAX)
                std::fprintf (stderr, "note: the plug-in reports an infinite tail; use --tail SECONDS to render one\n");
            else
                tailFrames = *reportedTail;
        }

        plan.outputFrames = source.frames + tailFrames;
        return plan;
    }

    std::string samplesText (uint64_t samples, double sampleRateHz)
    {
        char text[96];
        std::snprintf (text, sizeof (text), "%llu samples (%.2f ms)", static_cast<unsigned long long> (samples),
                       1000.0 * static_cast<double> (samples) / sampleRateHz);
        return text;
    }

    /** What the render prints: a line with length, channels, levels and CPU time,
        a line with the latency it compensated, and one per restart the plug-in
        asked for (the latency it came back with, from the frame where it counts).
    */
    std::string summaryLines (const RenderOptions& options, const RenderSource& source, const RenderPlan& plan,
                              const RenderTotals& totals)
    {
        const double audioSeconds = static_cast<double> (plan.outputFrames) / source.sampleRateHz;
        char summary[2048];
        std::snprintf (summary, sizeof (summary),
                       "Rendered '%s': %.3f s at %g Hz (%d -> %u ch): in peak %s, RMS %s; out peak %s, RMS %s; CPU %.3f s",
                       options.outputPath.c_str(), audioSeconds, source.sampleRateHz, source.fileChannels, plan.outputChannels,
                       decibelText (totals.inputLevel.peak).c_str(), decibelText (totals.inputLevel.rms()).c_str(),
                       decibelText (totals.outputLevel.peak).c_str(), decibelText (totals.outputLevel.rms()).c_str(),
                       totals.cpuSeconds);

        std::string lines (summary);

        if (audioSeconds > 0.0 && totals.cpuSeconds > 0.0)
        {
            char factor[96];
            std::snprintf (factor, sizeof (factor), " (real-time factor %.4f, %.0fx faster than real time)",
                           totals.cpuSeconds / audioSeconds, audioSeconds / totals.cpuSeconds);
            lines += factor;
        }

        lines += "\nLatency " + samplesText (totals.latencySamples, source.sampleRateHz)
                 + ", compensated: the output lines up with the input";

        // A plug-in that asks for restarts all the time gets a few lines and a count.
        constexpr size_t restartsShown = 8;
        const auto& restarts = totals.restarts;

        for (size_t i = 0; i < restarts.size() && i < restartsShown; ++i)
        {
            char where[160];
            std::snprintf (where, sizeof (where), "\nRestarted at %.3f s (frame %llu), as the plug-in asked: ",
                           static_cast<double> (restarts[i].frame) / source.sampleRateHz,
                           static_cast<unsigned long long> (restarts[i].frame));
            lines += where + ("latency " + samplesText (restarts[i].latencySamples, source.sampleRateHz)) + " from there, compensated";
        }

        if (restarts.size() > restartsShown)
            lines += "\n" + std::to_string (restarts.size() - restartsShown) + " more restarts; the last left the latency at "
                     + samplesText (restarts.back().latencySamples, source.sampleRateHz);

        return lines;
    }
} // namespace

int runRender (const RenderOptions& options, std::ostream& out)
{
    auto source = openSource (options);

    Host host (options.showDebugLogs);
    Module module (options.modulePath);
    const auto& descriptor = module.chooseDescriptor (options.pluginId);
    PluginInstance instance (module, host, descriptor);

    InputEvents firstBlockEvents;
    const auto plan = preparePlugin (instance, source, options, firstBlockEvents);

    TemporaryOutput output (options.outputPath);
    auto* outputFile = output.open (static_cast<int> (plan.outputChannels), static_cast<int> (std::lround (source.sampleRateHz)));

    const auto totals = renderBlocks (instance, host, source, plan, firstBlockEvents, outputFile, options);

    source.file.reset();
    output.commit();

    out << summaryLines (options, source, plan, totals) << "\n";

    if (totals.outputLevel.nonFinite > 0)
        std::fprintf (stderr, "warning: the output holds %llu non-finite samples (NaN or infinity)\n",
                      static_cast<unsigned long long> (totals.outputLevel.nonFinite));

    return exitOk;
}

} // namespace wrendlehost
