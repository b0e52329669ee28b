#include "AudioFileOutput.h"
#include "Commands.h"
#include "HostError.h"
#include "PluginInstance.h"
#include "SystemUtilities.h"

#include <clap/events.h>
#include <clap/process.h>

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <csignal>
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
    //==============================================================================
    volatile std::sig_atomic_t interruptRequested = 0;

    void onInterrupt (int)
    {
        interruptRequested = 1;
    }

    /** Installs the Ctrl-C handler for the render loop and restores the old one. */
    class InterruptGuard
    {
    public:
        InterruptGuard() : previous (std::signal (SIGINT, onInterrupt)) { interruptRequested = 0; }
        ~InterruptGuard() { std::signal (SIGINT, previous); }

        InterruptGuard (const InterruptGuard&) = delete;
        InterruptGuard& operator= (const InterruptGuard&) = delete;

    private:
        void (*previous) (int);
    };

    //==============================================================================
    /** The host's input-event list for one block: sorted by time, owned here. */
    class InputEvents
    {
    public:
        InputEvents()
        {
            list.ctx = this;
            list.size = &InputEvents::size;
            list.get = &InputEvents::get;
        }

        InputEvents (const InputEvents&) = delete;
        InputEvents& operator= (const InputEvents&) = delete;

        void add (const clap_event_param_value_t& event) { events.push_back (event); }
        void clear() noexcept { events.clear(); }
        const clap_input_events_t* getList() const noexcept { return &list; }

    private:
        static uint32_t CLAP_ABI size (const clap_input_events_t* list)
        {
            return static_cast<uint32_t> (static_cast<const InputEvents*> (list->ctx)->events.size());
        }

        static const clap_event_header_t* CLAP_ABI get (const clap_input_events_t* list, uint32_t index)
        {
            const auto& events = static_cast<const InputEvents*> (list->ctx)->events;
            return index < events.size() ? &events[index].header : nullptr;
        }

        std::vector<clap_event_param_value_t> events;
        clap_input_events_t list {};
    };

    /** Output events (parameter changes the plug-in makes itself) are accepted
        and ignored: nothing in an offline render records them.
    */
    bool CLAP_ABI acceptOutputEvent (const clap_output_events_t*, const clap_event_header_t*)
    {
        return true;
    }

    //==============================================================================
    /** Running peak and mean square of everything added. */
    struct LevelMeter
    {
        double peak = 0.0;
        double sumOfSquares = 0.0;
        uint64_t samples = 0;
        uint64_t nonFinite = 0;

        void add (float sample) noexcept
        {
            if (! std::isfinite (sample))
            {
                ++nonFinite;
                return;
            }

            const double value = sample;
            peak = std::max (peak, std::abs (value));
            sumOfSquares += value * value;
            ++samples;
        }

        double rms() const noexcept { return samples > 0 ? std::sqrt (sumOfSquares / static_cast<double> (samples)) : 0.0; }
    };

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

        if (! name.empty() && std::all_of (name.begin(), name.end(), [] (char c) { return std::isdigit (static_cast<unsigned char> (c)) != 0; }))
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

    //==============================================================================
    /** Channel buffers of one direction, laid out as CLAP wants them. */
    class PortBuffers
    {
    public:
        PortBuffers (const std::vector<AudioPortInfo>& ports, uint32_t blockFrames)
        {
            for (const auto& port : ports)
            {
                std::vector<float*> pointers;

                for (uint32_t c = 0; c < port.info.channel_count; ++c)
                {
                    storage.emplace_back (blockFrames, 0.0f);
                    pointers.push_back (storage.back().data());
                }

                channelPointers.push_back (std::move (pointers));
            }

            for (auto& pointers : channelPointers)
            {
                clap_audio_buffer_t buffer {};
                buffer.data32 = pointers.data();
                buffer.data64 = nullptr;
                buffer.channel_count = static_cast<uint32_t> (pointers.size());
                buffer.latency = 0;
                buffer.constant_mask = 0;
                buffers.push_back (buffer);
            }
        }

        void clear() noexcept
        {
            for (auto& channel : storage)
                std::fill (channel.begin(), channel.end(), 0.0f);

            for (auto& buffer : buffers)
                buffer.constant_mask = 0;
        }

        float* channel (size_t port, size_t index) noexcept { return channelPointers[port][index]; }

        /** A channel the plug-in marked constant holds its value in sample 0 only. */
        float sample (size_t port, size_t index, uint32_t frame) const noexcept
        {
            const auto& buffer = buffers[port];
            const bool constant = index < 64 && (buffer.constant_mask & (uint64_t (1) << index)) != 0;
            return channelPointers[port][index][constant ? 0 : frame];
        }

        clap_audio_buffer_t* data() noexcept { return buffers.empty() ? nullptr : buffers.data(); }
        uint32_t count() const noexcept { return static_cast<uint32_t> (buffers.size()); }

    private:
        std::vector<std::vector<float>> storage;
        std::vector<std::vector<float*>> channelPointers;
        std::vector<clap_audio_buffer_t> buffers;
    };

    size_t mainPortIndex (const std::vector<AudioPortInfo>& ports)
    {
        for (size_t i = 0; i < ports.size(); ++i)
            if ((ports[i].info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0)
                return i;

        return 0;
    }

    //==============================================================================
    /** A steady transport: playing from 0 at 120 BPM in 4/4. Plug-ins with
        tempo-synced parts then see the same timeline on every render.
    */
    class Transport
    {
    public:
        explicit Transport (double sampleRateHz) : rateHz (sampleRateHz)
        {
            event.header.size = sizeof (event);
            event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
            event.header.type = CLAP_EVENT_TRANSPORT;
            event.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_SECONDS_TIMELINE
                          | CLAP_TRANSPORT_HAS_TIME_SIGNATURE | CLAP_TRANSPORT_IS_PLAYING;
            event.tempo = tempoBpm;
            event.tsig_num = 4;
            event.tsig_denom = 4;
        }

        const clap_event_transport_t* at (uint64_t frame) noexcept
        {
            const double seconds = static_cast<double> (frame) / rateHz;
            const double beats = seconds * tempoBpm / 60.0;
            const double bar = std::floor (beats / 4.0);

            event.song_pos_seconds = static_cast<clap_sectime> (std::llround (seconds * CLAP_SECTIME_FACTOR));
            event.song_pos_beats = static_cast<clap_beattime> (std::llround (beats * CLAP_BEATTIME_FACTOR));
            event.bar_start = static_cast<clap_beattime> (std::llround (bar * 4.0 * CLAP_BEATTIME_FACTOR));
            event.bar_number = static_cast<int32_t> (bar);
            return &event;
        }

    private:
        static constexpr double tempoBpm = 120.0;
        double rateHz;
        clap_event_transport_t event {};
    };

    //==============================================================================
    /** A one-line progress bar on stderr, shown only on a terminal and only once
        a render has taken long enough for the user to wonder.
    */
    class ProgressBar
    {
    public:
        ProgressBar (bool allowed, uint64_t totalFramesToUse, double sampleRateHz)
            : enabled (allowed && stderrIsTerminal()), totalFrames (std::max<uint64_t> (totalFramesToUse, 1)),
              rateHz (sampleRateHz), start (Clock::now())
        {
        }

        void update (uint64_t framesDone)
        {
            if (! enabled)
                return;

            const auto now = Clock::now();

            if (now - start < std::chrono::seconds (1) || now - lastDraw < std::chrono::milliseconds (100))
                return;

            lastDraw = now;
            const double fraction = std::min (1.0, static_cast<double> (framesDone) / static_cast<double> (totalFrames));
            const int filled = static_cast<int> (fraction * barWidth);

            std::string bar (static_cast<size_t> (filled), '#');
            bar.append (static_cast<size_t> (barWidth - filled), '-');

            std::fprintf (stderr, "\r[%s] %3d%%  %.1f / %.1f s ", bar.c_str(), static_cast<int> (fraction * 100.0),
                          static_cast<double> (framesDone) / rateHz, static_cast<double> (totalFrames) / rateHz);
            std::fflush (stderr);
            drawn = true;
        }

        void finish()
        {
            if (drawn)
            {
                std::fprintf (stderr, "\r%*s\r", barWidth + 30, "");
                std::fflush (stderr);
                drawn = false;
            }
        }

        ~ProgressBar() { finish(); }

    private:
        using Clock = std::chrono::steady_clock;
        static constexpr int barWidth = 40;

        bool enabled;
        uint64_t totalFrames;
        double rateHz;
        Clock::time_point start, lastDraw {};
        bool drawn = false;
    };

    //==============================================================================
    enum class InputMapping
    {
        direct,      ///< file channels = port channels
        spreadMono,  ///< mono file into every port channel
        mixToMono,   ///< stereo file averaged into a mono port
        none,        ///< the plug-in has no audio input
    };

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
} // namespace

