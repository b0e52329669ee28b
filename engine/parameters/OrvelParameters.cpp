#include "engine/parameters/OrvelParameters.h"

#include <cmath>
#include <limits>

namespace orvel
{

int roundHalfEven (double value) noexcept
{
    return (int) std::nearbyint (value); // the default rounding mode is to nearest, ties to even
}

namespace
{
    /** How far a value read back from its own text may land from that text's number: the float
        mappings between plain and normalised values (logarithms and exponentials included) lose
        a few parts in a million, and a truncating text must not turn "53%" into "52%". */
    constexpr double textTolerance = 1.0e-4;

    double toleranceFor (double value) noexcept
    {
        return textTolerance * juce::jmax (1.0, std::abs (value));
    }
} // namespace

int wholePart (double value) noexcept
{
    const auto nudged = value + std::copysign (toleranceFor (value), value);
    return (int) juce::jlimit ((double) std::numeric_limits<int>::min(), (double) std::numeric_limits<int>::max(), std::trunc (nudged));
}

bool isAbove (double value, double limit) noexcept
{
    return value > limit + toleranceFor (limit);
}
bool isBelow (double value, double limit) noexcept
{
    return value < limit - toleranceFor (limit);
}

namespace
{
    juce::AudioProcessorParameterWithIDAttributes makeAttributes (bool isMeta, bool automatable)
    {
        return juce::AudioProcessorParameterWithIDAttributes().withMeta (isMeta).withAutomatable (automatable);
    }

    //==========================================================================
    // Kind codes of the compact constructor: range, mappings and texts.

    juce::NormalisableRange<float> logarithmicRange (float minimum, float maximum)
    {
        return { minimum, maximum,
                 [] (float start, float end, float v)
                 {
                     return std::exp (std::log (start) + v * (std::log (end) - std::log (start)));
                 },
                 [] (float start, float end, float x)
                 {
                     if (x <= 0.0f)
                         return 0.0f;
                     return (std::log (x) - std::log (start)) / (std::log (end) - std::log (start));
                 },
                 nullptr };
    }

    juce::NormalisableRange<float> rangeForKind (int kind, float minimum, float maximum)
    {
        switch (kind)
        {
            case OrvelParameterFloat::gainDecibels:
            case OrvelParameterFloat::frequency:
                return logarithmicRange (minimum, maximum);

            case OrvelParameterFloat::bipolar:
                return { -100.0f, 100.0f,
                         [] (float, float, float v)
                         { return v * 200.0f - 100.0f; },
                         [] (float, float, float x)
                         { return (x + 100.0f) * 0.005f; },
                         nullptr };

            case OrvelParameterFloat::percent:
            default:
                return { 0.0f, 1.0f };
        }
    }

    juce::String percentText (float plain)
    {
        return juce::String (wholePart ((double) plain * 100.0)) + "%";
    }

    juce::String decibelText (float plain)
    {
        float decibels = -100.0f;
        if (plain > 0.0f)
            decibels = juce::jmax (-100.0f, 20.0f * std::log10 (plain));

        // A value that rounds to zero is written without a sign: "-0.0 dB" would read back as a
        // value that may show "0.0 dB".
        const auto shown = std::round ((double) decibels * 10.0) / 10.0;
        return juce::String (shown == 0.0 ? 0.0 : shown, 1) + " dB";
    }

    float decibelsToGain (const juce::String& text)
    {
        const auto decibels = text.getFloatValue();
        return decibels > -100.0f ? std::pow (10.0f, decibels * 0.05f) : 0.0f;
    }

    juce::String frequencyText (float hz)
    {
        // The limits hold with a margin, so that a frequency read back from "999Hz" or "20Hz"
        // shows that text again.
        if (isAbove (hz, 999.0))
            return juce::String (hz / 1000.0f, 1) + "kHz";
        if (isBelow (hz, 0.1))
            return juce::String (hz, 3) + "Hz";
        if (isBelow (hz, 20.0))
            return juce::String (hz, 2) + "Hz";
        return juce::String (wholePart (hz)) + "Hz";
    }

    float frequencyFromText (const juce::String& text)
    {
        // Only the lower-case "k" means kilo: "2.5k" and "2.5kHz" are 2500 Hz.
        const auto number = text.getFloatValue();
        return text.containsChar ('k') ? number * 1000.0f : number;
    }

    juce::String bipolarText (float plain)
    {
        // Between -1 and -0.001 the integer part is 0 but the sign still shows ("-0"), as "+0"
        // does above zero: a bare "0" would read back as "off".
        if (plain > 0.001f)
            return "+" + juce::String (wholePart (plain));
        if (plain < -0.001f)
            return "-" + juce::String (-wholePart (plain));
        return "off";
    }

