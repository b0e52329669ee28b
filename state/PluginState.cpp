#include "state/PluginState.h"

#include "state/UntrustedXml.h"

#include <cmath>
#include <cstring>

namespace orvel
{

juce::String getParameterAttributeName (const juce::String& parameterName)
{
    return parameterName.removeCharacters (" ");
}

juce::String getSettingsTag (const juce::String& productKey)
{
    return productKey + "_SETTINGS";
}

//==============================================================================
std::unique_ptr<juce::XmlElement> createSettingsElement (const ParameterTarget& parameters,
                                                         const juce::String& settingsTag,
                                                         const juce::String& version)
{
    auto element = std::make_unique<juce::XmlElement> (settingsTag);

    for (int i = 0; i < parameters.getNumParameters(); ++i)
    {
        const auto name = parameters.getParameterName (i);

        if (name.isNotEmpty())
            element->setAttribute (getParameterAttributeName (name), (double) parameters.getParameterValue (i));
    }

    element->setAttribute ("Version", version);
    return element;
}

namespace
{
    /** The stored double held within 0..1 and then narrowed, or the fallback when it
        is NaN or infinite. Clamped first: converting a double beyond the float range
        is undefined behaviour in C++. */
    float normalisedOr (double stored, float fallback) noexcept
    {
        if (! std::isfinite (stored))
            return fallback;

        return (float) juce::jlimit (0.0, 1.0, stored);
    }
} // namespace

bool applySettingsElement (ParameterTarget& parameters,
                           const juce::XmlElement* element,
                           const juce::String& settingsTag,
                           bool asPreset,
                           const juce::StringArray& lockedNames)
{
    // Exact comparison: XmlElement::hasTagName ignores case and asserts on a case
    // mismatch, which untrusted input must not be able to trigger.
    if (element == nullptr || element->getTagName() != settingsTag)
        return false;

    for (int i = 0; i < parameters.getNumParameters(); ++i)
    {
        const auto name = parameters.getParameterName (i);

        if (name.isEmpty())
            continue;

        const auto attributeName = getParameterAttributeName (name);

        if (asPreset && (attributeName == "Bypass" || lockedNames.contains (name)))
            continue;

        const auto fallback = parameters.getParameterDefaultValue (i);
        const auto stored = element->getDoubleAttribute (attributeName, (double) fallback);

        parameters.setParameterValue (i, normalisedOr (stored, fallback));
    }

    return true;
}

//==============================================================================
void addHostStateAttributes (juce::XmlElement& element,
                             const juce::String& presetPath,
                             int saveCounter,
                             const juce::String& lockText)
{
    element.setAttribute (presetAttribute, presetPath);
    element.setAttribute (saveCounterAttribute, saveCounter);
    element.setAttribute (parameterLockAttribute, lockText);
}

HostStateExtras readHostStateAttributes (const juce::XmlElement& element, const ParameterTarget& parameters)
{
    HostStateExtras extras;
    extras.presetPath = element.getStringAttribute (presetAttribute);
    extras.saveCounter = parseSaturatingInt (element.getStringAttribute (saveCounterAttribute));
    extras.lockedNames = lockedNamesIn (element.getStringAttribute (parameterLockAttribute), parameters);
    extras.lockText = extras.lockedNames.joinIntoString ("|");
    return extras;
}

juce::StringArray lockedNamesIn (const juce::String& lockText, const ParameterTarget& parameters)
{
    juce::StringArray parameterNames;

    for (int i = 0; i < parameters.getNumParameters(); ++i)
        parameterNames.add (parameters.getParameterName (i));

    // One token at a time, walking the text once: splitting it first would hold every
    // empty token of a crafted text in memory, and juce::String's index-based calls
    // would walk it from the start for every token.
    juce::StringArray names;

    for (auto p = lockText.getCharPointer();; ++p)
    {
        const auto tokenStart = p;

        while (! p.isEmpty() && *p != '|')
            ++p;

        if (p != tokenStart)
        {
            const juce::String token (tokenStart, p);

            if (parameterNames.contains (token))
                names.addIfNotAlreadyThere (token);
        }

        if (p.isEmpty())
            break;
    }

    return names;
}

//==============================================================================
std::unique_ptr<juce::XmlElement> readHostStateBinary (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes < 9)
        return nullptr;

    const auto* bytes = static_cast<const juce::uint8*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != hostStateMagicNumber)
        return nullptr;

    const auto length = (juce::int32) juce::ByteOrder::littleEndianInt (bytes + 4);

    if (length <= 0)
        return nullptr;

    const auto* text = bytes + 8;
    auto numBytes = (size_t) juce::jmin (sizeInBytes - 8, (int) length);

    // JUCE's reading stops at the first zero byte; a length that overstates the text
    // by its terminator still loads.
    if (const auto* terminator = std::memchr (text, 0, numBytes))
        numBytes = (size_t) (static_cast<const juce::uint8*> (terminator) - text);

    if (const auto decoded = decodeUntrustedText (text, numBytes, maxHostStateBytes))
        return parseUntrustedXml (*decoded);

    return nullptr;
}

std::unique_ptr<juce::XmlElement> readSettingsText (const juce::String& text)
{
    // Counted in the bytes held: getNumBytesAsUTF8() counts the re-encoded length, which
    // text that did not come through decodeUntrustedText may not match (see parseUntrustedXml).
    if (std::strlen (text.toRawUTF8()) > maxHostStateBytes)
        return nullptr;

    return parseUntrustedXml (text);
}

} // namespace orvel
