#include "state/PluginState.h"

#include "state/UntrustedXml.h"

#include <cmath>
#include <cstring>
#include <limits>

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
    /** The stored double narrowed to float, or the fallback when the result would not
        be a finite float. Converting a double beyond the float range is undefined
        behaviour in C++, so the range is checked before the cast.
    */
    float finiteFloatOr (double stored, float fallback) noexcept
    {
        if (! std::isfinite (stored) || std::abs (stored) > (double) std::numeric_limits<float>::max())
            return fallback;

        return (float) stored;
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
        const auto value = juce::jlimit (0.0f, 1.0f, finiteFloatOr (stored, fallback));

        parameters.setParameterValueAsUserChange (i, value);
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


HostStateExtras readHostStateAttributes (const juce::XmlElement& element)
{
    HostStateExtras extras;
    extras.presetPath = element.getStringAttribute (presetAttribute);
    extras.saveCounter = parseSaturatingInt (element.getStringAttribute (saveCounterAttribute));
    extras.lockText = element.getStringAttribute (parameterLockAttribute);
    extras.lockedNames = splitLockText (extras.lockText);
    return extras;
}

juce::StringArray splitLockText (const juce::String& lockText)
{
    juce::StringArray names;
    names.addTokens (lockText, "|", "");
    return names;
}

int nextSaveCounter (int saveCounter) noexcept
{
    return saveCounter < std::numeric_limits<int>::max() ? saveCounter + 1 : saveCounter;
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

} // namespace orvel
