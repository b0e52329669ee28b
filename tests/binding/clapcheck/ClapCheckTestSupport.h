#pragma once

#include "binding/clapcheck/CheckedPlugin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace clapcheck::test
{

//==============================================================================
/** A host that records what the plug-in tells it and answers thread checks from two flags. */
class FakeHost
{
public:
    struct LogLine
    {
        clap_log_severity severity;
        std::string text;
    };

    FakeHost()
    {
        host.clap_version = CLAP_VERSION;
        host.host_data = this;
        host.name = "fake host";
        host.vendor = "tests";
        host.url = "";
        host.version = "1";
        host.get_extension = [] (const clap_host_t* h, const char* id) -> const void*
        {
            auto& self = of (h);
            self.askedIds.emplace_back (id);
            const auto found = self.tables.find (id);
            return found != self.tables.end() ? found->second : nullptr;
        };
        host.request_restart = [] (const clap_host_t*) {};
        host.request_process = [] (const clap_host_t*) {};
        host.request_callback = [] (const clap_host_t* h)
        {
            auto& self = of (h);
            ++self.callbackRequests;

            if (self.onCallbackRequest)
                self.onCallbackRequest();
        };

        logTable.log = [] (const clap_host_t* h, clap_log_severity severity, const char* text)
        { of (h).lines.push_back ({ severity, text }); };

        threadCheckTable.is_main_thread = [] (const clap_host_t* h)
        { return of (h).mainThread; };
        threadCheckTable.is_audio_thread = [] (const clap_host_t* h)
        { return of (h).audioThread; };

        latencyTable.changed = [] (const clap_host_t* h)
        { of (h).hostCalls.emplace_back ("latency.changed"); };

        paramsTable.rescan = [] (const clap_host_t* h, clap_param_rescan_flags flags)
        { of (h).hostCalls.push_back ("params.rescan " + std::to_string (flags)); };
        paramsTable.clear = [] (const clap_host_t* h, clap_id, clap_param_clear_flags)
        { of (h).hostCalls.emplace_back ("params.clear"); };
        paramsTable.request_flush = [] (const clap_host_t* h)
        { of (h).hostCalls.emplace_back ("params.request_flush"); };

        stateTable.mark_dirty = [] (const clap_host_t* h)
        { of (h).hostCalls.emplace_back ("state.mark_dirty"); };

        trackInfoTable.get = [] (const clap_host_t* h, clap_track_info_t*)
        {
            of (h).hostCalls.emplace_back ("track_info.get");
            return true;
        };

        guiTable.request_resize = [] (const clap_host_t* h, uint32_t w, uint32_t hgt)
        {
            of (h).hostCalls.push_back ("gui.request_resize " + std::to_string (w) + "x" + std::to_string (hgt));
            return true;
        };

        offer (CLAP_EXT_LOG, &logTable);
        offer (CLAP_EXT_THREAD_CHECK, &threadCheckTable);
    }

    FakeHost (const FakeHost&) = delete;
    FakeHost& operator= (const FakeHost&) = delete;

    const clap_host_t* clapHost() const noexcept { return &host; }

    void offer (const std::string& id, const void* table) { tables[id] = table; }
    void withdraw (const std::string& id) { tables.erase (id); }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;

        for (const auto& line : lines)
            result.push_back (line.text);

        return result;
    }

    bool mainThread = true;
    bool audioThread = true;
    std::atomic<int> callbackRequests { 0 }; // request_callback may come from any thread
    std::function<void()> onCallbackRequest;

    std::vector<std::string> askedIds;
    std::vector<LogLine> lines;
    std::vector<std::string> hostCalls;

    clap_host_log_t logTable {};
    clap_host_thread_check_t threadCheckTable {};
    clap_host_latency_t latencyTable {};
    clap_host_params_t paramsTable {};
    clap_host_state_t stateTable {};
    clap_host_track_info_t trackInfoTable {};
    clap_host_gui_t guiTable {};

private:
    static FakeHost& of (const clap_host_t* h) { return *static_cast<FakeHost*> (h->host_data); }

    clap_host_t host {};
    std::map<std::string, const void*> tables;
};

//==============================================================================
/** Outlives the probe plug-in, which the host's destroy() deletes. */
struct Journal
{
    std::vector<std::string> calls;
    bool deleted = false;

    int count (const std::string& name) const
    {
        return static_cast<int> (std::count (calls.begin(), calls.end(), name));
    }
};

inline const clap_plugin_descriptor_t* probeDescriptor()
{
    static const char* features[] = { "audio-effect", nullptr };
    static const clap_plugin_descriptor_t descriptor { CLAP_VERSION, "test.probe", "Probe", "", "", "", "", "1.0", "",
                                                       features };
    return &descriptor;
}

