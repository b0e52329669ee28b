#pragma once

#include <juce_core/juce_core.h>

namespace orvel
{

/** Returns the text with decomposed character sequences replaced by their
    precomposed forms (Unicode canonical composition), as the preset label shows file
    names: macOS hands out file names decomposed ("e" followed by a combining acute
    accent), which some fonts draw with the accent beside the letter.

    Covers the primary composites of the Basic Multilingual Plane and Hangul
    syllables. Each combining mark is composed with the character written just before
    it, so canonically ordered text (what file systems deliver) composes fully; a mark
    that follows a mark it cannot combine with is left as it is.
*/
juce::String toPrecomposedUnicode (const juce::String& text);

} // namespace orvel
