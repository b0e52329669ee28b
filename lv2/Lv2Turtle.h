#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <vector>

namespace lv2binding
{

/** What the bundle says about the plug-in besides its parameters. */
struct BundleDescription
{
    juce::String pluginUri;
    juce::String name;
    juce::String description;
    juce::String vendor;
    juce::String vendorSite;
    juce::String pluginClass = "lv2:Plugin"; ///< an LV2 plug-in class in Turtle, e.g. "lv2:DistortionPlugin"
    juce::String binaryName;                 ///< the shared library, beside the Turtle files
    int minorVersion = 0;
    int microVersion = 0;
    bool hasUi = true;
};

/** One preset of the bundle. */
struct PresetDescription
{
    juce::String bank;  ///< its bank's label (empty: none)
    juce::String label; ///< its name, unique within its bank
    /** Per parameter, in the processor's order: the plain value the preset sets, or NaN for a
        parameter the preset leaves alone. */
    std::vector<float> plainValues;
    /** The settings the plug-in applies as a preset; may be empty. */
    juce::String settingsText;
};

/** The port of each parameter: its symbol, range, default and properties, derived from the
    parameter object alone (range, isBoolean, isDiscrete, texts). */
struct ParameterPort
{
    juce::String symbol;
    juce::String name;
    float minimum = 0.0f, maximum = 1.0f, defaultValue = 0.0f;
    bool toggled = false;
    bool enumeration = false; ///< integer, with a scale point per step
    bool logarithmic = false;
    bool inHertz = false;
    std::vector<std::pair<float, juce::String>> scalePoints;
};

ParameterPort describeParameterPort (const juce::AudioProcessorParameter& parameter);

/** A valid LV2 symbol for an identifier: letters, digits and '_', not starting with a digit. */
juce::String toSymbol (const juce::String& identifier);

/** A URI path segment for a preset or bank label: its letters and digits, joined by '-'. */
juce::String toUriSegment (const juce::String& label);

/** The bundle's three Turtle files. */
juce::String writeManifestTurtle (const BundleDescription& bundle, const std::vector<PresetDescription>& presets);
juce::String writePluginTurtle (const BundleDescription& bundle, juce::AudioProcessor& processor);
juce::String writePresetsTurtle (const BundleDescription& bundle, juce::AudioProcessor& processor,
                                 const std::vector<PresetDescription>& presets);

/** The file names the manifest refers to. */
constexpr const char* pluginTurtleName = "dsp.ttl";
constexpr const char* presetsTurtleName = "presets.ttl";

} // namespace lv2binding