/** A plug-in that offers every extension the checking layer knows and writes each routed call
    into the journal, so tests can see whether a check let a call through. */
class ProbePlugin : public CheckedPlugin
{
public:
    ProbePlugin (const clap_host_t* host, Journal& journalToUse)
        : CheckedPlugin (probeDescriptor(), host), journal (journalToUse)
    {
    }

    ~ProbePlugin() override { journal.deleted = true; }

    bool activateResult = true;
    bool hardRealtime = false;
    bool resizable = true;
    bool allowActivationWhileProcessing = false;
    uint32_t adjustedWidth = 0; // 0 leaves adjust_size's width alone
    uint32_t adjustedHeight = 0;
    uint32_t parameterCount = 3; // ids 1 ... parameterCount are valid
    uint32_t audioPortCount = 1;
    uint32_t notePortCount = 0;
    uint32_t latencySamples = 64;
    uint32_t tailSamples = 7;
    std::vector<std::string> setSizes;

protected:
    bool init() noexcept override { return note ("init", true); }
    bool activate (double rate, uint32_t, uint32_t) noexcept override
    {
        std::ostringstream text;
        text << "activate " << rate;
        return note (text.str(), activateResult);
    }
    void deactivate() noexcept override { note ("deactivate"); }
    bool startProcessing() noexcept override { return note ("startProcessing", true); }
    void stopProcessing() noexcept override { note ("stopProcessing"); }
    void reset() noexcept override { note ("reset"); }
    clap_process_status process (const clap_process_t*) noexcept override
    {
        return note ("process", CLAP_PROCESS_CONTINUE);
    }
    void onMainThread() noexcept override { note ("onMainThread"); }

    bool implementsState() const noexcept override { return true; }
    bool implementsRender() const noexcept override { return true; }
    bool implementsTrackInfo() const noexcept override { return true; }
    bool implementsLatency() const noexcept override { return true; }
    bool implementsAudioPorts() const noexcept override { return true; }
    bool implementsAudioPortsActivation() const noexcept override { return true; }
    bool implementsParams() const noexcept override { return true; }
    bool implementsNotePorts() const noexcept override { return true; }
    bool implementsTimerSupport() const noexcept override { return true; }
    bool implementsGui() const noexcept override { return true; }
    bool implementsTail() const noexcept override { return true; }

    bool stateSave (const clap_ostream_t*) noexcept override { return note ("stateSave", true); }
    bool stateLoad (const clap_istream_t*) noexcept override { return note ("stateLoad", true); }
    bool renderHasHardRealtimeRequirement() const noexcept override { return hardRealtime; }
    bool renderSetMode (clap_plugin_render_mode) noexcept override { return note ("renderSetMode", true); }
    void trackInfoChanged() noexcept override { note ("trackInfoChanged"); }
    uint32_t latencyGet() const noexcept override { return note ("latencyGet", latencySamples); }
    uint32_t tailGet() const noexcept override { return note ("tailGet", tailSamples); }
    uint32_t audioPortsCount (bool) const noexcept override { return note ("audioPortsCount", audioPortCount); }
    bool audioPortsGet (uint32_t, bool, clap_audio_port_info_t*) const noexcept override
    {
        return note ("audioPortsGet", true);
    }
    bool audioPortsActivationCanActivateWhileProcessing() const noexcept override
    {
        return allowActivationWhileProcessing;
    }
    bool audioPortsActivationSetActive (bool, uint32_t, bool, uint32_t) noexcept override
    {
        return note ("audioPortsActivationSetActive", false);
    }
    uint32_t paramsCount() const noexcept override { return note ("paramsCount", parameterCount); }
    bool isValidParameterId (clap_id id) const noexcept override { return id >= 1 && id <= parameterCount; }
    bool paramsGetInfo (uint32_t, clap_param_info_t*) const noexcept override { return note ("paramsGetInfo", true); }
    bool paramsGetValue (clap_id, double* value) const noexcept override
    {
        *value = 0.5;
        return note ("paramsGetValue", true);
    }
    bool paramsValueToText (clap_id, double, char* display, uint32_t) const noexcept override
    {
        display[0] = '\0';
        return note ("paramsValueToText", true);
    }
    bool paramsTextToValue (clap_id, const char*, double* value) const noexcept override
    {
        *value = 0.25;
        return note ("paramsTextToValue", true);
    }
    void paramsFlush (const clap_input_events_t*, const clap_output_events_t*) noexcept override { note ("paramsFlush"); }
    uint32_t notePortsCount (bool) const noexcept override { return note ("notePortsCount", notePortCount); }
    bool notePortsGet (uint32_t, bool, clap_note_port_info_t*) const noexcept override
    {
        return note ("notePortsGet", true);
    }
    void onTimer (clap_id) noexcept override { note ("onTimer"); }

