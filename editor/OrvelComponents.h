#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace orvel
{

/** A dark rounded box with a one-unit lighter lip under its bottom edge; a
    static decoration, so it ignores the mouse and is buffered to an image. */
class RoundedBox : public juce::Component
{
public:
    RoundedBox();

    void paint (juce::Graphics& g) override;

    /** The shared drawing of this box and the top bar's boxes. */
    static void paintBox (juce::Graphics& g, juce::Rectangle<float> bounds, float cornerSize,
                          juce::Colour fill, juce::Colour innerOutline, juce::Colour lowerOutline);

    int cornerSize = 3;
    juce::Colour fillColour { 0xff1f2020 };
    juce::Colour innerOutlineColour { 0xff000000 };
    juce::Colour lowerOutlineColour { juce::Colour (0xff232526).darker (0.1f) };
    juce::ComponentAnimator animator;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RoundedBox)
};

//==============================================================================
/** A label that can act as a link: with a click action set it shows the
    pointing hand and runs the action on a press. */
class OrvelLabel : public juce::Label
{
public:
    using juce::Label::Label;

    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    std::function<void()> clickAction;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelLabel)
};

//==============================================================================
/**
    A small always-on-top text bubble, either a plain rounded box or a speech
    bubble with an arrow above or below its body. It starts invisible with
    alpha 0; its owner fades it in. A press on a visible bubble fades it out and
    broadcasts a change.
*/
class OrvelBubble : public juce::Component,
                    public juce::ChangeBroadcaster
{
public:
    enum ArrowSide
    {
        arrowAbove = 1,
        arrowBelow = 2
    };

    explicit OrvelBubble (float value);

    /** Room kept between the text and the bubble's edges. */
    static constexpr int textPaddingX = 6, textPaddingY = 3;

    void setText (const juce::String& newText);
    const juce::String& getText() const noexcept { return text; }
    void setFont (const juce::Font& newFont);
    const juce::Font& getFont() const noexcept { return font; }

    /** Speech-bubble style with the arrow on the given side, or the plain box. */
    void setSpeechBubble (bool shouldBeSpeechBubble, int newArrowSide = arrowBelow);

    /** Body size, arrow margin and arrow x; the derived geometry follows. */
    void setBodyGeometry (float newBodyWidth, float newBodyHeight, float newArrowMargin, float newArrowX);

    /** The number the owner gave at construction. */
    float getValue() const noexcept { return value; }

    juce::Rectangle<float> getBodyArea() const noexcept { return bodyArea; }
    juce::Point<float> getArrowTip() const noexcept { return arrowTip; }

    void fadeIn (int milliseconds);
    void fadeOut (int milliseconds);

    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override { updateGeometry(); }

    juce::ComponentAnimator animator;

private:
    void updateGeometry();

    juce::Font font;
    juce::String text;
    float value = 0.0f;
    bool speechBubble = false;
    int arrowSide = arrowBelow;
    float bodyWidth = 100.0f, bodyHeight = 20.0f, arrowMargin = 10.0f, arrowX = 12.5f;
    juce::Rectangle<float> bodyArea;
    juce::Point<float> arrowTip;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelBubble)
};

} // namespace orvel
