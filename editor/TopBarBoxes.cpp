#include "TopBarBoxes.h"

#include "OrvelComponents.h"
#include "OrvelLookAndFeel.h"

namespace orvel
{
namespace
{
/** Stores a new look value and repaints, unless nothing changed. */
template <typename Value>
void assignAndRepaint (juce::Component& component, Value& member, Value newValue)
{
    if (member != newValue)
    {
        member = newValue;
        component.repaint();
    }
}
} // namespace

OrvelTopBox::OrvelTopBox()
{
    setInterceptsMouseClicks (false, false);
}

void OrvelTopBox::setCornerSize (int newCornerSize)
{
    assignAndRepaint (*this, cornerSize, newCornerSize);
}

void OrvelTopBox::setFillColour (juce::Colour newColour)
{
    assignAndRepaint (*this, fillColour, newColour);
}

void OrvelTopBox::setInnerOutlineColour (juce::Colour newColour)
{
    assignAndRepaint (*this, innerOutlineColour, newColour);
}

void OrvelTopBox::setLowerOutlineColour (juce::Colour newColour)
{
    assignAndRepaint (*this, lowerOutlineColour, newColour);
}

void OrvelTopBox::setColours (juce::Colour fill, juce::Colour innerOutline, juce::Colour lowerOutline)
{
    setFillColour (fill);
    setInnerOutlineColour (innerOutline);
    setLowerOutlineColour (lowerOutline);
}

void OrvelTopBox::paint (juce::Graphics& g)
{
    RoundedBox::paintBox (g, getLocalBounds().toFloat(), (float) cornerSize,
                          fillColour, innerOutlineColour, lowerOutlineColour);
}

//==============================================================================
OrvelTopNotificationAmount::OrvelTopNotificationAmount()
{
    setInterceptsMouseClicks (false, false);
}

void OrvelTopNotificationAmount::setUnreadCount (int newCount)
{
    assignAndRepaint (*this, unreadCount, newCount);
}

void OrvelTopNotificationAmount::setCornerSize (int newCornerSize)
{
    assignAndRepaint (*this, cornerSize, newCornerSize);
}

void OrvelTopNotificationAmount::setFillColour (juce::Colour newColour)
{
    assignAndRepaint (*this, fillColour, newColour);
}

void OrvelTopNotificationAmount::setTextColour (juce::Colour newColour)
{
    assignAndRepaint (*this, textColour, newColour);
}

void OrvelTopNotificationAmount::paint (juce::Graphics& g)
{
    if (unreadCount <= 0)
        return;

    const auto w = getWidth(), h = getHeight();

    g.setColour (fillColour);
    g.fillRoundedRectangle (1.0f, 1.0f, (float) juce::jmax (0, w - 2), (float) juce::jmax (0, h - 2),
                            (float) cornerSize);

    g.setColour (textColour);
    g.setFont (OrvelLookAndFeel::regularFont (12.0f));
    g.drawText (juce::String (unreadCount), 2, 2, juce::jmax (0, w - 4), juce::jmax (0, h - 4),
                juce::Justification::centred, true);
}

} // namespace orvel