    bool guiIsApiSupported (const char*, bool) noexcept override { return note ("guiIsApiSupported", true); }
    bool guiGetPreferredApi (const char**, bool*) noexcept override { return note ("guiGetPreferredApi", false); }
    bool guiCreate (const char*, bool) noexcept override { return note ("guiCreate", true); }
    void guiDestroy() noexcept override { note ("guiDestroy"); }
    bool guiSetScale (double) noexcept override { return note ("guiSetScale", true); }
    bool guiGetSize (uint32_t* w, uint32_t* h) noexcept override
    {
        *w = 480;
        *h = 460;
        return note ("guiGetSize", true);
    }
    bool guiCanResize() noexcept override { return note ("guiCanResize", resizable); }
    bool guiGetResizeHints (clap_gui_resize_hints_t*) noexcept override { return note ("guiGetResizeHints", false); }
    bool guiAdjustSize (uint32_t* w, uint32_t* h) noexcept override
    {
        if (adjustedWidth != 0)
            *w = adjustedWidth;

        if (adjustedHeight != 0)
            *h = adjustedHeight;

        return note ("guiAdjustSize", true);
    }
    bool guiSetSize (uint32_t w, uint32_t h) noexcept override
    {
        setSizes.push_back (std::to_string (w) + "x" + std::to_string (h));
        return note ("guiSetSize", true);
    }
    bool guiSetParent (const clap_window_t*) noexcept override { return note ("guiSetParent", true); }
    bool guiSetTransient (const clap_window_t*) noexcept override { return note ("guiSetTransient", true); }
    void guiSuggestTitle (const char*) noexcept override { note ("guiSuggestTitle"); }
    bool guiShow() noexcept override { return note ("guiShow", true); }
    bool guiHide() noexcept override { return note ("guiHide", true); }

private:
    template <typename Result>
    Result note (const std::string& name, Result result) const
    {
        journal.calls.push_back (name);
        return result;
    }

    void note (const std::string& name) const { journal.calls.push_back (name); }

    Journal& journal;
};

//==============================================================================
/** Redirects std::cerr and std::clog into strings for the lifetime of the object. */
class StandardStreamCapture
{
public:
    StandardStreamCapture()
        : previousError (std::cerr.rdbuf (error.rdbuf())), previousLog (std::clog.rdbuf (log.rdbuf()))
    {
    }

    ~StandardStreamCapture()
    {
        std::cerr.rdbuf (previousError);
        std::clog.rdbuf (previousLog);
    }

    std::string errorText() const { return error.str(); }
    std::string logText() const { return log.str(); }

private:
    std::ostringstream error, log;
    std::streambuf* previousError;
    std::streambuf* previousLog;
};

//==============================================================================
enum class Stage
{
    created,
    initialised,
    active,
    processing
};

enum class Gui
{
    none,
    embedded,
    floating
};

/** A probe plug-in on a fake host, destroyed through CLAP at the end of each test. */
class PluginFixture : public ::testing::Test
{
public:
    void SetUp() override
    {
        probe = new ProbePlugin (host.clapHost(), journal);
        plugin = probe->clapPlugin();
    }

    void TearDown() override { destroy(); }

    void destroy()
    {
        if (plugin != nullptr)
            plugin->destroy (plugin);

        plugin = nullptr;
        probe = nullptr;
    }

    /** Brings the instance to a stage along the regular path, then forgets what that logged. */
    void reach (Stage stage, Gui gui = Gui::none)
    {
        if (stage >= Stage::initialised)
        {
            ASSERT_TRUE (plugin->init (plugin));
        }

        if (stage >= Stage::active)
        {
            ASSERT_TRUE (plugin->activate (plugin, 48000.0, 1, 512));
        }

        if (stage >= Stage::processing)
        {
            ASSERT_TRUE (plugin->start_processing (plugin));
        }

        if (gui != Gui::none)
        {
            ASSERT_TRUE (guiTable()->create (plugin, gui == Gui::embedded ? "x11" : nullptr, gui == Gui::floating));
        }

        host.lines.clear();
        journal.calls.clear();
    }

    template <typename Table>
    const Table* extension (const char* id) const
    {
        return static_cast<const Table*> (plugin->get_extension (plugin, id));
    }

    const clap_plugin_gui_t* guiTable() const { return extension<clap_plugin_gui_t> (CLAP_EXT_GUI); }
    const clap_plugin_params_t* paramsTable() const { return extension<clap_plugin_params_t> (CLAP_EXT_PARAMS); }

    FakeHost host;
    Journal journal;
    ProbePlugin* probe = nullptr;
    const clap_plugin_t* plugin = nullptr;
};

} // namespace clapcheck::test
