/** wrendle-host gui: shows a plug-in's editor in a window of our own, as a DAW does.

    The window is a plain X11 top-level window; the plug-in's editor is parented into it
    through "clap.gui". Nothing but this host's loop runs on the main thread, so the plug-in
    lives on what it registers through timer support and posix-fd support, exactly as inside
    a Linux DAW: a plug-in that forgot to ask for either stays blank here too.
*/

#include "Commands.h"
#include "Host.h"
#include "HostError.h"
#include "Module.h"
#include "PluginInstance.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wrendlehost
{

namespace
{
    using Clock = std::chrono::steady_clock;

    /** X errors (a window the plug-in destroyed meanwhile, an atom a bare X server lacks)
        must not end the host, which Xlib's default handler would do. */
    int tolerateXError (Display*, XErrorEvent*)
    {
        return 0;
    }

    /** Our top-level window, which holds the plug-in's editor. */
    class HostWindow
    {
    public:
        HostWindow (uint32_t width, uint32_t height, const std::string& title)
        {
            XSetErrorHandler (tolerateXError);
            display = XOpenDisplay (nullptr);

            if (display == nullptr)
                throw failure ("cannot open the X display (is DISPLAY set?)");

            const auto screen = DefaultScreen (display);
            window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, width, height, 0,
                                          BlackPixel (display, screen), BlackPixel (display, screen));
            XStoreName (display, window, title.c_str());
            XSelectInput (display, window, StructureNotifyMask);

            deleteMessage = XInternAtom (display, "WM_DELETE_WINDOW", False);
            XSetWMProtocols (display, window, &deleteMessage, 1);

            XMapWindow (display, window);
            XSync (display, False);
        }

        ~HostWindow()
        {
            XDestroyWindow (display, window);
            XCloseDisplay (display);
        }

        HostWindow (const HostWindow&) = delete;
        HostWindow& operator= (const HostWindow&) = delete;

        Window getWindow() const noexcept { return window; }
        int getConnectionFd() const noexcept { return ConnectionNumber (display); }

        void resize (uint32_t width, uint32_t height)
        {
            XResizeWindow (display, window, width, height);
            XSync (display, False);
        }

        /** Handles our own window's events; reports size changes the user made and whether
            the user closed the window. */
        void handleEvents (uint32_t& width, uint32_t& height, bool& closed)
        {
            while (XPending (display) > 0)
            {
                XEvent event {};
                XNextEvent (display, &event);

                if (event.type == ConfigureNotify && event.xconfigure.window == window)
                {
                    width = (uint32_t) std::max (1, event.xconfigure.width);
                    height = (uint32_t) std::max (1, event.xconfigure.height);
                }
                else if (event.type == ClientMessage && (Atom) event.xclient.data.l[0] == deleteMessage)
                {
                    closed = true;
                }
            }
        }

        /** What the window shows now, the plug-in's editor included, as RGB rows. */
        std::vector<unsigned char> capture (uint32_t width, uint32_t height) const
        {
            std::vector<unsigned char> rgb;
            XSync (display, False);
            auto* image = XGetImage (display, window, 0, 0, width, height, AllPlanes, ZPixmap);

            if (image == nullptr)
                return rgb;

            rgb.reserve ((size_t) width * height * 3);

            for (uint32_t y = 0; y < height; ++y)
            {
                for (uint32_t x = 0; x < width; ++x)
                {
                    const auto pixel = XGetPixel (image, (int) x, (int) y);
                    rgb.push_back ((unsigned char) ((pixel >> 16) & 0xff));
                    rgb.push_back ((unsigned char) ((pixel >> 8) & 0xff));
                    rgb.push_back ((unsigned char) (pixel & 0xff));
                }
            }

            XDestroyImage (image);
            return rgb;
        }

    private:
        Display* display = nullptr;
        Window window = 0;
        Atom deleteMessage = 0;
    };

    /** libpng reports errors by longjmp, so the jump target lives in a function of its own
        that holds nothing a jump could leave half-updated. */
    bool encodePng (png_structp png, png_infop info, FILE* file, const unsigned char* rgb, uint32_t width, uint32_t height)
    {
        if (setjmp (png_jmpbuf (png)) != 0)
            return false;

        png_init_io (png, file);
        png_set_IHDR (png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                      PNG_FILTER_TYPE_DEFAULT);
        png_write_info (png, info);

        for (uint32_t y = 0; y < height; ++y)
            png_write_row (png, rgb + (size_t) y * width * 3);

        png_write_end (png, nullptr);
        return true;
    }

    /** Writes RGB rows as a PNG; the file is replaced only when the whole image was written. */
    void writePng (const std::string& path, const std::vector<unsigned char>& rgb, uint32_t width, uint32_t height)
    {
        if (rgb.size() != (size_t) width * height * 3)
            throw failure ("could not read the window's pixels for the screenshot");

        const auto temporaryPath = path + ".part";
        auto* file = std::fopen (temporaryPath.c_str(), "wb");

        if (file == nullptr)
            throw failure ("cannot write '" + path + "'");

        auto* png = png_create_write_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        auto* info = png != nullptr ? png_create_info_struct (png) : nullptr;
        const bool written = info != nullptr && encodePng (png, info, file, rgb.data(), width, height);
        png_destroy_write_struct (&png, &info);
        const bool closedOk = std::fclose (file) == 0;

        if (! written || ! closedOk || std::rename (temporaryPath.c_str(), path.c_str()) != 0)
        {
            std::remove (temporaryPath.c_str());
            throw failure ("cannot write '" + path + "'");
        }
    }

    /** Fires the plug-in's timers when due, watches its descriptors, runs its main-thread
        callbacks and our own window's events, for as long as asked or until the window closes. */
    class EventLoop
    {
    public:
        EventLoop (Host& hostToServe, const PluginInstance& instance, HostWindow& windowToWatch)
            : host (hostToServe),
              plugin (instance.get()),
              timerSupport (instance.getExtensionAs<clap_plugin_timer_support_t> (CLAP_EXT_TIMER_SUPPORT)),
              fdSupport (instance.getExtensionAs<clap_plugin_posix_fd_support_t> (CLAP_EXT_POSIX_FD_SUPPORT)),
              window (windowToWatch)
        {
        }

        /** Runs until the deadline (none: until the window is closed); returns whether the
            user closed the window. Size changes of our window are passed to `onResize`. */
        template <typename ResizeHandler>
        bool run (std::optional<Clock::time_point> deadline, uint32_t& width, uint32_t& height, ResizeHandler&& onResize)
        {
            bool closed = false;

            while (! closed && (! deadline.has_value() || Clock::now() < *deadline))
            {
                const auto previousWidth = width, previousHeight = height;
                window.handleEvents (width, height, closed);

                if (width != previousWidth || height != previousHeight)
                    onResize (width, height);

                host.runRequestedCallbacks();
                fireDueTimers();
                waitForDescriptors (deadline);
            }

            return closed;
        }

    private:
        void fireDueTimers()
        {
            // Copied: a timer callback may register or unregister timers.
            const auto timers = host.getTimers();
            const auto now = Clock::now();

            for (const auto& timer : timers)
            {
                auto& next = due.try_emplace (timer.id, now).first->second;

                if (now >= next && timerSupport != nullptr && timerSupport->on_timer != nullptr)
                {
                    timerSupport->on_timer (&plugin, timer.id);
                    next = now + std::chrono::milliseconds (timer.periodMs);
                }
            }
        }

        /** Sleeps until the next timer is due or a watched descriptor (ours or the plug-in's)
            is ready, and hands the plug-in its ready descriptors. */
        void waitForDescriptors (std::optional<Clock::time_point> deadline)
        {
            auto wakeAt = Clock::now() + std::chrono::milliseconds (50);

            for (const auto& [id, next] : due)
                wakeAt = std::min (wakeAt, next);

            if (deadline.has_value())
                wakeAt = std::min (wakeAt, *deadline);

            std::vector<pollfd> fds;
            fds.push_back ({ window.getConnectionFd(), POLLIN, 0 });

            for (const auto& watched : host.getWatchedFds())
            {
                short events = 0;
                events |= (watched.flags & CLAP_POSIX_FD_READ) != 0 ? POLLIN : 0;
                events |= (watched.flags & CLAP_POSIX_FD_WRITE) != 0 ? POLLOUT : 0;
                fds.push_back ({ watched.fd, events, 0 });
            }

            const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds> (wakeAt - Clock::now()).count();

            if (poll (fds.data(), (nfds_t) fds.size(), (int) std::max<long long> (0, waitMs)) <= 0)
                return;

            for (size_t i = 1; i < fds.size(); ++i)
            {
                clap_posix_fd_flags_t flags = 0;

                if ((fds[i].revents & POLLIN) != 0)
                    flags |= CLAP_POSIX_FD_READ;
                if ((fds[i].revents & POLLOUT) != 0)
                    flags |= CLAP_POSIX_FD_WRITE;
                if ((fds[i].revents & (POLLERR | POLLHUP)) != 0)
                    flags |= CLAP_POSIX_FD_ERROR;

                if (flags != 0 && fdSupport != nullptr && fdSupport->on_fd != nullptr)
                    fdSupport->on_fd (&plugin, fds[i].fd, flags);
            }
        }

        Host& host;
        const clap_plugin_t& plugin;
        const clap_plugin_timer_support_t* timerSupport;
        const clap_plugin_posix_fd_support_t* fdSupport;
        HostWindow& window;
        std::map<clap_id, Clock::time_point> due;
    };
} // namespace

