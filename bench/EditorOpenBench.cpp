// The editor's first opening as a host sees it, in a fresh process: the module
// loaded with dlopen and reached through clap_entry, an instance created, its
// editor created, parented to an X11 window and shown. Prints the time each
// step takes, how long after show() the first painted frame reaches the
// window, and the resident memory the editor adds.
//
// Run under a display, once per figure (every run is a first opening):
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/editor_open_bench [module.clap]

#include "tests/support/TestHost.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

/** CPU time this thread has used, in milliseconds: on a busy machine it
    tells the work apart from the waiting. */
double cpuMilliseconds (clockid_t clock)
{
    timespec now {};
    clock_gettime (clock, &now);
    return (double) now.tv_sec * 1000.0 + (double) now.tv_nsec / 1.0e6;
}

double threadCpuMilliseconds()
{
    return cpuMilliseconds (CLOCK_THREAD_CPUTIME_ID);
}
double processCpuMilliseconds()
{
    return cpuMilliseconds (CLOCK_PROCESS_CPUTIME_ID);
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

/** True once the window shows the skin: hundreds of colours, where the
    stand-ins shown while it loads have a few dozen. */
bool editorShowsItsSkin (const ParentWindow& parent, int width, int height)
{
    const auto pixels = parent.capture (width, height);
    std::set<uint32_t> colours (pixels.begin(), pixels.end());
    return colours.size() > 500;
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

    // A virtual display that has only just started may refuse the first connections.
    auto parentWindow = std::make_unique<ParentWindow>();

    for (int attempt = 0; attempt < 50 && ! parentWindow->isAvailable(); ++attempt)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
        parentWindow = std::make_unique<ParentWindow>();
    }

    const auto& parent = *parentWindow;

    if (! parent.isAvailable())
    {
        std::fprintf (stderr, "No parent window could be made on the display.\n");
        return 1;
    }

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
    const auto cpuAtCreate = threadCpuMilliseconds();
    const bool opened = gui != nullptr && gui->create (plugin, CLAP_WINDOW_API_X11, false);
    const auto createMs = millisecondsSince (start);
    const bool parented = opened && gui->set_parent (plugin, &window);
    const auto setParentMs = millisecondsSince (start);
    const bool shown = parented && gui->show (plugin);
    const auto openMs = millisecondsSince (start);
    const auto openCpuMs = threadCpuMilliseconds() - cpuAtCreate;

    if (! shown)
    {
        std::fprintf (stderr, "The editor did not open (create %d, set_parent %d, show %d).\n", (int) opened, (int) parented, (int) shown);
        return 1;
    }

    uint32_t width = 0, height = 0;
    gui->get_size (plugin, &width, &height);

    // The host's loop drives the editor's message thread through the timers it registered.
    const auto shownAt = Clock::now();
    const auto processCpuAtShow = processCpuMilliseconds();
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
    double skinnedMs = -1.0, skinnedCpuMs = 0.0;

    while (firstFrameMs >= 0.0 && millisecondsSince (shownAt) < 5000.0)
    {
        if (editorShowsItsSkin (parent, (int) width, (int) height))
        {
            skinnedMs = millisecondsSince (shownAt);
            skinnedCpuMs = processCpuMilliseconds() - processCpuAtShow;
            break;
        }

        host.runMainLoop (plugin, 5);
    }
    host.runMainLoop (plugin, 1000);
    const auto rssSettled = residentMegabytes();

    std::printf ("module load (dlopen + clap_entry init)    %8.1f ms\n", loadMs);
    std::printf ("instance create + init                    %8.1f ms\n", instanceMs);
    std::printf ("gui.create                                %8.1f ms\n", createMs);
    std::printf ("gui.create + set_parent                   %8.1f ms\n", setParentMs);
    std::printf ("gui.create + set_parent + show            %8.1f ms (%.1f ms CPU of the host's thread)\n", openMs, openCpuMs);
    if (firstFrameMs >= 0.0)
        std::printf ("first painted frame after show            %8.1f ms\n", firstFrameMs);
    else
        std::printf ("first painted frame after show            not within 5 s\n");
    if (skinnedMs >= 0.0)
        std::printf ("skin on screen after show                 %8.1f ms (%.1f ms CPU of the process, screen captures included)\n", skinnedMs, skinnedCpuMs);
    else
        std::printf ("skin on screen after show                 not within 5 s\n");
    std::printf ("editor size                               %4u x %u px\n", width, height);
    std::printf ("RSS at start / with instance              %8.1f / %.1f MB\n", rssAtStart, rssBeforeEditor);
    std::printf ("RSS added by the editor at first frame    %+8.1f MB\n", rssAtFirstFrame - rssBeforeEditor);
    std::printf ("RSS added by the editor after 1 s         %+8.1f MB\n", rssSettled - rssBeforeEditor);

    gui->hide (plugin);
    gui->destroy (plugin);
    plugin->destroy (plugin);
    return firstFrameMs >= 0.0 ? 0 : 1;
}
