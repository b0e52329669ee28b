#include "editor/TopBarBoxes.h"

#include "editor/OrvelComponents.h"
#include "editor/OrvelLookAndFeel.h"

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

    // A dot on the bell's shoulder: round, with a dark rim that parts it from
    // the bell, and the count in small bold digits.
    const auto diameter = (float) juce::jmin (getWidth(), getHeight());
    const auto dot = juce::Rectangle<float> (diameter, diameter).withCentre (getLocalBounds().toFloat().getCentre());

    g.setColour (juce::Colour (0xff1f2020));
    g.fillEllipse (dot);
    g.setColour (fillColour);
    g.fillEllipse (dot.reduced (1.0f));

    g.setColour (textColour);
    g.setFont (OrvelLookAndFeel::boldFont (diameter * 0.75f));
    g.drawText (unreadCount > 9 ? juce::String ("9+") : juce::String (unreadCount), dot.translated (0.0f, 0.5f),
                juce::Justification::centred, false);
}

} // namespace orvel
