#pragma once

#include <clap/ext/gui.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <utility>

namespace clapbinding
{

/** The smallest pair of whole numbers whose quotient is `ratio` (within a millionth), e.g.
    24:23 for 480 / 460; the pair of the closest fraction with at most a four-digit
    denominator when there is none. 1:1 for a ratio that is not a positive finite number. */
std::pair<uint32_t, uint32_t> aspectRatioAsFraction (double ratio) noexcept;

/** What a host needs to resize the editor's window on its own: whether it may, and the aspect
    ratio the editor's constrainer keeps, if any. */
clap_gui_resize_hints resizeHintsOf (juce::AudioProcessorEditor& editor) noexcept;

/** Editor sizes are in the editor's own units; the host's are pixels, `scale` times as many.
    Both directions round to the nearest whole number, so that for every scale of 1 or more a
    size survives the trip to the host and back (an editor 345 high is 518 pixels at 1.5, and
    518 pixels are 345 units again). */
juce::Point<int> toHostPixels (juce::Point<int> editorSize, float scale) noexcept;
juce::Point<int> toEditorUnits (juce::Point<int> hostSize, float scale) noexcept;

/** The size the editor would really take for a host's wish of `hostSize` pixels: within the
    constrainer's limits and, when it has one, at its aspect ratio taken from the height, worked
    out in the editor's units so that the host is never offered a size between two of them. */
juce::Point<int> adjustedHostSize (const juce::ComponentBoundsConstrainer& constrainer,
                                   juce::Point<int64_t> hostSize,
                                   float scale) noexcept;

} // namespace clapbinding
