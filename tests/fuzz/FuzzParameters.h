#pragma once

#include "state/PluginState.h"

#include <array>
#include <cmath>

namespace wrendle_fuzz
{

/** The processor's sixteen parameters as the state format sees them: names and
    normalised defaults in list order. A fuzz input that leaves a value outside 0..1,
    changes a skipped parameter or sets one twice is a finding. */
class FuzzParameters final : public orvel::ParameterTarget
{
public:
    struct Entry
    {
        const char* name;
        float defaultValue;
    };

    static constexpr std::array<Entry, 16> entries { {
        { "Fold Amount", 0.0f },
        { "Feedback", 0.5f },
        { "Feedback LP", 0.5f },
        { "HighPass", 0.0f },
        { "LowPass", 1.0f },
        { "Envelope Attack", 0.0f },
        { "Envelope Release", 0.5f },
        { "Envelope Amount", 0.5f },
        { "Input", 0.5f },
        { "Output", 0.5f },
        { "Mix", 1.0f },
        { "Oversampling", 0.0f },
        { "PrePost", 1.0f },
        { "Soft Clip", 1.0f },
        { "Bypass", 1.0f },
        { "AutoGain", 0.0f },
    } };

    /** A value no setter can produce, to tell untouched parameters apart. */
    static constexpr float untouched = -1.0f;

    FuzzParameters() { values.fill (untouched); }

    int getNumParameters() const override { return (int) entries.size(); }
    juce::String getParameterName (int index) const override { return entries[(size_t) index].name; }

    float getParameterValue (int index) const override
    {
        const auto value = values[(size_t) index];
        return value == untouched ? entries[(size_t) index].defaultValue : value;
    }

    float getParameterDefaultValue (int index) const override { return entries[(size_t) index].defaultValue; }

    void setParameterValue (int index, float normalisedValue) override
    {
        if (values[(size_t) index] != untouched || ! (normalisedValue >= 0.0f && normalisedValue <= 1.0f))
            __builtin_trap();

        values[(size_t) index] = normalisedValue;
    }

    int indexOf (const char* name) const
    {
        for (size_t i = 0; i < entries.size(); ++i)
            if (juce::String (entries[i].name) == name)
                return (int) i;

        __builtin_trap();
    }

    std::array<float, 16> values;
};

inline void check (bool condition)
{
    if (! condition)
        __builtin_trap();
}

} // namespace wrendle_fuzz
