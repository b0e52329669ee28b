#include "editor/LoadingOverlay.h"

#include "editor/OrvelLookAndFeel.h"

namespace orvel
{

void LoadingOverlay::paint (juce::Graphics& g)
{
    const auto w = getWidth(), h = getHeight();
    const auto colour = juce::Colour (OrvelLookAndFeel::darkArgb).brighter (0.15f);

    if (plain)
    {
        g.fillAll (juce::Colour (0xff2c2c2d));
        g.setColour (juce::Colour (OrvelLookAndFeel::lightArgb).withAlpha (0.35f));
    }
    else
    {
        g.fillAll (juce::Colour (OrvelLookAndFeel::lightArgb).darker (0.04f).withAlpha (0.55f));

        g.setFont (OrvelLookAndFeel::regularFont (50.0f));
        g.setColour (colour);
        // The word ends 50 units right of the centre and the dots follow it, so the
        // word does not shift while the dots change.
        g.drawText (word, juce::Rectangle<int> (0, h / 2 - 25, w / 2 + 50, 50), juce::Justification::centredRight, true);
        g.drawText (dots, juce::Rectangle<int> (w / 2 + 50, h / 2 - 25, w / 2, 50), juce::Justification::centredLeft, true);
    }

    const float dashes[] = { 12.0f, 12.0f };
    const auto left = 7.0f, top = 7.0f, right = (float) w - 7.0f, bottom = (float) h - 7.0f;
    const juce::Line<float> edges[] = {
        { left, top, right, top },
        { right, top, right, bottom },
        { right, bottom, left, bottom },
        { left, bottom, left, top },
    };

    for (const auto& edge : edges)
        g.drawDashedLine (edge, dashes, 2, 5.0f);
}

void LoadingOverlay::setPlain (bool shouldBePlain)
{
    plain = shouldBePlain;
    setOpaque (plain);
    repaint();
}

void LoadingOverlay::timerCallback()
{
    dots << ".";

    if (dots.length() > 3)
        dots.clear();

    repaint();
}

} // namespace orvel