    float bipolarFromText (const juce::String& text)
    {
        const auto number = text.getFloatValue();
        if (number > 0.0f)
            return number + 0.0001f;
        if (number < 0.0f)
            return number - 0.0001f;

        // "+0" and "-0" name the values between the "off" band and ±1: the middle of each.
        const auto sign = text.trimStart()[0];
        if (sign == '+')
            return 0.5f;
        if (sign == '-')
            return -0.5f;
        return 0.0f;
    }

    OrvelParameterFloat::ValueToText valueToTextForKind (int kind)
    {
        switch (kind)
        {
            case OrvelParameterFloat::gainDecibels:
                return [] (float plain, float, int)
                { return decibelText (plain); };
            case OrvelParameterFloat::frequency:
                return [] (float plain, float, int)
                { return frequencyText (plain); };
            case OrvelParameterFloat::bipolar:
                return [] (float plain, float, int)
                { return bipolarText (plain); };
            case OrvelParameterFloat::percent:
            default:
                return [] (float plain, float, int)
                { return percentText (plain); };
        }
    }

    OrvelParameterFloat::TextToValue textToValueForKind (int kind)
    {
        switch (kind)
        {
            case OrvelParameterFloat::gainDecibels:
                return decibelsToGain;
            case OrvelParameterFloat::frequency:
                return frequencyFromText;
            case OrvelParameterFloat::bipolar:
                return bipolarFromText;
            case OrvelParameterFloat::percent:
            default:
                return [] (const juce::String& text)
                { return text.getFloatValue() / 100.0f; };
        }
    }

