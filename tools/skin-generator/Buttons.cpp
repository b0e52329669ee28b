#include "SkinDrawing.h"
#include "SkinPainters.h"
#include "SkinPalette.h"

namespace skin
{
namespace
{
    constexpr float pi = juce::MathConstants<float>::pi;

    /** Builds a stroke outline as a fillable shape, so glyphs made of lines and
        of areas can be filled, shadowed and outlined the same way. */
    juce::Path strokeOutline (const juce::Path& centreLine, float width,
                              juce::PathStrokeType::EndCapStyle ends = juce::PathStrokeType::rounded)
    {
        juce::Path outline;
        juce::PathStrokeType (width, juce::PathStrokeType::curved, ends).createStrokedPath (outline, centreLine);
        return outline;
    }

    juce::Path linePath (float x1, float y1, float x2, float y2)
    {
        juce::Path line;
        line.startNewSubPath (x1, y1);
        line.lineTo (x2, y2);
        return line;
    }

    juce::Path roundedPolygon (std::initializer_list<juce::Point<float>> corners, float cornerRadius)
    {
        juce::Path polygon;
        bool first = true;
        for (auto corner : corners)
        {
            if (first)
                polygon.startNewSubPath (corner);
            else
                polygon.lineTo (corner);
            first = false;
        }
        polygon.closeSubPath();
        return polygon.createPathWithRoundedCorners (cornerRadius);
    }

    // Glyphs are drawn on a 24 x 24 design grid and scaled into their image.

    juce::Path triangleGlyph (bool pointsUp)
    {
        auto triangle = pointsUp ? roundedPolygon ({ { 12.0f, 6.0f }, { 20.0f, 16.0f }, { 4.0f, 16.0f } }, 1.6f)
                                 : roundedPolygon ({ { 4.0f, 8.0f }, { 20.0f, 8.0f }, { 12.0f, 18.0f } }, 1.6f);
        return triangle;
    }

    juce::Path floppyGlyph()
    {
        auto disk = roundedPolygon ({ { 3.0f, 3.0f }, { 17.0f, 3.0f }, { 21.0f, 7.0f }, { 21.0f, 21.0f }, { 3.0f, 21.0f } }, 2.2f);
        disk.addRoundedRectangle (7.0f, 5.2f, 8.5f, 4.6f, 0.8f);
        disk.addRoundedRectangle (6.5f, 13.0f, 11.0f, 6.0f, 1.0f);
        disk.setUsingNonZeroWinding (false);
        return disk;
    }

    juce::Path trashGlyph()
    {
        juce::Path can;
        can.addRoundedRectangle (9.3f, 2.6f, 5.4f, 2.6f, 1.0f);
        can.addRoundedRectangle (4.0f, 5.6f, 16.0f, 2.4f, 1.0f);
        can.addPath (roundedPolygon ({ { 5.6f, 9.2f }, { 18.4f, 9.2f }, { 17.2f, 21.2f }, { 6.8f, 21.2f } }, 1.4f));
        for (float x : { 8.6f, 11.25f, 13.9f })
            can.addRoundedRectangle (x, 11.6f, 1.5f, 7.2f, 0.7f);
        can.setUsingNonZeroWinding (false);
        return can;
    }

    juce::Path dieGlyph()
    {
        juce::Path die;
        die.addRoundedRectangle (3.0f, 3.0f, 18.0f, 18.0f, 4.2f);
        for (auto pip : { juce::Point<float> (8.0f, 8.0f), { 16.0f, 8.0f }, { 12.0f, 12.0f }, { 8.0f, 16.0f }, { 16.0f, 16.0f } })
            die.addEllipse (pip.x - 1.75f, pip.y - 1.75f, 3.5f, 3.5f);
        die.setUsingNonZeroWinding (false);
        return die;
    }

    juce::Path bellGlyph()
    {
        juce::Path bell;
        bell.startNewSubPath (12.0f, 3.6f);
        bell.cubicTo (8.3f, 3.6f, 6.3f, 6.4f, 6.3f, 10.2f);
        bell.lineTo (6.3f, 14.2f);
        bell.lineTo (4.2f, 17.4f);
        bell.lineTo (19.8f, 17.4f);
        bell.lineTo (17.7f, 14.2f);
        bell.lineTo (17.7f, 10.2f);
        bell.cubicTo (17.7f, 6.4f, 15.7f, 3.6f, 12.0f, 3.6f);
        bell.closeSubPath();
        bell = bell.createPathWithRoundedCorners (1.0f);
        bell.addEllipse (10.9f, 1.3f, 2.2f, 2.2f);
        bell.addPieSegment (9.4f, 16.6f, 5.2f, 5.2f, 0.5f * pi, 1.5f * pi, 0.0f);
        return bell;
    }

    juce::Path menuGlyph()
    {
        juce::Path lines;
        for (float y : { 5.8f, 10.8f, 15.8f })
            lines.addRoundedRectangle (4.0f, y, 16.0f, 2.6f, 1.3f);
        return lines;
    }

