// Writes the factory presets from their readable source, or lists them for the
// level report.
//
//   wrendle-preset-bank generate SOURCE FACTORY_FOLDER
//       Replaces FACTORY_FOLDER with <Category>/<Name>.kvp for every preset of the
//       source, each exactly what the plug-in's own save writes for those values.
//       A parameter name the plug-in does not know, or a value the plug-in would
//       show differently from how the source writes it, fails the run.
//
//   wrendle-preset-bank list SOURCE
//       One line per preset: "<Category>/<Name>", its category's test signal and
//       "<Parameter>=<CLAP value>" for every parameter but Bypass, tab-separated,
//       as wrendle-host render --set takes them.

#include "FactoryBank.h"
#include "engine/WrendleFoldParameters.h"
#include "engine/parameters/ParameterOnlyProcessor.h"
#include "state/FileAccess.h"
#include "state/OrvelSettings.h"
#include "state/PluginState.h"
#include "state/ProcessorParameterTarget.h"

#include <cstdio>
#include <iostream>

namespace
{
/** A bare processor that owns the plug-in's sixteen parameters. */
struct ParameterHost final : orvel::ParameterOnlyProcessor
{
    ParameterHost()
    {
        params.createAndAdd (*this, [] (const juce::String&, float) {});
    }

    wrendle::WrendleFoldParameters params;
};

/** Sets the host's parameters to a preset. Empty on success, else what is wrong. */
juce::String applyPreset (ParameterHost& host, const wrendle::FactoryPreset& preset)
{
    return wrendle::applyFactoryPreset (host.getParameters(), preset, host.params.bypass);
}

int fail (const juce::String& message)
{
    std::cerr << "wrendle-preset-bank: " << message << std::endl;
    return 1;
}

int generate (const wrendle::FactoryBank& bank, const juce::File& factoryFolder)
{
    if (! factoryFolder.deleteRecursively() || ! factoryFolder.createDirectory())
        return fail ("cannot make " + factoryFolder.getFullPathName());

    ParameterHost host;
    const orvel::ProcessorParameterTarget target (host);
    const auto settingsTag = orvel::getSettingsTag (juce::String (orvel::OrvelSettings::defaultProductName).removeCharacters (" "));

    for (const auto& preset : bank.presets)
    {
        if (const auto problem = applyPreset (host, preset); problem.isNotEmpty())
            return fail (preset.getRelativePath() + " (line " + juce::String (preset.line) + "): " + problem);

        const auto file = factoryFolder.getChildFile (preset.getRelativePath() + ".kvp");
        const auto element = orvel::createSettingsElement (target, settingsTag, JucePlugin_VersionString);

        if (! file.getParentDirectory().createDirectory() || orvel::writeXmlFile (*element, file) != orvel::FileWriteResult::written)
            return fail ("cannot write " + file.getFullPathName());
    }

    std::cout << "Wrote " << bank.presets.size() << " factory presets in " << bank.categories.size()
              << " categories to " << factoryFolder.getFullPathName() << std::endl;
    return 0;
}

int list (const wrendle::FactoryBank& bank)
{
    ParameterHost host;

    for (const auto& preset : bank.presets)
    {
        if (const auto problem = applyPreset (host, preset); problem.isNotEmpty())
            return fail (preset.getRelativePath() + " (line " + juce::String (preset.line) + "): " + problem);

        std::cout << preset.getRelativePath() << '\t' << bank.findCategory (preset.category)->signal;

        for (auto* parameter : host.getParameters())
        {
            if (parameter == host.params.bypass)
                continue;

            // What a CLAP host sends: the plain value of a switch or choice, else 0..1.
            const auto value = parameter->isDiscrete()
                                   ? static_cast<juce::RangedAudioParameter*> (parameter)->convertFrom0to1 (parameter->getValue())
                                   : parameter->getValue();
            char number[32];
            std::snprintf (number, sizeof (number), "%.9g", (double) value);
            std::cout << '\t' << parameter->getName (50) << '=' << number;
        }

        std::cout << '\n';
    }

    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    const juce::String command (argc > 1 ? argv[1] : "");

    if (! ((command == "generate" && argc == 4) || (command == "list" && argc == 3)))
        return fail ("usage: wrendle-preset-bank generate SOURCE FACTORY_FOLDER | list SOURCE");

    const auto parsed = wrendle::readFactoryBank (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));

    if (parsed.error.isNotEmpty())
        return fail (juce::String (argv[2]) + ": " + parsed.error);

    if (command == "list")
        return list (parsed.bank);

    return generate (parsed.bank, juce::File::getCurrentWorkingDirectory().getChildFile (argv[3]));
}
