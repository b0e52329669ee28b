#pragma once

// A small CLAP host for the binding's tests: it loads modules, offers the host tables the binding
// uses (each one can be withdrawn or made incomplete), records what the plug-in tells it and
// feeds it events, audio, streams and windows.

#include "binding/clapcheck/ClapExtensions.h"

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>
#include <clap/stream.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/** The loaded plug-in module, closed again at the end of the scope. */
class LoadedModule
{
public:
    explicit LoadedModule (const char* path);
    ~LoadedModule();

    const clap_plugin_entry* entry() const noexcept { return entryRecord; }
    const clap_plugin_factory* factory() const noexcept;
    std::string error() const { return loadError; }

private:
    void* handle = nullptr;
    const clap_plugin_entry* entryRecord = nullptr;
    std::string loadError;
};

//==============================================================================
/**
    The host record and its tables. Every table is offered from the start; withdraw() takes one
    away and the tables are public, so a test can null one function to make a table incomplete.
    Change the offer before the plug-in's init, which is when the plug-in asks.

    Thread checks answer from `mainThread` and `audioThread`. Calls that can come from any thread
    (log, request_callback, request_flush) are safe to receive from several threads.
*/
class TestHost
{
public:
    TestHost();

    TestHost (const TestHost&) = delete;
    TestHost& operator= (const TestHost&) = delete;

    const clap_host* clapHost() const noexcept { return &host; }

    void withdraw (const std::string& extensionId) { offered.erase (extensionId); }
    void offer (const std::string& extensionId, const void* table) { offered[extensionId] = table; }

    /** Log lines received, in order. */
    std::vector<std::string> logTexts() const;
    std::vector<int> logSeverities() const;
    void clearLog();

    /** Calls the plug-in's on_main_thread when it has asked for a callback; returns whether it did. */
    bool serviceCallbacks (const clap_plugin* plugin);

    /** Runs the host's main loop for a while: fires the plug-in's registered timers at their
        periods and services its callback requests, as a host's event loop would. */
    void runMainLoop (const clap_plugin* plugin, int durationMs);

    struct Timer
    {
        clap_id id;
        uint32_t periodMs;
    };

    /** The timers the plug-in has registered and not unregistered. */
    std::vector<Timer> timers;

    std::atomic<bool> mainThread { true };
    std::atomic<bool> audioThread { false };

    /** Tests run on one thread and take the roles in turn: the thread checks then answer
        as the host's audio thread, or as its main thread again. */
    void actAsAudioThread() noexcept
    {
        mainThread = false;
        audioThread = true;
    }
    void actAsMainThread() noexcept
    {
        audioThread = false;
        mainThread = true;
    }

    std::atomic<int> callbackRequests { 0 };
    std::atomic<int> flushRequests { 0 };
    std::atomic<int> latencyChanges { 0 };
    std::atomic<int> restartRequests { 0 };
    std::atomic<int> processRequests { 0 };
    /** Called inside latency.changed(), after it is counted (main thread). */
    std::function<void()> onLatencyChanged;
    std::atomic<int> stateDirtyMarks { 0 };
    std::vector<uint32_t> rescans;
    std::vector<std::pair<uint32_t, uint32_t>> resizeRequests;

    // Track info the host reports
    bool trackInfoAnswer = true;
    clap_track_info_t trackInfo {};

    // Context menus: what populate() adds, and what the plug-in asked for
    std::function<void (const clap_context_menu_builder_t*)> populateMenu;
    std::vector<std::pair<clap_context_menu_target_t, clap_id>> performed;
    std::vector<clap_context_menu_target_t> popups;
    std::vector<clap_context_menu_target_t> populated;
    bool canPopup = true;

    clap_host_log_t logTable {};
    clap_host_thread_check_t threadCheckTable {};
    clap_host_params_t paramsTable {};
    clap_host_latency_t latencyTable {};
    clap_host_state_t stateTable {};
    clap_host_gui_t guiTable {};
    clap_host_track_info_t trackInfoTable {};
    clap_host_context_menu_t contextMenuTable {};
    clap_host_timer_support_t timerTable {};

private:
    static TestHost& of (const clap_host* h) { return *static_cast<TestHost*> (h->host_data); }

    clap_host host {};
    std::map<std::string, const void*> offered;

    mutable std::mutex logMutex;
    std::vector<std::pair<int, std::string>> lines;
    clap_id nextTimerId = 100;
};

//==============================================================================
/** An input event list holding copies of events of any kind, in the order added. */
class InputEvents
{
public:
    InputEvents();
    InputEvents (const InputEvents&) = delete;
    InputEvents& operator= (const InputEvents&) = delete;

