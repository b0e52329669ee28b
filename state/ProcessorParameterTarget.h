#pragma once

#include "state/PluginState.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace orvel
{

/** A processor's parameter list seen as a ParameterTarget. Names are getName (50). */
class ProcessorParameterTarget final : public ParameterTarget
{
public:
    enum class Changes
    {
        /** Each change is wrapped in a change gesture and notifies the host, as an edit
            the user makes (presets, paste). */
        asUserEdits,
        /** Values are only set: a host restore, which the host learns of once, with a
            rescan, and must not record as edits. The editor follows by itself. */
        silent
    };

    explicit ProcessorParameterTarget (juce::AudioProcessor& processorToUse, Changes changesToMake = Changes::asUserEdits)
        : processor (processorToUse), changes (changesToMake)
    {
    }

    int getNumParameters() const override { return processor.getParameters().size(); }

    juce::String getParameterName (int index) const override
    {
        auto* parameter = get (index);
        return parameter != nullptr ? parameter->getName (50) : juce::String();
    }

    float getParameterValue (int index) const override
    {
        auto* parameter = get (index);
        return parameter != nullptr ? parameter->getValue() : 0.0f;
    }

    float getParameterDefaultValue (int index) const override
    {
        auto* parameter = get (index);
        return parameter != nullptr ? parameter->getDefaultValue() : 0.0f;
    }

    void setParameterValue (int index, float normalisedValue) override
    {
        auto* parameter = get (index);

        if (parameter == nullptr)
            return;

        if (changes == Changes::silent)
        {
            parameter->setValue (normalisedValue);
            return;
        }

        parameter->beginChangeGesture();
        parameter->setValueNotifyingHost (normalisedValue);
        parameter->endChangeGesture();
    }

private:
    juce::AudioProcessorParameter* get (int index) const
    {
        return processor.getParameters()[index];
    }

    juce::AudioProcessor& processor;
    const Changes changes;
};

} // namespace orvel
