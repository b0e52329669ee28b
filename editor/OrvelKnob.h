#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>
#include <vector>

namespace orvel
{

/**
    A rotary control drawn from a film strip (frames stacked vertically) or from
    frames a painter makes on demand (the product's knobs). It works
    on the parameter's normalised value (range 0..1) and never talks to the
    processor: its owner listens to it as slider and action listener, forwards
    value changes to the parameter inside change gestures and moves the knob on
    its refresh timer (but not while mouseIsDown() says the user holds it).

    While touched it shows its value in a fading bubble. Shift-click or the
    menu item "Edit Value" opens a value-entry bubble. The context menu offers
    the parameter lock; lock actions are broadcast as the texts in
    lockMessages.

    Bubbles are children of the bubble host (the main window), so they may
    overlap neighbouring controls; the knob owns and deletes them.
*/
class OrvelKnob : public juce::Slider,
                  public juce::ActionBroadcaster,
                  public juce::Label::Listener
{
public:
    class OrvelBubbleKnob;
    class OrvelBubbleEditValueKnob;

    OrvelKnob();
    ~OrvelKnob() override;

    //==============================================================================
    /** Binds the knob to a parameter (null for a free knob) and places it at
        (x, y) with the size of one frame divided by the display scale. The knob
        becomes lockable, editable and follows lock-all. */
    void setupParameterKnob (juce::AudioProcessorParameter* parameterToUse, const juce::Image& filmStripImage,
                             int numFrames, int x, int y, juce::Slider::SliderStyle style);

    void setFilmStrip (const juce::Image& filmStripImage, int numFrames);

    /** Paints the knob with frames made on demand instead of a film strip: the
        painter returns the knob at a value 0..1 in framePx square pixels. The
        last frame is kept, so a repaint at the same value costs one image draw. */
    using FramePainter = std::function<juce::Image (float value)>;
    void setFramePainter (FramePainter painter, int framePx);

    /** Divisor (1..3) applied to the film-strip frame size; also re-places the
        lock indicator into the parent at (x + 2, y + 2), 13 × 13. */
    void setDisplayScale (int newScale);
    int getDisplayScale() const noexcept { return displayScale; }

    /** Locks or unlocks (only a lockable knob changes its lock flag); a knob that
        follows lock-all also takes the flag as excludedFromRandom. */
    void setLocked (bool shouldBeLocked);
    bool isLocked() const noexcept { return locked; }

    bool isMouseHeldDown() const noexcept { return mouseIsDown; }
    juce::AudioProcessorParameter* getParameter() const noexcept { return parameter; }
    const juce::String& getParameterName() const noexcept { return parameterName; }

    /** The film-strip frame the current value selects. */
    int getFrameIndex() const noexcept;

    juce::ImageComponent& getLockIndicator() noexcept { return lockIndicator; }
    /** Where the lock indicator sits relative to the knob's top-left corner
        (2, 2 unless the owner moves it); it follows the knob when it moves. */
    void setLockIndicatorOffset (juce::Point<int> offset);
    juce::Label& getValueLabel() noexcept { return valueLabel; }

    /** Writes the value text into the (hidden) value label. */
    void updateValueLabel();

    //==============================================================================
    /** The context menu as it would open now. */
    juce::PopupMenu buildContextMenu();
    /** What choosing a context-menu item does (ids in WidgetMenuItem). */
    void performMenuAction (int itemId);

    void showValueBubble();
    void showEditBubble();
    void hideBubbles (int delayMs);

    /** The bubbles, once they have been created (null before). */
    juce::Component* getValueBubble() const noexcept;
    juce::Component* getEditBubble() const noexcept;

    //==============================================================================
    // Owner-set display options.
    juce::Component* bubbleHost = nullptr;
    float bubbleFadeLimit = 0.95f;
    int editBubbleWidth = -1;
    juce::Point<float> bubbleOffset { 0.0f, 0.0f };
    bool leftHandedMouse = false;

    /** What a bubble must keep clear of, in the bubble host's coordinates:
        texts it may not cover, and frames it may sit wholly inside or outside of
        but never across. Without them a bubble opens where bubbleOffset says. */
    struct BubbleObstacles
    {
        std::vector<juce::Rectangle<int>> texts;
        std::vector<juce::Rectangle<int>> frames;
    };
    std::function<BubbleObstacles()> bubbleObstacles;

    /** Where a bubble of the given bounds (its preferred place) opens: there
        when that is clear, else the first clear place of: just above the knob,
        right of it, left of it, below it, over its middle. */
    juce::Rectangle<int> placeBubble (juce::Rectangle<int> preferred) const;

    // Lock and random flags.
    bool lockable = false;
    bool followsLockAll = false;
    bool excludedFromRandom = false;
    bool editable = false;

    //==============================================================================
    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;
    void visibilityChanged() override;
    void parentHierarchyChanged() override;
    void moved() override;
    void lookAndFeelChanged() override;
    juce::String getTextFromValue (double value) override;

    void labelTextChanged (juce::Label* label) override;

private:
    void applyBounds();
    void placeLockIndicator();
    void refreshLockIndicator();
    void showContextMenu();
    juce::Rectangle<int> getBoundsInBubbleHost() const;
    juce::Component* getBubbleHost() const noexcept;
    void applyEditedText (const juce::String& text);

    int displayScale = 1;
    bool mouseIsDown = false;
    bool pressTurnsKnob = false;
    bool locked = false;
    juce::ImageComponent lockIndicator;
    juce::Point<int> lockIndicatorOffset { 2, 2 };

    juce::Image filmStrip;
    FramePainter framePainter;
    mutable juce::Image paintedFrame;
    mutable float paintedValue = -1.0f;
    int frameCount = 1;
    int frameWidth = 0;
    int frameHeight = 0;
    double rangeLength = 1.0;

    juce::Label valueLabel;
    juce::PopupMenu contextMenu;
    juce::AudioProcessorParameter* parameter = nullptr;
    juce::String parameterName;

    std::unique_ptr<OrvelBubbleKnob> valueBubble;
    std::unique_ptr<OrvelBubbleEditValueKnob> editBubble;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelKnob)
};

} // namespace orvel
