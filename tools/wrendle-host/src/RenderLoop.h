#pragma once

/** The block loop of the render command, and what its setup hands it: the
    input file, the plug-in's ports and how the file feeds them, the latency to
    compensate and the length to write.
*/

#include "AudioFileOutput.h"
#include "Commands.h"
#include "Host.h"
#include "PluginInstance.h"

#include <clap/events.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace wrendlehost
{

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
    bool empty() const noexcept { return events.empty(); }
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

//==============================================================================
enum class InputMapping
{
    direct,     ///< file channels = port channels
    spreadMono, ///< mono file into every port channel
    mixToMono,  ///< stereo file averaged into a mono port
    none,       ///< the plug-in has no audio input
};

/** The opened input file and the rate the render runs at. */
struct RenderSource
{
    SndFilePtr file;
    std::string path;
    int fileChannels = 0;
    uint64_t frames = 0;
    double sampleRateHz = 0.0;
};

/** What the setup decided for an activated plug-in. */
struct RenderPlan
{
    std::vector<AudioPortInfo> inputPorts, outputPorts;
    size_t mainInput = 0, mainOutput = 0;
    uint32_t inputChannels = 0, outputChannels = 0;
    InputMapping mapping = InputMapping::none;
    uint64_t latencySamples = 0; ///< as reported on activation, with the parameters already set
    uint64_t outputFrames = 0;   ///< the input's length plus the tail
};

/** A restart the plug-in asked for during the render, as it was honoured. */
struct RenderRestart
{
    uint64_t frame = 0;          ///< the first output frame aligned to the new latency
    uint64_t latencySamples = 0; ///< the latency after the new activation
};

/** What the summary reports. */
struct RenderTotals
{
    LevelMeter inputLevel, outputLevel;
    double cpuSeconds = 0.0;
    uint64_t latencySamples = 0; ///< the latency compensated from the start
    std::vector<RenderRestart> restarts;
};

/** Starts processing, runs the plug-in block by block over the input file
    (then silence) until the plan's length is written to outputFile, and stops
    and deactivates it. Ctrl-C ends the render with a failure.

    A restart the plug-in asks for is honoured between blocks, as a host does:
    stop processing, deactivate, activate, start again. The fresh activation is
    fed again from the first input frame whose output is not written yet, and
    its latency is dropped, so the output stays aligned to the input without a
    gap or a repeated stretch. Restarts wait until the output has moved on since
    the last one, so a plug-in that asks on every block cannot stall the render.
*/
RenderTotals renderBlocks (PluginInstance& instance,
                           Host& host,
                           RenderSource& source,
                           const RenderPlan& plan,
                           const InputEvents& firstBlockEvents,
                           SNDFILE* outputFile,
                           const RenderOptions& options);

} // namespace wrendlehost
