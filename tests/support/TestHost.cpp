#include "tests/support/TestHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

LoadedModule::LoadedModule (const char* path)
{
    handle = dlopen (path, RTLD_NOW | RTLD_LOCAL);

    if (handle == nullptr)
    {
        loadError = dlerror();
        return;
    }

    entryRecord = static_cast<const clap_plugin_entry*> (dlsym (handle, "clap_entry"));

    if (entryRecord != nullptr && ! entryRecord->init (path))
        entryRecord = nullptr;
}

LoadedModule::~LoadedModule()
{
    if (entryRecord != nullptr)
        entryRecord->deinit();

    if (handle != nullptr)
        dlclose (handle);
}

const clap_plugin_factory* LoadedModule::factory() const noexcept
{
    return static_cast<const clap_plugin_factory*> (entryRecord->get_factory (CLAP_PLUGIN_FACTORY_ID));
}

//==============================================================================
TestHost::TestHost()
{
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "binding-tests";
    host.vendor = "";
    host.url = "";
    host.version = "1";
    host.get_extension = [] (const clap_host* h, const char* id) -> const void*
    {
        const auto& offered = of (h).offered;
        const auto found = offered.find (id);
        return found != offered.end() ? found->second : nullptr;
    };
    host.request_restart = [] (const clap_host* h)
    { ++of (h).restartRequests; };
    host.request_process = [] (const clap_host* h)
    { ++of (h).processRequests; };
    host.request_callback = [] (const clap_host* h)
    { ++of (h).callbackRequests; };

    logTable.log = [] (const clap_host* h, clap_log_severity severity, const char* text)
    {
        auto& self = of (h);
        const std::lock_guard<std::mutex> lock (self.logMutex);
        self.lines.emplace_back (severity, text != nullptr ? text : "");
    };

    threadCheckTable.is_main_thread = [] (const clap_host* h)
    { return of (h).mainThread.load(); };
    threadCheckTable.is_audio_thread = [] (const clap_host* h)
    { return of (h).audioThread.load(); };

    paramsTable.rescan = [] (const clap_host* h, clap_param_rescan_flags flags)
    { of (h).rescans.push_back (flags); };
    paramsTable.clear = [] (const clap_host*, clap_id, clap_param_clear_flags) {};
    paramsTable.request_flush = [] (const clap_host* h)
    { ++of (h).flushRequests; };

    latencyTable.changed = [] (const clap_host* h)
    {
        auto& self = of (h);
        ++self.latencyChanges;

        if (self.onLatencyChanged)
            self.onLatencyChanged();
    };
    stateTable.mark_dirty = [] (const clap_host* h)
    { ++of (h).stateDirtyMarks; };

    guiTable.resize_hints_changed = [] (const clap_host*) {};
    guiTable.request_resize = [] (const clap_host* h, uint32_t w, uint32_t hgt)
    {
        of (h).resizeRequests.emplace_back (w, hgt);
        return true;
    };
    guiTable.request_show = [] (const clap_host*)
    { return false; };
    guiTable.request_hide = [] (const clap_host*)
    { return false; };
    guiTable.closed = [] (const clap_host*, bool) {};

    trackInfoTable.get = [] (const clap_host* h, clap_track_info_t* info)
    {
        auto& self = of (h);
        *info = self.trackInfo;
        return self.trackInfoAnswer;
    };

    contextMenuTable.populate = [] (const clap_host* h, const clap_context_menu_target_t* target,
                                    const clap_context_menu_builder_t* builder)
    {
        auto& self = of (h);
        self.populated.push_back (*target);

        if (self.populateMenu)
            self.populateMenu (builder);

        return true;
    };
    contextMenuTable.perform = [] (const clap_host* h, const clap_context_menu_target_t* target, clap_id action)
    {
        of (h).performed.emplace_back (*target, action);
        return true;
    };
    contextMenuTable.can_popup = [] (const clap_host* h)
    { return of (h).canPopup; };
    contextMenuTable.popup = [] (const clap_host* h, const clap_context_menu_target_t* target, int32_t, int32_t, int32_t)
    {
        of (h).popups.push_back (*target);
        return true;
    };

    offer (CLAP_EXT_LOG, &logTable);
    offer (CLAP_EXT_THREAD_CHECK, &threadCheckTable);
    offer (CLAP_EXT_PARAMS, &paramsTable);
    offer (CLAP_EXT_LATENCY, &latencyTable);
    offer (CLAP_EXT_STATE, &stateTable);
    offer (CLAP_EXT_GUI, &guiTable);
    offer (CLAP_EXT_TRACK_INFO, &trackInfoTable);
    offer (CLAP_EXT_CONTEXT_MENU, &contextMenuTable);

    timerTable.register_timer = [] (const clap_host* h, uint32_t periodMs, clap_id* id)
    {
        auto& self = of (h);
        *id = self.nextTimerId++;
        self.timers.push_back ({ *id, periodMs });
        return true;
    };
    timerTable.unregister_timer = [] (const clap_host* h, clap_id id)
    {
        auto& timers = of (h).timers;
        const auto before = timers.size();
        timers.erase (std::remove_if (timers.begin(), timers.end(), [id] (const Timer& t)
                                      { return t.id == id; }),
                      timers.end());
        return timers.size() != before;
    };
    offer (CLAP_EXT_TIMER_SUPPORT, &timerTable);
}

