#include "binding/QueuedWindowEvents.h"

#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_LINUX || JUCE_BSD
// What JUCE's own plug-in wrappers include to reach the X display they share with JUCE.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_events/juce_events.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>
#include <juce_gui_basics/juce_gui_basics.h>
#endif

namespace clapbinding
{

int dispatchQueuedWindowEvents() noexcept
{
#if JUCE_LINUX || JUCE_BSD
    try
    {
        auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
        auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

        if (display == nullptr)
            return 0;

        auto* x11 = juce::X11Symbols::getInstance();
        int queued = 0;

        {
            juce::XWindowSystemUtilities::ScopedXLock lock;
            queued = x11->xPending (display);
        }

        // JUCE's handler of the connection's descriptor takes every event Xlib holds.
        if (queued > 0)
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (x11->xConnectionNumber (display));

        return queued;
    }
    catch (...)
    {
        // A throwing event handler must not unwind into the host.
        return 0;
    }
#else
    return 0;
#endif
}

void flushWindowSystem() noexcept
{
#if JUCE_LINUX || JUCE_BSD
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();

    if (auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr)
    {
        juce::XWindowSystemUtilities::ScopedXLock lock;
        juce::X11Symbols::getInstance()->xFlush (display);
    }
#endif
}

} // namespace clapbinding
