#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace orvel
{

/**
    An image toggle button with the parameter lock menu. Bound to a parameter
    (setupParameterButton) it toggles on mouse down and is lockable; without one
    (setupImageButton) it is a command button that shows its "on" image while
    pressed and for 80 ms after release, and never offers the lock menu.

    Like the knob it never talks to the processor: its owner listens to it as
    button and action listener.
*/
class OrvelButton : public juce::ImageButton,
                    public juce::ActionBroadcaster,
                    public juce::Timer
{
public:
    OrvelButton();
    ~OrvelButton() override;

    void setupParameterButton (juce::AudioProcessorParameter* parameterToUse, const juce::Image& offImage,
                               const juce::Image& onImage, int x, int y);
    void setupImageButton (const juce::Image& offImage, const juce::Image& onImage, int x, int y,
                           juce::Button::Listener* listener);

    /** Registers the owner as button listener and as action listener (once). */
    void addOwnerListeners (juce::Button::Listener* buttonListener, juce::ActionListener* actionListener);

    /** Size = off-image size / scale (1..3); the lock indicator goes into the
        parent at (x + 2, y + 2), 13 × 13. */
    void setDisplayScale (int newScale);
    int getDisplayScale() const noexcept { return displayScale; }

    /** Locking always takes; unlocking only a lockable button (one that is not
        lockable, like bypass, stays locked). The indicator shows only on a
        lockable, locked, visible button. */
    void setLocked (bool shouldBeLocked);
    bool isLocked() const noexcept { return locked; }

    void setLockable (bool shouldBeLockable);
    bool isLockable() const noexcept { return lockable; }

    juce::AudioProcessorParameter* getParameter() const noexcept { return parameter; }
    juce::ImageComponent& getLockIndicator() noexcept { return lockIndicator; }

    juce::PopupMenu buildContextMenu();
    void performMenuAction (int itemId);

    bool leftHandedMouse = false;

    void mouseDown (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void moved() override;
    void lookAndFeelChanged() override;
    void timerCallback() override;

private:
    void setImagesFrom (const juce::Image& offImage, const juce::Image& onImage);
    void placeLockIndicator();
    void refreshLockIndicator();
    void showContextMenu();
    static bool isMenuClick (const juce::MouseEvent& e) noexcept;

    int displayScale = 1;
    int imageWidth = 0;
    int imageHeight = 0;
    juce::ImageComponent lockIndicator;
    juce::PopupMenu contextMenu;
    bool lockable = false;
    bool locked = false;
    juce::AudioProcessorParameter* parameter = nullptr;
    juce::Button::Listener* ownerButtonListener = nullptr;
    juce::ActionListener* ownerActionListener = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelButton)
};

} // namespace orvel