void TestHost::runMainLoop (const clap_plugin* plugin, int durationMs)
{
    const auto* timerExtension = static_cast<const clap_plugin_timer_support*> (
        plugin->get_extension (plugin, CLAP_EXT_TIMER_SUPPORT));

    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds (durationMs);
    std::map<clap_id, Clock::time_point> due;

    while (Clock::now() < end)
    {
        serviceCallbacks (plugin);

        // Copied: a timer callback may register or unregister timers.
        const auto current = timers;

        for (const auto& timer : current)
        {
            auto& next = due.try_emplace (timer.id, Clock::now()).first->second;

            if (Clock::now() >= next && timerExtension != nullptr)
            {
                timerExtension->on_timer (plugin, timer.id);
                next = Clock::now() + std::chrono::milliseconds (timer.periodMs);
            }
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }
}

std::vector<std::string> TestHost::logTexts() const
{
    const std::lock_guard<std::mutex> lock (logMutex);
    std::vector<std::string> texts;

    for (const auto& line : lines)
        texts.push_back (line.second);

    return texts;
}

std::vector<int> TestHost::logSeverities() const
{
    const std::lock_guard<std::mutex> lock (logMutex);
    std::vector<int> severities;

    for (const auto& line : lines)
        severities.push_back (line.first);

    return severities;
}

void TestHost::clearLog()
{
    const std::lock_guard<std::mutex> lock (logMutex);
    lines.clear();
}

bool TestHost::serviceCallbacks (const clap_plugin* plugin)
{
    if (callbackRequests.exchange (0) == 0)
        return false;

    plugin->on_main_thread (plugin);
    return true;
}

//==============================================================================
InputEvents::InputEvents()
{
    record.ctx = this;
    record.size = [] (const clap_input_events* l)
    { return (uint32_t) static_cast<const InputEvents*> (l->ctx)->storage.size(); };
    record.get = [] (const clap_input_events* l, uint32_t i) -> const clap_event_header*
    {
        const auto& storage = static_cast<const InputEvents*> (l->ctx)->storage;
        return i < storage.size() ? reinterpret_cast<const clap_event_header*> (storage[i]->data()) : nullptr;
    };
}

OutputEvents::OutputEvents()
{
    events.reserve (4096);
    record.ctx = this;
    record.try_push = [] (const clap_output_events* l, const clap_event_header* e)
    {
        Recorded recorded {};
        recorded.type = e->type;
        recorded.time = e->time;
        recorded.size = e->size;
        recorded.id = CLAP_INVALID_ID;

        if (e->type == CLAP_EVENT_PARAM_VALUE)
        {
            const auto* v = reinterpret_cast<const clap_event_param_value*> (e);
            recorded.id = v->param_id;
            recorded.value = v->value;
        }
        else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END)
        {
            recorded.id = reinterpret_cast<const clap_event_param_gesture*> (e)->param_id;
        }
        else if (e->type == CLAP_EVENT_MIDI)
        {
            std::memcpy (recorded.midi, reinterpret_cast<const clap_event_midi*> (e)->data, 3);
        }

        static_cast<OutputEvents*> (l->ctx)->events.push_back (recorded);
        return true;
    };
}

