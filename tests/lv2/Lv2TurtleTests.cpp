// The bundle's Turtle as the binding writes it from the processor's parameter
// list: port indexes that never move, plain ranges and the properties LV2 hosts
// read, and presets with their port values and settings.

#include "Lv2Rig.h"
#include "engine/WrendleFoldParameters.h"
#include "lv2/Lv2Turtle.h"

#include <gtest/gtest.h>

using namespace lv2test;

namespace
{
lv2binding::BundleDescription bundle()
{
    lv2binding::BundleDescription description;
    description.pluginUri = pluginUri;
    description.name = "Wrendle Fold";
    description.vendor = "Kestrivane";
    description.binaryName = "libWrendleFold.so";
    return description;
}

/** The text of the port that says "lv2:index" at `at`: from its '[' to the first ']'. */
juce::String portBlockAround (const juce::String& turtle, int at)
{
    const auto open = turtle.substring (0, at).lastIndexOfChar ('[');
    return turtle.substring (open, turtle.indexOfChar (at, ']'));
}

/** The index and symbol of every port of a Turtle text, in order. */
std::vector<std::pair<int, juce::String>> indexedSymbols (const juce::String& turtle)
{
    std::vector<std::pair<int, juce::String>> ports;
    for (int at = turtle.indexOf ("lv2:index "); at >= 0; at = turtle.indexOf (at + 1, "lv2:index "))
    {
        const auto block = portBlockAround (turtle, at);
        const auto symbol = block.fromFirstOccurrenceOf ("lv2:symbol \"", false, false).upToFirstOccurrenceOf ("\"", false, false);
        ports.emplace_back (turtle.substring (at + 10).getIntValue(), symbol);
    }
    return ports;
}
} // namespace

TEST (Lv2Turtle, KeepsThePortsOfTheJuceBuiltBundleAndPutsOnePortPerParameterAfterThem)
{
    Rig rig;
    const auto ours = indexedSymbols (lv2binding::writePluginTurtle (bundle(), *rig.product));
    const auto released = indexedSymbols (juce::File (WRENDLE_LV2_FIXTURES).getChildFile ("juce-wrapper-dsp.ttl").loadFileAsString());

    ASSERT_EQ (released.size(), 9u);
    ASSERT_EQ (ours.size(), 9u + (size_t) wrendle::numParameters);
    for (size_t i = 0; i < released.size(); ++i)
        EXPECT_EQ (ours[i], released[i]);

    const auto& parameters = rig.product->getParameters();
    for (int i = 0; i < parameters.size(); ++i)
    {
        EXPECT_EQ (ours[9 + (size_t) i].first, 9 + i);
        EXPECT_EQ (ours[9 + (size_t) i].second, dynamic_cast<juce::AudioProcessorParameterWithID*> (parameters[i])->getParameterID());
    }
}

TEST (Lv2Turtle, AnAppendedParameterGetsTheNextPortAndMovesNone)
{
    Rig rig;
    const auto before = indexedSymbols (lv2binding::writePluginTurtle (bundle(), *rig.product));
    rig.product->addParameter (new juce::AudioParameterFloat ({ "Symmetry", 1 }, "Symmetry", 0.0f, 1.0f, 0.5f));
    const auto after = indexedSymbols (lv2binding::writePluginTurtle (bundle(), *rig.product));

    ASSERT_EQ (after.size(), before.size() + 1);
    EXPECT_TRUE (std::equal (before.begin(), before.end(), after.begin()));
    EXPECT_EQ (after.back(), std::make_pair ((int) before.size(), juce::String ("Symmetry")));
}

