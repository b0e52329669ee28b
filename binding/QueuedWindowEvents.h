#pragma once

namespace clapbinding
{

/**
    Handles the window-system events that Xlib has already read from the X connection into its
    own queue, and returns how many there were.

    JUCE hears of X events when the connection's descriptor becomes readable. But every round
    trip to the server (closing a window waits for the server, a shared-memory paint checks for
    its completion) reads whatever the server sent meanwhile into Xlib's queue, and the
    descriptor then stays quiet: an expose event parked there would leave stale pixels on screen
    until some unrelated event arrives. Asking Xlib (XPending) finds them.

    Message thread only. Returns 0 without a display and on systems without X11.
*/
int dispatchQueuedWindowEvents() noexcept;

/** Sends what Xlib still holds of JUCE's drawing to the server now (a paint ends in Xlib's
    output buffer until the next flush). Message thread only; nothing without X11. */
void flushWindowSystem() noexcept;

} // namespace clapbinding
