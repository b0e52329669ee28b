// Writes the LV2 bundle's Turtle from the plug-in itself, at build time:
//
//   wrendle-lv2-turtle BUNDLE_FOLDER FACTORY_BANK_SOURCE BINARY_NAME
//
// The ports come from the processor's parameter list, the presets from the
// factory bank's source, each with its port values and its settings (what the
// plug-in's own preset files hold). A preset the plug-in would not show as
// written fails the run, as it fails the preset files' generation.

#include "FactoryBank.h"
#include "ProductIdentity.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Turtle.h"
#include "plugin/WrendleFoldProcessor.h"

#include <cmath>
#include <iostream>

namespace
{
int fail (const juce::String& message)
{
    std::cerr << "wrendle-lv2-turtle: " << message << std::endl;
    return 1;
}

lv2binding::BundleDescription describeBundle (const juce::String& binaryName)
{
    namespace id = wrendle::identity;
    const auto version = juce::StringArray::fromTokens (id::version, ".", {});

    lv2binding::BundleDescription bundle;
    bundle.pluginUri = id::lv2Uri;
    bundle.name = id::productName;
    bundle.description = id::productDescription;
    bundle.vendor = id::vendor;
    bundle.vendorSite = id::vendorSite;
    bundle.pluginClass = "lv2:DistortionPlugin";
    bundle.binaryName = binaryName;
    bundle.minorVersion = version[1].getIntValue();
    bundle.microVersion = version[2].getIntValue();
    return bundle;
}

bool write (const juce::File& file, const juce::String& text)
{
    return file.replaceWithText (text, false, false, "\n");
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 4)
        return fail ("usage: wrendle-lv2-turtle BUNDLE_FOLDER FACTORY_BANK_SOURCE BINARY_NAME");

    const juce::ScopedJuceInitialiser_GUI juce;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    const auto parsed = wrendle::readFactoryBank (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));

    if (parsed.error.isNotEmpty())
        return fail (juce::String (argv[2]) + ": " + parsed.error);

    // The processor asks no news server from here.
    WrendleFoldProcessor processor ("http://127.0.0.1:9/");
    const auto bundle = describeBundle (argv[3]);
    const auto& parameters = processor.getParameters();
    const auto* bypass = processor.getParameterSet().bypass;
    std::vector<lv2binding::PresetDescription> presets;

    for (const auto& preset : parsed.bank.presets)
    {
        if (const auto problem = wrendle::applyFactoryPreset (parameters, preset, bypass); problem.isNotEmpty())
            return fail (preset.getRelativePath() + " (line " + juce::String (preset.line) + "): " + problem);

        lv2binding::PresetDescription description;
        description.bank = preset.category;
        description.label = preset.name;
        description.settingsText = processor.createSettingsText();

        // Bypass is the user's: a preset leaves its port alone.
        for (auto* parameter : parameters)
            description.plainValues.push_back (parameter == bypass ? std::nanf ("")
                                                                   : lv2binding::Lv2Plugin::toPlain (*parameter, parameter->getValue()));

        presets.push_back (std::move (description));
    }

    // The plug-in's ports declare the built-in defaults.
    for (auto* parameter : parameters)
        parameter->setValue (parameter->getDefaultValue());

    if (! folder.createDirectory()
        || ! write (folder.getChildFile ("manifest.ttl"), lv2binding::writeManifestTurtle (bundle, presets))
        || ! write (folder.getChildFile (lv2binding::pluginTurtleName), lv2binding::writePluginTurtle (bundle, processor))
        || ! write (folder.getChildFile (lv2binding::presetsTurtleName), lv2binding::writePresetsTurtle (bundle, processor, presets)))
        return fail ("cannot write the Turtle files into " + folder.getFullPathName());

    std::cout << "Wrote the LV2 bundle's Turtle with " << parameters.size() << " parameter ports and " << presets.size()
              << " presets to " << folder.getFullPathName() << std::endl;
    return 0;
}
