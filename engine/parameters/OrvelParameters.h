#pragma once

#include "engine/dsp/CrossThreadRamp.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <functional>

namespace orvel
{

/** Called with (name, normalised value) after every setValue. Runs on whatever
    thread set the value, so it must do no more than set flags. */
using ParameterChangeCallback = std::function<void (const juce::String& name, float normalisedValue)>;

/** The framework's parameter identity: the name is the display text
    ("Fold Amount"), the identifier is the name with every space removed
    ("FoldAmount"). */
struct ParameterIdentity
{
    juce::String name;
    int versionHint = 1;

    juce::ParameterID toParameterID() const { return { name.removeCharacters (" "), versionHint }; }
};

/** Rounds to the nearest integer with ties to even, as the choice and
    oversampling index mappings need. */
int roundHalfEven (double value) noexcept;

/** The integer part of a value a text shows (truncation toward zero), and the
    limits between a text's formats, each with a margin of a few parts in ten
    thousand. A value read back from a text lands a little off that text's number
    after the float mappings; the margin makes it show the same text again. */
int wholePart (double value) noexcept;
bool isAbove (double value, double limit) noexcept;
bool isBelow (double value, double limit) noexcept;

//==============================================================================
/** A continuous parameter with a plain value, two smoothed values (plain and
    normalised) and text functions, built either from an explicit range or from
    one of the framework's kind codes.

    getValue() answers the normalised value exactly as it was set (held within
    0..1), so that it survives a save and a restore bit for bit; only a range
    with an interval answers the normalised value of its snapped plain value.
    Pitfall: a range that snaps through a custom function alone (no interval)
    is not seen as snapping. */
class OrvelParameterFloat : public juce::RangedAudioParameter
{
public:
    using ValueToText = std::function<juce::String (float plainValue, float normalisedValue, int maximumLength)>;
    using TextToValue = std::function<float (const juce::String& text)>;

    /** Kind codes of the compact constructor. */
    enum Kind
    {
        percent = 0,      // 0..1, "50%"
        gainDecibels = 3, // logarithmic min..max, shown in dB
        frequency = 4,    // logarithmic min..max, "632Hz", "20.0kHz"
        bipolar = 10      // -100..100, "+50", "-37", "off"
    };

    /** Explicit constructor: the range and text functions are given. */
    OrvelParameterFloat (const ParameterIdentity& identity,
                         float defaultNormalised,
                         juce::NormalisableRange<float> range,
                         ValueToText valueToText,
                         TextToValue textToValue,
                         ParameterChangeCallback changeCallback,
                         bool isMeta = false);

    /** Compact constructor: the range and both text functions follow from the
        kind code; the (minimum, maximum) pair is used by the logarithmic kinds. */
    OrvelParameterFloat (const ParameterIdentity& identity,
                         ParameterChangeCallback changeCallback,
                         int kind,
                         bool isMeta,
                         float defaultNormalised,
                         float minimum,
                         float maximum);

    float getValue() const override;
    void setValue (float newNormalised) override;
    float getDefaultValue() const override;
    juce::String getText (float normalised, int maximumLength) const override;
    float getValueForText (const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    /** The current plain value (any thread). */
    float getPlainValue() const noexcept { return plainValue.load (std::memory_order_relaxed); }
    float getDefaultPlainValue() const noexcept { return defaultPlainValue; }

    /** Plain value for a normalised one: clamp, map, snap, clamp. */
    float toPlain (float normalised) const noexcept;
    /** Normalised value for a plain one: snap, map, clamp to 0..1. */
    float toNormalised (float plain) const noexcept;

    /** Makes the current value the default (the "Init" preset does this). */
    void adoptCurrentAsDefault() noexcept { defaultPlainValue = getPlainValue(); }

    /** Audio-thread view of the smoothed plain and normalised values. */
    CrossThreadRamp& smoothedPlain() noexcept { return smoothedPlainValue; }
    CrossThreadRamp& smoothedNormalised() noexcept { return smoothedNormalisedValue; }

    /** Both smoothed values get the rate and a 10 ms ramp, and land on their targets. */
    void prepareSmoothing (double sampleRate) noexcept;

private:
    void finishConstruction (float defaultForSetValue);

    juce::NormalisableRange<float> range;
    std::atomic<float> plainValue { 0.0f };
    std::atomic<float> normalisedValue { 0.0f }; // what getValue() answers
    float defaultPlainValue = 0.0f;
    ValueToText valueToText;
    TextToValue textToValue;
    ParameterChangeCallback changeCallback;
    CrossThreadRamp smoothedPlainValue;
    CrossThreadRamp smoothedNormalisedValue;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelParameterFloat)
};

//==============================================================================
/** An on/off switch. It keeps the normalised value exactly as given (a host
    may send 0.3) and reads it against 0.5. */
class OrvelParameterBool : public juce::RangedAudioParameter
{
public:
    OrvelParameterBool (const ParameterIdentity& identity,
                        bool defaultValue,
                        ParameterChangeCallback changeCallback,
                        const juce::StringArray& labels); // index 0: off text, index 1: on text

    float getValue() const override { return value.load (std::memory_order_relaxed); }
    void setValue (float newValue) override;
    float getDefaultValue() const override { return defaultValue; }
    int getNumSteps() const override { return 2; }
    bool isDiscrete() const override { return true; }
    bool isBoolean() const override { return true; }
    juce::String getText (float normalised, int maximumLength) const override;
    float getValueForText (const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    bool isOn() const noexcept { return getValue() >= 0.5f; }
    void adoptCurrentAsDefault() noexcept { defaultValue = getValue(); }

    CrossThreadRamp& smoothed() noexcept { return smoothedValue; }
    void prepareSmoothing (double sampleRate) noexcept;

    /** The switch vocabulary: true for "on", "yes", "enabled", the on label...,
        false for "off", "no", the off label..., else the leading integer. */
    bool parse (const juce::String& text) const;

private:
    juce::NormalisableRange<float> range { 0.0f, 1.0f, 1.0f };
    std::atomic<float> value { 0.0f };
    float defaultValue = 0.0f;
    juce::StringArray labels;
    ParameterChangeCallback changeCallback;
    CrossThreadRamp smoothedValue;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelParameterBool)
};

//==============================================================================
/** A list of named choices; the value is the choice index. */
class OrvelParameterChoice : public juce::RangedAudioParameter
{
public:
    OrvelParameterChoice (const ParameterIdentity& identity,
                          float defaultNormalised,
                          ParameterChangeCallback changeCallback,
                          const juce::StringArray& choices,
                          bool automatable = true);

    float getValue() const override;
    void setValue (float newNormalised) override;
    float getDefaultValue() const override;
    int getNumSteps() const override { return choices.size(); }
    bool isDiscrete() const override { return true; }
    juce::String getText (float normalised, int maximumLength) const override;
    float getValueForText (const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    int getIndex() const noexcept { return (int) index.load (std::memory_order_relaxed); }
    const juce::StringArray& getChoices() const noexcept { return choices; }
    void adoptCurrentAsDefault() noexcept { defaultIndex = (float) getIndex(); }

private:
    juce::StringArray choices;
    juce::NormalisableRange<float> range;
    std::atomic<float> index { 0.0f };
    float defaultIndex = 0.0f;
    ParameterChangeCallback changeCallback;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OrvelParameterChoice)
};

} // namespace orvel
