#include "SkinDrawing.h"
#include "SkinPainters.h"
#include "SkinPalette.h"

#include <cmath>

namespace skin
{
namespace
{
    constexpr float pi = juce::MathConstants<float>::pi;
    constexpr float twoPi = juce::MathConstants<float>::twoPi;

    /** The knob turns through 270 degrees; its gap (and the label) sits below. */
    constexpr float startAngle = -0.75f * pi;
    constexpr float endAngle = 0.75f * pi;

    float angleForValue (float value) noexcept
    {
        return startAngle + value * (endAngle - startAngle);
    }

    /** Paints one knob style. What does not move with the value (scale, groove,
        shadow, body, cap) is painted once into a layer that every frame starts
        from; each frame then adds only the value arc and the pointer. */
    class KnobPainter
    {
    public:
        explicit KnobPainter (const KnobStyle& knobStyle)
            : style (knobStyle), size ((float) knobStyle.framePx)
        {
            paintStaticLayer();
        }

        void paintFrame (juce::Graphics& g, float value) const
        {
            g.drawImageAt (staticLayer, 0, 0);
            paintValueArc (g, value);
            paintPointer (g, value);
        }

    private:
        float px (float fraction) const noexcept { return fraction * size; }
        juce::Point<float> centre() const noexcept { return { size * 0.5f, size * 0.5f }; }

        juce::Rectangle<float> circle (float fraction) const
        {
            return juce::Rectangle<float> (px (fraction) * 2.0f, px (fraction) * 2.0f).withCentre (centre());
        }

        void paintStaticLayer()
        {
            staticLayer = makeCanvas (style.framePx, style.framePx);
            juce::Graphics g (staticLayer);

            paintScale (g);
            paintGroove (g);
            paintBody (g);
            paintCap (g);
        }

        void paintScale (juce::Graphics& g) const
        {
            if (style.scaleTicks < 2)
                return;

            const float width = juce::jmax (1.6f, px (0.0085f));

            for (int tick = 0; tick < style.scaleTicks; ++tick)
            {
                const float angle = angleForValue ((float) tick / (float) (style.scaleTicks - 1));
                const bool major = tick == 0 || tick == style.scaleTicks - 1 || tick * 2 == style.scaleTicks - 1;
                const float outer = px (style.tickOuter);
                const float inner = major ? px (style.tickInner) - width : px (style.tickInner);

                juce::Path line;
                line.startNewSubPath (centre().getPointOnCircumference (inner, angle));
                line.lineTo (centre().getPointOnCircumference (outer, angle));

                g.setColour (palette::scaleTick.withAlpha (major ? 0.85f : 0.5f));
                strokeRound (g, line, width);
            }
        }

        void paintGroove (juce::Graphics& g) const
        {
            const auto groove = arcPath (centre(), px (style.arcRadius), startAngle, endAngle);
            const float thickness = px (style.arcThickness);

            // A lit lower rim makes the groove read as cut into the panel.
            g.setColour (palette::engraveHighlight.withAlpha (0.28f));
            strokeRound (g, groove, thickness + 2.0f);
            g.setColour (palette::arcTrack);
            g.saveState();
            g.addTransform (juce::AffineTransform::translation (0.0f, -0.6f));
            strokeRound (g, groove, thickness);
            g.restoreState();
        }

        void paintBody (juce::Graphics& g)
        {
            const auto skirt = circle (style.skirtRadius);

            juce::Path skirtPath;
            skirtPath.addEllipse (skirt);
            drawShadow (g, skirtPath, juce::Colours::black.withAlpha (0.8f), juce::roundToInt (px (0.06f)),
                        { 0, juce::roundToInt (px (0.035f)) });

            const auto top = style.lightCap ? palette::skirtLightTop : palette::metalMid;
            const auto bottom = style.lightCap ? palette::skirtLightBottom : palette::metalDark;
            g.setGradientFill (juce::ColourGradient (top, 0.0f, skirt.getY(), bottom, 0.0f, skirt.getBottom(), false));
            g.fillEllipse (skirt);

            if (style.knurledSkirt)
                paintKnurling();

            g.setColour (palette::metalEdge.withAlpha (style.lightCap ? 0.55f : 0.9f));
            g.drawEllipse (skirt.reduced (0.5f), 1.2f);
        }

