// What setStateInformation does with a blob from the host: decode JUCE's binary
// envelope, read the three state attributes, apply the element to all parameters.
#include "FuzzParameters.h"

#include <cstdint>
#include <limits>

using namespace wrendle_fuzz;

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    const auto element = orvel::readHostStateBinary (data, (int) size);

    if (element == nullptr)
        return 0;

    FuzzParameters parameters;
    const auto extras = orvel::readHostStateAttributes (*element, parameters);

    // Only names of parameters are kept, each once, and the text is made of them.
    check (extras.lockedNames.size() <= parameters.getNumParameters());
    check (extras.lockText == extras.lockedNames.joinIntoString ("|"));
    for (int i = 0; i < extras.lockedNames.size(); ++i)
    {
        parameters.indexOf (extras.lockedNames[i].toRawUTF8()); // traps for a name that is no parameter's
        check (extras.lockedNames.indexOf (extras.lockedNames[i]) == i);
    }

    const auto applied = orvel::applySettingsElement (parameters, element.get(), "WrendleFold_SETTINGS", false, extras.lockedNames);
    check (applied == (element->getTagName() == "WrendleFold_SETTINGS"));

    // A restore sets every parameter, or none.
    for (const auto value : parameters.values)
        check (applied ? value != FuzzParameters::untouched : value == FuzzParameters::untouched);

    // What was restored saves again, and the saved state restores the same values.
    if (applied)
    {
        auto saved = orvel::createSettingsElement (parameters, "WrendleFold_SETTINGS", "1.1.1");
        orvel::addHostStateAttributes (*saved, extras.presetPath, extras.saveCounter, extras.lockText);

        juce::MemoryOutputStream out;
        out.writeInt ((int) orvel::hostStateMagicNumber);
        out.writeInt (0);
        saved->writeTo (out, juce::XmlElement::TextFormat().singleLine());
        out.writeByte (0);
        auto block = out.getMemoryBlock();
        const auto length = juce::ByteOrder::swapIfBigEndian ((juce::uint32) block.getSize() - 9);
        block.copyFrom (&length, 4, 4);

        const auto reread = orvel::readHostStateBinary (block.getData(), (int) block.getSize());
        check (reread != nullptr);

        FuzzParameters again;
        const auto extrasAgain = orvel::readHostStateAttributes (*reread, again);
        check (extrasAgain.presetPath == extras.presetPath && extrasAgain.saveCounter == extras.saveCounter
               && extrasAgain.lockText == extras.lockText);
        check (orvel::applySettingsElement (again, reread.get(), "WrendleFold_SETTINGS", false, {}));
        check (again.values == parameters.values);
    }

    return 0;
}
