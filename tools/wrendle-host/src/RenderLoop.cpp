#include "RenderLoop.h"

#include "HostError.h"
#include "SystemUtilities.h"

#include <clap/process.h>

#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <cstdio>

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
        InterruptGuard()
            : previous (std::signal (SIGINT, onInterrupt)) { interruptRequested = 0; }
        ~InterruptGuard() { std::signal (SIGINT, previous); }

        InterruptGuard (const InterruptGuard&) = delete;
        InterruptGuard& operator= (const InterruptGuard&) = delete;

    private:
        void (*previous) (int);
    };

    /** Output events (parameter changes the plug-in makes itself) are accepted
        and ignored: nothing in an offline render records them.
    */
    bool CLAP_ABI acceptOutputEvent (const clap_output_events_t*, const clap_event_header_t*)
    {
        return true;
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

    //==============================================================================
    /** A steady transport: playing from 0 at 120 BPM in 4/4. Plug-ins with
        tempo-synced parts then see the same timeline on every render.
    */
    class Transport
    {
    public:
        explicit Transport (double sampleRateHz)
            : rateHz (sampleRateHz)
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
    /** Feeds the main input port from the file, from any frame on: a restarted
        plug-in is fed again from an earlier frame. Frames past the end of the
        file are silence; every frame of the file counts once in the input level.
    */
    class InputFeed
    {
    public:
        InputFeed (RenderSource& sourceToRead, const RenderPlan& plan, uint32_t blockFrames)
            : source (sourceToRead), mainInput (plan.mainInput), inputChannels (plan.inputChannels), mapping (plan.mapping),
              fileChannels (static_cast<size_t> (source.fileChannels)), fileBlock (static_cast<size_t> (blockFrames) * fileChannels)
        {
        }

        void fill (PortBuffers& inputs, uint64_t firstFrame, uint32_t frames, LevelMeter& level)
        {
            if (firstFrame >= source.frames)
                return;

            const auto framesFromFile = static_cast<uint32_t> (std::min<uint64_t> (frames, source.frames - firstFrame));

            if (firstFrame != filePosition)
            {
                if (sf_seek (source.file.get(), static_cast<sf_count_t> (firstFrame), SEEK_SET) < 0)
                    throw failure ("cannot go back in '" + source.path + "' to feed the restarted plug-in: "
                                   + sf_strerror (source.file.get()));

                filePosition = firstFrame;
            }

            const auto got = sf_readf_float (source.file.get(), fileBlock.data(), static_cast<sf_count_t> (framesFromFile));

            if (got != static_cast<sf_count_t> (framesFromFile))
                throw failure ("cannot read '" + source.path + "': the file ended early or is damaged");

            filePosition += framesFromFile;

            for (uint32_t f = 0; f < framesFromFile; ++f)
            {
                const float* frame = fileBlock.data() + f * fileChannels;

                if (firstFrame + f >= framesMetered)
                    for (size_t c = 0; c < fileChannels; ++c)
                        level.add (frame[c]);

                switch (mapping)
                {
                    case InputMapping::direct:
                        for (uint32_t c = 0; c < inputChannels; ++c)
                            inputs.channel (mainInput, c)[f] = frame[c];
                        break;
                    case InputMapping::spreadMono:
                        for (uint32_t c = 0; c < inputChannels; ++c)
                            inputs.channel (mainInput, c)[f] = frame[0];
                        break;
                    case InputMapping::mixToMono:
                        inputs.channel (mainInput, 0)[f] = 0.5f * (frame[0] + frame[1]);
                        break;
                    case InputMapping::none:
                        break;
                }
            }

            framesMetered = std::max (framesMetered, firstFrame + framesFromFile);
        }

    private:
        RenderSource& source;
        const size_t mainInput;
        const uint32_t inputChannels;
        const InputMapping mapping;
        const size_t fileChannels;
        std::vector<float> fileBlock;
        uint64_t filePosition = 0, framesMetered = 0;
    };

    /** Honours a restart request as a host does, and answers the new activation's latency. */
    uint64_t restartPlugin (PluginInstance& instance, double sampleRateHz, uint32_t blockFrames)
    {
        instance.stopProcessing();
        instance.deactivate();
        instance.activate (sampleRateHz, blockFrames);
        const auto latency = instance.readLatencySamples().value_or (0);
        instance.startProcessing();
        return latency;
    }
} // namespace

//==============================================================================
RenderTotals renderBlocks (PluginInstance& instance,
                           Host& host,
                           RenderSource& source,
                           const RenderPlan& plan,
                           const InputEvents& firstBlockEvents,
                           SNDFILE* outputFile,
                           const RenderOptions& options)
{
    const auto mainOutput = plan.mainOutput;
    const auto outputChannels = plan.outputChannels;
    const auto outputFrames = plan.outputFrames;

    PortBuffers inputBuffers (plan.inputPorts, options.blockFrames);
    PortBuffers outputBuffers (plan.outputPorts, options.blockFrames);
    InputFeed feed (source, plan, options.blockFrames);
    std::vector<float> outputBlock (static_cast<size_t> (options.blockFrames) * outputChannels);

    InputEvents noEvents;
    clap_output_events_t outputEvents { nullptr, &acceptOutputEvent };
    Transport transport (source.sampleRateHz);

    RenderTotals totals;
    totals.latencySamples = plan.latencySamples;

    // The plug-in's latency is compensated by dropping as many frames from the
    // start of its output (and running that much past the end of the input):
    // the block fed from input frame `nextInputFrame` writes output frame
    // `framesWritten` once `framesToDrop` frames are gone.
    uint64_t latencySamples = plan.latencySamples;
    uint64_t nextInputFrame = 0, framesProcessed = 0, framesWritten = 0, framesToDrop = latencySamples;
    bool restartRequested = false, latencyWarningGiven = false;

    InterruptGuard interruptGuard;
    ProgressBar progress (options.allowProgress, outputFrames, source.sampleRateHz);

    instance.startProcessing();

    for (bool firstBlock = true; framesWritten < outputFrames; firstBlock = false)
    {
        if (interruptRequested != 0)
            throw failure ("interrupted; '" + options.outputPath + "' was not written");

        const auto frames = static_cast<uint32_t> (std::min<uint64_t> (options.blockFrames, outputFrames - framesWritten + framesToDrop));

        inputBuffers.clear();
        outputBuffers.clear();
        feed.fill (inputBuffers, nextInputFrame, frames, totals.inputLevel);

        clap_process_t block {};
        block.steady_time = static_cast<int64_t> (framesProcessed);
        block.frames_count = frames;
        block.transport = transport.at (nextInputFrame);
        block.audio_inputs = inputBuffers.data();
        block.audio_inputs_count = inputBuffers.count();
        block.audio_outputs = outputBuffers.data();
        block.audio_outputs_count = outputBuffers.count();
        block.in_events = firstBlock ? firstBlockEvents.getList() : noEvents.getList();
        block.out_events = &outputEvents;

        const double cpuBefore = threadCpuSeconds();
        const auto status = instance.process (block);
        totals.cpuSeconds += threadCpuSeconds() - cpuBefore;

        if (status == CLAP_PROCESS_ERROR)
            throw failure ("the plug-in failed to process the block at frame " + std::to_string (framesProcessed)
                           + " (process returned CLAP_PROCESS_ERROR)");

        framesProcessed += frames;
        nextInputFrame += frames;

        // Between blocks the host is on its main thread: serve callbacks and
        // take the plug-in's requests.
        instance.serviceMainThread();
        restartRequested = host.takeRestartRequested() || restartRequested;

        if (host.takeLatencyChanged() && ! restartRequested && ! latencyWarningGiven)
        {
            // CLAP lets the latency change only at activation; a plug-in that
            // changes it while active must ask for a restart.
            if (const auto latencyNow = instance.readLatencySamples().value_or (0); latencyNow != latencySamples)
            {
                std::fprintf (stderr, "warning: the plug-in's latency changed from %llu to %llu samples without a restart; "
                                      "the output stays aligned to %llu\n",
                              static_cast<unsigned long long> (latencySamples), static_cast<unsigned long long> (latencyNow),
                              static_cast<unsigned long long> (latencySamples));
                latencyWarningGiven = true;
            }
        }

        const auto dropped = static_cast<uint32_t> (std::min<uint64_t> (framesToDrop, frames));
        framesToDrop -= dropped;
        const auto keep = static_cast<uint32_t> (std::min<uint64_t> (frames - dropped, outputFrames - framesWritten));

        for (uint32_t f = 0; f < keep; ++f)
        {
            for (uint32_t c = 0; c < outputChannels; ++c)
            {
                const float sample = outputBuffers.sample (mainOutput, c, dropped + f);
                outputBlock[f * outputChannels + c] = sample;
                totals.outputLevel.add (sample);
            }
        }

        if (keep > 0 && sf_writef_float (outputFile, outputBlock.data(), keep) != static_cast<sf_count_t> (keep))
            throw failure ("cannot write '" + options.outputPath + "': " + sf_strerror (outputFile));

        framesWritten += keep;
        progress.update (framesWritten);

        const bool movedOnSinceLastRestart = totals.restarts.empty() || framesWritten > totals.restarts.back().frame;

        if (restartRequested && movedOnSinceLastRestart && framesWritten < outputFrames)
        {
            // The new activation starts clean: feed it again from the first frame
            // whose output is missing and drop its own latency.
            latencySamples = restartPlugin (instance, source.sampleRateHz, options.blockFrames);
            totals.restarts.push_back ({ framesWritten, latencySamples });
            nextInputFrame = framesWritten;
            framesToDrop = latencySamples;
            restartRequested = false;
        }
    }

    instance.stopProcessing();
    instance.deactivate();
    progress.finish();
    return totals;
}

} // namespace wrendlehost
