// The LV2 bundle as JUCE's LV2 hosting (lilv underneath) meets it: a project
// saved with the bundle that JUCE's LV2 wrapper built still loads its sound,
// and the factory presets are the host's programs.

#include "HostedFormats.h"

#include <gtest/gtest.h>

using hosted::Format;

namespace
{
/** Processes a few blocks of silence, so that a host's port changes reach the plug-in. */
void processSome (juce::AudioProcessor& plugin)
{
    juce::AudioBuffer<float> block (2, 512);
    juce::MidiBuffer midi;
    for (int i = 0; i < 4; ++i)
    {
        block.clear();
        plugin.processBlock (block, midi);
    }
}

/** A port's value in JUCE's hosting: its plain range mapped straight onto 0..1. */
void setPlain (juce::AudioProcessor& plugin, const juce::String& name, float plain, float minimum, float maximum)
{
    auto* parameter = hosted::findParameter (plugin, name);
    ASSERT_NE (parameter, nullptr) << name;
    parameter->setValueNotifyingHost ((plain - minimum) / (maximum - minimum));
}

float getPlain (juce::AudioProcessor& plugin, const juce::String& name, float minimum, float maximum)
{
    auto* parameter = hosted::findParameter (plugin, name);
    return parameter != nullptr ? minimum + parameter->getValue() * (maximum - minimum) : -1.0f;
}

/** Two seconds of a swept tone through the plug-in; the RMS level of the last second in dB. */
double renderLevel (juce::AudioProcessor& plugin, juce::AudioBuffer<float>* keep = nullptr)
{
    juce::AudioBuffer<float> all (2, 96000);
    for (int i = 0; i < all.getNumSamples(); ++i)
        for (int channel = 0; channel < 2; ++channel)
            all.setSample (channel, i, 0.4f * (float) std::sin (0.02 * i + 0.00000002 * i * i));

    juce::MidiBuffer midi;
    for (int start = 0; start < all.getNumSamples(); start += 512)
    {
        juce::AudioBuffer<float> block (all.getArrayOfWritePointers(), 2, start, std::min (512, all.getNumSamples() - start));
        plugin.processBlock (block, midi);
    }
    if (keep != nullptr)
        keep->makeCopyOf (all);
    return juce::Decibels::gainToDecibels (all.getRMSLevel (0, 48000, 48000));
}
} // namespace

TEST (Lv2Host, AProjectSavedWithTheJuceBuiltBundleLoadsItsSound)
{
    // lilv's state, as an Ardour session of release 1.1.1 holds it: Fold Amount 9.40, Mix 75%,
    // Oversampling 4X, HighPass 150Hz, PrePost Normal, Soft Clip off, AutoGain on (and the
    // power switch "off", the host's "enabled" as that release's wrapper copied it there).
    const auto saved = juce::File (WRENDLE_LV2_FIXTURES).getChildFile ("juce-wrapper-state.ttl").loadFileAsString();
    ASSERT_TRUE (saved.contains (":StateString>"));

    auto restored = hosted::load (Format::lv2, 48000.0, 512);
    auto setByPorts = hosted::load (Format::lv2, 48000.0, 512);
    auto atDefaults = hosted::load (Format::lv2, 48000.0, 512);
    ASSERT_TRUE (restored != nullptr && setByPorts != nullptr && atDefaults != nullptr);

    for (auto* plugin : { restored.get(), setByPorts.get(), atDefaults.get() })
        plugin->prepareToPlay (48000.0, 512);

    // The session holds no value for the new parameter ports: they stay at their defaults, and
    // the state must win over them.
    restored->setStateInformation (saved.toRawUTF8(), (int) saved.getNumBytesAsUTF8());

    setPlain (*setByPorts, "Fold Amount", 0.6f, 0.0f, 1.0f);
    setPlain (*setByPorts, "Mix", 0.75f, 0.0f, 1.0f);
    setPlain (*setByPorts, "Oversampling", 2.0f, 0.0f, 4.0f);
    setPlain (*setByPorts, "HighPass", 150.0f, 20.0f, 19999.9922f);
    setPlain (*setByPorts, "PrePost", 0.0f, 0.0f, 1.0f);
    setPlain (*setByPorts, "Soft Clip", 0.0f, 0.0f, 1.0f);
    setPlain (*setByPorts, "AutoGain", 1.0f, 0.0f, 1.0f);

    juce::AudioBuffer<float> restoredOutput, setOutput;
    const auto restoredLevel = renderLevel (*restored, &restoredOutput);
    const auto setLevel = renderLevel (*setByPorts, &setOutput);
    const auto defaultLevel = renderLevel (*atDefaults);
    EXPECT_NEAR (restoredLevel, setLevel, 0.25) << "defaults " << defaultLevel;
    EXPECT_GT (std::abs (restoredLevel - defaultLevel), 1.0) << "the defaults sound the same: the test shows nothing";
    EXPECT_EQ (restored->getLatencySamples(), setByPorts->getLatencySamples()) << "4X's latency";

    // The two renders differ only by the drift stage's own wandering.
    double product = 0.0, energyA = 0.0, energyB = 0.0;
    for (int i = 48000; i < 96000; ++i)
    {
        product += (double) restoredOutput.getSample (0, i) * setOutput.getSample (0, i);
        energyA += (double) restoredOutput.getSample (0, i) * restoredOutput.getSample (0, i);
        energyB += (double) setOutput.getSample (0, i) * setOutput.getSample (0, i);
    }
    EXPECT_GT (product / std::sqrt (energyA * energyB), 0.95);

    for (auto* plugin : { restored.get(), setByPorts.get(), atDefaults.get() })
        plugin->releaseResources();
}

TEST (Lv2Host, ListsTheFactoryPresetsAsProgramsAndAProgramSetsThePorts)
{
    // One program per preset of the factory bank's source ("[Category/Name]").
    int presets = 0;
    for (const auto& line : juce::StringArray::fromLines (juce::File (WRENDLE_FACTORY_BANK).loadFileAsString()))
        if (line.startsWith ("[") && line.endsWith ("]") && line.contains ("/"))
            ++presets;

    auto plugin = hosted::load (Format::lv2, 48000.0, 512);
    ASSERT_NE (plugin, nullptr);
    ASSERT_GT (presets, 0);
    ASSERT_EQ (plugin->getNumPrograms(), presets);

    int subKeeper = -1;
    for (int program = 0; program < plugin->getNumPrograms(); ++program)
        if (plugin->getProgramName (program) == "Sub Keeper")
            subKeeper = program;
    ASSERT_GE (subKeeper, 0) << "no preset named Sub Keeper";

    plugin->prepareToPlay (48000.0, 512);
    plugin->setCurrentProgram (subKeeper);
    processSome (*plugin);

    // Fold Amount 4.00, HighPass 150Hz, Oversampling 4X.
    EXPECT_NEAR (getPlain (*plugin, "Fold Amount", 0.0f, 1.0f), 3.0f / 14.0f, 1.0e-4f);
    EXPECT_NEAR (getPlain (*plugin, "HighPass", 20.0f, 19999.9922f), 150.0f, 0.01f);
    EXPECT_NEAR (getPlain (*plugin, "Oversampling", 0.0f, 4.0f), 2.0f, 1.0e-4f);
    plugin->releaseResources();
}
