#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace orvel::resources
{

/** The bytes of an embedded resource by its symbol name ("background_png",
    "OpenSansBold_ttf"), or null with a size of 0 when the module was built
    without it. Callers must treat a missing resource as normal: every look
    degrades to plain drawing instead of failing. */
const char* find (const char* resourceName, int& sizeInBytes) noexcept;

/** Decodes an embedded image afresh on every call (no image cache, so the result
    may be changed in place). A missing or undecodable resource gives a null image. */
juce::Image loadImage (const char* resourceName);

/** An embedded image through JUCE's image cache: decoded once and shared, so
    it must not be changed in place. A null image when missing. */
juce::Image loadCachedImage (const char* resourceName);

/** Parses an embedded SVG into a new drawable, or null when it is missing or malformed. */
std::unique_ptr<juce::Drawable> loadDrawable (const char* resourceName);

} // namespace orvel::resources
