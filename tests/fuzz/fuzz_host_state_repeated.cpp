// Large host states and clipboard texts built from a small input by repetition, so
// that the fuzzer reaches the sizes where a reader's cost can grow faster than its
// input (a parser quadratic in some crafted text, a split that keeps every empty
// token). run-fuzzers.sh gives each input a short time budget: a slow input is a
// finding like a crash.
//
// Input: byte 0 picks where the repeated text goes, bytes 1-2 the repetition count
// (scaled so that the result spans up to about 1 MB, four times the largest state
// accepted), the rest is the text repeated.
#include "FuzzParameters.h"
#include "state/UntrustedXml.h"

#include <cstdint>

using namespace wrendle_fuzz;

namespace
{

juce::String buildText (int place, const juce::String& repeated)
{
    switch (place % 5)
    {
        case 0:
            return "<WrendleFold_SETTINGS Mix=\"" + repeated + "\"/>";
        case 1:
            return "<WrendleFold_SETTINGS ParameterLock=\"" + repeated + "\"/>";
        case 2:
            return "<WrendleFold_SETTINGS Preset=\"" + repeated + "\"/>";
        case 3:
            return "<WrendleFold_SETTINGS>" + repeated + "</WrendleFold_SETTINGS>";
        default:
            return repeated;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;

    const auto place = (int) data[0];
    const auto count = (size_t) (data[1] | (data[2] << 8));
    const auto pattern = juce::String::fromUTF8 (reinterpret_cast<const char*> (data + 3), (int) (size - 3));

    // Malformed UTF-8 can decode to a string that is not empty yet encodes to no bytes.
    const auto patternBytes = (size_t) pattern.getNumBytesAsUTF8();

    if (patternBytes == 0)
        return 0;

    const auto repeats = (int) juce::jmax ((size_t) 1, (count * (1u << 20) / 65536u) / patternBytes);
    const auto text = buildText (place, juce::String::repeatedString (pattern, repeats));

    // The host state, as the processor reads it.
    juce::MemoryOutputStream out;
    out.writeInt ((int) orvel::hostStateMagicNumber);
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8() + 1);

    if (const auto element = orvel::readHostStateBinary (out.getData(), (int) out.getDataSize()))
    {
        check (out.getDataSize() <= orvel::maxHostStateBytes + 9);

        FuzzParameters parameters;
        const auto extras = orvel::readHostStateAttributes (*element, parameters);
        check (extras.lockedNames.size() <= parameters.getNumParameters());
        orvel::applySettingsElement (parameters, element.get(), "WrendleFold_SETTINGS", false, extras.lockedNames);
    }

    // The same text pasted from the clipboard.
    if (orvel::readSettingsText (text) != nullptr)
        check ((size_t) text.getNumBytesAsUTF8() <= orvel::maxHostStateBytes);

    return 0;
}
