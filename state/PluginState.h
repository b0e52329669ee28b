#pragma once

#include <juce_core/juce_core.h>

#include <memory>

namespace orvel
{

//==============================================================================
/**
    What reading and applying a settings element needs from a processor's parameter
    list. The processor adapts its juce::AudioProcessor parameters to this (see
    ProcessorParameterTarget.h); keeping the state code on juce_core alone lets the
    fuzz targets run it without the audio and GUI modules.

    Indexes run over the processor's parameter list in order. A slot without a
    parameter reports an empty name and is skipped.
*/
class ParameterTarget
{
public:
    virtual ~ParameterTarget() = default;

    virtual int getNumParameters() const = 0;

    /** The display name as getName (50) gives it, spaces kept ("Fold Amount"). */
    virtual juce::String getParameterName (int index) const = 0;

    /** Normalised 0..1. */
    virtual float getParameterValue (int index) const = 0;
    virtual float getParameterDefaultValue (int index) const = 0;

    /** Sets the normalised value. Whether the host hears of it (as a user change
        with its gestures, or not at all because a restore tells the host once for
        all values) is the target's business. */
    virtual void setParameterValue (int index, float normalisedValue) = 0;
};

//==============================================================================
/** The attribute a parameter is stored under: its name with every space removed. */
juce::String getParameterAttributeName (const juce::String& parameterName);

/** The settings tag: the product key followed by "_SETTINGS" (WrendleFold_SETTINGS). */
juce::String getSettingsTag (const juce::String& productKey);

/** Builds the settings element: one attribute per parameter (normalised value as a
    double) in list order, then "Version". The caller holds whatever lock keeps the
    values consistent.
*/
std::unique_ptr<juce::XmlElement> createSettingsElement (const ParameterTarget& parameters,
                                                         const juce::String& settingsTag,
                                                         const juce::String& version);

/** Pushes an element into the parameters. Does nothing (and returns false) unless
    the element is present and carries the settings tag.

    In preset mode the parameter whose attribute name is "Bypass" and every parameter
    whose name is in lockedNames (case-sensitive) keep their values.

    A missing attribute gives the parameter its current default, and so does a NaN or
    infinite value. Every other value is clamped to 0..1 before it is narrowed to
    float (a double beyond float's range would not convert): the float and choice
    parameters would clamp anyway, but a switch keeps whatever it is given, and a
    stored 1e300 must not become a switch value outside its range.
*/
bool applySettingsElement (ParameterTarget& parameters,
                           const juce::XmlElement* element,
                           const juce::String& settingsTag,
                           bool asPreset,
                           const juce::StringArray& lockedNames);

//==============================================================================
/** The three attributes the host state adds to the settings element. */
struct HostStateExtras
{
    juce::String presetPath;       ///< "Preset"
    int saveCounter = 0;           ///< "Parameter"
    juce::String lockText;         ///< "ParameterLock", names joined by "|"
    juce::StringArray lockedNames; ///< the parameters lockText names
};

constexpr const char* presetAttribute = "Preset";
constexpr const char* saveCounterAttribute = "Parameter";
constexpr const char* parameterLockAttribute = "ParameterLock";

/** Appends "Preset", "Parameter" and "ParameterLock", in this order.

    "Parameter" is a counter that nothing reads any more. It is still written, so that
    every state keeps the attributes older versions wrote and expect; it carries the
    number the instance was restored from (0 for a new one) unchanged, so that saving
    the same settings twice gives the same bytes.
*/
void addHostStateAttributes (juce::XmlElement& element,
                             const juce::String& presetPath,
                             int saveCounter,
                             const juce::String& lockText);

/** Reads the three attributes of any root element, whatever its tag; missing ones
    give an empty text and 0. The counter takes the leading integer of its text
    (parseSaturatingInt in UntrustedXml.h). Of the lock text only the names of
    parameters are kept (lockedNamesIn), and lockText is rebuilt from them.
*/
HostStateExtras readHostStateAttributes (const juce::XmlElement& element, const ParameterTarget& parameters);

/** The names in a lock text (split at every "|", no quote characters) that name a
    parameter (getName (50), spaces kept), each once, in the order of the text. A
    crafted text of millions of separators gives at most as many names as there are
    parameters. */
juce::StringArray lockedNamesIn (const juce::String& lockText, const ParameterTarget& parameters);

//==============================================================================
/** The magic number at the start of JUCE's binary XML envelope. */
constexpr juce::uint32 hostStateMagicNumber = 0x21324356;

/** Decodes JUCE's binary XML envelope (what AudioProcessor::copyXmlToBinary writes):

      offset 0  4 bytes  magic number, little-endian
      offset 4  4 bytes  length n of the text, little-endian
      offset 8  n bytes  the XML document as UTF-8
      offset 8+n 1 byte  zero

    Accepted only with at least 9 bytes, the magic number and a length above 0 (read
    as a signed int, as JUCE does). The text is the smaller of n and size − 8 bytes,
    cut at its first zero byte. Unlike AudioProcessor::getXmlFromBinary, the text is
    checked before JUCE sees it (valid UTF-8, no DTD, bounded nesting, at most
    maxHostStateBytes), because a project file is untrusted input. Null when the blob
    is refused or does not parse.
*/
std::unique_ptr<juce::XmlElement> readHostStateBinary (const void* data, int sizeInBytes);

/** Parses settings text from the clipboard with the limits of a host state: null for
    text beyond maxHostStateBytes or anything parseUntrustedXml refuses. */
std::unique_ptr<juce::XmlElement> readSettingsText (const juce::String& text);

} // namespace orvel
