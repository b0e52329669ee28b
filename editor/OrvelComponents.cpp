#include "editor/OrvelComponents.h"

#include "editor/OrvelLookAndFeel.h"

namespace orvel
{

RoundedBox::RoundedBox()
{
    setInterceptsMouseClicks (false, false);
    setBufferedToImage (true);
}

void RoundedBox::paint (juce::Graphics& g)
{
    paintBox (g, getLocalBounds().toFloat(), (float) cornerSize, fillColour, innerOutlineColour, lowerOutlineColour);
}

void RoundedBox::paintBox (juce::Graphics& g, juce::Rectangle<float> bounds, float corner,
                           juce::Colour fill, juce::Colour innerOutline, juce::Colour lowerOutline)
{
    const auto w = bounds.getWidth(), h = bounds.getHeight();

    g.setColour (fill);
    g.fillRoundedRectangle (1.0f, 1.0f, w - 2.0f, h - 3.0f, corner);
    g.setColour (lowerOutline);
    g.drawRoundedRectangle (1.0f, 1.0f, w - 2.0f, h - 2.0f, corner, 1.0f);
    g.setColour (innerOutline);
    g.drawRoundedRectangle (1.0f, 1.0f, w - 2.0f, h - 3.0f, corner, 1.0f);
}

//==============================================================================
void OrvelLabel::mouseEnter (const juce::MouseEvent& e)
{
    juce::Label::mouseEnter (e);

    if (clickAction != nullptr)
        setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void OrvelLabel::mouseDown (const juce::MouseEvent& e)
{
    juce::Label::mouseDown (e);

    if (clickAction != nullptr)
        clickAction();
}

//==============================================================================
OrvelBubble::OrvelBubble (float initialValue)
    : value (initialValue)
{
    setAlwaysOnTop (true);
    setAlpha (0.0f);
    setVisible (false);
    updateGeometry();
}

void OrvelBubble::setText (const juce::String& newText)
{
    if (text != newText)
    {
        text = newText;
        repaint();
    }
}

void OrvelBubble::setFont (const juce::Font& newFont)
{
    if (font != newFont)
    {
        font = newFont;
        repaint();
    }
}

void OrvelBubble::setSpeechBubble (bool shouldBeSpeechBubble, int newArrowSide)
{
    speechBubble = shouldBeSpeechBubble;
    arrowSide = newArrowSide == arrowAbove ? arrowAbove : arrowBelow;
    updateGeometry();
    repaint();
}

void OrvelBubble::setBodyGeometry (float newBodyWidth, float newBodyHeight, float newArrowMargin, float newArrowX)
{
    bodyWidth = newBodyWidth;
    bodyHeight = newBodyHeight;
    arrowMargin = newArrowMargin;
    arrowX = newArrowX;
    updateGeometry();
    repaint();
}

void OrvelBubble::updateGeometry()
{
    if (arrowSide == arrowBelow)
    {
        bodyArea = { 0.5f, 0.5f, bodyWidth, bodyHeight };
        arrowTip = { arrowX, (float) getHeight() - arrowMargin };
    }
    else
    {
        bodyArea = { 0.5f, arrowMargin + 0.5f, bodyWidth, bodyHeight };
        arrowTip = { arrowX, 0.0f };
    }
}

void OrvelBubble::fadeIn (int milliseconds)
{
    animator.cancelAnimation (this, false);
    setAlpha (0.0f);
    setVisible (true);
    animator.animateComponent (this, getBounds(), 1.0f, milliseconds, false, 1.0, 1.0);
}

void OrvelBubble::fadeOut (int milliseconds)
{
    if (getAlpha() <= 0.0f)
        return;

    animator.fadeOut (this, milliseconds);
    // The fade runs on a snapshot; the bubble itself is hidden at once and
    // counts as not showing from now on.
    setAlpha (0.0f);
}

void OrvelBubble::mouseDown (const juce::MouseEvent&)
{
    if (getAlpha() > 0.0f)
    {
        fadeOut (300);
        sendChangeMessage();
    }
}

void OrvelBubble::paint (juce::Graphics& g)
{
    const auto background = findColour (juce::BubbleComponent::backgroundColourId);
    const auto outline = findColour (juce::BubbleComponent::outlineColourId);

    g.setFont (font);

    // The text keeps its line breaks and stays clear of the edges; the body is
    // opaque so whatever lies behind never shows through the words.
    const auto lines = juce::jmax (1, juce::StringArray::fromLines (text).size());
    auto drawText = [&] (juce::Rectangle<int> area)
    {
        g.setColour (findColour (juce::TooltipWindow::textColourId));
        g.drawFittedText (text, area.reduced (textPaddingX, textPaddingY), juce::Justification::centred, lines, 1.0f);
    };

    if (! speechBubble)
    {
        const auto bounds = getLocalBounds().toFloat().reduced (0.5f);
        g.setColour (background.withAlpha (1.0f));
        g.fillRoundedRectangle (bounds, 4.0f);
        g.setColour (outline);
        g.drawRoundedRectangle (bounds, 4.0f, 1.0f);
        drawText (getLocalBounds());
        return;
    }

    juce::Path bubble;
    bubble.addBubble (bodyArea, getLocalBounds().toFloat(), arrowTip, 4.0f, 5.0f);
    g.setColour (background.withAlpha (1.0f));
    g.fillPath (bubble);
    g.setColour (outline);
    g.strokePath (bubble, juce::PathStrokeType (1.2f));
    drawText (bodyArea.toNearestInt());
}

} // namespace orvel
