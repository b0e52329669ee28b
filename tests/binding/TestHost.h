#pragma once

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/params.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>

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

/** A minimal host: enough for a plug-in to be created, activated and run. */
struct TestHost
{
    TestHost();
    clap_host host {};
};

/** An input event list over a vector of param value events. */
struct InputEvents
{
    std::vector<clap_event_param_value> values;
    clap_input_events list {};
    InputEvents();
};

/** An output event list that records every event's type, id and value. */
struct OutputEvents
{
    struct Recorded
    {
        uint16_t type;
        clap_id id;
        double value;
    };
    std::vector<Recorded> events;
    clap_output_events list {};
    OutputEvents();
};

/** Runs one stereo block of the given frames through the plug-in. */
void processStereo (const clap_plugin* plugin, std::vector<float>& left, std::vector<float>& right,
                    const clap_input_events* in, const clap_output_events* out);

/** Everything the calls inside the function wrote to standard output. */
template <typename Fn>
std::string captureStdout (Fn&& fn);

std::string readCapturedStdout (void (*fn) (void*), void* context);

template <typename Fn>
std::string captureStdout (Fn&& fn)
{
    return readCapturedStdout ([] (void* c) { (*static_cast<Fn*> (c)) (); }, &fn);
}