clap_event_param_value paramValueEvent (clap_id id, double value, uint32_t time, void* cookie)
{
    clap_event_param_value event {};
    event.header = { sizeof (clap_event_param_value), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0 };
    event.param_id = id;
    event.cookie = cookie;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    return event;
}

clap_event_note noteEvent (uint16_t type, int16_t key, double velocity, uint32_t time, int16_t channel)
{
    clap_event_note event {};
    event.header = { sizeof (clap_event_note), time, CLAP_CORE_EVENT_SPACE_ID, type, 0 };
    event.note_id = -1;
    event.port_index = 0;
    event.channel = channel;
    event.key = key;
    event.velocity = velocity;
    return event;
}

clap_event_midi midiEvent (uint8_t status, uint8_t data1, uint8_t data2, uint32_t time)
{
    clap_event_midi event {};
    event.header = { sizeof (clap_event_midi), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0 };
    event.port_index = 0;
    event.data[0] = status;
    event.data[1] = data1;
    event.data[2] = data2;
    return event;
}

//==============================================================================
StereoBlock::StereoBlock (uint32_t frames, bool inPlaceToUse)
    : inLeft (frames), inRight (frames), outLeft (frames), outRight (frames), inPlace (inPlaceToUse)
{
    inputs[0] = inLeft.data();
    inputs[1] = inRight.data();
    outputs[0] = inPlace ? inLeft.data() : outLeft.data();
    outputs[1] = inPlace ? inRight.data() : outRight.data();

    inputBuffer.data32 = inputs;
    inputBuffer.channel_count = 2;
    outputBuffer.data32 = outputs;
    outputBuffer.channel_count = 2;

    process.steady_time = -1;
    process.frames_count = frames;
    process.audio_inputs = &inputBuffer;
    process.audio_outputs = &outputBuffer;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
}

void StereoBlock::fillInput()
{
    for (size_t i = 0; i < inLeft.size(); ++i)
    {
        inLeft[i] = 0.001f * (float) (i + 1);
        inRight[i] = -inLeft[i];
    }

    std::fill (outLeft.begin(), outLeft.end(), 9.0f);
    std::fill (outRight.begin(), outRight.end(), 9.0f);
}

clap_process_status StereoBlock::run (const clap_plugin* plugin,
                                      const clap_input_events* in,
                                      const clap_output_events* out,
                                      const clap_event_transport* transport)
{
    process.in_events = in != nullptr ? in : noEvents.list();
    process.out_events = out != nullptr ? out : ignoredOutput.list();
    process.transport = transport;
    ignoredOutput.events.clear();
    return plugin->process (plugin, &process);
}

//==============================================================================
MemoryOutStream::MemoryOutStream()
{
    record.ctx = this;
    record.write = [] (const clap_ostream* s, const void* data, uint64_t size) -> int64_t
    {
        auto& self = *static_cast<MemoryOutStream*> (s->ctx);
        ++self.writeCalls;

        if (self.failAfterBytes >= 0 && (int64_t) self.bytes.size() >= self.failAfterBytes)
            return -1;

        if (self.zeroWritesBeforeProgress != 0)
        {
            if (self.zeroWritesBeforeProgress > 0)
                --self.zeroWritesBeforeProgress;

            return 0;
        }

        auto take = (int64_t) size;

        if (self.maxBytesPerWrite >= 0)
            take = std::min (take, self.maxBytesPerWrite);

        const auto* bytes = static_cast<const uint8_t*> (data);
        self.bytes.insert (self.bytes.end(), bytes, bytes + take);
        return take;
    };
}

