// The editor's first opening as a host sees it, in a fresh process: the module
// loaded with dlopen and reached through clap_entry, an instance created, its
// editor created, parented to an X11 window and shown. Prints the time each
// step takes, how long after show() the first painted frame reaches the
// window, and the resident memory the editor adds.
//
// Run under a display, once per figure (every run is a first opening):
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/editor_open_bench [module.clap]

#include "TestHost.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

/** Resident set size in megabytes, from /proc/self/statm. */
double residentMegabytes()
{
    std::ifstream statm ("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return (double) resident * (double) sysconf (_SC_PAGESIZE) / (1024.0 * 1024.0);
}

/** True once most of the editor's area shows something other than the black
    parent window: the editor paints its opaque panel over all of it. */
bool editorIsPainted (const ParentWindow& parent, int width, int height)
{
    const auto pixels = parent.capture (width, height);

    if (pixels.empty())
        return false;

    size_t painted = 0;

    for (auto pixel : pixels)
        painted += pixel != 0 ? 1 : 0;

    return painted * 10 >= pixels.size() * 9;
}
} // namespace

int main (int argc, char** argv)
{
    const char* modulePath = argc > 1 ? argv[1] : WRENDLE_MODULE_PATH;

    if (! displayIsAvailable())
    {
        std::fprintf (stderr, "No display: run under xvfb-run.\n");
        return 1;
    }

    ParentWindow parent;
    const auto rssAtStart = residentMegabytes();

    // The module stays loaded until the process ends, as hosts keep theirs.
    auto start = Clock::now();
    const auto* module = new LoadedModule (modulePath);

    if (module->entry() == nullptr)
    {
        std::fprintf (stderr, "Cannot load %s: %s\n", modulePath, module->error().c_str());
        return 1;
    }

    const auto loadMs = millisecondsSince (start);

    TestHost host;
    start = Clock::now();
    const auto* factory = module->factory();
    const auto* plugin = factory->create_plugin (factory, host.clapHost(), "com.Kestrivane.WrendleFold");

    if (plugin == nullptr || ! plugin->init (plugin))
    {
        std::fprintf (stderr, "The plug-in did not initialise.\n");
        return 1;
    }

    const auto instanceMs = millisecondsSince (start);
    const auto rssBeforeEditor = residentMegabytes();

    const auto* gui = static_cast<const clap_plugin_gui*> (plugin->get_extension (plugin, CLAP_EXT_GUI));
    const auto window = parent.clapWindow();

    start = Clock::now();
    const bool opened = gui != nullptr && gui->create (plugin, CLAP_WINDOW_API_X11, false);
    const auto createMs = millisecondsSince (start);
    const bool parented = opened && gui->set_parent (plugin, &window);
    const auto setParentMs = millisecondsSince (start);
    const bool shown = parented && gui->show (plugin);
    const auto openMs = millisecondsSince (start);

    if (! shown)
    {
        std::fprintf (stderr, "The editor did not open.\n");
        return 1;
    }

    uint32_t width = 0, height = 0;
    gui->get_size (plugin, &width, &height);

    // The host's loop drives the editor's message thread through the timers it registered.
    const auto shownAt = Clock::now();
    double firstFrameMs = -1.0;

    while (millisecondsSince (shownAt) < 5000.0)
    {
        host.runMainLoop (plugin, 5);

        if (editorIsPainted (parent, (int) width, (int) height))
        {
            firstFrameMs = millisecondsSince (shownAt);
            break;
        }
    }

    const auto rssAtFirstFrame = residentMegabytes();
    host.runMainLoop (plugin, 1000);
    const auto rssSettled = residentMegabytes();

    std::printf ("module load (dlopen + clap_entry init)    %8.1f ms\n", loadMs);
    std::printf ("instance create + init                    %8.1f ms\n", instanceMs);
    std::printf ("gui.create                                %8.1f ms\n", createMs);
    std::printf ("gui.create + set_parent                   %8.1f ms\n", setParentMs);
    std::printf ("gui.create + set_parent + show            %8.1f ms\n", openMs);
    if (firstFrameMs >= 0.0)
        std::printf ("first painted frame after show            %8.1f ms\n", firstFrameMs);
    else
        std::printf ("first painted frame after show            not within 5 s\n");
    std::printf ("editor size                               %4u x %u px\n", width, height);
    std::printf ("RSS at start / with instance              %8.1f / %.1f MB\n", rssAtStart, rssBeforeEditor);
    std::printf ("RSS added by the editor at first frame    %+8.1f MB\n", rssAtFirstFrame - rssBeforeEditor);
    std::printf ("RSS added by the editor after 1 s         %+8.1f MB\n", rssSettled - rssBeforeEditor);

    gui->hide (plugin);
    gui->destroy (plugin);
    plugin->destroy (plugin);
    return firstFrameMs >= 0.0 ? 0 : 1;
}