//==============================================================================
int runRender (const RenderOptions& options, std::ostream& out)
{
    // Open the input first: a bad file is reported before any plug-in code runs.
    SF_INFO inputFormat {};
    SndFilePtr input (sf_open (options.inputPath.c_str(), SFM_READ, &inputFormat));

    if (input == nullptr)
        throw failure ("cannot read '" + options.inputPath + "': " + sf_strerror (nullptr));

    if (inputFormat.channels < 1 || inputFormat.samplerate < 1)
        throw failure ("'" + options.inputPath + "' has no audio channels");

    const double sampleRateHz = options.sampleRateHz.value_or (static_cast<double> (inputFormat.samplerate));
    const auto inputFrames = static_cast<uint64_t> (std::max<sf_count_t> (inputFormat.frames, 0));
    const auto fileChannels = static_cast<size_t> (inputFormat.channels);

    if (options.sampleRateHz && std::abs (*options.sampleRateHz - inputFormat.samplerate) > 1.0e-6)
        std::fprintf (stderr, "note: '%s' is %d Hz; processing at %g Hz without resampling\n", options.inputPath.c_str(),
                      inputFormat.samplerate, sampleRateHz);

    Host host (options.showDebugLogs);
    Module module (options.modulePath);
    const auto& descriptor = module.chooseDescriptor (options.pluginId);
    PluginInstance instance (module, host, descriptor);

    const auto inputPorts = instance.readAudioPorts (true);
    const auto outputPorts = instance.readAudioPorts (false);

    if (outputPorts.empty())
        throw failure ("the plug-in has no audio output");

    const auto mainInput = mainPortIndex (inputPorts);
    const auto mainOutput = mainPortIndex (outputPorts);
    const auto inputChannels = inputPorts.empty() ? 0u : inputPorts[mainInput].info.channel_count;
    const auto outputChannels = outputPorts[mainOutput].info.channel_count;

    if (outputChannels == 0)
        throw failure ("the plug-in's main audio output has no channels");

    const auto mapping = chooseMapping (inputFormat.channels, inputChannels, ! inputPorts.empty(), options.inputPath);

    if (mapping == InputMapping::none)
        std::fprintf (stderr, "note: the plug-in has no audio input; the input file only sets the length\n");

    InputEvents firstBlockEvents;
    buildParameterEvents (instance, options, firstBlockEvents);

    if (const auto* render = instance.getExtensionAs<clap_plugin_render_t> (CLAP_EXT_RENDER);
        render != nullptr && render->set != nullptr)
    {
        render->set (&instance.get(), CLAP_RENDER_OFFLINE);
    }

    instance.activate (sampleRateHz, options.blockFrames);

    uint64_t latencySamples = instance.readLatencySamples().value_or (0);
    uint64_t tailFrames = 0;

    if (options.tailSeconds)
    {
        tailFrames = static_cast<uint64_t> (std::llround (*options.tailSeconds * sampleRateHz));
    }
    else if (const auto reportedTail = instance.readTailSamples())
    {
        if (*reportedTail == UINT32_MAX)
            std::fprintf (stderr, "note: the plug-in reports an infinite tail; use --tail SECONDS to render one\n");
        else
            tailFrames = *reportedTail;
    }

    const uint64_t outputFrames = inputFrames + tailFrames;

    PortBuffers inputBuffers (inputPorts, options.blockFrames);
    PortBuffers outputBuffers (outputPorts, options.blockFrames);
    std::vector<float> fileBlock (static_cast<size_t> (options.blockFrames) * fileChannels);
    std::vector<float> outputBlock (static_cast<size_t> (options.blockFrames) * outputChannels);

    InputEvents noEvents;
    clap_output_events_t outputEvents { nullptr, &acceptOutputEvent };
    Transport transport (sampleRateHz);

    TemporaryOutput output (options.outputPath);
    auto* outputFile = output.open (static_cast<int> (outputChannels), static_cast<int> (std::lround (sampleRateHz)));

    LevelMeter inputLevel, outputLevel;
    double cpuSeconds = 0.0;
    uint64_t framesRead = 0, framesProcessed = 0, framesWritten = 0, framesToDrop = latencySamples;
    bool latencyWarningGiven = false, restartNoteGiven = false;

    InterruptGuard interruptGuard;
    ProgressBar progress (options.allowProgress, outputFrames + latencySamples, sampleRateHz);

    instance.startProcessing();

    for (uint64_t blockIndex = 0; framesWritten < outputFrames; ++blockIndex)
    {
        if (interruptRequested != 0)
            throw failure ("interrupted; '" + options.outputPath + "' was not written");

        // The plug-in's latency is compensated by running `latency` frames past
        // the end and dropping as many from the start.
        const uint64_t totalToProcess = outputFrames + latencySamples;
        const auto frames = static_cast<uint32_t> (std::min<uint64_t> (options.blockFrames, totalToProcess - framesProcessed));

        // Input: file audio while it lasts, then silence.
        inputBuffers.clear();
        outputBuffers.clear();
        const auto framesFromFile = static_cast<uint32_t> (std::min<uint64_t> (frames, inputFrames - framesRead));

        if (framesFromFile > 0)
        {
            const auto got = sf_readf_float (input.get(), fileBlock.data(), static_cast<sf_count_t> (framesFromFile));

            if (got != static_cast<sf_count_t> (framesFromFile))
                throw failure ("cannot read '" + options.inputPath + "': the file ended early or is damaged");

            for (size_t i = 0; i < static_cast<size_t> (framesFromFile) * fileChannels; ++i)
                inputLevel.add (fileBlock[i]);

            for (uint32_t f = 0; f < framesFromFile; ++f)
            {
                const float* frame = fileBlock.data() + f * fileChannels;

                switch (mapping)
                {
                    case InputMapping::direct:
                        for (uint32_t c = 0; c < inputChannels; ++c)
                            inputBuffers.channel (mainInput, c)[f] = frame[c];
                        break;
                    case InputMapping::spreadMono:
                        for (uint32_t c = 0; c < inputChannels; ++c)
                            inputBuffers.channel (mainInput, c)[f] = frame[0];
                        break;
                    case InputMapping::mixToMono:
                        inputBuffers.channel (mainInput, 0)[f] = 0.5f * (frame[0] + frame[1]);
                        break;
                    case InputMapping::none:
                        break;
                }
            }

            framesRead += framesFromFile;
        }

        clap_process_t block {};
        block.steady_time = static_cast<int64_t> (framesProcessed);
        block.frames_count = frames;
        block.transport = transport.at (framesProcessed);
        block.audio_inputs = inputBuffers.data();
        block.audio_inputs_count = inputBuffers.count();
        block.audio_outputs = outputBuffers.data();
        block.audio_outputs_count = outputBuffers.count();
        block.in_events = blockIndex == 0 ? firstBlockEvents.getList() : noEvents.getList();
        block.out_events = &outputEvents;

        const double cpuBefore = threadCpuSeconds();
        const auto status = instance.process (block);
        cpuSeconds += threadCpuSeconds() - cpuBefore;

        if (status == CLAP_PROCESS_ERROR)
            throw failure ("the plug-in failed to process the block at frame " + std::to_string (framesProcessed)
                           + " (process returned CLAP_PROCESS_ERROR)");

        framesProcessed += frames;

        // Between blocks the host is on its main thread: serve callbacks and
        // pick up a latency the parameters of the first block have changed.
        instance.serviceMainThread();

        if (blockIndex == 0 || host.takeLatencyChanged())
        {
            const auto latencyNow = instance.readLatencySamples().value_or (0);

            if (blockIndex == 0)
            {
                latencySamples = framesToDrop = latencyNow;
                host.takeLatencyChanged();
            }
            else if (latencyNow != latencySamples && ! latencyWarningGiven)
            {
                std::fprintf (stderr, "warning: the plug-in's latency changed from %llu to %llu samples during the render; "
                                      "the output stays aligned to %llu\n",
                              static_cast<unsigned long long> (latencySamples), static_cast<unsigned long long> (latencyNow),
                              static_cast<unsigned long long> (latencySamples));
                latencyWarningGiven = true;
            }
        }

        if (host.takeRestartRequested() && ! restartNoteGiven)
        {
            std::fprintf (stderr, "note: the plug-in asked for a restart during the render; an offline render carries on\n");
            restartNoteGiven = true;
        }

        // Output: drop the latency frames, keep at most what the output needs.
        const auto dropped = static_cast<uint32_t> (std::min<uint64_t> (framesToDrop, frames));
        framesToDrop -= dropped;
        const auto keep = static_cast<uint32_t> (std::min<uint64_t> (frames - dropped, outputFrames - framesWritten));

        for (uint32_t f = 0; f < keep; ++f)
        {
            for (uint32_t c = 0; c < outputChannels; ++c)
            {
                const float sample = outputBuffers.sample (mainOutput, c, dropped + f);
                outputBlock[f * outputChannels + c] = sample;
                outputLevel.add (sample);
            }
        }

        if (keep > 0 && sf_writef_float (outputFile, outputBlock.data(), keep) != static_cast<sf_count_t> (keep))
            throw failure ("cannot write '" + options.outputPath + "': " + sf_strerror (outputFile));

        framesWritten += keep;
        progress.update (framesProcessed);
    }

    instance.stopProcessing();
    instance.deactivate();
    progress.finish();

    input.reset();
    output.commit();

    const double audioSeconds = static_cast<double> (outputFrames) / sampleRateHz;
    char summary[2048];
    std::snprintf (summary, sizeof (summary),
                   "Rendered '%s': %.3f s at %g Hz (%d -> %u ch, latency %llu): in peak %s, RMS %s; out peak %s, RMS %s; CPU %.3f s",
                   options.outputPath.c_str(), audioSeconds, sampleRateHz, inputFormat.channels, outputChannels,
                   static_cast<unsigned long long> (latencySamples), decibelText (inputLevel.peak).c_str(),
                   decibelText (inputLevel.rms()).c_str(), decibelText (outputLevel.peak).c_str(),
                   decibelText (outputLevel.rms()).c_str(), cpuSeconds);

    std::string line (summary);

    if (audioSeconds > 0.0 && cpuSeconds > 0.0)
    {
        char factor[96];
        std::snprintf (factor, sizeof (factor), " (real-time factor %.4f, %.0fx faster than real time)",
                       cpuSeconds / audioSeconds, audioSeconds / cpuSeconds);
        line += factor;
    }

    out << line << "\n";

    if (outputLevel.nonFinite > 0)
        std::fprintf (stderr, "warning: the output holds %llu non-finite samples (NaN or infinity)\n",
                      static_cast<unsigned long long> (outputLevel.nonFinite));

    return exitOk;
}

} // namespace wrendlehost
