#include "Host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace wrendlehost
{

namespace
{
    /** Set on the thread that currently plays the audio thread. */
    thread_local bool threadIsInAudioScope = false;

    constexpr int maxCallbackRounds = 16;

    /** Removes the first entry that matches; false when none did. */
    template <typename List, typename Predicate>
    bool eraseFirst (List& list, Predicate matches)
    {
        const auto found = std::find_if (list.begin(), list.end(), matches);

        if (found == list.end())
            return false;

        list.erase (found);
        return true;
    }
} // namespace

const clap_host_log_t Host::logExtension { &Host::log };
const clap_host_thread_check_t Host::threadCheckExtension { &Host::threadCheckIsMain, &Host::threadCheckIsAudio };
const clap_host_params_t Host::paramsExtension { &Host::paramsRescan, &Host::paramsClear, &Host::paramsRequestFlush };
const clap_host_latency_t Host::latencyExtension { &Host::latencyChangedCallback };
const clap_host_state_t Host::stateExtension { &Host::stateMarkDirty };
const clap_host_tail_t Host::tailExtension { &Host::tailChanged };
const clap_host_timer_support_t Host::timerExtension { &Host::timerRegister, &Host::timerUnregister };
const clap_host_posix_fd_support_t Host::fdExtension { &Host::fdRegister, &Host::fdModify, &Host::fdUnregister };
const clap_host_gui_t Host::guiExtension { &Host::guiResizeHintsChanged, &Host::guiRequestResize, &Host::guiRequestShow,
                                           &Host::guiRequestHide, &Host::guiClosed };

const char* Host::severityName (clap_log_severity severity) noexcept
{
    switch (severity)
    {
        case CLAP_LOG_DEBUG:
            return "debug";
        case CLAP_LOG_INFO:
            return "info";
        case CLAP_LOG_WARNING:
            return "warning";
        case CLAP_LOG_ERROR:
            return "error";
        case CLAP_LOG_FATAL:
            return "fatal";
        case CLAP_LOG_HOST_MISBEHAVING:
            return "host misbehaving";
        case CLAP_LOG_PLUGIN_MISBEHAVING:
            return "plug-in misbehaving";
        default:
            return "log";
    }
}

std::vector<Host::LogLine> Host::takeLogLines()
{
    const std::lock_guard<std::mutex> lock (logMutex);
    std::vector<LogLine> taken;
    taken.swap (logLines);
    return taken;
}

Host::Host (bool showDebugLogs)
    : showDebug (showDebugLogs), mainThreadId (std::this_thread::get_id())
{
    clapHost.clap_version = CLAP_VERSION;
    clapHost.host_data = this;
    clapHost.name = "wrendle-host";
    clapHost.vendor = "Kestrivane";
    clapHost.url = "";
    clapHost.version = WRENDLE_HOST_VERSION;
    clapHost.get_extension = &Host::getExtension;
    clapHost.request_restart = &Host::requestRestart;
    clapHost.request_process = &Host::requestProcess;
    clapHost.request_callback = &Host::requestCallback;
}

Host::~Host() = default;

bool Host::isMainThread() const noexcept
{
    return ! threadIsInAudioScope && std::this_thread::get_id() == mainThreadId;
}

bool Host::isAudioThread() const noexcept
{
    return threadIsInAudioScope;
}

Host::AudioThreadScope::AudioThreadScope() noexcept
    : previous (threadIsInAudioScope)
{
    threadIsInAudioScope = true;
}

Host::AudioThreadScope::~AudioThreadScope()
{
    threadIsInAudioScope = previous;
}

void Host::runRequestedCallbacks()
{
    if (plugin == nullptr || plugin->on_main_thread == nullptr || runningCallback || ! isMainThread())
        return;

    runningCallback = true;

    // A plug-in may ask again from inside on_main_thread; serve it, but never
    // spin forever on one that asks every time.
    for (int round = 0; round < maxCallbackRounds && callbackRequested.exchange (false); ++round)
        plugin->on_main_thread (plugin);

    runningCallback = false;
}

Host* Host::fromClap (const clap_host_t* host) noexcept
{
    return host != nullptr ? static_cast<Host*> (host->host_data) : nullptr;
}

const void* CLAP_ABI Host::getExtension (const clap_host_t* host, const char* extensionId)
{
    if (extensionId == nullptr)
        return nullptr;

    const std::string id (extensionId);

    if (id == CLAP_EXT_LOG)
        return &logExtension;
    if (id == CLAP_EXT_THREAD_CHECK)
        return &threadCheckExtension;
    if (id == CLAP_EXT_PARAMS)
        return &paramsExtension;
    if (id == CLAP_EXT_LATENCY)
        return &latencyExtension;
    if (id == CLAP_EXT_STATE)
        return &stateExtension;
    if (id == CLAP_EXT_TAIL)
        return &tailExtension;

    // "clap.gui" only for commands that show or size a window.
    if (id == CLAP_EXT_GUI)
    {
        const auto* self = fromClap (host);
        return self != nullptr && self->guiOffered ? &guiExtension : nullptr;
    }

    // Timers and descriptors only for commands that run an event loop to serve them.
    if (id == CLAP_EXT_TIMER_SUPPORT || id == CLAP_EXT_POSIX_FD_SUPPORT)
    {
        const auto* self = fromClap (host);

        if (self == nullptr || ! self->eventLoopOffered)
            return nullptr;

        return id == CLAP_EXT_TIMER_SUPPORT ? static_cast<const void*> (&timerExtension)
                                            : static_cast<const void*> (&fdExtension);
    }

    return nullptr;
}

bool CLAP_ABI Host::timerRegister (const clap_host_t* host, uint32_t periodMs, clap_id* timerId)
{
    auto* self = fromClap (host);

    if (self == nullptr || timerId == nullptr || ! self->isMainThread())
        return false;

    // A period of 0 would spin the loop; hosts round it up to something sane.
    *timerId = self->nextTimerId++;
    self->timers.push_back ({ *timerId, periodMs > 0 ? periodMs : 1u });
    return true;
}

bool CLAP_ABI Host::timerUnregister (const clap_host_t* host, clap_id timerId)
{
    auto* self = fromClap (host);

    if (self == nullptr || ! self->isMainThread())
        return false;

    return eraseFirst (self->timers, [timerId] (const Timer& timer)
                       { return timer.id == timerId; });
}

bool CLAP_ABI Host::fdRegister (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags)
{
    auto* self = fromClap (host);

    if (self == nullptr || fd < 0 || ! self->isMainThread())
        return false;

    for (const auto& watched : self->watchedFds)
        if (watched.fd == fd)
            return false;

    self->watchedFds.push_back ({ fd, flags });
    return true;
}

bool CLAP_ABI Host::fdModify (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags)
{
    auto* self = fromClap (host);

    if (self == nullptr || ! self->isMainThread())
        return false;

    for (auto& watched : self->watchedFds)
    {
        if (watched.fd == fd)
        {
            watched.flags = flags;
            return true;
        }
    }

    return false;
}

bool CLAP_ABI Host::fdUnregister (const clap_host_t* host, int fd)
{
    auto* self = fromClap (host);

    if (self == nullptr || ! self->isMainThread())
        return false;

    return eraseFirst (self->watchedFds, [fd] (const WatchedFd& watched)
                       { return watched.fd == fd; });
}

void CLAP_ABI Host::requestRestart (const clap_host_t* host)
{
    if (auto* self = fromClap (host))
        self->restartRequested = true;
}

void CLAP_ABI Host::requestProcess (const clap_host_t*)
{
    // Offline rendering processes every block anyway.
}

void CLAP_ABI Host::requestCallback (const clap_host_t* host)
{
    if (auto* self = fromClap (host))
        self->callbackRequested = true;
}

void CLAP_ABI Host::log (const clap_host_t* host, clap_log_severity severity, const char* message)
{
    auto* self = fromClap (host);

    if (severity == CLAP_LOG_DEBUG && (self == nullptr || ! self->showDebug))
        return;

    try
    {
        std::string text (message != nullptr ? message : "");

        while (! text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();

        if (self != nullptr)
        {
            const std::lock_guard<std::mutex> lock (self->logMutex);

            // A plug-in that logs without end must not eat the machine's memory.
            if (self->logLines.size() < 100000)
                self->logLines.push_back ({ severity, text });
        }

        if (self == nullptr || self->echoLog)
        {
            // One write per line, so lines from several threads never interleave.
            const auto line = std::string ("plug-in [") + severityName (severity) + "]: " + text + "\n";
            std::fputs (line.c_str(), stderr);
            std::fflush (stderr);
        }
    }
    catch (...)
    {
        // Nothing may be thrown back into the plug-in.
    }
}

bool CLAP_ABI Host::threadCheckIsMain (const clap_host_t* host)
{
    const auto* self = fromClap (host);
    return self != nullptr && self->isMainThread();
}

bool CLAP_ABI Host::threadCheckIsAudio (const clap_host_t* host)
{
    const auto* self = fromClap (host);
    return self != nullptr && self->isAudioThread();
}

void CLAP_ABI Host::paramsRescan (const clap_host_t*, clap_param_rescan_flags)
{
    // Parameter lists are read fresh by each command; nothing is cached to rescan.
}

void CLAP_ABI Host::paramsClear (const clap_host_t*, clap_id, clap_param_clear_flags)
{
    // No automation or modulation is stored.
}

void CLAP_ABI Host::paramsRequestFlush (const clap_host_t*)
{
    // Output parameter events are accepted and dropped while processing, so a
    // flush outside processing has nothing to deliver them to.
}

void CLAP_ABI Host::latencyChangedCallback (const clap_host_t* host)
{
    if (auto* self = fromClap (host))
        self->latencyChanged = true;
}

void CLAP_ABI Host::stateMarkDirty (const clap_host_t*)
{
    // No project to save.
}

void CLAP_ABI Host::tailChanged (const clap_host_t*)
{
    // The tail is read once after activation.
}

//==============================================================================
void CLAP_ABI Host::guiResizeHintsChanged (const clap_host_t*)
{
    // The hints are read when the window is sized.
}

bool CLAP_ABI Host::guiRequestResize (const clap_host_t* host, uint32_t width, uint32_t height)
{
    auto* self = fromClap (host);

    if (self == nullptr)
        return false;

    self->lastResizeWidth = width;
    self->lastResizeHeight = height;
    return true;
}

bool CLAP_ABI Host::guiRequestShow (const clap_host_t*)
{
    return false;
}

bool CLAP_ABI Host::guiRequestHide (const clap_host_t*)
{
    return false;
}

void CLAP_ABI Host::guiClosed (const clap_host_t*, bool)
{
    // Only embedded windows are ever asked for; the host owns their closing.
}

} // namespace wrendlehost
