#pragma once

#include "binding/clapcheck/CheckReports.h"
#include "binding/clapcheck/ClapExtensions.h"
#include "binding/clapcheck/HostInterfaces.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/plugin.h>
#include <clap/process.h>
#include <clap/stream.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace clapcheck
{

/**
    The checking layer between a CLAP host and a plug-in implementation.

    It owns the CLAP plug-in record the host holds and the CLAP-side state of one instance
    (initialised, active, processing, GUI created/floating/parented), checks every host call for
    the right thread, the right state and sane arguments, reports each violation as one line (see
    CheckReports.h for every text, severity and outcome) and then routes the call to the protected
    virtual operations below. It reports and carries on: only the cases tabled as "stops" keep a
    call from the derived class, and only a null plug-in record ends the process.

    Derive from it, override the operations and the implements...() switches of the extensions
    you offer, and hand the host clapPlugin(). Every overridable operation is noexcept: nothing may
    throw back into the host.

    Pitfalls:
    - Instances must be created with new: the host's destroy() deletes the object.
    - The checks run before the derived operation, so overrides never see a call the table refuses
      (for example a parameter call with an id for which isValidParameterId() is false).
    - The lifecycle flags are plain fields: CLAP already forbids the host from racing these calls,
      and the thread checks (when the host offers clap.thread-check) report when it does.
*/
class CheckedPlugin
{
public:
    CheckedPlugin (const clap_plugin_descriptor_t* descriptor, const clap_host_t* host) noexcept;
    virtual ~CheckedPlugin();

    CheckedPlugin (const CheckedPlugin&) = delete;
    CheckedPlugin& operator= (const CheckedPlugin&) = delete;

    /** The record the host calls through; its plugin_data points at this object. */
    const clap_plugin_t* clapPlugin() const noexcept { return &plugin; }

    /** The object behind a record, after the record check: a null record or a null plugin_data
        writes its report to standard error and ends the process. */
    static CheckedPlugin& fromClapPlugin (const clap_plugin_t* record) noexcept;

    //==============================================================================
    bool isInitialised() const noexcept { return initialised; }
    bool isActive() const noexcept { return active; }
    bool isProcessing() const noexcept { return processing; }
    bool isBeingDestroyed() const noexcept { return beingDestroyed; }
    /** The sample rate of the current activation; 0 while inactive. */
    double getSampleRate() const noexcept { return sampleRate; }

    bool isGuiCreated() const noexcept { return guiCreated; }
    bool isGuiFloating() const noexcept { return guiFloating; }
    bool isGuiParented() const noexcept { return guiParented; }
    /** The api given to the last GUI create that passed the checks ("" for a null api). */
    const std::string& getGuiApi() const noexcept { return guiApi; }

    const clap_host_t* getHost() const noexcept { return hostInterfaces.host; }
    /** The host's tables; all absent until init has fetched them. */
    const HostInterfaces& getHostInterfaces() const noexcept { return hostInterfaces; }

    //==============================================================================
    /** One line of text with a CLAP log severity, through the host's log or the standard streams. */
    void log (clap_log_severity severity, const std::string& text) const noexcept;

    /** A tabled report with its arguments, e.g. report (Report::hostParamsPartial). */
    template <typename... Args>
    void report (Report which, const Args&... arguments) const noexcept
    {
        hostInterfaces.report (which, arguments...);
    }

    //==============================================================================
    /** Runs the task at once when the host says this is its main thread; otherwise queues it under
        the task mutex and asks the host for a main-thread callback (outside the mutex, because a
        host may answer request_callback synchronously). Callable from any thread, but it locks and
        allocates, so not from the audio thread in steady state. Returns false only when the task
        could not be stored. */
    bool scheduleOnMainThread (std::function<void()> task) noexcept;

    /** Runs queued tasks oldest first until the queue is empty, without holding the mutex while a
        task runs; a task queued meanwhile runs in the same pass. When the host says this is not
        the main thread it reports and runs nothing. */
    void runCallbacksOnMainThread() noexcept;

    //==============================================================================
    /** Host notifications, each queued as a main-thread task (see scheduleOnMainThread). When it
        runs it does nothing if the instance is being destroyed or the host lacks the table, and
        reports "clap_host_... is partially implemented" if the table lacks a function it needs. */
    void notifyHostParamsRescan (clap_param_rescan_flags flags) noexcept;
    void notifyHostStateDirty() noexcept;

    /** Tells the host the latency changed, the way CLAP allows it. While inactive, as the other
        notifications do. During activate, once activate has succeeded and the instance counts as
        active, so a host that asks for the latency inside latency.changed() gets an answer
        without a report. While active, where latency.changed() is not allowed: asks the host for
        a restart (once per activation) and reports the change inside the next activate. The
        active path takes no lock and allocates nothing, so the audio thread may call it. */
    void notifyHostLatencyChanged() noexcept;

    /** The host calls behind the notifications, made now: main thread only. */
    void callHostLatencyChanged() const noexcept;
    void callHostParamsRescan (clap_param_rescan_flags flags) const noexcept;
    void callHostStateDirty() const noexcept;

    /** True once a latency change while active has asked the host for a restart that has not
        happened yet (any thread). */
    bool isRestartRequested() const noexcept { return restartRequested.load(); }

    /** Asks the host for a parameter flush now (any thread but the audio thread): calls
        request_flush when the host's params table is complete, reports
        "clap_host_params is partially implemented" when it is incomplete, and does nothing
        without one. */
    void requestHostParamsFlush() noexcept;

protected:
    //==============================================================================
    // Lifecycle, called after the checks. Defaults make a do-nothing plug-in.

    /** After the host tables have been fetched. */
    virtual bool init() noexcept { return true; }
    /** Only with a valid sample rate and frame range; the flags change only when it answers true. */
    virtual bool activate (double /*sampleRate*/, uint32_t /*minFrames*/, uint32_t /*maxFrames*/) noexcept { return true; }
    virtual void deactivate() noexcept {}
    virtual bool startProcessing() noexcept { return true; }
    virtual void stopProcessing() noexcept {}
    virtual void reset() noexcept {}
    /** Only while active and processing, with a non-null process record. */
    virtual clap_process_status process (const clap_process_t* /*process*/) noexcept { return CLAP_PROCESS_CONTINUE; }
    /** After the queued main-thread tasks have run. */
    virtual void onMainThread() noexcept {}

    //==============================================================================
    // Which extensions get_extension offers. Each switch makes the checked table of that
    // extension visible under its id(s); the drafts of track-info and audio-ports-activation are
    // answered with the same table.
    virtual bool implementsState() const noexcept { return false; }
    virtual bool implementsRender() const noexcept { return false; }
    virtual bool implementsTrackInfo() const noexcept { return false; }
    virtual bool implementsLatency() const noexcept { return false; }
    virtual bool implementsAudioPorts() const noexcept { return false; }
    virtual bool implementsAudioPortsActivation() const noexcept { return false; }
    virtual bool implementsParams() const noexcept { return false; }
    virtual bool implementsNotePorts() const noexcept { return false; }
    virtual bool implementsTimerSupport() const noexcept { return false; }
    virtual bool implementsGui() const noexcept { return false; }
    virtual bool implementsTail() const noexcept { return false; }

    //==============================================================================
    // Extension operations, called after the checks. Queries are const.
    virtual bool stateSave (const clap_ostream_t* /*stream*/) noexcept { return false; }
    virtual bool stateLoad (const clap_istream_t* /*stream*/) noexcept { return false; }

    virtual bool renderHasHardRealtimeRequirement() const noexcept { return false; }
    /** Only for CLAP_RENDER_REALTIME, or CLAP_RENDER_OFFLINE without a hard real-time requirement. */
    virtual bool renderSetMode (clap_plugin_render_mode /*mode*/) noexcept { return false; }

    /** Only when the host offers a complete clap_host_track_info (see HostInterfaces::trackInfoGet). */
    virtual void trackInfoChanged() noexcept {}

    virtual uint32_t latencyGet() const noexcept { return 0; }
    virtual uint32_t tailGet() const noexcept { return 0; }

    virtual uint32_t audioPortsCount (bool /*isInput*/) const noexcept { return 0; }
    /** Only with index < audioPortsCount (isInput) and a non-null info. */
    virtual bool audioPortsGet (uint32_t /*index*/, bool /*isInput*/, clap_audio_port_info_t* /*info*/) const noexcept
    {
        return false;
    }

    virtual bool audioPortsActivationCanActivateWhileProcessing() const noexcept { return false; }
    /** Also called while active (after a report when that is not allowed): refuse it there. */
    virtual bool audioPortsActivationSetActive (bool /*isInput*/,
                                                uint32_t /*portIndex*/,
                                                bool /*isActive*/,
                                                uint32_t /*sampleSize*/) noexcept
    {
        return false;
    }

    virtual uint32_t paramsCount() const noexcept { return 0; }
    /** Asked by the checks before every call that carries a parameter id; a false answer stops the call. */
    virtual bool isValidParameterId (clap_id /*paramId*/) const noexcept { return false; }
    /** Only with index < paramsCount() and a non-null info. */
    virtual bool paramsGetInfo (uint32_t /*index*/, clap_param_info_t* /*info*/) const noexcept { return false; }
    /** Only with a valid id and a non-null value. */
    virtual bool paramsGetValue (clap_id /*paramId*/, double* /*value*/) const noexcept { return false; }
    /** Only with a valid id and a display buffer of at least two bytes. */
    virtual bool paramsValueToText (clap_id /*paramId*/, double /*value*/, char* /*display*/, uint32_t /*size*/) const noexcept
    {
        return false;
    }
    /** Only with a valid id and non-null display and value. */
    virtual bool paramsTextToValue (clap_id /*paramId*/, const char* /*display*/, double* /*value*/) const noexcept
    {
        return false;
    }
    /** Only with non-null event lists. */
    virtual void paramsFlush (const clap_input_events_t* /*in*/, const clap_output_events_t* /*out*/) noexcept {}

    virtual uint32_t notePortsCount (bool /*isInput*/) const noexcept { return 0; }
    /** Only with index < notePortsCount (isInput) and a non-null info. */
    virtual bool notePortsGet (uint32_t /*index*/, bool /*isInput*/, clap_note_port_info_t* /*info*/) const noexcept
    {
        return false;
    }

    /** Never with CLAP_INVALID_ID. */
    virtual void onTimer (clap_id /*timerId*/) noexcept {}

    // GUI: every call but is_api_supported, get_preferred_api and create arrives only while the
    // GUI exists; set_parent only for embedded, set_transient and suggest_title only for
    // floating windows. Pointer arguments are never null.
    virtual bool guiIsApiSupported (const char* /*api*/, bool /*isFloating*/) noexcept { return false; }
    virtual bool guiGetPreferredApi (const char** /*api*/, bool* /*isFloating*/) noexcept { return false; }
    /** api may be null for a floating window. */
    virtual bool guiCreate (const char* /*api*/, bool /*isFloating*/) noexcept { return false; }
    virtual void guiDestroy() noexcept {}
    virtual bool guiSetScale (double /*scale*/) noexcept { return false; }
    virtual bool guiGetSize (uint32_t* /*width*/, uint32_t* /*height*/) noexcept { return false; }
    /** Also asked by set_size before it resizes. */
    virtual bool guiCanResize() noexcept { return false; }
    virtual bool guiGetResizeHints (clap_gui_resize_hints_t* /*hints*/) noexcept { return false; }
    /** Also asked by set_size, on a copy, to spot sizes the host did not adjust first. */
    virtual bool guiAdjustSize (uint32_t* /*width*/, uint32_t* /*height*/) noexcept { return false; }
    virtual bool guiSetSize (uint32_t /*width*/, uint32_t /*height*/) noexcept { return false; }
    virtual bool guiSetParent (const clap_window_t* /*window*/) noexcept { return false; }
    virtual bool guiSetTransient (const clap_window_t* /*window*/) noexcept { return false; }
    virtual void guiSuggestTitle (const char* /*title*/) noexcept {}
    virtual bool guiShow() noexcept { return false; }
    virtual bool guiHide() noexcept { return false; }

private:
    struct Routes;
    friend struct Routes;

    // Shared pieces of the checked calls.
    bool checkInitRequired() const noexcept;
    void checkBeforeInit (const char* method) const noexcept;
    void checkMainThread (const char* name) const noexcept;
    void checkAudioThread (const char* name) const noexcept;
    void checkedDeactivate() noexcept;
    void destroyGuiNow() noexcept;
    void deactivateNow() noexcept;
    const void* extensionFor (const char* id) const noexcept;

    HostInterfaces hostInterfaces;
    clap_plugin_t plugin {};

    bool initialised = false;
    bool active = false;
    bool activating = false;
    bool processing = false;
    bool beingDestroyed = false;
    double sampleRate = 0.0;

    // Set by a latency change while active (possibly on the audio thread), taken by activate.
    std::atomic<bool> latencyReportPending { false };
    std::atomic<bool> restartRequested { false };

    std::string guiApi;
    bool guiCreated = false;
    bool guiFloating = false;
    bool guiParented = false;

    std::mutex taskMutex;
    std::deque<std::function<void()>> tasks;
};

} // namespace clapcheck
