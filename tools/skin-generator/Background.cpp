#include "SkinDrawing.h"
#include "SkinLayout.h"
#include "SkinPainters.h"
#include "SkinPalette.h"

namespace skin
{
namespace
{
    using layout::px;

    void paintPanel (juce::Graphics& g, juce::Rectangle<float> area)
    {
        g.setGradientFill (juce::ColourGradient (palette::panelTop, 0.0f, area.getY(), palette::panelBottom, 0.0f, area.getBottom(), false));
        g.fillRect (area);
    }

    void paintTopBar (juce::Graphics& g)
    {
        const auto bar = px (juce::Rectangle<float> (0.0f, 0.0f, (float) layout::windowWidth, layout::topBarHeight));
        g.setGradientFill (juce::ColourGradient (palette::topBarTop, 0.0f, bar.getY(), palette::topBarBottom, 0.0f, bar.getBottom(), false));
        g.fillRect (bar);

        // The bar's lower edge: a shadow line on the bar, a highlight on the panel.
        g.setColour (palette::engraveShadow);
        g.fillRect (bar.getX(), bar.getBottom() - 2.0f, bar.getWidth(), 2.0f);
        g.setColour (palette::engraveHighlight.withAlpha (0.55f));
        g.fillRect (bar.getX(), bar.getBottom(), bar.getWidth(), 1.0f);
    }

    /** A thin engraved outline: a dark cut with a lit lower edge. */
    void engraveRoundedRectangle (juce::Graphics& g, juce::Rectangle<float> area, float cornerPx)
    {
        g.setColour (palette::engraveHighlight.withAlpha (0.45f));
        g.drawRoundedRectangle (area.translated (0.0f, 1.5f), cornerPx, 1.5f);
        g.setColour (palette::engraveShadow.withAlpha (0.9f));
        g.drawRoundedRectangle (area, cornerPx, 1.5f);
    }

    void paintScreenWell (juce::Graphics& g)
    {
        // The monitor's grid covers this; it only matters for the anti-aliased
        // edges of the bezel's window, which must not show the lighter panel.
        g.setColour (palette::screenBlack);
        g.fillRect (px (layout::monitorArea).expanded (4.0f));
    }

    void paintVignette (juce::Graphics& g, juce::Rectangle<float> area)
    {
        g.setGradientFill (juce::ColourGradient (juce::Colours::transparentBlack, area.getCentreX(), area.getCentreY() + area.getHeight() * 0.08f,
                                                 juce::Colours::black.withAlpha (0.28f), area.getX(), area.getY(), true));
        g.fillRect (area);
    }
} // namespace

juce::Image renderBackground()
{
    auto image = makeCanvas (px (layout::windowWidth), px (layout::windowHeight));
    const auto whole = image.getBounds().toFloat();

    {
        juce::Graphics g (image);
        paintPanel (g, whole);
    }

    addGrain (image, 0x5eed0001u, 2.2f, 1.6f);

    juce::Graphics g (image);
    paintVignette (g, whole);
    paintTopBar (g);
    paintScreenWell (g);

    engraveRoundedRectangle (g, px (layout::faceplateBorder), px (6.0f));

    for (const auto& screw : layout::screwCentres)
        drawScrew (g, px (screw), px (4.2f), 0.6f + 0.37f * screw.x);

    return image;
}
} // namespace skin
