#pragma once

#include "binding/clapcheck/CheckReports.h"
#include "binding/clapcheck/ClapExtensions.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>

#include <string>

namespace clapcheck
{

/** Ids of host extensions that are asked for but whose tables are never read here, so their
    record types are not needed (some CLAP header sets do not even declare them). */
namespace hostExtensionIds
{
    constexpr const char threadPool[] = "clap.thread-pool";
    constexpr const char audioPortsConfig[] = "clap.audio-ports-config";
    constexpr const char posixFdSupport[] = "clap.posix-fd-support";
    constexpr const char resourceDirectory[] = "clap.resource-directory/1";
    constexpr const char noteName[] = "clap.note-name";
    constexpr const char remoteControls[] = "clap.remote-controls/2";
    constexpr const char remoteControlsDraft[] = "clap.remote-controls.draft/2";
    constexpr const char voiceInfo[] = "clap.voice-info";
    constexpr const char presetLoad[] = "clap.preset-load/2";
    constexpr const char presetLoadDraft[] = "clap.preset-load.draft/2";
} // namespace hostExtensionIds

/**
    The host pointer and the host's extension tables of one plug-in instance, plus the report
    routine and thin wrappers around the host calls the plug-in makes.

    All tables start absent; fetch() asks the host for them once, at the plug-in's init. A table
    the host does not offer stays null. Tables whose record types this layer does not use are kept
    as untyped pointers.

    Pitfall: a table being present does not mean all of its functions are; use the has...()
    predicates before relying on one, or the wrappers, which never call a missing function.
*/
class HostInterfaces
{
public:
    explicit HostInterfaces (const clap_host* hostToUse = nullptr) noexcept
        : host (hostToUse) {}

    /** Asks the host for every table, in a fixed order, retrying drafts right after a null answer
        for "clap.track-info/1", "clap.remote-controls/2", "clap.context-menu/1" and "clap.preset-load/2".
        Safe with a null host or a host without get_extension (everything stays absent). */
    void fetch() noexcept;

    //==============================================================================
    /** One line of text with a CLAP log severity: to the host's log when it offers one with a log
        function, otherwise the text and a newline go to standard error (severities 3 and 5) or
        standard log (all others), flushed. Never throws. */
    void log (clap_log_severity severity, const char* text) const noexcept;

    /** Reports a tabled violation through its channel (see CheckReports.h). */
    template <typename... Args>
    void report (Report which, const Args&... arguments) const noexcept
    {
        try
        {
            emit (which, composeReportText (which, arguments...).c_str());
        }
        catch (...)
        {
            // Out of memory while composing: the bare text still says what went wrong.
            emit (which, ruleFor (which).text);
        }
    }

    //==============================================================================
    bool hasLog() const noexcept { return hostLog != nullptr && hostLog->log != nullptr; }
    bool hasCompleteThreadCheck() const noexcept;
    bool hasCompleteLatency() const noexcept { return latency != nullptr && latency->changed != nullptr; }
    bool hasCompleteParams() const noexcept;
    bool hasCompleteState() const noexcept { return state != nullptr && state->mark_dirty != nullptr; }
    bool hasCompleteTrackInfo() const noexcept { return trackInfo != nullptr && trackInfo->get != nullptr; }
    bool hasCompleteContextMenu() const noexcept;

    /** True only when the thread-check table is complete and says so; false when it cannot tell. */
    bool isKnownMainThread() const noexcept;
    /** True only when the thread-check table is complete and says this is not the main thread. */
    bool isKnownOffMainThread() const noexcept;
    /** True only when the thread-check table is complete and says this is not an audio thread. */
    bool isKnownOffAudioThread() const noexcept;

    //==============================================================================
    /** Host calls made by the plug-in. Each first checks that it runs on the main thread (a
        plug-in-misbehaving report otherwise, and the call is still made), then calls the host when
        the function exists; a missing table or function makes it answer false and call nothing. */
    bool latencyChanged() const noexcept;
    bool paramsRescan (clap_param_rescan_flags flags) const noexcept;
    bool stateMarkDirty() const noexcept;
    bool guiRequestResize (uint32_t width, uint32_t height) const noexcept;
    bool trackInfoGet (clap_track_info_t* info) const noexcept;
    bool contextMenuPopulate (const clap_context_menu_target_t* target,
                              const clap_context_menu_builder_t* builder) const noexcept;
    bool contextMenuCanPopup() const noexcept;
    bool contextMenuPopup (const clap_context_menu_target_t* target,
                           int32_t screenIndex,
                           int32_t x,
                           int32_t y) const noexcept;
    bool contextMenuPerform (const clap_context_menu_target_t* target, clap_id actionId) const noexcept;

    /** Asks the host for a parameter flush. Allowed on any thread but the audio thread, so no
        thread check. Answers false when the params table is missing or incomplete. */
    bool paramsRequestFlush() const noexcept;

    /** The host's request_callback, when it has one. */
    bool requestCallback() const noexcept;

    /** The host's request_restart (deactivate, then activate again), when it has one. Thread-safe
        per CLAP, so no thread check: the audio thread may ask. */
    bool requestRestart() const noexcept;

    /** The host's request_process (wake a sleeping plug-in), when it has one. Thread-safe. */
    bool requestProcess() const noexcept;

    /** Reports "Plugin called the method clap_host_<name>() on wrong thread!..." when the host can
        tell that this is not the main thread. */
    void checkHostCallOnMainThread (const char* name) const noexcept;

    //==============================================================================
    const clap_host* host = nullptr;

    const clap_host_log_t* hostLog = nullptr;
    const clap_host_thread_check_t* threadCheck = nullptr;
    const void* threadPool = nullptr;
    const clap_host_audio_ports_t* audioPorts = nullptr;
    const void* audioPortsConfig = nullptr;
    const clap_host_note_ports_t* notePorts = nullptr;
    const void* resourceDirectory = nullptr;
    const clap_host_latency_t* latency = nullptr;
    const clap_host_gui_t* gui = nullptr;
    const clap_host_timer_support_t* timerSupport = nullptr;
    const void* posixFdSupport = nullptr;
    const clap_host_params_t* params = nullptr;
    const clap_host_track_info_t* trackInfo = nullptr;
    const clap_host_state_t* state = nullptr;
    const void* noteName = nullptr;
    const void* remoteControls = nullptr;
    const void* voiceInfo = nullptr;
    const clap_host_context_menu_t* contextMenu = nullptr;
    const void* presetLoad = nullptr;

private:
    const void* ask (const char* id) const noexcept;
    const void* askWithDraft (const char* id, const char* draftId) const noexcept;
    void emit (Report which, const char* text) const noexcept;
};

} // namespace clapcheck
