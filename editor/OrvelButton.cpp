#include "editor/OrvelButton.h"

#include "editor/WidgetSupport.h"

namespace orvel
{

OrvelButton::OrvelButton()
    : juce::ImageButton (juce::String())
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);

    lockIndicator.setImage (getLockIndicatorImage(), juce::RectanglePlacement::stretchToFit);
    lockIndicator.setInterceptsMouseClicks (false, false);
    lockIndicator.setVisible (false);
}

OrvelButton::~OrvelButton()
{
    stopTimer();
}

//==============================================================================
void OrvelButton::setImagesFrom (const juce::Image& offImage, const juce::Image& onImage)
{
    setImages (false, true, true,
               offImage, 1.0f, juce::Colours::transparentBlack,
               juce::Image(), 1.0f, juce::Colours::transparentBlack,
               onImage, 1.0f, juce::Colours::transparentBlack);

    imageWidth = offImage.isValid() ? offImage.getWidth() : 0;
    imageHeight = offImage.isValid() ? offImage.getHeight() : 0;
}

void OrvelButton::setupParameterButton (juce::AudioProcessorParameter* parameterToUse, const juce::Image& offImage,
                                        const juce::Image& onImage, int x, int y)
{
    parameter = parameterToUse;
    setBounds (x, y, 50, 50);
    setImagesFrom (offImage, onImage);
    setClickingTogglesState (true);
    setTriggeredOnMouseDown (true);

    if (parameter != nullptr)
    {
        lockable = true;
        setToggleState (parameter->getValue() > 0.5f, juce::dontSendNotification);
        setTooltip (parameter->getName (50));
    }

    setDisplayScale (displayScale);
}

void OrvelButton::setupImageButton (const juce::Image& offImage, const juce::Image& onImage, int x, int y,
                                    juce::Button::Listener* listener)
{
    parameter = nullptr;
    lockable = false;
    setBounds (x, y, 50, 50);
    setImagesFrom (offImage, onImage);
    setClickingTogglesState (false);
    setTriggeredOnMouseDown (true);

    if (listener != nullptr)
    {
        removeListener (listener);
        addListener (listener);
    }

    setDisplayScale (displayScale);
}

void OrvelButton::addOwnerListeners (juce::Button::Listener* buttonListener, juce::ActionListener* actionListener)
{
    // Rebuilding the controls registers again; a listener must not hear twice.
    if (buttonListener != nullptr)
    {
        removeListener (buttonListener);
        addListener (buttonListener);
    }

    if (actionListener != nullptr)
    {
        removeActionListener (actionListener);
        addActionListener (actionListener);
    }
}

void OrvelButton::setDisplayScale (int newScale)
{
    displayScale = juce::jlimit (1, 3, newScale);

    // Without artwork the button keeps its size, so it can still be clicked.
    if (imageWidth > 0 && imageHeight > 0)
        setSize (juce::roundToInt ((double) imageWidth / displayScale), juce::roundToInt ((double) imageHeight / displayScale));

    placeLockIndicator();
}

void OrvelButton::placeLockIndicator()
{
    // The padlock sits on the button's upper right corner, half outside it, so
    // the LED and the icon in the middle stay in view.
    constexpr int size = 11;

    if (auto* parent = getParentComponent())
    {
        if (lockIndicator.getParentComponent() != parent)
            parent->addChildComponent (lockIndicator);

        lockIndicator.setBounds (getRight() - size + 4, getY() - 4, size, size);
    }
    else
    {
        if (lockIndicator.getParentComponent() != this)
            addChildComponent (lockIndicator);

        lockIndicator.setBounds (getWidth() - size, 0, size, size);
    }

    refreshLockIndicator();
}

void OrvelButton::refreshLockIndicator()
{
    lockIndicator.setVisible (locked && lockable && isVisible());

    if (lockIndicator.isVisible())
        lockIndicator.toFront (false);
}

void OrvelButton::setLocked (bool shouldBeLocked)
{
    locked = shouldBeLocked || ! lockable;
    refreshLockIndicator();
}

void OrvelButton::setLockable (bool shouldBeLockable)
{
    lockable = shouldBeLockable;
    refreshLockIndicator();
}

//==============================================================================
bool OrvelButton::isMenuClick (const juce::MouseEvent& e) noexcept
{
    return e.mods.isRightButtonDown() || e.mods.isCtrlDown();
}

void OrvelButton::mouseDown (const juce::MouseEvent& event)
{
    const auto e = leftHandedMouse ? withSwappedMouseButtons (event) : event;

    if (! isMenuClick (e))
    {
        if (! getClickingTogglesState())
            setToggleState (true, juce::dontSendNotification);

        juce::ImageButton::mouseDown (e);
        return;
    }

    if (lockable)
        showContextMenu();
}

void OrvelButton::mouseUp (const juce::MouseEvent& event)
{
    const auto e = leftHandedMouse ? withSwappedMouseButtons (event) : event;

    if (! isMenuClick (e) && ! getClickingTogglesState())
        startTimer (80);

    juce::ImageButton::mouseUp (e);
}

void OrvelButton::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails& wheel)
{
    if (wheel.deltaY > 0.01f || wheel.deltaX < -0.01f)
        setToggleState (true, juce::sendNotificationSync);
    else if (wheel.deltaY < -0.01f || wheel.deltaX > 0.01f)
        setToggleState (false, juce::sendNotificationSync);
}

void OrvelButton::visibilityChanged()
{
    juce::ImageButton::visibilityChanged();
    refreshLockIndicator();
}

void OrvelButton::parentHierarchyChanged()
{
    juce::ImageButton::parentHierarchyChanged();

    if (auto* indicatorParent = lockIndicator.getParentComponent();
        indicatorParent != nullptr && indicatorParent != this && indicatorParent != getParentComponent())
        indicatorParent->removeChildComponent (&lockIndicator);
}

void OrvelButton::moved()
{
    juce::ImageButton::moved();

    if (lockIndicator.getParentComponent() != nullptr && lockIndicator.getParentComponent() != this)
        placeLockIndicator();
}

void OrvelButton::lookAndFeelChanged()
{
    juce::ImageButton::lookAndFeelChanged();
    contextMenu.setLookAndFeel (&getLookAndFeel());
}

void OrvelButton::timerCallback()
{
    setToggleState (false, juce::dontSendNotification);
    stopTimer();
}

//==============================================================================
juce::PopupMenu OrvelButton::buildContextMenu()
{
    contextMenu.clear();
    contextMenu.setLookAndFeel (&getLookAndFeel());
    addLockItems (contextMenu, locked, getLookAndFeel().findColour (juce::Label::textColourId));
    return contextMenu;
}

void OrvelButton::showContextMenu()
{
    buildContextMenu();
    showContextMenuAtMouse (contextMenu, *this, [this] (int itemId)
                            { performMenuAction (itemId); });
}

void OrvelButton::performMenuAction (int itemId)
{
    performLockItem (itemId, *this, [this] (bool shouldLock)
                     { setLocked (shouldLock); });
}

} // namespace orvel
