#include "SkinDrawing.h"

#include "SkinPalette.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace skin
{
juce::Image makeCanvas (int widthPx, int heightPx)
{
    return juce::Image (juce::Image::ARGB, widthPx, heightPx, true, juce::SoftwareImageType());
}

void addGrain (juce::Image& image, std::uint32_t seed, float pixelLevels, float streakLevels)
{
    const int width = image.getWidth();
    const int height = image.getHeight();
    constexpr int streakKnotSpacingPx = 28;
    const int knotCount = width / streakKnotSpacingPx + 2;

    Noise pixelNoise (seed);
    std::vector<float> knots ((size_t) knotCount);

    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);

    for (int y = 0; y < height; ++y)
    {
        // Each row gets its own slowly varying offset: reads as a brushed grain.
        Noise rowNoise (seed ^ (0x85ebca6bu * (std::uint32_t) (y + 1)));
        for (auto& knot : knots)
            knot = rowNoise.nextSigned();

        for (int x = 0; x < width; ++x)
        {
            auto* pixel = reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y));

            if (pixel->getAlpha() != 255)
                continue;

            const float knotPosition = (float) x / (float) streakKnotSpacingPx;
            const int knot = (int) knotPosition;
            const float t = knotPosition - (float) knot;
            const float smoothT = t * t * (3.0f - 2.0f * t);
            const float streak = knots[(size_t) knot] + (knots[(size_t) knot + 1] - knots[(size_t) knot]) * smoothT;
            const float delta = pixelNoise.nextSigned() * pixelLevels + streak * streakLevels;

            auto shift = [delta] (juce::uint8 channel)
            {
                return (juce::uint8) juce::jlimit (0, 255, (int) std::lround ((float) channel + delta));
            };

            pixel->setARGB (255, shift (pixel->getRed()), shift (pixel->getGreen()), shift (pixel->getBlue()));
        }
    }
}

void quietenTranslucentPixels (juce::Image& image)
{
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);

    for (int y = 0; y < image.getHeight(); ++y)
    {
        for (int x = 0; x < image.getWidth(); ++x)
        {
            auto* pixel = reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y));
            const int alpha = pixel->getAlpha();

            if (alpha == 0 || alpha == 255)
                continue;

            // Step such that alpha / 255 * step / 2 stays near two levels.
            const int step = alpha < 16 ? 64 : alpha < 32 ? 32
                                           : alpha < 64   ? 16
                                           : alpha < 128  ? 8
                                                          : 4;

            pixel->unpremultiply();
            auto snap = [step] (juce::uint8 channel)
            {
                return (juce::uint8) juce::jmin (255, (((int) channel + step / 2) / step) * step);
            };
            juce::PixelARGB snapped;
            snapped.setARGB ((juce::uint8) alpha, snap (pixel->getRed()), snap (pixel->getGreen()), snap (pixel->getBlue()));
            snapped.premultiply();
            *pixel = snapped;
        }
    }
}

void shadeAnnulus (juce::Image& image, juce::Point<float> centre, float innerRadius, float outerRadius,
                   const std::function<float (float angleRadians)>& shade)
{
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);
    const int top = juce::jmax (0, (int) std::floor (centre.y - outerRadius - 1.0f));
    const int bottom = juce::jmin (image.getHeight(), (int) std::ceil (centre.y + outerRadius + 1.0f));
    const int left = juce::jmax (0, (int) std::floor (centre.x - outerRadius - 1.0f));
    const int right = juce::jmin (image.getWidth(), (int) std::ceil (centre.x + outerRadius + 1.0f));

    for (int y = top; y < bottom; ++y)
    {
        for (int x = left; x < right; ++x)
        {
            const float dx = (float) x + 0.5f - centre.x;
            const float dy = (float) y + 0.5f - centre.y;
            const float distance = std::sqrt (dx * dx + dy * dy);
            // Approximate area coverage at both rims keeps the edges anti-aliased.
            const float coverage = juce::jlimit (0.0f, 1.0f, outerRadius - distance + 0.5f) * juce::jlimit (0.0f, 1.0f, distance - innerRadius + 0.5f);
            if (coverage <= 0.0f)
                continue;

            const float amount = shade (std::atan2 (dx, -dy)) * coverage;
            auto* pixel = reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y));
            const float alpha = (float) pixel->getAlpha();
            const float target = amount > 0.0f ? alpha : 0.0f;
            const float weight = std::abs (amount);

            auto mix = [=] (juce::uint8 channel)
            {
                return (juce::uint8) juce::jlimit (0, 255, (int) std::lround ((float) channel + (target - (float) channel) * weight));
            };
            pixel->setARGB (pixel->getAlpha(), mix (pixel->getRed()), mix (pixel->getGreen()), mix (pixel->getBlue()));
        }
    }
}

juce::Path arcPath (juce::Point<float> centre, float radius, float fromRadians, float toRadians)
{
    juce::Path path;
    path.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, fromRadians, toRadians, true);
    return path;
}

void strokeRound (juce::Graphics& g, const juce::Path& path, float thickness)
{
    g.strokePath (path, juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void drawShadow (juce::Graphics& g, const juce::Path& path, juce::Colour colour, int blurPx, juce::Point<int> offsetPx)
{
    juce::DropShadow (colour, blurPx, offsetPx).drawForPath (g, path);
}

void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotRadians)
{
    using namespace palette;

    // Countersink: a dark ring a little larger than the head.
    g.setColour (metalEdge.withAlpha (0.85f));
    g.fillEllipse (juce::Rectangle<float> (radius * 2.5f, radius * 2.5f).withCentre (centre));
    g.setColour (engraveHighlight.withAlpha (0.35f));
    g.drawEllipse (juce::Rectangle<float> (radius * 2.5f, radius * 2.5f).withCentre (centre.translated (0.0f, 0.6f)), 0.8f);

    const auto head = juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre);
    g.setGradientFill (juce::ColourGradient (metalLight, head.getX(), head.getY(), metalDark, head.getRight(), head.getBottom(), false));
    g.fillEllipse (head);

    // The slot: a dark bar with a lit lower lip.
    juce::Path slot;
    slot.addRoundedRectangle (-radius * 0.8f, -radius * 0.13f, radius * 1.6f, radius * 0.26f, radius * 0.1f);
    const auto place = juce::AffineTransform::rotation (slotRadians).translated (centre);
    g.setColour (engraveHighlight.withAlpha (0.5f));
    g.fillPath (slot, place.translated (0.0f, radius * 0.08f));
    g.setColour (metalEdge);
    g.fillPath (slot, place);

    g.setColour (juce::Colours::white.withAlpha (0.12f));
    g.drawEllipse (head.reduced (0.5f), 0.8f);
}

void fillGlyph (juce::Graphics& g, const juce::Path& glyph, juce::Colour fill, float glowRadius)
{
    if (glowRadius > 0.0f)
        drawShadow (g, glyph, fill.withAlpha (0.55f), juce::roundToInt (glowRadius), {});

    g.setColour (fill);
    g.fillPath (glyph);
}
} // namespace skin