    int decimalsForInterval (float interval)
    {
        if (interval <= 0.0f)
            return 2;
        int decimals = 0;
        for (auto v = interval; decimals < 7 && std::abs (v - std::round (v)) > 1.0e-6f; v *= 10.0f)
            ++decimals;
        return decimals;
    }
} // namespace

//==============================================================================
OrvelParameterFloat::OrvelParameterFloat (const ParameterIdentity& identity,
                                          float defaultNormalised,
                                          juce::NormalisableRange<float> newRange,
                                          ValueToText newValueToText,
                                          TextToValue newTextToValue,
                                          ParameterChangeCallback newChangeCallback,
                                          bool isMeta)
    : RangedAudioParameter (identity.toParameterID(), identity.name, makeAttributes (isMeta, true)),
      range (std::move (newRange)),
      valueToText (std::move (newValueToText)),
      textToValue (std::move (newTextToValue)),
      changeCallback (std::move (newChangeCallback))
{
    if (! valueToText)
    {
        const auto decimals = decimalsForInterval (range.interval);
        valueToText = [decimals] (float plain, float, int)
        { return juce::String (plain, decimals); };
    }

    if (! textToValue)
        textToValue = [] (const juce::String& text)
        { return text.getFloatValue(); };

    defaultPlainValue = toPlain (defaultNormalised);
    // The explicit ranges are 0..1, where the plain default is the normalised one.
    finishConstruction (defaultPlainValue);
}

OrvelParameterFloat::OrvelParameterFloat (const ParameterIdentity& identity,
                                          ParameterChangeCallback newChangeCallback,
                                          int kind,
                                          bool isMeta,
                                          float defaultNormalised,
                                          float minimum,
                                          float maximum)
    : RangedAudioParameter (identity.toParameterID(), identity.name, makeAttributes (isMeta, true)),
      range (rangeForKind (kind, minimum, maximum)),
      valueToText (valueToTextForKind (kind)),
      textToValue (textToValueForKind (kind)),
      changeCallback (std::move (newChangeCallback))
{
    defaultPlainValue = toPlain (defaultNormalised);
    finishConstruction (defaultNormalised);
}

void OrvelParameterFloat::finishConstruction (float defaultForSetValue)
{
    if (changeCallback)
        changeCallback (getName (50), getValue());

    setValue (defaultForSetValue);
}

float OrvelParameterFloat::toPlain (float normalised) const noexcept
{
    return range.snapToLegalValue (range.convertFrom0to1 (juce::jlimit (0.0f, 1.0f, normalised)));
}

float OrvelParameterFloat::toNormalised (float plain) const noexcept
{
    return juce::jlimit (0.0f, 1.0f, range.convertTo0to1 (range.snapToLegalValue (plain)));
}

float OrvelParameterFloat::getValue() const
{
    return normalisedValue.load (std::memory_order_relaxed);
}

void OrvelParameterFloat::setValue (float newNormalised)
{
    // NaN and infinity mean nothing: the parameter keeps its value.
    if (! std::isfinite (newNormalised))
        return;

    smoothedNormalisedValue.setTarget (newNormalised);
    const auto plain = toPlain (newNormalised);
    plainValue.exchange (plain);
    smoothedPlainValue.setTarget (plain);

    // The value as given (within 0..1) unless the range has steps: going through the plain
    // value and back costs float precision in the logarithmic mappings, and a host that saves,
    // restores and saves again must get the very same number back.
    const auto stepped = range.interval > 0.0f;
    normalisedValue.store (stepped ? toNormalised (plain) : juce::jlimit (0.0f, 1.0f, newNormalised), std::memory_order_relaxed);

    if (changeCallback)
        changeCallback (getName (50), getValue());
}

float OrvelParameterFloat::getDefaultValue() const
{
    return toNormalised (defaultPlainValue);
}

juce::String OrvelParameterFloat::getText (float normalised, int maximumLength) const
{
    return valueToText (toPlain (normalised), normalised, maximumLength);
}

float OrvelParameterFloat::getValueForText (const juce::String& text) const
{
    return toNormalised (textToValue (text));
}

void OrvelParameterFloat::prepareSmoothing (double sampleRate) noexcept
{
    smoothedPlainValue.prepare (sampleRate, 0.01);
    smoothedNormalisedValue.prepare (sampleRate, 0.01);
}

//==============================================================================
OrvelParameterBool::OrvelParameterBool (const ParameterIdentity& identity,
                                        bool newDefault,
                                        ParameterChangeCallback newChangeCallback,
                                        const juce::StringArray& newLabels)
    : RangedAudioParameter (identity.toParameterID(), identity.name, makeAttributes (false, true)),
      defaultValue (newDefault ? 1.0f : 0.0f),
      labels (newLabels),
      changeCallback (std::move (newChangeCallback))
{
    while (labels.size() < 2)
        labels.add (labels.isEmpty() ? "off" : "on");

    value.store (defaultValue);
    smoothedValue.setTarget (defaultValue);
}

void OrvelParameterBool::setValue (float newValue)
{
    if (! std::isfinite (newValue))
        return;

    value.exchange (newValue);
    smoothedValue.setTarget (newValue);

    if (changeCallback)
        changeCallback (getName (50), getValue());
}

juce::String OrvelParameterBool::getText (float normalised, int) const
{
    return labels[normalised >= 0.5f ? 1 : 0];
}

bool OrvelParameterBool::parse (const juce::String& text) const
{
    const auto lower = text.toLowerCase();

    for (auto* word : { "on", "yes", "true", "enable", "enabled" })
        if (lower == word)
            return true;
    if (lower == labels[1].toLowerCase())
        return true;

    for (auto* word : { "off", "no", "false", "disable", "disabled" })
        if (lower == word)
            return false;
    if (lower == labels[0].toLowerCase())
        return false;

    return lower.getIntValue() != 0;
}

float OrvelParameterBool::getValueForText (const juce::String& text) const
{
    return parse (text) ? 1.0f : 0.0f;
}

void OrvelParameterBool::prepareSmoothing (double sampleRate) noexcept
{
    smoothedValue.prepare (sampleRate, 0.01);
}

//==============================================================================
namespace
{
    juce::NormalisableRange<float> choiceRange (int numChoices)
    {
        const auto last = (float) juce::jmax (0, numChoices - 1);
        return { 0.0f, last,
                 [] (float, float end, float v)
                 { return juce::jlimit (0.0f, end, v * end); },
                 [] (float, float end, float x)
                 { return end > 0.0f ? juce::jlimit (0.0f, 1.0f, x / end) : 0.0f; },
                 [] (float, float end, float x)
                 { return (float) roundHalfEven (juce::jlimit (0.0f, end, x)); } };
    }
} // namespace

OrvelParameterChoice::OrvelParameterChoice (const ParameterIdentity& identity,
                                            float defaultNormalised,
                                            ParameterChangeCallback newChangeCallback,
                                            const juce::StringArray& newChoices,
                                            bool automatable)
    : RangedAudioParameter (identity.toParameterID(), identity.name, makeAttributes (false, automatable)),
      choices (newChoices),
      range (choiceRange (newChoices.size())),
      changeCallback (std::move (newChangeCallback))
{
    defaultIndex = range.snapToLegalValue (range.convertFrom0to1 (defaultNormalised));
    index.store (defaultIndex);
}

float OrvelParameterChoice::getValue() const
{
    return range.convertTo0to1 (index.load (std::memory_order_relaxed));
}

void OrvelParameterChoice::setValue (float newNormalised)
{
    if (! std::isfinite (newNormalised))
        return;

    const auto last = (float) juce::jmax (0, choices.size() - 1);
    index.store ((float) roundHalfEven (juce::jlimit (0.0f, last, newNormalised * last)));

    if (changeCallback)
        changeCallback (getName (50), getValue());
}

float OrvelParameterChoice::getDefaultValue() const
{
    return range.convertTo0to1 (defaultIndex);
}

juce::String OrvelParameterChoice::getText (float normalised, int) const
{
    const auto i = (int) range.snapToLegalValue (range.convertFrom0to1 (normalised));
    return juce::isPositiveAndBelow (i, choices.size()) ? choices[i] : juce::String();
}

float OrvelParameterChoice::getValueForText (const juce::String& text) const
{
    // An unknown text gives index -1, which the mapping clamps to the first choice.
    return range.convertTo0to1 ((float) choices.indexOf (text, false));
}

} // namespace orvel
