#pragma once

#include "state/PluginState.h"

#include <juce_audio_processors/juce_audio_processors.h>

namespace orvel
{

/** A processor's parameter list seen as a ParameterTarget. Names are getName (50);
    a change is wrapped in a change gesture and notifies the host. */
class ProcessorParameterTarget final : public ParameterTarget
{
public:
    explicit ProcessorParameterTarget (juce::AudioProcessor& processorToUse)
        : processor (processorToUse)
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

    void setParameterValueAsUserChange (int index, float normalisedValue) override
    {
        if (auto* parameter = get (index))
        {
            parameter->beginChangeGesture();
            parameter->setValueNotifyingHost (normalisedValue);
            parameter->endChangeGesture();
        }
    }

private:
    juce::AudioProcessorParameter* get (int index) const
    {
        return processor.getParameters()[index];
    }

    juce::AudioProcessor& processor;
};

} // namespace orvel
