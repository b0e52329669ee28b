#include "SkinDrawing.h"
#include "SkinLayout.h"
#include "SkinPainters.h"
#include "SkinPalette.h"

namespace skin
{
namespace
{
    constexpr int boxSizePx = 232;

    /** Where the monitor shows through the bezel, in the bezel image's pixels.
        The editor draws the 232-pixel image centred into a 116 x 120 frame at
        (51, 78), so it lands at (51, 80) at half size; the monitor sits at (66, 93)
        with 88 x 88 units. */
    juce::Rectangle<float> bezelWindow()
    {
        const auto frame = layout::monitorFrameArea;
        const juce::Point<float> imageOrigin (frame.getX(), frame.getY() + (frame.getHeight() - frame.getWidth()) * 0.5f);
        return layout::px (layout::monitorArea - imageOrigin);
    }
} // namespace

juce::Image renderMonitorBox()
{
    auto image = makeCanvas (boxSizePx, boxSizePx);
    const auto outer = juce::Rectangle<float> (5.0f, 4.0f, 222.0f, 222.0f);
    const auto window = bezelWindow();

    juce::Path bezel;
    bezel.addRoundedRectangle (outer, 14.0f);
    bezel.addRoundedRectangle (window, 5.0f);
    bezel.setUsingNonZeroWinding (false);

    {
        // The ring's own shadow falls outside it and, through the window, on
        // the screen's upper edge: both wanted.
        juce::Graphics g (image);
        drawShadow (g, bezel, juce::Colours::black.withAlpha (0.75f), 5, { 0, 2 });
        g.setGradientFill (juce::ColourGradient (palette::metalMid, 0.0f, outer.getY(), palette::metalDark.brighter (0.1f), 0.0f, outer.getBottom(), false));
        g.fillPath (bezel);
    }

    // Grain only touches opaque pixels: the bezel, not its shadow.
    addGrain (image, 0x5eed0002u, 2.0f, 1.0f);

    juce::Graphics g (image);

    // Outer edge: lit from above, dark below.
    juce::Path outline;
    outline.addRoundedRectangle (outer.reduced (0.5f), 14.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.22f), 0.0f, outer.getY(),
                                             juce::Colours::black.withAlpha (0.5f), 0.0f, outer.getBottom(), false));
    g.strokePath (outline, juce::PathStrokeType (1.2f));

    // Chamfer into the window: dark on the upper lip, lit on the lower one.
    juce::Path chamfer;
    chamfer.addRoundedRectangle (window.expanded (5.0f), 8.0f);
    chamfer.addRoundedRectangle (window, 5.0f);
    chamfer.setUsingNonZeroWinding (false);
    g.setGradientFill (juce::ColourGradient (palette::metalEdge, 0.0f, window.getY() - 5.0f,
                                             palette::metalLight.withAlpha (0.9f), 0.0f, window.getBottom() + 5.0f, false));
    g.fillPath (chamfer);

    // Inside the window: an inner shadow from the upper edge and a faint
    // glass sheen. Both are mostly transparent so the monitor shows through.
    {
        juce::Graphics::ScopedSaveState state (g);
        juce::Path windowPath;
        windowPath.addRoundedRectangle (window, 5.0f);
        g.reduceClipRegion (windowPath);

        juce::Path surround;
        surround.addRectangle (window.expanded (20.0f));
        surround.addRoundedRectangle (window, 5.0f);
        surround.setUsingNonZeroWinding (false);
        drawShadow (g, surround, juce::Colours::black.withAlpha (0.85f), 8, { 0, 3 });

        juce::ColourGradient sheen (juce::Colours::white.withAlpha (0.07f), window.getX(), window.getY(),
                                    juce::Colours::transparentWhite, window.getCentreX(), window.getCentreY(), false);
        g.setGradientFill (sheen);
        juce::Path band;
        band.startNewSubPath (window.getTopLeft());
        band.lineTo (window.getRight() - window.getWidth() * 0.25f, window.getY());
        band.lineTo (window.getX(), window.getBottom() - window.getHeight() * 0.25f);
        band.closeSubPath();
        g.fillPath (band);
    }

    g.setColour (juce::Colours::black.withAlpha (0.9f));
    g.drawRoundedRectangle (window.expanded (0.5f), 5.5f, 1.0f);

    for (auto screw : { juce::Point<float> (16.0f, 15.0f), { 216.0f, 15.0f }, { 16.0f, 215.0f }, { 216.0f, 215.0f } })
        drawScrew (g, screw, 4.0f, 0.3f + screw.x * 0.013f + screw.y * 0.007f);

    return image;
}

juce::Image renderProductIcon (int sizePx)
{
    auto image = makeCanvas (sizePx, sizePx);
    const auto tile = image.getBounds().toFloat().reduced ((float) sizePx * 0.03f);
    const float corner = (float) sizePx * 0.18f;

    {
        juce::Graphics g (image);
        g.setGradientFill (juce::ColourGradient (palette::panelTop, 0.0f, tile.getY(), palette::panelBottom, 0.0f, tile.getBottom(), false));
        g.fillRoundedRectangle (tile, corner);
    }

    addGrain (image, 0x5eed0003u, 2.2f, 1.6f);

    juce::Graphics g (image);
    g.setColour (palette::engraveShadow);
    g.drawRoundedRectangle (tile.reduced (0.5f), corner, 1.5f);

    const auto knob = renderKnobFrame (bigKnobStyle(), 0.7f);
    const float knobSize = (float) sizePx * 0.88f;
    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.drawImage (knob, juce::Rectangle<float> (knobSize, knobSize).withCentre (tile.getCentre().translated (0.0f, (float) sizePx * 0.03f)),
                 juce::RectanglePlacement::centred);
    return image;
}
} // namespace skin
