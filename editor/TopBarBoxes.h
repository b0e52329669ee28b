#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace orvel
{

/**
    The dark rounded box drawn behind each group of top-bar controls. It paints
    like RoundedBox (a lighter lip one unit under the bottom edge) with its own
    colours, which the top bar sets once after construction.

    A pure decoration: it ignores the mouse for itself and its children, so the
    buttons laid over it keep every click.
*/
class OrvelTopBox : public juce::Component
{
public:
    OrvelTopBox();

    /** Each setter repaints when the value changes. */
    void setCornerSize (int newCornerSize);
    void setFillColour (juce::Colour newColour);
    void setInnerOutlineColour (juce::Colour newColour);
    void setLowerOutlineColour (juce::Colour newColour);

    /** All three colours at once. */
    void setColours (juce::Colour fill, juce::Colour innerOutline, juce::Colour lowerOutline);

    int getCornerSize() const noexcept { return cornerSize; }
    juce::Colour getFillColour() const noexcept { return fillColour; }
    juce::Colour getInnerOutlineColour() const noexcept { return innerOutlineColour; }
    juce::Colour getLowerOutlineColour() const noexcept { return lowerOutlineColour; }

    void paint (juce::Graphics& g) override;

private:
    int cornerSize = 3;
    juce::Colour fillColour { 0xff1f2020 };
    juce::Colour innerOutlineColour { 0xff000000 };
    juce::Colour lowerOutlineColour { juce::Colour (0xff232526).darker (0.1f) };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelTopBox)
};

//==============================================================================
/**
    The red badge over the bell button that shows how many notices are unread.
    A count of 0 or less draws nothing at all, so the badge can stay in place
    permanently.

    It draws a round red dot as large as the component's smaller side, with a
    dark rim; counts above 9 read "9+".

    It ignores the mouse, for itself and its children, so the bell beneath still
    gets the click.
*/
class OrvelTopNotificationAmount : public juce::Component
{
public:
    OrvelTopNotificationAmount();

    /** Stores the count; repaints when it changed (an extra repaint() by the owner
        is harmless). */
    void setUnreadCount (int newCount);
    int getUnreadCount() const noexcept { return unreadCount; }

    void setCornerSize (int newCornerSize);
    void setFillColour (juce::Colour newColour);
    void setTextColour (juce::Colour newColour);

    int getCornerSize() const noexcept { return cornerSize; }
    juce::Colour getFillColour() const noexcept { return fillColour; }
    juce::Colour getTextColour() const noexcept { return textColour; }

    void paint (juce::Graphics& g) override;

private:
    int cornerSize = 1;
    int unreadCount = 0;
    juce::Colour fillColour { 0xffe74f47 };
    juce::Colour textColour { juce::Colours::white.darker (0.05f) };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelTopNotificationAmount)
};

} // namespace orvel
