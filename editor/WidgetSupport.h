#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace orvel
{

/** The texts the parameter widgets broadcast about locks. They carry no payload:
    the listener reads the widgets' flags to find out what changed. */
namespace lockMessages
{
    constexpr const char* update = "LockParameterUpdate";
    constexpr const char* lockAll = "LockParameterAll";
    constexpr const char* unlockAll = "unLockParameterAll";
} // namespace lockMessages

/** Item ids of the widgets' context menus. */
enum WidgetMenuItem
{
    lockItem = 1,
    unlockItem = 2,
    lockAllItem = 3,
    unlockAllItem = 4,
    editValueItem = 8
};

/** The same event with the left and right mouse-button flags exchanged, so
    that a left-handed user's primary button turns knobs and the other one
    opens menus. */
juce::MouseEvent withSwappedMouseButtons (const juce::MouseEvent& e);

/** An embedded SVG icon with its black replaced by the given colour, or null
    when the artwork lacks it. */
std::unique_ptr<juce::Drawable> makeMenuIcon (const char* resourceName, juce::Colour colour);

/** The 13 × 13 padlock shown over a locked widget's corner (drawn from the
    embedded "lock.png", or a plain padlock when the artwork lacks it). */
juce::Image getLockIndicatorImage();

/** False when the process has no screen at all (a headless run): JUCE cannot
    place a popup menu then, so the widgets do not try. */
bool canShowPopupMenus();

/** Adds the lock entries shared by knobs and buttons: "Unlock" or "Lock" with
    their icons, a separator, "Lock All" and "Unlock All". */
void addLockItems (juce::PopupMenu& menu, bool isLocked, juce::Colour iconColour);

/** Shows a widget's context menu at the mouse, asynchronously; a chosen item
    reaches `onItem` only while the widget still exists. */
void showContextMenuAtMouse (juce::PopupMenu& menu, juce::Component& widget, std::function<void (int itemId)> onItem);

/** Carries out one of the lock entries for a widget: sets its own flag through
    `setLocked` and tells the window with the matching action message. Returns
    false for an item that is not a lock entry. */
bool performLockItem (int itemId, juce::ActionBroadcaster& widget, const std::function<void (bool)>& setLocked);

} // namespace orvel
