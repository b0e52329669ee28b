#include "binding/GuiSizing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>

namespace clapbinding
{

std::pair<uint32_t, uint32_t> aspectRatioAsFraction (double ratio) noexcept
{
    if (! (std::isfinite (ratio) && ratio > 0.0))
        return { 1, 1 };

    // Continued fraction convergents p/q, stopped once they are close enough or the
    // denominator grows past what a host could use.
    constexpr int64_t largestDenominator = 9999;
    int64_t previousP = 1, previousQ = 0, p = (int64_t) std::floor (ratio), q = 1;
    auto remainder = ratio - std::floor (ratio);

    while (std::abs ((double) p / (double) q - ratio) > ratio * 1.0e-6 && remainder > 1.0e-12)
    {
        const auto inverse = 1.0 / remainder;
        const auto term = (int64_t) std::floor (inverse);
        remainder = inverse - (double) term;

        const auto nextP = term * p + previousP, nextQ = term * q + previousQ;

        if (nextQ > largestDenominator || nextP > (int64_t) UINT32_MAX)
            break;

        previousP = p;
        previousQ = q;
        p = nextP;
        q = nextQ;
    }

    return { (uint32_t) std::max<int64_t> (1, p), (uint32_t) q };
}

clap_gui_resize_hints resizeHintsOf (juce::AudioProcessorEditor& editor) noexcept
{
    clap_gui_resize_hints hints {};
    const auto resizable = editor.isResizable();
    hints.can_resize_horizontally = resizable;
    hints.can_resize_vertically = resizable;

    const auto* constrainer = editor.getConstrainer();
    const auto ratio = constrainer != nullptr ? constrainer->getFixedAspectRatio() : 0.0;

    if (resizable && ratio > 0.0)
    {
        hints.preserve_aspect_ratio = true;
        std::tie (hints.aspect_ratio_width, hints.aspect_ratio_height) = aspectRatioAsFraction (ratio);
    }

    return hints;
}

juce::Point<int> toHostPixels (juce::Point<int> editorSize, float scale) noexcept
{
    return { juce::roundToInt ((double) editorSize.x * scale), juce::roundToInt ((double) editorSize.y * scale) };
}

juce::Point<int> toEditorUnits (juce::Point<int> hostSize, float scale) noexcept
{
    return { juce::roundToInt ((double) hostSize.x / scale), juce::roundToInt ((double) hostSize.y / scale) };
}

juce::Point<int> adjustedHostSize (const juce::ComponentBoundsConstrainer& constrainer,
                                   juce::Point<int64_t> hostSize,
                                   float scale) noexcept
{
    const auto inUnits = [scale] (int64_t pixels)
    { return (int) juce::jlimit<double> (0.0, (double) INT_MAX, std::round ((double) pixels / scale)); };

    const auto height = juce::jlimit (constrainer.getMinimumHeight(), constrainer.getMaximumHeight(), inUnits (hostSize.y));
    const auto ratio = constrainer.getFixedAspectRatio();
    const auto width = ratio > 0.0 ? (int) std::round (ratio * (double) height)
                                   : juce::jlimit (constrainer.getMinimumWidth(), constrainer.getMaximumWidth(), inUnits (hostSize.x));

    return toHostPixels ({ width, height }, scale);
}

} // namespace clapbinding
