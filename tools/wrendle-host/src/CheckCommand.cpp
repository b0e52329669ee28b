/** `check`: plays a host that makes the mistakes real hosts make (activating twice, changing
    the sample rate without deactivating, processing before start_processing, destroying an
    active plug-in) between the calls every plug-in must get right (state round trip, parameter
    flush while inactive, GUI sizing), and shows what the plug-in said to the host's log at each
    step. It passes when the plug-in survives: the answers are shown, not judged, because CLAP
    leaves most of them to the plug-in.
*/

#include "Commands.h"
#include "HostError.h"
#include "PluginInstance.h"

#include <clap/events.h>
#include <clap/ext/gui.h>
#include <clap/ext/state.h>
#include <clap/process.h>
#include <clap/stream.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace wrendlehost
{

namespace
{
    using Lines = std::vector<std::string>;

    std::string yesNo (bool answer)
    {
        return answer ? "true" : "false";
    }

    std::string number (double value)
    {
        std::ostringstream text;
        text << value;
        return text.str();
    }

    bool displayIsAvailable()
    {
#if defined(__APPLE__) || defined(_WIN32)
        return true;
#else
        const char* display = std::getenv ("DISPLAY");
        return display != nullptr && *display != '\0';
#endif
    }

    const char* nativeWindowApi()
    {
#if defined(__APPLE__)
        return CLAP_WINDOW_API_COCOA;
#elif defined(_WIN32)
        return CLAP_WINDOW_API_WIN32;
#else
        return CLAP_WINDOW_API_X11;
#endif
    }

    /** Later lines of a multi-line log message, lined up under the first. */
    std::string indented (const std::string& text)
    {
        std::string result;

        for (const auto c : text)
        {
            result += c;

            if (c == '\n')
                result += "        ";
        }

        return result;
    }

    //==============================================================================
    /** Numbers the steps, writes each one's log lines and answers, and shows progress on
        stderr, so a plug-in that crashes the process still shows where. */
    class StepRunner
    {
    public:
        StepRunner (std::ostream& outToUse, Host& hostToUse)
            : out (outToUse), host (hostToUse) {}

        void run (const std::string& title, const std::function<Lines()>& action)
        {
            ++steps;
            std::fprintf (stderr, "check: step %d: %s\n", steps, title.c_str());
            std::fflush (stderr);

            const auto answers = action();
            host.runRequestedCallbacks();

            out << "\n[" << steps << "] " << title << "\n";

            for (const auto& line : host.takeLogLines())
                out << "    log (" << Host::severityName (line.severity) << "): " << indented (line.text) << "\n";

            for (const auto& answer : answers)
                out << "    " << answer << "\n";
        }

        int count() const noexcept { return steps; }

    private:
        std::ostream& out;
        Host& host;
        int steps = 0;
    };

    //==============================================================================
    /** Zeroed audio for every port of the plug-in, and empty event lists. */
    class SilentBlock
    {
    public:
        SilentBlock (const PluginInstance& instance, uint32_t frames)
        {
            add (instance.readAudioPorts (true), frames, inputs);
            add (instance.readAudioPorts (false), frames, outputs);

            inEvents.size = [] (const clap_input_events_t*) -> uint32_t
            { return 0; };
            inEvents.get = [] (const clap_input_events_t*, uint32_t) -> const clap_event_header_t*
            { return nullptr; };
            outEvents.try_push = [] (const clap_output_events_t*, const clap_event_header_t*)
            { return true; };

            block.frames_count = frames;
            block.steady_time = -1;
            block.audio_inputs = inputs.buffers.empty() ? nullptr : inputs.buffers.data();
            block.audio_inputs_count = static_cast<uint32_t> (inputs.buffers.size());
            block.audio_outputs = outputs.buffers.empty() ? nullptr : outputs.buffers.data();
            block.audio_outputs_count = static_cast<uint32_t> (outputs.buffers.size());
            block.in_events = &inEvents;
            block.out_events = &outEvents;
        }

        SilentBlock (const SilentBlock&) = delete;
        SilentBlock& operator= (const SilentBlock&) = delete;

        clap_process_t block {};

    private:
        struct Direction
        {
            std::vector<std::vector<float>> memory;
            std::vector<std::vector<float*>> pointers;
            std::vector<clap_audio_buffer_t> buffers;
        };

        static void add (const std::vector<AudioPortInfo>& ports, uint32_t frames, Direction& direction)
        {
            direction.pointers.resize (ports.size());

            for (size_t p = 0; p < ports.size(); ++p)
                for (uint32_t c = 0; c < ports[p].info.channel_count; ++c)
                {
                    direction.memory.emplace_back (frames, 0.0f);
                    direction.pointers[p].push_back (direction.memory.back().data());
                }

            for (auto& pointers : direction.pointers)
            {
                clap_audio_buffer_t buffer {};
                buffer.data32 = pointers.data();
                buffer.channel_count = static_cast<uint32_t> (pointers.size());
                direction.buffers.push_back (buffer);
            }
        }

        Direction inputs, outputs;
        clap_input_events_t inEvents {};
        clap_output_events_t outEvents {};
    };

    /** One parameter-value event in an input list, and an output list that counts. */
    struct FlushEvents
    {
        explicit FlushEvents (const clap_event_param_value_t& eventToSend)
            : event (eventToSend)
        {
            in.ctx = this;
            in.size = [] (const clap_input_events_t*) -> uint32_t
            { return 1; };
            in.get = [] (const clap_input_events_t* list, uint32_t index) -> const clap_event_header_t*
            {
                return index == 0 ? &static_cast<FlushEvents*> (list->ctx)->event.header : nullptr;
            };
            out.ctx = this;
            out.try_push = [] (const clap_output_events_t* list, const clap_event_header_t*)
            {
                ++static_cast<FlushEvents*> (list->ctx)->eventsSentBack;
                return true;
            };
        }

        clap_event_param_value_t event;
        clap_input_events_t in {};
        clap_output_events_t out {};
        int eventsSentBack = 0;
    };

    //==============================================================================
    /** Host streams that move at most a few bytes per call, as slow hosts do. */
    struct MemoryStreams
    {
        static constexpr uint64_t bytesPerCall = 1000;

        std::vector<uint8_t> bytes;
        size_t readPosition = 0;

        clap_ostream_t writer()
        {
            clap_ostream_t stream {};
            stream.ctx = this;
            stream.write = [] (const clap_ostream_t* s, const void* data, uint64_t size) -> int64_t
            {
                auto& self = *static_cast<MemoryStreams*> (s->ctx);
                const auto take = std::min (size, bytesPerCall);
                const auto* first = static_cast<const uint8_t*> (data);

                if (take > 0)
                    self.bytes.insert (self.bytes.end(), first, first + take);
                return static_cast<int64_t> (take);
            };
            return stream;
        }

        clap_istream_t reader()
        {
            clap_istream_t stream {};
            stream.ctx = this;
            stream.read = [] (const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t
            {
                auto& self = *static_cast<MemoryStreams*> (s->ctx);
                const auto left = static_cast<uint64_t> (self.bytes.size() - self.readPosition);
                const auto take = std::min ({ size, left, bytesPerCall });
                if (take > 0)
                    std::memcpy (buffer, self.bytes.data() + self.readPosition, static_cast<size_t> (take));
                self.readPosition += static_cast<size_t> (take);
                return static_cast<int64_t> (take);
            };
            return stream;
        }
    };

    /** The parameter a step moves: the first automatable, writable one with a range. */
    const ParameterInfo* parameterToMove (const std::vector<ParameterInfo>& parameters)
    {
        for (const auto& p : parameters)
            if ((p.info.flags & CLAP_PARAM_IS_READONLY) == 0 && p.info.max_value > p.info.min_value)
                return &p;

        return nullptr;
    }

    std::vector<double> valuesOf (const PluginInstance& instance, const std::vector<ParameterInfo>& parameters)
    {
        std::vector<double> values;
        const auto* params = instance.getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        for (const auto& p : parameters)
        {
            double value = std::nan ("");

            if (params != nullptr && params->get_value != nullptr)
                params->get_value (&instance.get(), p.info.id, &value);

            values.push_back (value);
        }

        return values;
    }

    clap_event_param_value_t valueEvent (const ParameterInfo& parameter, double value)
    {
        clap_event_param_value_t event {};
        event.header.size = sizeof (event);
        event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
        event.header.type = CLAP_EVENT_PARAM_VALUE;
        event.param_id = parameter.info.id;
        event.cookie = parameter.info.cookie;
        event.note_id = -1;
        event.port_index = -1;
        event.channel = -1;
        event.key = -1;
        event.value = value;
        return event;
    }

    /** Flushes one value into an inactive plug-in; answers how many events it sent back. */
    int flushValue (const PluginInstance& instance, const ParameterInfo& parameter, double value)
    {
        const auto* params = instance.getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS);

        if (params == nullptr || params->flush == nullptr)
            return -1;

        FlushEvents events (valueEvent (parameter, value));
        params->flush (&instance.get(), &events.in, &events.out);
        return events.eventsSentBack;
    }

    //==============================================================================
    Lines checkState (const Module& module, Host& host, const clap_plugin_descriptor_t& descriptor, PluginInstance& instance)
    {
        const auto* state = instance.getExtensionAs<clap_plugin_state_t> (CLAP_EXT_STATE);

        if (state == nullptr || state->save == nullptr || state->load == nullptr)
            return { "skipped: the plug-in offers no clap.state" };

        Lines lines;
        const auto parameters = instance.readParameters();

        // Move one value away from where it is, so the round trip has something to carry.
        if (const auto* moved = parameterToMove (parameters))
        {
            const auto current = valuesOf (instance, { *moved }).front();
            const auto target = current != moved->info.max_value ? moved->info.max_value : moved->info.min_value;
            flushValue (instance, *moved, target);
            lines.push_back ("set '" + std::string (moved->info.name) + "' to " + number (target) + " first");
        }

        const auto before = valuesOf (instance, parameters);

        MemoryStreams streams;
        const auto writer = streams.writer();
        const auto saved = state->save (&instance.get(), &writer);
        lines.push_back ("save answered " + yesNo (saved) + " with " + std::to_string (streams.bytes.size()) + " bytes"
                         + (saved && streams.bytes.empty() ? " (an empty state cannot restore anything)" : ""));

        // A fresh instance takes the state; the host's callbacks serve it meanwhile.
        std::vector<double> after;
        bool loaded = false, emptyLoaded = false;
        {
            PluginInstance fresh (module, host, descriptor);
            const auto* freshState = fresh.getExtensionAs<clap_plugin_state_t> (CLAP_EXT_STATE);

            if (freshState != nullptr && freshState->load != nullptr)
            {
                const auto reader = streams.reader();
                loaded = freshState->load (&fresh.get(), &reader);
                after = valuesOf (fresh, parameters);

                MemoryStreams empty;
                const auto emptyReader = empty.reader();
                emptyLoaded = freshState->load (&fresh.get(), &emptyReader);
            }
        }
        host.setPlugin (&instance.get());

        lines.push_back ("a fresh instance loaded it: " + yesNo (loaded));

        size_t restored = 0;

        for (size_t i = 0; i < parameters.size() && i < after.size(); ++i)
        {
            if (before[i] == after[i] || (std::isnan (before[i]) && std::isnan (after[i])))
                ++restored;
            else
                lines.push_back ("  '" + std::string (parameters[i].info.name) + "' came back as " + number (after[i])
                                 + " instead of " + number (before[i]));
        }

        lines.push_back ("restored " + std::to_string (restored) + " of " + std::to_string (parameters.size())
                         + " parameter values");
        lines.push_back ("loading an empty stream answered " + yesNo (emptyLoaded)
                         + (emptyLoaded ? " (a plug-in should refuse it)" : ""));
        return lines;
    }

    Lines checkFlushWhileInactive (const PluginInstance& instance)
    {
        const auto parameters = instance.readParameters();
        const auto* moved = parameterToMove (parameters);

        if (moved == nullptr || instance.getExtensionAs<clap_plugin_params_t> (CLAP_EXT_PARAMS) == nullptr)
            return { "skipped: the plug-in has no parameter to set" };

        const auto current = valuesOf (instance, { *moved }).front();
        const auto target = current != moved->info.min_value ? moved->info.min_value : moved->info.max_value;
        const auto sentBack = flushValue (instance, *moved, target);
        const auto now = valuesOf (instance, { *moved }).front();

        return { "flushed '" + std::string (moved->info.name) + "' = " + number (target) + "; it now reads "
                     + number (now) + (now == target ? "" : " (the value did not arrive)"),
                 "the plug-in sent " + std::to_string (sentBack) + " events back" };
    }

    Lines checkGui (const CheckOptions& options, const PluginInstance& instance)
    {
        if (! options.allowGui)
            return { "skipped: --no-gui" };

        if (! displayIsAvailable())
            return { "skipped: no display" };

        const auto* gui = instance.getExtensionAs<clap_plugin_gui_t> (CLAP_EXT_GUI);

        if (gui == nullptr)
            return { "skipped: the plug-in offers no clap.gui" };

        const auto& plugin = instance.get();
        const auto* api = nativeWindowApi();
        Lines lines;

        if (gui->is_api_supported == nullptr || ! gui->is_api_supported (&plugin, api, false))
            return { std::string ("skipped: the plug-in has no embedded ") + api + " window" };

        const auto created = gui->create (&plugin, api, false);
        lines.push_back (std::string ("create (") + api + ", embedded) answered " + yesNo (created));

        if (! created)
            return lines;

        uint32_t width = 0, height = 0;
        const auto sized = gui->get_size (&plugin, &width, &height);
        lines.push_back ("size: " + std::to_string (width) + " x " + std::to_string (height) + " (answer " + yesNo (sized) + ")");

        const auto resizable = gui->can_resize (&plugin);
        lines.push_back ("resizable: " + yesNo (resizable));

        if (resizable)
        {
            uint32_t newWidth = width / 2, newHeight = height / 2;
            const auto adjusted = gui->adjust_size (&plugin, &newWidth, &newHeight);
            lines.push_back ("half the size adjusts to " + std::to_string (newWidth) + " x " + std::to_string (newHeight)
                             + " (answer " + yesNo (adjusted) + ")");

            const auto set = gui->set_size (&plugin, newWidth, newHeight);
            uint32_t nowWidth = 0, nowHeight = 0;
            gui->get_size (&plugin, &nowWidth, &nowHeight);
            lines.push_back ("set_size answered " + yesNo (set) + "; size now " + std::to_string (nowWidth) + " x "
                             + std::to_string (nowHeight));

            // Plug-ins often remember their window size for the user: leave it as it was (as
            // near as the plug-in's own sizing rules allow).
            if (sized && set && gui->adjust_size (&plugin, &width, &height) && gui->set_size (&plugin, width, height))
                lines.push_back ("restored the size it opened with");
        }

        gui->destroy (&plugin);
        lines.push_back ("destroyed");
        return lines;
    }
} // namespace

//==============================================================================
int runCheck (const CheckOptions& options, std::ostream& out)
{
    Host host (options.showDebugLogs);
    host.setLogEcho (false);
    host.offerGui (options.allowGui && displayIsAvailable());

    Module module (options.modulePath);
    const auto& descriptor = module.chooseDescriptor (options.pluginId);
    out << "Checking '" << descriptor.name << "' (" << descriptor.id << ") from " << options.modulePath << "\n";

    StepRunner steps (out, host);
    std::unique_ptr<PluginInstance> instance;
    const auto rate = options.sampleRateHz, otherRate = options.otherSampleRateHz;
    const auto maxFrames = options.maxBlockFrames;

    steps.run ("create and init", [&]
               {
        instance = std::make_unique<PluginInstance> (module, host, descriptor);
        return Lines { "created and initialised" }; });

    const auto& plugin = instance->get();

    steps.run ("activate twice without deactivating", [&]
               {
        const auto first = plugin.activate (&plugin, rate, 1, maxFrames);
        const auto second = plugin.activate (&plugin, rate, 1, maxFrames);
        return Lines { "activate at " + number (rate) + " Hz answered " + yesNo (first), "and again: " + yesNo (second) }; });

    steps.run ("activate at another sample rate while active", [&]
               {
        const auto answer = plugin.activate (&plugin, otherRate, 1, maxFrames);
        Lines lines { "activate at " + number (otherRate) + " Hz answered " + yesNo (answer) };

        if (const auto latency = instance->readLatencySamples())
            lines.push_back ("latency now " + std::to_string (*latency) + " samples");

        return lines; });

    steps.run ("process before start_processing", [&]
               {
        SilentBlock block (*instance, std::min<uint32_t> (64, maxFrames));
        clap_process_status status = CLAP_PROCESS_ERROR;
        {
            Host::AudioThreadScope audio;
            status = plugin.process (&plugin, &block.block);
        }

        plugin.deactivate (&plugin);
        return Lines { "process answered " + std::to_string (status)
                           + (status == CLAP_PROCESS_ERROR ? " (CLAP_PROCESS_ERROR)" : " (expected CLAP_PROCESS_ERROR, 0)"),
                       "deactivated" }; });

    steps.run ("state save and load round trip", [&]
               { return checkState (module, host, descriptor, *instance); });
    steps.run ("parameter flush while inactive", [&]
               { return checkFlushWhileInactive (*instance); });
    steps.run ("GUI create, size and destroy", [&]
               { return checkGui (options, *instance); });

    steps.run ("destroy", [&]
               {
        instance.reset();
        return Lines { "destroyed" }; });

    steps.run ("destroy while still active", [&]
               {
        PluginInstance leftActive (module, host, descriptor);
        const auto& raw = leftActive.get();
        const auto activated = raw.activate (&raw, rate, 1, maxFrames);
        leftActive.destroyWithoutCleanup();
        return Lines { "activated: " + yesNo (activated), "destroyed without deactivating" }; });

    out << "\nThe plug-in survived all " << steps.count() << " steps.\n";
    return exitOk;
}

} // namespace wrendlehost