TEST (Lv2Turtle, DescribesEachParameterInPlainUnitsFromTheParameterItself)
{
    Rig rig;
    struct Expected
    {
        int index;
        bool toggled, enumeration, logarithmic, hertz;
        std::vector<const char*> labels;
    };
    const Expected table[] = {
        { wrendle::foldAmountIndex, false, false, false, false, {} },
        { wrendle::lowPassIndex, false, false, true, true, {} },
        { wrendle::inputIndex, false, false, true, false, {} },
        { wrendle::oversamplingIndex, false, true, false, false, { "OFF", "2X", "4X", "8X", "16X" } },
        { wrendle::prePostIndex, false, true, false, false, { "Normal", "Inverted" } },
        { wrendle::softClipIndex, true, false, false, false, {} },
        { wrendle::bypassIndex, true, false, false, false, {} },
        { wrendle::autoGainIndex, true, false, false, false, {} },
    };

    for (const auto& expected : table)
    {
        auto& parameter = rig.parameter (expected.index);
        SCOPED_TRACE (parameter.getName (64).toStdString());
        const auto port = lv2binding::describeParameterPort (parameter);
        EXPECT_EQ (port.toggled, expected.toggled);
        EXPECT_EQ (port.enumeration, expected.enumeration);
        EXPECT_EQ (port.logarithmic, expected.logarithmic);
        EXPECT_EQ (port.inHertz, expected.hertz);

        // The default is the parameter's own, and the port's range maps onto the parameter's.
        EXPECT_EQ (lv2binding::Lv2Plugin::toNormalised (parameter, port.defaultValue), parameter.getDefaultValue());
        EXPECT_EQ (lv2binding::Lv2Plugin::toNormalised (parameter, port.minimum), 0.0f);
        EXPECT_EQ (lv2binding::Lv2Plugin::toNormalised (parameter, port.maximum), 1.0f);

        ASSERT_EQ (port.scalePoints.size(), expected.labels.size());
        for (size_t point = 0; point < expected.labels.size(); ++point)
        {
            EXPECT_EQ (port.scalePoints[point].first, (float) point) << "an enumeration counts its choices";
            EXPECT_EQ (port.scalePoints[point].second, expected.labels[point]);
        }
    }

    // The Turtle says the same, with numbers that read back to the same floats.
    const auto turtle = lv2binding::writePluginTurtle (bundle(), *rig.product);
    const auto lowPass = turtle.fromFirstOccurrenceOf ("\"LowPass\"", false, false).upToFirstOccurrenceOf ("]", false, false);
    EXPECT_EQ (lowPass.fromFirstOccurrenceOf ("lv2:default ", false, false).getFloatValue(),
               lv2binding::describeParameterPort (rig.parameter (wrendle::lowPassIndex)).defaultValue);
    EXPECT_TRUE (lowPass.contains ("pprop:logarithmic") && lowPass.contains ("units:hz"));
    for (int audioPort = 0; audioPort < 4; ++audioPort)
        EXPECT_FALSE (portBlockAround (turtle, turtle.indexOf ("lv2:index " + juce::String (audioPort) + " ;")).contains ("connectionOptional"))
            << "audio port " << audioPort << " must be connected";
    EXPECT_FALSE (turtle.contains ("lv2:requiredFeature"));
}

TEST (Lv2Turtle, PresetsCarryTheirLabelBankPortValuesAndSettings)
{
    Rig rig;
    lv2binding::PresetDescription preset;
    preset.bank = "Feedback and sound design";
    preset.label = "Lo-Fi \"Break\"";
    preset.plainValues.assign ((size_t) wrendle::numParameters, std::nanf (""));
    preset.plainValues[wrendle::oversamplingIndex] = 2.0f;
    preset.settingsText = "<WrendleFold_SETTINGS Mix=\"0.5\"/>\n";

    const auto manifest = lv2binding::writeManifestTurtle (bundle(), { preset });
    const auto presets = lv2binding::writePresetsTurtle (bundle(), *rig.product, { preset });
    const juce::String presetUri = juce::String ("<") + pluginUri + ":preset/Feedback-and-sound-design/Lo-Fi-Break>";

    EXPECT_TRUE (manifest.contains (presetUri + "\n    a pset:Preset ;"));
    EXPECT_TRUE (manifest.contains ("rdfs:label \"Lo-Fi \\\"Break\\\"\""));
    EXPECT_TRUE (presets.contains ("pset:bank <" + juce::String (pluginUri) + ":bank/Feedback-and-sound-design>"));
    EXPECT_TRUE (presets.contains ("rdfs:label \"Feedback and sound design\""));
    EXPECT_TRUE (presets.contains ("lv2:symbol \"Oversampling\" ;\n        pset:value 2 ;"));
    EXPECT_FALSE (presets.contains ("lv2:symbol \"Mix\"")) << "a parameter the preset leaves alone has no port value";
    EXPECT_TRUE (presets.contains (":PresetSettings> \"<WrendleFold_SETTINGS Mix=\\\"0.5\\\"/>\\n\""));
}
