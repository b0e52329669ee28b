#include "TestHost.h"

#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
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

TestHost::TestHost()
{
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "module-tests";
    host.vendor = "";
    host.url = "";
    host.version = "1";
    host.get_extension = [] (const clap_host*, const char*) -> const void* { return nullptr; };
    host.request_restart = [] (const clap_host*) {};
    host.request_process = [] (const clap_host*) {};
    host.request_callback = [] (const clap_host*) {};
}

InputEvents::InputEvents()
{
    list.ctx = this;
    list.size = [] (const clap_input_events* l) { return (uint32_t) static_cast<InputEvents*> (l->ctx)->values.size(); };
    list.get = [] (const clap_input_events* l, uint32_t i) -> const clap_event_header*
    {
        return &static_cast<InputEvents*> (l->ctx)->values[i].header;
    };
}

OutputEvents::OutputEvents()
{
    list.ctx = this;
    list.try_push = [] (const clap_output_events* l, const clap_event_header* e)
    {
        double value = 0.0;
        clap_id id = CLAP_INVALID_ID;
        if (e->type == CLAP_EVENT_PARAM_VALUE)
        {
            const auto* v = reinterpret_cast<const clap_event_param_value*> (e);
            id = v->param_id;
            value = v->value;
        }
        else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END)
        {
            id = reinterpret_cast<const clap_event_param_gesture*> (e)->param_id;
        }
        static_cast<OutputEvents*> (l->ctx)->events.push_back ({ e->type, id, value });
        return true;
    };
}

void processStereo (const clap_plugin* plugin, std::vector<float>& left, std::vector<float>& right,
                    const clap_input_events* in, const clap_output_events* out)
{
    float* channels[2] = { left.data(), right.data() };
    clap_audio_buffer input {};
    input.data32 = channels;
    input.channel_count = 2;
    clap_audio_buffer output = input; // in place

    static InputEvents noInput;
    static OutputEvents noOutput;

    clap_process process {};
    process.steady_time = -1;
    process.frames_count = (uint32_t) left.size();
    process.audio_inputs = &input;
    process.audio_outputs = &output;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = in != nullptr ? in : &noInput.list;
    process.out_events = out != nullptr ? out : &noOutput.list;
    plugin->process (plugin, &process);
}

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
