#include "editor/OrvelKnobBubbles.h"

namespace orvel
{
juce::ComponentAnimator& bubbleAnimator()
{
    return juce::Desktop::getInstance().getAnimator();
}

void fadeBubbleIn (juce::Component& bubble, float alphaLimit)
{
    bubble.setVisible (true);
    bubbleAnimator().animateComponent (&bubble, bubble.getBounds(), alphaLimit, 300, false, 1.0, 1.0);
}

void fadeBubbleOut (juce::Component& bubble)
{
    if (bubble.getAlpha() <= 0.0f)
        return;

    // The fade runs on a snapshot; the bubble itself is hidden at once and
    // counts as closed (alpha 0) from now on, so the next show fades in again.
    bubbleAnimator().fadeOut (&bubble, 300);
    bubble.setAlpha (0.0f);
}

void paintBubbleBackground (juce::Graphics& g, juce::Component& bubble)
{
    const auto area = bubble.getLocalBounds().toFloat().reduced (1.0f);
    g.setColour (bubble.findColour (juce::BubbleComponent::backgroundColourId));
    g.fillRoundedRectangle (area, 7.0f);
    g.setColour (bubble.findColour (juce::BubbleComponent::outlineColourId));
    g.drawRoundedRectangle (area, 7.0f, 1.0f);
}
} // namespace orvel
