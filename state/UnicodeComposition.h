#pragma once

#include <juce_core/juce_core.h>

namespace orvel
{

/** Returns the text in Unicode normalisation form C (canonical composition), as
    the preset label shows file names: macOS hands out file names decomposed ("e"
    followed by a combining acute accent), which some fonts draw with the accent
    beside the letter. Through libunistring's normaliser; text it cannot
    normalise comes back unchanged.
*/
juce::String toPrecomposedUnicode (const juce::String& text);

} // namespace orvel
