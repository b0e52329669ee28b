#pragma once

#include "binding/GuiEventLoop.h"
#include "binding/QueuedWindowEvents.h"

#include <juce_events/juce_events.h>

#if JUCE_LINUX || JUCE_BSD
namespace juce
{
// JUCE's own step of its Linux message loop (juce_linux_Messaging.cpp): polls
// JUCE's file descriptors (the X11 connection and the message queue) without
// waiting and runs the callbacks of those that are ready. JUCE does not
// declare it in a header; the definition is part of the JUCE library we link.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce
#endif

namespace clapbinding
{

/**
    Runs what JUCE's message loop would run now, without waiting: X11 events
    (mouse, keys, exposure), those Xlib already holds in its own queue included,
    JUCE's queued messages (timers, repaints, async callbacks, action and change
    broadcasts). Stops when nothing is pending or after maxRounds rounds, so a
    flood of messages cannot starve the host. Returns the number of rounds that
    dispatched something.

    Message thread only. On macOS and Windows JUCE hooks into the native run
    loop that the host runs anyway, so there is nothing to do and it returns 0.
*/
inline int dispatchPendingJuceMessages (int maxRounds = 32) noexcept
{
#if JUCE_LINUX || JUCE_BSD
    int rounds = 0;

    try
    {
        while (rounds < maxRounds)
        {
            // Queued X events first: an exposure turns into a repaint region that JUCE's next
            // repaint timer message, perhaps already waiting, then paints in this same call.
            const auto hadWindowEvents = dispatchQueuedWindowEvents() > 0;

            if (! juce::dispatchNextMessageOnSystemQueue (true) && ! hadWindowEvents)
                break;

            ++rounds;
        }
    }
    catch (...)
    {
        // A throwing callback must not unwind into the host.
    }

    return rounds;
#else
    juce::ignoreUnused (maxRounds);
    return 0;
#endif
}

/**
    Keeps JUCE alive inside a Linux host: while the plug-in's window is attached,
    a host timer (CLAP timer-support) fires every periodMs and each tick runs
    dispatchPendingJuceMessages().

    Why a timer and not the host's file-descriptor support: the X11 connection
    is not the only thing JUCE waits on (its message queue is a socket pair, and
    Xlib may already hold events it read while drawing, which leaves the
    descriptor quiet), and a periodic dispatch catches all of these. 16 ms keeps
    mouse handling and 60 Hz repaints smooth; a host may stretch the period.

    Without a host timer table nothing turns JUCE's loop, and the window would
    stay blank: that is reported once through the host's log.

    On macOS and Windows guiAttached() registers nothing. All calls arrive on the
    host's main thread, which is JUCE's message thread.
*/
class HostTimerMessagePump : public GuiEventLoop
{
public:
    static constexpr uint32_t periodMs = 16;

    HostTimerMessagePump() = default;
    ~HostTimerMessagePump() override = default;

    void guiAttached (const clapcheck::HostInterfaces& host) noexcept override
    {
#if JUCE_LINUX || JUCE_BSD
        if (registered)
            return;

        const auto* timers = host.timerSupport;

        if (timers == nullptr || timers->register_timer == nullptr || host.host == nullptr)
        {
            host.log (CLAP_LOG_WARNING,
                      "The host offers no timer support: the plug-in window cannot process events or repaint on Linux.");
            return;
        }

        clap_id id = CLAP_INVALID_ID;

        if (timers->register_timer (host.host, periodMs, &id) && id != CLAP_INVALID_ID)
        {
            timerId = id;
            registered = true;
            // The window was just shown: let it paint before the first tick.
            dispatchPendingJuceMessages();
        }
        else
        {
            host.log (CLAP_LOG_WARNING, "The host refused a GUI timer: the plug-in window may not repaint on Linux.");
        }
#else
        juce::ignoreUnused (host);
#endif
    }

    void guiDetached (const clapcheck::HostInterfaces& host) noexcept override
    {
        if (! registered)
            return;

        if (const auto* timers = host.timerSupport; timers != nullptr && timers->unregister_timer != nullptr && host.host != nullptr)
            timers->unregister_timer (host.host, timerId);

        registered = false;
        timerId = CLAP_INVALID_ID;
    }

    void timerFired (clap_id firedTimerId) noexcept override
    {
        if (registered && firedTimerId == timerId)
            dispatchPendingJuceMessages();
    }

    bool isRegistered() const noexcept
    {
        return registered;
    }
    clap_id getTimerId() const noexcept
    {
        return timerId;
    }

private:
    clap_id timerId = CLAP_INVALID_ID;
    bool registered = false;

    HostTimerMessagePump (const HostTimerMessagePump&) = delete;
    HostTimerMessagePump& operator= (const HostTimerMessagePump&) = delete;
};

} // namespace clapbinding