int runGui (const GuiOptions& options, std::ostream& out)
{
    if (const char* display = std::getenv ("DISPLAY"); display == nullptr || *display == '\0')
        throw failure ("no display: set DISPLAY (or run under xvfb-run) to show the editor");

    Host host (options.showDebugLogs);
    host.offerGui (true);
    host.offerEventLoop (true);

    Module module (options.modulePath);
    const auto& descriptor = module.chooseDescriptor (options.pluginId);
    PluginInstance instance (module, host, descriptor);
    const auto& plugin = instance.get();

    const auto* gui = instance.getExtensionAs<clap_plugin_gui_t> (CLAP_EXT_GUI);

    if (gui == nullptr)
        throw failure ("the plug-in offers no clap.gui");

    if (gui->is_api_supported == nullptr || ! gui->is_api_supported (&plugin, CLAP_WINDOW_API_X11, false))
        throw failure ("the plug-in cannot embed its editor in an X11 window");

    // Made before the editor, so that on every way out the editor goes first and never
    // loses its parent window while it still exists.
    HostWindow window (1, 1, std::string (descriptor.name) + " - wrendle-host");

    if (! gui->create (&plugin, CLAP_WINDOW_API_X11, false))
        throw failure ("the plug-in could not create its editor");

    // From here on the editor exists: destroy it on every way out.
    struct GuiGuard
    {
        const clap_plugin_gui_t* gui;
        const clap_plugin_t* plugin;
        bool live = true;

        void destroy()
        {
            if (std::exchange (live, false))
                gui->destroy (plugin);
        }

        ~GuiGuard() { destroy(); }
    } guard { gui, &plugin };

    if (options.scale.has_value() && ! gui->set_scale (&plugin, *options.scale))
        out << "The plug-in ignored the scale " << *options.scale << " (it follows the system's).\n";

    uint32_t width = 0, height = 0;

    if (! gui->get_size (&plugin, &width, &height) || width == 0 || height == 0)
        throw failure ("the plug-in gave no editor size");

    window.resize (width, height);
    clap_window_t parent {};
    parent.api = CLAP_WINDOW_API_X11;
    parent.x11 = window.getWindow();

    if (! gui->set_parent (&plugin, &parent))
        throw failure ("the plug-in refused our window as its parent");

    gui->show (&plugin);

    // Said at once (standard output is collected until the end, away from the plug-in's own prints).
    std::cerr << "Showing the editor of '" << descriptor.name << "' at " << width << " x " << height
              << (options.seconds.has_value() ? "" : "; close the window to quit") << "." << std::endl;

    const bool resizable = gui->can_resize != nullptr && gui->can_resize (&plugin);

    // The user resized our window: let the plug-in pick the nearest size it takes.
    const auto followUser = [&] (uint32_t& newWidth, uint32_t& newHeight)
    {
        if (! resizable)
        {
            window.resize (width, height);
            return;
        }

        auto adjustedWidth = newWidth, adjustedHeight = newHeight;

        if (gui->adjust_size (&plugin, &adjustedWidth, &adjustedHeight) && gui->set_size (&plugin, adjustedWidth, adjustedHeight)
            && (adjustedWidth != newWidth || adjustedHeight != newHeight))
            window.resize (adjustedWidth, adjustedHeight);
    };

    std::optional<Clock::time_point> deadline;

    if (options.seconds.has_value())
        deadline = Clock::now() + std::chrono::milliseconds ((long long) (*options.seconds * 1000.0));

    EventLoop loop (host, instance, window);
    auto lastRequest = host.getLastResizeRequest();

    // Also follow the plug-in's own resize requests, between slices of the loop.
    while (true)
    {
        const auto slice = Clock::now() + std::chrono::milliseconds (100);
        const auto sliceEnd = deadline.has_value() ? std::min (slice, *deadline) : slice;

        if (loop.run (sliceEnd, width, height, followUser))
            break;

        if (const auto request = host.getLastResizeRequest(); request != lastRequest)
        {
            lastRequest = request;
            width = request.first;
            height = request.second;
            window.resize (width, height);
        }

        if (deadline.has_value() && Clock::now() >= *deadline)
            break;
    }

    if (! options.screenshotPath.empty())
    {
        gui->get_size (&plugin, &width, &height);
        writePng (options.screenshotPath, window.capture (width, height), width, height);
        out << "Wrote a " << width << " x " << height << " screenshot to " << options.screenshotPath << "\n";
    }

    gui->hide (&plugin);
    guard.destroy();

    if (! host.getTimers().empty() || ! host.getWatchedFds().empty())
        out << "Note: the plug-in left timers or descriptors registered after its editor was destroyed.\n";

    return 0;
}

} // namespace wrendlehost
