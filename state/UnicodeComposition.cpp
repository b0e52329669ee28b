#include "state/UnicodeComposition.h"

#include <uninorm.h>

#include <cstdint>
#include <cstdlib>

namespace orvel
{

juce::String toPrecomposedUnicode (const juce::String& text)
{
    // libunistring is loaded with every module already (libcurl needs it through
    // libidn2), so its normaliser costs the module neither size nor load time.
    size_t length = 0;
    auto* composed = u8_normalize (UNINORM_NFC, reinterpret_cast<const uint8_t*> (text.toRawUTF8()),
                                   text.getNumBytesAsUTF8(), nullptr, &length);

    if (composed == nullptr)
        return text;

    auto result = juce::String::fromUTF8 (reinterpret_cast<const char*> (composed), static_cast<int> (length));
    std::free (composed);
    return result;
}

} // namespace orvel
