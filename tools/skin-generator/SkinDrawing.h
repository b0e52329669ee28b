#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cstdint>
#include <functional>

/** Small drawing helpers shared by the skin painters. */
namespace skin
{
/** A transparent ARGB image in memory. Always the software renderer, so the
    generator needs no display and gives the same pixels on every run. */
juce::Image makeCanvas (int widthPx, int heightPx);

/** A tiny deterministic random source (xorshift32). juce::Random would do as
    well, but owning the algorithm keeps the artwork reproducible whatever the
    framework does with its generator later. */
class Noise
{
public:
    explicit Noise (std::uint32_t seed) noexcept
        : state (seed == 0 ? 0x9e3779b9u : seed) {}

    /** Uniform in [-1, 1]. */
    float nextSigned() noexcept
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (float) (state & 0xffffffu) / (float) 0x7fffff - 1.0f;
    }

private:
    std::uint32_t state;
};

/** Adds grain to the opaque pixels of an image: fine per-pixel noise plus a
    faint horizontal streak per row (a brushed finish). Amounts are in 8-bit
    levels. Pixels that are not fully opaque are left alone so anti-aliased
    edges keep their colour. */
void addGrain (juce::Image& image, std::uint32_t seed, float pixelLevels, float streakLevels);

/** Rounds the colour of partly transparent pixels more coarsely the more
    transparent they are, keeping the visible error under about two 8-bit
    levels. Soft shadows and glows otherwise carry colour noise nobody can
    see but which PNG cannot compress. */
void quietenTranslucentPixels (juce::Image& image);

/** Lightens (shade > 0) or darkens (shade < 0) an annulus of the image by an
    amount that depends only on the angle (radians, clockwise from 12 o'clock).
    Computed per pixel rather than drawn as many thin shapes: the result is
    smooth, without seams, and compresses far better. */
void shadeAnnulus (juce::Image& image, juce::Point<float> centre, float innerRadius, float outerRadius,
                   const std::function<float (float angleRadians)>& shade);

/** A stroked arc along a circle; angles in radians, clockwise from 12 o'clock
    (JUCE's convention for rotary sliders). */
juce::Path arcPath (juce::Point<float> centre, float radius, float fromRadians, float toRadians);

/** Strokes a path with round caps and joins. */
void strokeRound (juce::Graphics& g, const juce::Path& path, float thickness);

/** A blurred shadow of a path (blur radius and offset in pixels). Draw it in
    untransformed pixel coordinates: the blur works on whole pixels. */
void drawShadow (juce::Graphics& g, const juce::Path& path, juce::Colour colour, int blurPx, juce::Point<int> offsetPx);

/** A round slotted screw head with a countersink ring. */
void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float slotRadians);

/** Paints `glyph` filled with `fill`, with a soft halo of the same colour when
    glowRadius is above 0 (used for lit states). */
void fillGlyph (juce::Graphics& g, const juce::Path& glyph, juce::Colour fill, float glowRadius);
} // namespace skin
