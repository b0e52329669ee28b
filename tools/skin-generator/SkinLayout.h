#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>

/** Where the editor puts things, in its logical 480 x 460 units. The panel
    artwork follows these positions (the screen well under the monitor, the
    screws clear of every control), and the contact sheet uses them to show
    the images the way the editor arranges them. Keep them in step with the
    editor's layout. */
namespace skin::layout
{
/** Artwork is made at twice the logical resolution. */
constexpr float pixelsPerUnit = 2.0f;

constexpr int px (int units) noexcept
{
    return units * (int) pixelsPerUnit;
}
constexpr float px (float units) noexcept
{
    return units * pixelsPerUnit;
}
inline juce::Point<float> px (juce::Point<float> p) noexcept
{
    return p * pixelsPerUnit;
}
inline juce::Rectangle<float> px (juce::Rectangle<float> r) noexcept
{
    return r * pixelsPerUnit;
}

constexpr int windowWidth = 480;
constexpr int windowHeight = 460;
constexpr float topBarHeight = 46.0f;

inline const juce::Rectangle<float> monitorFrameArea { 51.0f, 78.0f, 116.0f, 120.0f };
inline const juce::Rectangle<float> monitorArea { 66.0f, 93.0f, 88.0f, 88.0f };
inline const juce::Rectangle<float> knobRowPanel { 60.0f, 230.0f, 358.0f, 124.0f };
inline const juce::Rectangle<float> faceplateBorder { 5.0f, 52.0f, 470.0f, 403.0f };

inline const std::array<juce::Point<float>, 4> screwCentres { {
    { 14.0f, 61.0f },
    { 466.0f, 61.0f },
    { 14.0f, 437.0f },
    { 466.0f, 437.0f },
} };
} // namespace skin::layout
