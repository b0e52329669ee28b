#pragma once

#include "binding/clapcheck/ClapExtensions.h"

#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace wrendlehost
{

/** The host side that a plug-in sees: the `clap_host` record named
    "wrendle-host" and its extensions (log, thread-check, params, latency, state,
    tail; GUI only when asked for, see offerGui()).

    This host is single-threaded: the thread that creates it is the main thread,
    and the audio work runs on that same thread inside an AudioThreadScope. While
    a scope is open the thread-check extension answers "audio thread" and not
    "main thread", so a plug-in that checks where it is called behaves as under a
    real host with a separate audio thread.

    Only one Host may exist at a time (the thread-check answers rely on it).
*/
class Host
{
public:
    explicit Host (bool showDebugLogs);
    ~Host();

    Host (const Host&) = delete;
    Host& operator= (const Host&) = delete;

    const clap_host_t* getClapHost() const noexcept { return &clapHost; }

    /** The plug-in whose on_main_thread is called for request_callback. */
    void setPlugin (const clap_plugin_t* pluginToServe) noexcept { plugin = pluginToServe; }

    /** Runs the plug-in's on_main_thread when it asked for a callback since the
        last call. Call on the main thread, outside any AudioThreadScope.
    */
    void runRequestedCallbacks();

    /** True (and cleared) when the plug-in reported a latency change. */
    bool takeLatencyChanged() noexcept { return latencyChanged.exchange (false); }

    /** True (and cleared) when the plug-in asked for a restart. */
    bool takeRestartRequested() noexcept { return restartRequested.exchange (false); }

    /** One line the plug-in sent to the host's log. */
    struct LogLine
    {
        clap_log_severity severity;
        std::string text;
    };

    /** Whether log lines are also printed on stderr as they arrive (the default). Every line
        is kept for takeLogLines() either way. */
    void setLogEcho (bool shouldEcho) noexcept { echoLog = shouldEcho; }

    /** The log lines received since the last call, oldest first. */
    std::vector<LogLine> takeLogLines();

    static const char* severityName (clap_log_severity severity) noexcept;

    /** Offers "clap.gui" from now on (for plug-ins asked afterwards): the host then takes
        resize requests, remembering the last one. A host that shows no window must not
        offer it, so commands that never show one leave it off. */
    void offerGui (bool shouldOffer) noexcept { guiOffered = shouldOffer; }

    /** Offers timer and file-descriptor support from now on: for a command that runs an
        event loop (see EventLoop), which fires the timers and watches the descriptors. */
    void offerEventLoop (bool shouldOffer) noexcept { eventLoopOffered = shouldOffer; }

    struct Timer
    {
        clap_id id;
        uint32_t periodMs;
    };

    struct WatchedFd
    {
        int fd;
        clap_posix_fd_flags_t flags;
    };

    /** What the plug-in has registered and not unregistered. */
    const std::vector<Timer>& getTimers() const noexcept { return timers; }
    const std::vector<WatchedFd>& getWatchedFds() const noexcept { return watchedFds; }

    /** The size of the last resize request, or 0 x 0. */
    std::pair<uint32_t, uint32_t> getLastResizeRequest() const noexcept { return { lastResizeWidth, lastResizeHeight }; }

    bool isMainThread() const noexcept;
    bool isAudioThread() const noexcept;

    /** Marks the calling thread as the audio thread while it lives. */
    class AudioThreadScope
    {
    public:
        AudioThreadScope() noexcept;
        ~AudioThreadScope();

        AudioThreadScope (const AudioThreadScope&) = delete;
        AudioThreadScope& operator= (const AudioThreadScope&) = delete;

    private:
        bool previous;
    };

private:
    static Host* fromClap (const clap_host_t* host) noexcept;

    static const void* CLAP_ABI getExtension (const clap_host_t* host, const char* extensionId);
    static void CLAP_ABI requestRestart (const clap_host_t* host);
    static void CLAP_ABI requestProcess (const clap_host_t* host);
    static void CLAP_ABI requestCallback (const clap_host_t* host);

    static void CLAP_ABI log (const clap_host_t* host, clap_log_severity severity, const char* message);
    static bool CLAP_ABI threadCheckIsMain (const clap_host_t* host);
    static bool CLAP_ABI threadCheckIsAudio (const clap_host_t* host);
    static void CLAP_ABI paramsRescan (const clap_host_t* host, clap_param_rescan_flags flags);
    static void CLAP_ABI paramsClear (const clap_host_t* host, clap_id paramId, clap_param_clear_flags flags);
    static void CLAP_ABI paramsRequestFlush (const clap_host_t* host);
    static void CLAP_ABI latencyChangedCallback (const clap_host_t* host);
    static void CLAP_ABI stateMarkDirty (const clap_host_t* host);
    static void CLAP_ABI tailChanged (const clap_host_t* host);
    static void CLAP_ABI guiResizeHintsChanged (const clap_host_t* host);
    static bool CLAP_ABI guiRequestResize (const clap_host_t* host, uint32_t width, uint32_t height);
    static bool CLAP_ABI guiRequestShow (const clap_host_t* host);
    static bool CLAP_ABI guiRequestHide (const clap_host_t* host);
    static void CLAP_ABI guiClosed (const clap_host_t* host, bool wasDestroyed);
    static bool CLAP_ABI timerRegister (const clap_host_t* host, uint32_t periodMs, clap_id* timerId);
    static bool CLAP_ABI timerUnregister (const clap_host_t* host, clap_id timerId);
    static bool CLAP_ABI fdRegister (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    static bool CLAP_ABI fdModify (const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    static bool CLAP_ABI fdUnregister (const clap_host_t* host, int fd);

    clap_host_t clapHost {};
    const bool showDebug;
    const std::thread::id mainThreadId;
    const clap_plugin_t* plugin = nullptr;

    std::atomic<bool> callbackRequested { false };
    std::atomic<bool> latencyChanged { false };
    std::atomic<bool> restartRequested { false };
    bool runningCallback = false;

    std::atomic<bool> echoLog { true };
    std::mutex logMutex;
    std::vector<LogLine> logLines;

    bool guiOffered = false;
    uint32_t lastResizeWidth = 0, lastResizeHeight = 0;

    bool eventLoopOffered = false;
    std::vector<Timer> timers;
    std::vector<WatchedFd> watchedFds;
    clap_id nextTimerId = 1;

    static const clap_host_log_t logExtension;
    static const clap_host_thread_check_t threadCheckExtension;
    static const clap_host_params_t paramsExtension;
    static const clap_host_latency_t latencyExtension;
    static const clap_host_state_t stateExtension;
    static const clap_host_tail_t tailExtension;
    static const clap_host_gui_t guiExtension;
    static const clap_host_timer_support_t timerExtension;
    static const clap_host_posix_fd_support_t fdExtension;
};

} // namespace wrendlehost
