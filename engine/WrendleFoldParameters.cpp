#include "engine/WrendleFoldParameters.h"

#include "engine/dsp/FoldLaws.h"

#include <cmath>

namespace wrendle
{

using orvel::OrvelParameterBool;
using orvel::OrvelParameterChoice;
using orvel::OrvelParameterFloat;

namespace
{
    /** Fold Amount shows its drive factor, 1.00 to 15.00. */
    std::unique_ptr<OrvelParameterFloat> makeFoldAmount (const orvel::ParameterChangeCallback& onChange)
    {
        return std::make_unique<OrvelParameterFloat> (
            orvel::ParameterIdentity { "Fold Amount", 1 }, 0.0f, juce::NormalisableRange<float> (0.0f, 1.0f),
            [] (float, float normalised, int)
            { return juce::String (orvel::foldlaws::driveForFoldAmount (normalised), 2); },
            [] (const juce::String& text)
            { return juce::jlimit (0.0f, 1.0f, orvel::foldlaws::foldAmountForDrive (text.getFloatValue())); },
            onChange);
    }

    /** Times below 10 ms get one decimal: "9.9ms", "120ms". The choice follows the rounded
        time, so 9.97 ms shows "10ms" (not "10.0ms", which would read back as 10 ms and then
        show "10ms"). */
    juce::String millisecondsText (float ms)
    {
        const auto tenths = std::round ((double) ms * 10.0) / 10.0;

        if (tenths < 10.0)
            return juce::String (tenths, 1) + "ms";

        return juce::String (juce::jmax (10, orvel::wholePart (ms))) + "ms";
    }

    std::unique_ptr<OrvelParameterFloat> makeTime (const juce::String& name, float defaultNormalised, float fullScaleMs,
                                                   const orvel::ParameterChangeCallback& onChange)
    {
        return std::make_unique<OrvelParameterFloat> (
            orvel::ParameterIdentity { name, 1 }, defaultNormalised, juce::NormalisableRange<float> (0.0f, 1.0f),
            [fullScaleMs] (float plain, float, int)
            { return millisecondsText (plain * fullScaleMs); },
            [fullScaleMs] (const juce::String& text)
            { return text.getFloatValue() / fullScaleMs; },
            onChange);
    }

    std::unique_ptr<OrvelParameterFloat> makeKind (const juce::String& name, int kind, float defaultNormalised,
                                                   float minimum, float maximum,
                                                   const orvel::ParameterChangeCallback& onChange)
    {
        return std::make_unique<OrvelParameterFloat> (orvel::ParameterIdentity { name, 1 }, onChange, kind, false,
                                                      defaultNormalised, minimum, maximum);
    }

    std::unique_ptr<OrvelParameterBool> makeSwitch (const juce::String& name, int versionHint, bool defaultOn,
                                                    const juce::StringArray& labels,
                                                    const orvel::ParameterChangeCallback& onChange)
    {
        return std::make_unique<OrvelParameterBool> (orvel::ParameterIdentity { name, versionHint }, defaultOn, onChange, labels);
    }

    template <typename Parameter>
    Parameter* add (juce::AudioProcessor& processor, std::unique_ptr<Parameter> parameter)
    {
        auto* raw = parameter.get();
        processor.addParameter (parameter.release());
        return raw;
    }
} // namespace

void WrendleFoldParameters::createAndAdd (juce::AudioProcessor& processor, const orvel::ParameterChangeCallback& onChange)
{
    const juce::StringArray offOn { "off", "on" };

    foldAmount = add (processor, makeFoldAmount (onChange));
    feedback = add (processor, makeKind ("Feedback", OrvelParameterFloat::percent, 0.5f, 0.0f, 1.0f, onChange));
    feedbackLowPass = add (processor, makeKind ("Feedback LP", OrvelParameterFloat::frequency, 0.5f, 20.0f, 20000.0f, onChange));
    highPass = add (processor, makeKind ("HighPass", OrvelParameterFloat::frequency, 0.0f, 20.0f, 20000.0f, onChange));
    lowPass = add (processor, makeKind ("LowPass", OrvelParameterFloat::frequency, 1.0f, 20.0f, 20000.0f, onChange));
    envelopeAttack = add (processor, makeTime ("Envelope Attack", 0.0f, 250.0f, onChange));
    envelopeRelease = add (processor, makeTime ("Envelope Release", 0.5f, 1000.0f, onChange));
    envelopeAmount = add (processor, makeKind ("Envelope Amount", OrvelParameterFloat::bipolar, 0.5f, -100.0f, 100.0f, onChange));
    input = add (processor, makeKind ("Input", OrvelParameterFloat::gainDecibels, 0.5f, minimumGain, maximumGain, onChange));
    output = add (processor, makeKind ("Output", OrvelParameterFloat::gainDecibels, 0.5f, minimumGain, maximumGain, onChange));
    mix = add (processor, makeKind ("Mix", OrvelParameterFloat::percent, 1.0f, 0.0f, 1.0f, onChange));
    oversampling = add (processor, std::make_unique<OrvelParameterChoice> (orvel::ParameterIdentity { "Oversampling", 1 }, 0.0f, onChange,
                                                                           juce::StringArray { "OFF", "2X", "4X", "8X", "16X" }, true));
    prePost = add (processor, makeSwitch ("PrePost", 1, true, { "Normal", "Inverted" }, onChange));
    softClip = add (processor, makeSwitch ("Soft Clip", 1, true, offOn, onChange));
    bypass = add (processor, makeSwitch ("Bypass", 1, true, offOn, onChange));
    autoGain = add (processor, makeSwitch ("AutoGain", 2, false, offOn, onChange));
}

std::array<OrvelParameterFloat*, 11> WrendleFoldParameters::floats() const noexcept
{
    return { foldAmount, feedback, feedbackLowPass, highPass, lowPass, envelopeAttack,
             envelopeRelease, envelopeAmount, input, output, mix };
}

std::array<OrvelParameterBool*, 4> WrendleFoldParameters::switches() const noexcept
{
    return { prePost, softClip, bypass, autoGain };
}

} // namespace wrendle