MemoryInStream::MemoryInStream (std::vector<uint8_t> data)
    : bytes (std::move (data))
{
    record.ctx = this;
    record.read = [] (const clap_istream* s, void* buffer, uint64_t size) -> int64_t
    {
        auto& self = *static_cast<MemoryInStream*> (s->ctx);
        const auto left = (int64_t) (self.bytes.size() - self.position);

        if (left == 0)
            return self.failAtEnd ? -1 : 0;

        auto take = std::min ((int64_t) size, left);

        if (self.maxBytesPerRead >= 0)
            take = std::min (take, self.maxBytesPerRead);

        std::memcpy (buffer, self.bytes.data() + self.position, (size_t) take);
        self.position += (size_t) take;
        return take;
    };
}

//==============================================================================
namespace
{
/** JUCE leaves X error handling to the host when it runs inside one, and Xlib's default
    handler ends the process. Like real hosts, this one logs nothing and carries on: the
    errors seen here (a window manager's atoms missing on a bare virtual display) are
    harmless. */
int tolerateXError (Display*, XErrorEvent*)
{
    return 0;
}
/** A virtual display that many test processes share may refuse a connection for a
    moment while it is busy; one refusal must not make a whole test executable think
    there is no display. */
Display* openDisplayPatiently()
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        if (auto* display = XOpenDisplay (nullptr))
            return display;

        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }

    return nullptr;
}
} // namespace

bool displayIsAvailable()
{
    // Asked once: the answer does not change while the tests run.
    static const bool available = []
    {
        XSetErrorHandler (tolerateXError);
        const char* name = std::getenv ("DISPLAY");

        if (name == nullptr || *name == '\0')
            return false;

        auto* display = openDisplayPatiently();

        if (display == nullptr)
            return false;

        XCloseDisplay (display);
        return true;
    }();

    return available;
}

ParentWindow::ParentWindow()
{
    if (! displayIsAvailable())
        return;

    auto* x = openDisplayPatiently();

    if (x == nullptr)
        return;

    display = x;
    const auto screen = DefaultScreen (x);
    window = XCreateSimpleWindow (x, RootWindow (x, screen), 0, 0, 1000, 960, 0, BlackPixel (x, screen), BlackPixel (x, screen));
    XMapWindow (x, window);
    XSync (x, False);
}

ParentWindow::~ParentWindow()
{
    if (display == nullptr)
        return;

    auto* x = static_cast<Display*> (display);

    if (window != 0)
        XDestroyWindow (x, window);

    XCloseDisplay (x);
}

clap_window_t ParentWindow::clapWindow() const noexcept
{
    clap_window_t result {};
    result.api = CLAP_WINDOW_API_X11;
    result.x11 = window;
    return result;
}

int ParentWindow::childCount() const
{
    if (display == nullptr)
        return 0;

    auto* x = static_cast<Display*> (display);
    XSync (x, False);
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (x, window, &root, &parent, &children, &count) == 0)
        return 0;

    if (children != nullptr)
        XFree (children);

    return (int) count;
}

std::vector<uint32_t> ParentWindow::capture (int width, int height) const
{
    std::vector<uint32_t> pixels;

    if (display == nullptr)
        return pixels;

    auto* x = static_cast<Display*> (display);
    XSync (x, False);
    auto* image = XGetImage (x, window, 0, 0, (unsigned int) width, (unsigned int) height, AllPlanes, ZPixmap);

    if (image == nullptr)
        return pixels;

    pixels.reserve ((size_t) (width * height));

    for (int y = 0; y < height; ++y)
        for (int col = 0; col < width; ++col)
            pixels.push_back ((uint32_t) XGetPixel (image, col, y) & 0xffffffu);

    XDestroyImage (image);
    return pixels;
}

//==============================================================================
std::string readCapturedStdout (void (*fn) (void*), void* context)
{
    std::fflush (stdout);
    char path[] = "/tmp/wrendle-stdout-XXXXXX";
    const int fd = mkstemp (path);
    const int saved = dup (STDOUT_FILENO);
    dup2 (fd, STDOUT_FILENO);

    fn (context);

    std::fflush (stdout);
    dup2 (saved, STDOUT_FILENO);
    close (saved);
    close (fd);

    std::ifstream file (path);
    std::stringstream text;
    text << file.rdbuf();
    unlink (path);
    return text.str();
}
