#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>

namespace clapbinding
{

/** Copies text into a host's fixed buffer, cut at a character boundary and always terminated. */
inline void copyString (char* destination, uint32_t capacityBytes, const juce::String& text) noexcept
{
    if (destination == nullptr || capacityBytes == 0)
        return;

    destination[0] = '\0';
    text.copyToUTF8 (destination, capacityBytes);
    destination[capacityBytes - 1] = '\0';
}

} // namespace clapbinding