        void paintKnurling()
        {
            const float inner = px (style.capRadius);
            const float outer = px (style.skirtRadius) - 1.0f;
            const float ribs = (float) juce::jmax (24, (int) std::round (twoPi * outer / style.knurlPitchPx));

            // Ribs catch the light from above and fall dark below.
            shadeAnnulus (staticLayer, centre(), inner, outer, [ribs] (float angle)
                          {
                          const float lit = 0.5f + 0.5f * std::cos (angle);
                          const float rib = std::cos (ribs * angle);
                          return rib > 0.0f ? rib * (0.05f + 0.13f * lit) : rib * 0.3f; });
        }

        void paintCap (juce::Graphics& g)
        {
            const auto cap = circle (style.capRadius);

            // A slim dark gap between cap and skirt.
            g.setColour (juce::Colours::black.withAlpha (0.45f));
            g.fillEllipse (cap.expanded (1.5f));

            const auto top = style.lightCap ? palette::capLightTop : palette::capDarkTop;
            const auto bottom = style.lightCap ? palette::capLightBottom : palette::capDarkBottom;
            g.setGradientFill (juce::ColourGradient (top, 0.0f, cap.getY(), bottom, 0.0f, cap.getBottom(), false));
            g.fillEllipse (cap);

            if (style.spunMetal)
                paintSpunFinish();

            // Soft sheen from the upper left, and a crisp rim: bright above, dark below.
            g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (style.lightCap ? 0.35f : 0.10f),
                                                     cap.getX() + cap.getWidth() * 0.3f, cap.getY() + cap.getHeight() * 0.25f,
                                                     juce::Colours::transparentWhite,
                                                     cap.getCentreX(), cap.getCentreY() + cap.getHeight() * 0.2f, true));
            g.fillEllipse (cap);

            g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (style.lightCap ? 0.9f : 0.32f), 0.0f, cap.getY(),
                                                     juce::Colours::black.withAlpha (0.35f), 0.0f, cap.getBottom(), false));
            g.drawEllipse (cap.reduced (0.6f), 1.2f);
        }

        void paintSpunFinish()
        {
            // The bow-tie reflection a turned surface throws back.
            constexpr float reflectionAxis = -0.15f * pi;
            shadeAnnulus (staticLayer, centre(), 0.0f, px (style.capRadius), [] (float angle)
                          { return 0.12f * std::pow (0.5f + 0.5f * std::cos (2.0f * (angle - reflectionAxis)), 6.0f); });
        }

        void paintValueArc (juce::Graphics& g, float value) const
        {
            const float origin = style.bipolar ? 0.0f : startAngle;
            const float angle = angleForValue (value);

            if (std::abs (angle - origin) < 0.01f)
                return;

            const auto arc = arcPath (centre(), px (style.arcRadius), juce::jmin (origin, angle), juce::jmax (origin, angle));
            const float thickness = px (style.arcThickness) * 0.78f;

            juce::Path stroke;
            juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded).createStrokedPath (stroke, arc);

            // The glow must fade out inside the frame: the editor shows each frame
            // on its own, so anything reaching the edge would be cut off hard.
            const float roomPx = size * 0.5f - (px (style.arcRadius) + thickness * 0.5f) - 3.0f;
            const int glowPx = juce::jlimit (1, juce::jmax (1, (int) roomPx), juce::roundToInt (thickness * 1.1f));
            drawShadow (g, stroke, style.valueColour.withAlpha (0.55f), glowPx, {});
            g.setColour (style.valueColour);
            g.fillPath (stroke);

            // A hot core along the arc.
            g.setColour (juce::Colours::white.withAlpha (0.22f));
            strokeRound (g, arc, thickness * 0.28f);
        }

        void paintPointer (juce::Graphics& g, float value) const
        {
            const float angle = angleForValue (value);

            juce::Path line;
            line.startNewSubPath (centre().getPointOnCircumference (px (style.pointerInner), angle));
            line.lineTo (centre().getPointOnCircumference (px (style.pointerOuter), angle));
            const float width = px (style.pointerWidth);

            if (style.lightCap)
            {
                // An engraved line: dark fill with a lit lower edge.
                g.setColour (juce::Colours::white.withAlpha (0.7f));
                g.saveState();
                g.addTransform (juce::AffineTransform::translation (0.0f, 1.0f));
                strokeRound (g, line, width);
                g.restoreState();
                g.setColour (palette::pointerDark);
                strokeRound (g, line, width);
                return;
            }

            g.setColour (juce::Colours::black.withAlpha (0.55f));
            strokeRound (g, line, width + 2.0f);
            g.setColour (palette::pointerLight);
            strokeRound (g, line, width);
        }

        KnobStyle style;
        float size;
        juce::Image staticLayer;
    };
} // namespace

