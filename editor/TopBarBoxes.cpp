#include "TopBarBoxes.h"

#include "OrvelComponents.h"
#include "OrvelLookAndFeel.h"

namespace orvel
{

OrvelTopBox::OrvelTopBox()
{
    setInterceptsMouseClicks (false, false);
}

void OrvelTopBox::setCornerSize (int newCornerSize)
{
    if (cornerSize != newCornerSize)
    {
        cornerSize = newCornerSize;
        repaint();
    }
}

void OrvelTopBox::setFillColour (juce::Colour newColour)
{
    if (fillColour != newColour)
    {
        fillColour = newColour;
        repaint();
    }
}

void OrvelTopBox::setInnerOutlineColour (juce::Colour newColour)
{
    if (innerOutlineColour != newColour)
    {
        innerOutlineColour = newColour;
        repaint();
    }
}

void OrvelTopBox::setLowerOutlineColour (juce::Colour newColour)
{
    if (lowerOutlineColour != newColour)
    {
        lowerOutlineColour = newColour;
        repaint();
    }
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
    if (unreadCount != newCount)
    {
        unreadCount = newCount;
        repaint();
    }
}

void OrvelTopNotificationAmount::setCornerSize (int newCornerSize)
{
    if (cornerSize != newCornerSize)
    {
        cornerSize = newCornerSize;
        repaint();
    }
}

void OrvelTopNotificationAmount::setFillColour (juce::Colour newColour)
{
    if (fillColour != newColour)
    {
        fillColour = newColour;
        repaint();
    }
}

void OrvelTopNotificationAmount::setTextColour (juce::Colour newColour)
{
    if (textColour != newColour)
    {
        textColour = newColour;
        repaint();
    }
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