    juce::Path powerGlyph()
    {
        juce::Path ring;
        ring.addCentredArc (12.0f, 13.0f, 7.6f, 7.6f, 0.0f, 0.23f * pi, 1.77f * pi, true);
        juce::Path bar;
        bar.startNewSubPath (12.0f, 3.4f);
        bar.lineTo (12.0f, 11.6f);

        auto glyph = strokeOutline (ring, 2.5f);
        glyph.addPath (strokeOutline (bar, 2.5f));
        return glyph;
    }

    juce::Path glyphFor (TopBarGlyph glyph)
    {
        switch (glyph)
        {
            case TopBarGlyph::previous:
                return triangleGlyph (true);
            case TopBarGlyph::next:
                return triangleGlyph (false);
            case TopBarGlyph::save:
                return floppyGlyph();
            case TopBarGlyph::remove:
                return trashGlyph();
            case TopBarGlyph::random:
                return dieGlyph();
            case TopBarGlyph::bell:
                return bellGlyph();
            case TopBarGlyph::more:
                return menuGlyph();
            case TopBarGlyph::bypass:
                return powerGlyph();
        }
        return {};
    }

    /** The glyph's size inside its image: the small arrows fill their slim
        buttons, the square buttons keep a margin for the glow. */
    juce::Rectangle<float> glyphArea (TopBarGlyph glyph, int widthPx, int heightPx)
    {
        const auto image = juce::Rectangle<float> ((float) widthPx, (float) heightPx);
        if (glyph == TopBarGlyph::previous || glyph == TopBarGlyph::next)
            return image.withSizeKeepingCentre (heightPx * 1.25f, heightPx * 1.25f);
        return image.withSizeKeepingCentre (image.getHeight() * 0.6f, image.getHeight() * 0.6f);
    }

    juce::Path swapArrowsGlyph()
    {
        // Two arrows passing each other: right along the top, left along the bottom.
        juce::Path arrows;
        arrows.addPath (strokeOutline (linePath (15.5f, 15.5f, 38.0f, 15.5f), 3.0f));
        arrows.addPath (roundedPolygon ({ { 36.0f, 10.0f }, { 44.5f, 15.5f }, { 36.0f, 21.0f } }, 1.0f));
        arrows.addPath (strokeOutline (linePath (22.0f, 28.5f, 44.5f, 28.5f), 3.0f));
        arrows.addPath (roundedPolygon ({ { 24.0f, 23.0f }, { 15.5f, 28.5f }, { 24.0f, 34.0f } }, 1.0f));
        return arrows;
    }
} // namespace

juce::Image renderTopBarButton (TopBarGlyph glyph, bool lit, int widthPx, int heightPx)
{
    auto image = makeCanvas (widthPx, heightPx);
    juce::Graphics g (image);

    auto path = glyphFor (glyph);
    path.applyTransform (juce::RectanglePlacement (juce::RectanglePlacement::centred)
                             .getTransformToFit (juce::Rectangle<float> (24.0f, 24.0f).reduced (2.0f, 2.0f),
                                                 glyphArea (glyph, widthPx, heightPx)));
    // Design-grid margins differ per glyph; centre what is actually drawn.
    const auto drawn = path.getBounds();
    const auto target = juce::Rectangle<float> ((float) widthPx, (float) heightPx).getCentre();
    path.applyTransform (juce::AffineTransform::translation (std::round (target.x - drawn.getCentreX()),
                                                             std::round (target.y - drawn.getCentreY())));

    // A dark lip under the glyph makes it sit in the box like a silk-screen print.
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.fillPath (path, juce::AffineTransform::translation (0.0f, 1.2f));

    fillGlyph (g, path, lit ? palette::glyphOn : palette::glyphOff, lit ? heightPx * 0.14f : 0.0f);
    return image;
}

juce::Image renderSwapButton (bool lit)
{
    auto image = makeCanvas (60, 44);
    juce::Graphics g (image);

    const auto key = juce::Rectangle<float> (5.0f, 3.0f, 50.0f, 36.0f);
    juce::Path keyPath;
    keyPath.addRoundedRectangle (key, 7.0f);

    drawShadow (g, keyPath, juce::Colours::black.withAlpha (0.85f), lit ? 2 : 4, { 0, lit ? 1 : 2 });

    g.setGradientFill (juce::ColourGradient (lit ? palette::metalMid.darker (0.2f) : palette::metalMid, 0.0f, key.getY(),
                                             palette::metalDark, 0.0f, key.getBottom(), false));
    g.fillPath (keyPath);

    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (lit ? 0.12f : 0.22f), 0.0f, key.getY(),
                                             juce::Colours::transparentWhite, 0.0f, key.getCentreY(), false));
    g.strokePath (keyPath, juce::PathStrokeType (1.2f), juce::AffineTransform::translation (0.0f, 0.3f));
    g.setColour (palette::metalEdge);
    g.strokePath (keyPath, juce::PathStrokeType (1.0f));

    const auto arrows = swapArrowsGlyph();
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillPath (arrows, juce::AffineTransform::translation (0.0f, 1.0f));
    fillGlyph (g, arrows, lit ? palette::glyphOn : palette::glyphOff, lit ? 5.0f : 0.0f);
    return image;
}