KnobStyle bigKnobStyle()
{
    KnobStyle style;
    style.framePx = 306;
    style.spunMetal = true;
    style.knurledSkirt = true;
    style.scaleTicks = 11;
    style.knurlPitchPx = 10.0f;
    style.arcRadius = 0.405f;
    style.arcThickness = 0.03f;
    style.skirtRadius = 0.34f;
    style.capRadius = 0.285f;
    style.tickInner = 0.453f;
    style.tickOuter = 0.482f;
    style.pointerInner = 0.10f;
    style.pointerOuter = 0.265f;
    style.pointerWidth = 0.022f;
    style.valueColour = palette::amber;
    return style;
}

KnobStyle whiteKnobStyle()
{
    KnobStyle style;
    style.framePx = 124;
    style.lightCap = true;
    style.bipolar = true;
    style.arcRadius = 0.405f;
    style.arcThickness = 0.055f;
    style.skirtRadius = 0.33f;
    style.capRadius = 0.275f;
    style.pointerInner = 0.11f;
    style.pointerOuter = 0.26f;
    style.pointerWidth = 0.045f;
    style.valueColour = palette::amber;
    return style;
}

KnobStyle whiteKnobUnipolarStyle()
{
    auto style = whiteKnobStyle();
    style.bipolar = false;
    return style;
}

KnobStyle smallKnobStyle()
{
    KnobStyle style;
    style.framePx = 136;
    style.spunMetal = true;
    style.knurledSkirt = true;
    style.arcRadius = 0.41f;
    style.arcThickness = 0.05f;
    style.skirtRadius = 0.325f;
    style.capRadius = 0.27f;
    style.pointerInner = 0.09f;
    style.pointerOuter = 0.25f;
    style.pointerWidth = 0.038f;
    style.valueColour = palette::amber;
    return style;
}

KnobStyle smallKnob2Style()
{
    auto style = smallKnobStyle();
    style.valueColour = palette::ice;
    return style;
}

KnobStyle tinyKnobStyle()
{
    KnobStyle style;
    style.framePx = 86;
    style.spunMetal = true;
    style.knurledSkirt = true;
    style.arcRadius = 0.395f;
    style.arcThickness = 0.065f;
    style.skirtRadius = 0.315f;
    style.capRadius = 0.26f;
    style.pointerInner = 0.10f;
    style.pointerOuter = 0.245f;
    style.pointerWidth = 0.05f;
    style.valueColour = palette::amber;
    return style;
}

struct KnobFrames::Painter : KnobPainter
{
    using KnobPainter::KnobPainter;
};

KnobFrames::KnobFrames (const KnobStyle& style)
    : painter (std::make_unique<Painter> (style)), framePx (style.framePx) {}

KnobFrames::~KnobFrames() = default;

juce::Image KnobFrames::render (float value) const
{
    auto frame = makeCanvas (framePx, framePx);
    {
        juce::Graphics g (frame);
        painter->paintFrame (g, juce::jlimit (0.0f, 1.0f, value));
    }
    quietenTranslucentPixels (frame);
    return frame;
}

juce::Image renderKnobFrame (const KnobStyle& style, float value)
{
    return KnobFrames (style).render (value);
}
} // namespace skin
