#include "editor/WidgetSupport.h"

#include "editor/EmbeddedResources.h"

namespace orvel
{

juce::MouseEvent withSwappedMouseButtons (const juce::MouseEvent& e)
{
    using Keys = juce::ModifierKeys;

    const auto flags = e.mods.getRawFlags();
    auto swapped = flags & ~(Keys::leftButtonModifier | Keys::rightButtonModifier);

    if ((flags & Keys::leftButtonModifier) != 0)
        swapped |= Keys::rightButtonModifier;
    if ((flags & Keys::rightButtonModifier) != 0)
        swapped |= Keys::leftButtonModifier;

    return juce::MouseEvent (e.source, e.position, Keys (swapped), e.pressure, e.orientation, e.rotation,
                             e.tiltX, e.tiltY, e.eventComponent, e.originalComponent, e.eventTime,
                             e.mouseDownPosition, e.mouseDownTime, e.getNumberOfClicks(),
                             e.mouseWasDraggedSinceMouseDown());
}

std::unique_ptr<juce::Drawable> makeMenuIcon (const char* resourceName, juce::Colour colour)
{
    auto icon = resources::loadDrawable (resourceName);

    if (icon != nullptr)
        icon->replaceColour (juce::Colours::black, colour);

    return icon;
}

juce::Image getLockIndicatorImage()
{
    int size = 0;

    if (auto* data = resources::find ("lock_png", size))
        if (auto image = juce::ImageCache::getFromMemory (data, size); image.isValid())
            return image;

    // Without the artwork: a small light padlock at twice the shown size.
    static const juce::Image fallback = []
    {
        juce::Image image (juce::Image::ARGB, 26, 26, true);
        juce::Graphics g (image);
        g.setColour (juce::Colour (0xffd2d2d2));
        g.drawRoundedRectangle (8.0f, 3.0f, 10.0f, 12.0f, 5.0f, 2.5f);
        g.fillRoundedRectangle (5.0f, 11.0f, 16.0f, 12.0f, 2.0f);
        return image;
    }();

    return fallback;
}

bool canShowPopupMenus()
{
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

void addLockItems (juce::PopupMenu& menu, bool isLocked, juce::Colour iconColour)
{
    juce::PopupMenu::Item toggle (isLocked ? "Unlock" : "Lock");
    toggle.setID (isLocked ? unlockItem : lockItem);

    if (auto icon = makeMenuIcon (isLocked ? "locksolid_svg" : "unlocksolid_svg", iconColour))
        toggle.setImage (std::move (icon));

    menu.addItem (std::move (toggle));
    menu.addSeparator();
    menu.addItem (lockAllItem, "Lock All");
    menu.addItem (unlockAllItem, "Unlock All");
}

void showContextMenuAtMouse (juce::PopupMenu& menu, juce::Component& widget, std::function<void (int)> onItem)
{
    if (! canShowPopupMenus())
        return;

    menu.showMenuAsync (juce::PopupMenu::Options()
                            .withTargetComponent (&widget)
                            .withMousePosition()
                            .withStandardItemHeight (24),
                        [safeWidget = juce::Component::SafePointer<juce::Component> (&widget), onItem = std::move (onItem)] (int result)
                        {
                            if (safeWidget != nullptr && result != 0)
                                onItem (result);
                        });
}

bool performLockItem (int itemId, juce::ActionBroadcaster& widget, const std::function<void (bool)>& setLocked)
{
    switch (itemId)
    {
        case lockItem:
        case unlockItem:
            setLocked (itemId == lockItem);
            widget.sendActionMessage (lockMessages::update);
            return true;
        case lockAllItem:
            widget.sendActionMessage (lockMessages::lockAll);
            return true;
        case unlockAllItem:
            widget.sendActionMessage (lockMessages::unlockAll);
            return true;
        default:
            return false;
    }
}

} // namespace orvel