juce::Image renderRoundButton (bool lit)
{
    auto image = makeCanvas (52, 52);
    juce::Graphics g (image);
    const juce::Point<float> centre (26.0f, 25.0f);

    auto disc = [centre] (float radius)
    { return juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre); };

    // Bezel ring sunk into the panel.
    juce::Path bezel;
    bezel.addEllipse (disc (22.0f));
    g.setColour (palette::engraveHighlight.withAlpha (0.5f));
    g.fillEllipse (disc (22.0f).translated (0.0f, 1.0f));
    g.setGradientFill (juce::ColourGradient (palette::metalEdge, 0.0f, centre.y - 22.0f, palette::metalDark, 0.0f, centre.y + 22.0f, false));
    g.fillPath (bezel);

    // The cap, raised when off, pressed in when lit.
    juce::Path cap;
    cap.addEllipse (disc (18.0f));
    drawShadow (g, cap, juce::Colours::black.withAlpha (0.9f), lit ? 2 : 4, { 0, lit ? 1 : 2 });
    g.setGradientFill (juce::ColourGradient (lit ? palette::metalMid.darker (0.15f) : palette::metalLight.darker (0.1f), 0.0f, centre.y - 18.0f,
                                             palette::metalDark, 0.0f, centre.y + 18.0f, false));
    g.fillPath (cap);
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (lit ? 0.15f : 0.3f), 0.0f, centre.y - 18.0f,
                                             juce::Colours::black.withAlpha (0.3f), 0.0f, centre.y + 18.0f, false));
    g.drawEllipse (disc (17.5f), 1.0f);

    // The LED lens; lit, it throws a warm halo over the cap.
    juce::Path led;
    led.addEllipse (disc (7.0f));
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.fillEllipse (disc (8.5f));

    if (lit)
    {
        g.setGradientFill (juce::ColourGradient (palette::amber.withAlpha (0.35f), centre.x, centre.y,
                                                 palette::amber.withAlpha (0.0f), centre.x + 17.0f, centre.y, true));
        g.fillEllipse (disc (17.0f));
        drawShadow (g, led, palette::amber.withAlpha (0.9f), 9, {});
        g.setGradientFill (juce::ColourGradient (palette::amber.brighter (0.6f), centre.x - 1.5f, centre.y - 2.0f,
                                                 palette::amber.darker (0.2f), centre.x + 7.0f, centre.y + 7.0f, true));
        g.fillPath (led);
    }
    else
    {
        g.setGradientFill (juce::ColourGradient (palette::amberDim.brighter (0.3f), centre.x - 1.5f, centre.y - 2.0f,
                                                 palette::amberDim.darker (0.5f), centre.x + 7.0f, centre.y + 7.0f, true));
        g.fillPath (led);
    }

    // Lens glint.
    g.setColour (juce::Colours::white.withAlpha (lit ? 0.75f : 0.28f));
    g.fillEllipse (centre.x - 3.8f, centre.y - 4.4f, 3.2f, 2.2f);
    return image;
}

juce::Image renderPadlock (bool locked, int sizePx)
{
    auto image = makeCanvas (sizePx, sizePx);
    juce::Graphics g (image);

    // Design grid 24 x 24: a rounded body with a keyhole and a shackle above.
    juce::Path shackle;
    if (locked)
    {
        shackle.startNewSubPath (7.6f, 10.5f);
        shackle.lineTo (7.6f, 7.8f);
        shackle.addCentredArc (12.0f, 7.8f, 4.4f, 4.4f, 0.0f, -0.5f * pi, 0.5f * pi, false);
        shackle.lineTo (16.4f, 10.5f);
    }
    else
    {
        shackle.startNewSubPath (7.6f, 10.5f);
        shackle.lineTo (7.6f, 5.6f);
        shackle.addCentredArc (12.0f, 5.6f, 4.4f, 4.4f, 0.0f, -0.5f * pi, 0.5f * pi, false);
        shackle.lineTo (16.4f, 7.0f);
    }

    // Square ends where the shackle meets the body: overlapping shapes would
    // punch holes under the even-odd rule the keyhole needs.
    auto glyph = strokeOutline (shackle, 2.6f, juce::PathStrokeType::butt);
    juce::Path body;
    body.addRoundedRectangle (4.5f, 10.5f, 15.0f, 11.0f, 2.2f);
    body.addEllipse (10.4f, 13.3f, 3.2f, 3.2f);
    body.addRoundedRectangle (11.3f, 15.0f, 1.4f, 3.8f, 0.6f);
    glyph.addPath (body);
    glyph.setUsingNonZeroWinding (false);

    glyph.applyTransform (juce::AffineTransform::scale ((float) sizePx / 24.0f));

    // A dark outline keeps the glyph readable on the light knobs as well as the dark ones.
    g.setColour (palette::glyphOutline.withAlpha (0.9f));
    g.strokePath (glyph, juce::PathStrokeType (2.2f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    g.setColour (locked ? palette::amber : palette::glyphOff);
    g.fillPath (glyph);
    return image;
}
} // namespace skin
