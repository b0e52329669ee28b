#pragma once

#include "binding/clapcheck/HostInterfaces.h"

namespace clapbinding
{

/**
    Keeps JUCE's message loop turning while the plug-in's window lives inside a host that owns
    the process's event loop.

    A JUCE window needs its message thread to dispatch window-system events and JUCE's own
    messages (timers, repaints, async updates). A standalone JUCE program runs that loop itself;
    inside a host nobody does unless the plug-in asks the host to call it back, on Linux through
    the host's timer and file-descriptor support. An implementation of this interface does that
    asking; the binding tells it when a window gets attached and destroyed and hands it the
    host's timer ticks.

    All calls arrive on the host's main thread. Pitfall: guiDetached() runs before the window is
    deleted, so an implementation must stop dispatching there, not later.
*/
class GuiEventLoop
{
public:
    virtual ~GuiEventLoop() = default;

    /** The holder has just been attached to the host's window. */
    virtual void guiAttached (const clapcheck::HostInterfaces& host) noexcept = 0;

    /** The GUI is about to be destroyed; unregister whatever guiAttached() registered. */
    virtual void guiDetached (const clapcheck::HostInterfaces& host) noexcept = 0;

    /** A host timer registered by this object has fired. */
    virtual void timerFired (clap_id timerId) noexcept = 0;
};

} // namespace clapbinding