    template <typename Event>
    void add (const Event& event)
    {
        auto copy = std::make_unique<std::vector<std::uint64_t>> ((sizeof (Event) + 7) / 8);
        std::memcpy (copy->data(), &event, sizeof (Event));
        storage.push_back (std::move (copy));
    }

    void clear() { storage.clear(); }

    const clap_input_events* list() const noexcept { return &record; }

private:
    std::vector<std::unique_ptr<std::vector<std::uint64_t>>> storage;
    clap_input_events record {};
};

/** An output event list that keeps what the plug-in pushes. */
class OutputEvents
{
public:
    struct Recorded
    {
        uint16_t type;
        uint32_t time;
        uint32_t size;
        clap_id id;      // parameter events only
        double value;    // parameter values only
        uint8_t midi[3]; // MIDI events only
    };

    OutputEvents();
    OutputEvents (const OutputEvents&) = delete;
    OutputEvents& operator= (const OutputEvents&) = delete;

    const clap_output_events* list() const noexcept { return &record; }

    /** Pre-sized so pushes made while allocations are counted do not allocate. */
    std::vector<Recorded> events;

private:
    clap_output_events record {};
};

clap_event_param_value paramValueEvent (clap_id id, double value, uint32_t time = 0, void* cookie = nullptr);
clap_event_note noteEvent (uint16_t type, int16_t key, double velocity, uint32_t time, int16_t channel = 0);
clap_event_midi midiEvent (uint8_t status, uint8_t data1, uint8_t data2, uint32_t time);

//==============================================================================
/**
    Stereo audio for one process call. In place, input and output share one pair of channels;
    otherwise each has its own.
*/
class StereoBlock
{
public:
    StereoBlock (uint32_t frames, bool inPlace);

    std::vector<float> inLeft, inRight, outLeft, outRight;

    /** Fills the input with a ramp (left) and its negation (right), the outputs with a marker. */
    void fillInput();

    clap_process_status run (const clap_plugin* plugin,
                             const clap_input_events* in = nullptr,
                             const clap_output_events* out = nullptr,
                             const clap_event_transport* transport = nullptr);

    const float* outputChannel (int channel) const
    {
        return inPlace ? (channel == 0 ? inLeft.data() : inRight.data()) : (channel == 0 ? outLeft.data() : outRight.data());
    }

    clap_process process {};

private:
    bool inPlace;
    float* inputs[2] {};
    float* outputs[2] {};
    clap_audio_buffer inputBuffer {}, outputBuffer {};
    InputEvents noEvents;
    OutputEvents ignoredOutput;
};

//==============================================================================
/** A host output stream into memory. */
class MemoryOutStream
{
public:
    MemoryOutStream();

    std::vector<uint8_t> bytes;
    int64_t maxBytesPerWrite = -1;    ///< -1: take everything offered
    int zeroWritesBeforeProgress = 0; ///< answer 0 this many times first (-1: always)
    int64_t failAfterBytes = -1;      ///< answer -1 once this many bytes are in
    int writeCalls = 0;

    const clap_ostream* stream() const noexcept { return &record; }

private:
    clap_ostream record {};
};

/** A host input stream from memory. */
class MemoryInStream
{
public:
    explicit MemoryInStream (std::vector<uint8_t> data);

    std::vector<uint8_t> bytes;
    size_t position = 0;
    int64_t maxBytesPerRead = -1;
    bool failAtEnd = false; ///< answer -1 instead of 0 at the end

    const clap_istream* stream() const noexcept { return &record; }

private:
    clap_istream record {};
};

//==============================================================================
/** A plain X11 window to parent plug-in GUIs, or none when no display can be opened. */
class ParentWindow
{
public:
    ParentWindow();
    ~ParentWindow();

    bool isAvailable() const noexcept { return window != 0; }
    clap_window_t clapWindow() const noexcept;
    /** The children the server knows under the window. */
    int childCount() const;

    /** What the window shows now, children included, as 0xRRGGBB pixels row by row. */
    std::vector<uint32_t> capture (int width, int height) const;

private:
    void* display = nullptr;
    unsigned long window = 0;
};

/** Whether windows can be shown at all (a display is reachable). */
bool displayIsAvailable();

//==============================================================================
/** Everything the calls inside the function wrote to standard output. */
std::string readCapturedStdout (void (*fn) (void*), void* context);

template <typename Fn>
std::string captureStdout (Fn&& fn)
{
    return readCapturedStdout ([] (void* c)
                               { (*static_cast<Fn*> (c))(); },
                               &fn);
}

template <typename Table>
const Table* extensionOf (const clap_plugin* plugin, const char* id)
{
    return static_cast<const Table*> (plugin->get_extension (plugin, id));
}
