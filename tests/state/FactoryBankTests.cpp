// The factory bank as the build writes it (<build>/data, laid out like an
// installed data folder) against its source, presets/FactoryBank.txt.

#include "FactoryBank.h"
#include "ProcessorStateFixture.h"
#include "state/PresetFile.h"
#include "state/PresetMenuModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace
{

using namespace wrendle_test;

/** A processor test whose system data folder is the build's. */
class FactoryBankTest : public ProcessorStateTest
{
protected:
    void SetUp() override
    {
        ProcessorStateTest::SetUp();
        previousDataFolders = juce::SystemStats::getEnvironmentVariable ("XDG_DATA_DIRS", {});
        ::setenv ("XDG_DATA_DIRS", WRENDLE_FACTORY_DATA_DIR, 1);

        const auto parsed = wrendle::readFactoryBank (juce::File (WRENDLE_FACTORY_SOURCE));
        ASSERT_TRUE (parsed.error.isEmpty()) << parsed.error;
        bank = parsed.bank;
    }

    void TearDown() override
    {
        ::setenv ("XDG_DATA_DIRS", previousDataFolders.toRawUTF8(), 1);
        ProcessorStateTest::TearDown();
    }

    static juce::File installedFolder() { return juce::File (WRENDLE_FACTORY_DATA_DIR).getChildFile ("Kestrivane/Presets/WrendleFold"); }
    static juce::File fileOf (const wrendle::FactoryPreset& preset) { return installedFolder().getChildFile ("Factory/" + preset.getRelativePath() + ".kvp"); }

    wrendle::FactoryBank bank;
    juce::String previousDataFolders;
};

/** Every preset of the menu as "<folder>/.../<name>", in menu order. */
void collectPaths (const std::vector<orvel::PresetMenuEntry>& entries, const juce::String& prefix, juce::StringArray& into)
{
    for (const auto& entry : entries)
    {
        if (entry.isFolder())
            collectPaths (entry.children, prefix + entry.name + "/", into);
        else
            into.add (prefix + entry.name);
    }
}

//==============================================================================
TEST_F (FactoryBankTest, ThePlugInListsEveryFactoryPresetOfTheSourceUnderItsCategory)
{
    ASSERT_GE (bank.categories.size(), 4u);
    ASSERT_GE (bank.presets.size(), 24u);

    orvel::OrvelSettings settings;
    EXPECT_EQ (settings.getSystemPresetsFolders(), juce::Array<juce::File> { installedFolder() });

    orvel::PresetMenuModel menu;
    menu.rebuild();
    juce::StringArray listed;
    collectPaths (menu.getEntries(), {}, listed);

    juce::StringArray expected;

    for (const auto& preset : bank.presets)
        expected.add ("Factory/" + preset.getRelativePath());

    listed.sort (true);
    expected.sort (true);
    EXPECT_EQ (listed, expected) << "every file comes from the source, and nothing else is there";

    // Installed presets are factory presets: never deleted, saved elsewhere.
    const auto first = fileOf (bank.presets.front()).getFullPathName();
    EXPECT_TRUE (orvel::isFactoryPreset (first, settings.getAllPresetsFolders()));
    EXPECT_FALSE (orvel::isDeletablePreset (first, settings.getAllPresetsFolders()));
}

TEST_F (FactoryBankTest, EveryFactoryPresetSetsWhatItsSourceSaysAndLeavesTheRestAtTheDefaults)
{
    auto processor = makeProcessor();
    auto& bypass = parameterNamed (*processor, "Bypass");
    bypass.setValueNotifyingHost (0.0f);

    for (const auto& preset : bank.presets)
    {
        SCOPED_TRACE (preset.getRelativePath());
        processor->loadPreset (fileOf (preset).getFullPathName());
        ASSERT_EQ (processor->currentPresetPath, fileOf (preset).getFullPathName());

        for (auto* parameter : processor->getParameters())
        {
            const auto name = parameter->getName (50);
            const auto index = preset.parameterNames.indexOf (name);

            if (parameter == &bypass)
                EXPECT_EQ (parameter->getValue(), 0.0f) << "a preset never switches the effect on or off";
            else if (index >= 0)
                EXPECT_EQ (parameter->getText (parameter->getValue(), 50), preset.valueTexts[index]) << name;
            else
                EXPECT_EQ (parameter->getValue(), parameter->getDefaultValue()) << name;
        }
    }
}

TEST_F (FactoryBankTest, EveryFactoryPresetGivesBoundedOutputThatFallsSilentAfterTheInput)
{
    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 512;
    constexpr int signalBlocks = 94;   // about 1 s of a loud, dense signal
    constexpr int silenceBlocks = 188; // then 2 s of silence
    constexpr int measuredBlocks = 24; // of which the last quarter second is measured

    auto processor = makeProcessor();
    processor->setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    juce::Random noise (7);

    for (const auto& preset : bank.presets)
    {
        SCOPED_TRACE (preset.getRelativePath());
        processor->loadPreset (fileOf (preset).getFullPathName());
        processor->reset();

        float peak = 0.0f;
        double tailEnergy = 0.0;
        int nonFinite = 0;
        juce::int64 frame = 0;

        for (int block = 0; block < signalBlocks + silenceBlocks; ++block)
        {
            for (int i = 0; i < blockSize; ++i, ++frame)
            {
                // A sweep from 40 Hz to 4 kHz under noise, at -3 dBFS peak, then nothing.
                const auto t = (double) frame / sampleRate;
                const auto sweep = std::sin (2.0 * juce::MathConstants<double>::pi * 40.0 * (std::pow (100.0, t) - 1.0) / std::log (100.0));
                const auto sample = block < signalBlocks ? (float) (0.6 * sweep) + 0.1f * (noise.nextFloat() * 2.0f - 1.0f) : 0.0f;
                buffer.setSample (0, i, sample);
                buffer.setSample (1, i, -sample);
            }

            processor->processBlock (buffer, midi);

            for (int channel = 0; channel < 2; ++channel)
            {
                for (int i = 0; i < blockSize; ++i)
                {
                    const auto y = buffer.getSample (channel, i);

                    if (! std::isfinite (y))
                        ++nonFinite;
                    else
                        peak = juce::jmax (peak, std::abs (y));

                    if (block >= signalBlocks + silenceBlocks - measuredBlocks)
                        tailEnergy += (double) y * y;
                }
            }
        }

        EXPECT_EQ (nonFinite, 0);
        EXPECT_LT (peak, 1.5f) << "the soft clipper keeps every preset near full scale";

        const auto tailRms = std::sqrt (tailEnergy / (2.0 * measuredBlocks * blockSize));
        EXPECT_LT (tailRms, 1.0e-4) << "no preset keeps sounding by itself";
    }
}

} // namespace
