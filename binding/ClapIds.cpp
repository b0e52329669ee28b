#include "binding/ClapIds.h"

#include <juce_core/juce_core.h>

namespace clapbinding
{

uint32_t parameterIdFromIdentifier (const char* utf8Identifier) noexcept
{
    // Unsigned arithmetic wraps exactly like the signed 32-bit recurrence would.
    uint32_t hash = 0;

    for (auto p = juce::CharPointer_UTF8 (utf8Identifier); ! p.isEmpty();)
        hash = 31u * hash + (uint32_t) p.getAndAdvance();

    return hash;
}

} // namespace clapbinding
