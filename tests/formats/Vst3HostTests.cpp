// The VST3 build as a VST3 host meets it: loaded through JUCE's VST3PluginFormat
// from the bundle alone, compared with what the CLAP build shows wrendle-host.
// Offline renders start the drift stage from its fixed seed in both formats,
// so the two builds must fold a tone alike.

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <unistd.h>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

/** The bundle folder, WrendleFold.vst3, two levels above its binary. */
juce::String vst3Bundle()
{
    return juce::File (WRENDLE_VST3_BINARY_DIR).getParentDirectory().getParentDirectory().getFullPathName();
}

std::unique_ptr<juce::AudioPluginInstance> loadVst3()
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, vst3Bundle());
    if (found.isEmpty())
        return nullptr;

    juce::String error;
    auto instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);
    EXPECT_TRUE (error.isEmpty()) << error;
    return instance;
}

juce::AudioProcessorParameter* findParameter (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (256) == name)
            return parameter;
    return nullptr;
}

/** Runs a shell command; its standard output, and whether it exited 0. */
bool runCommand (const juce::String& command, juce::String& output)
{
    juce::ChildProcess process;
    if (! process.start (juce::StringArray { "sh", "-c", command }))
        return false;
    output = process.readAllProcessOutput();
    return process.waitForProcessToFinish (60000) && process.getExitCode() == 0;
}

/** Two seconds of a 220 Hz tone at half scale swept up in level, in stereo. */
juce::AudioBuffer<float> makeTone()
{
    juce::AudioBuffer<float> tone (2, static_cast<int> (2.0 * sampleRate));
    for (int i = 0; i < tone.getNumSamples(); ++i)
    {
        const auto level = 0.1 + 0.8 * i / tone.getNumSamples();
        const auto value = static_cast<float> (level * std::sin (juce::MathConstants<double>::twoPi * 220.0 * i / sampleRate));
        tone.setSample (0, i, value);
        tone.setSample (1, i, -0.5f * value);
    }
    return tone;
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio)
{
    file.deleteFile();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (new juce::FileOutputStream (file), sampleRate,
                                                                          static_cast<unsigned int> (audio.getNumChannels()), 32, {}, 0));
    return writer != nullptr && writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

juce::AudioBuffer<float> readWav (const juce::File& file)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (new juce::FileInputStream (file), true));
    juce::AudioBuffer<float> audio;
    if (reader != nullptr)
    {
        audio.setSize (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
        reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
    }
    return audio;
}

/** The processor driven as an offline host drives it: prepared for the block
    size, parameters set before the first block, blocks processed in place, the
    first `latency` samples dropped, so the output lines up with the input. */
juce::AudioBuffer<float> renderOffline (juce::AudioProcessor& processor, const juce::AudioBuffer<float>& input,
                                        const std::map<juce::String, float>& settings)
{
    // Values first, as wrendle-host sets them before it activates the plug-in.
    processor.setNonRealtime (true);
    for (const auto& [name, normalised] : settings)
        if (auto* parameter = findParameter (processor, name))
            parameter->setValueNotifyingHost (normalised);
    processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    const int frames = input.getNumSamples();
    juce::AudioBuffer<float> output (2, frames);
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    int latency = -1;
    int processed = 0;
    int written = 0;
    while (written < frames)
    {
        const int count = latency < 0 ? blockSize : std::min (blockSize, frames + latency - processed);
        block.setSize (2, count, false, false, true);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < count; ++i)
                block.setSample (channel, i, processed + i < frames ? input.getSample (channel, processed + i) : 0.0f);

        processor.processBlock (block, midi);
        if (latency < 0)
            latency = std::max (0, processor.getLatencySamples());

        for (int i = 0; i < count; ++i)
        {
            const int at = processed + i - latency;
            if (at >= 0 && at < frames)
            {
                for (int channel = 0; channel < 2; ++channel)
                    output.setSample (channel, at, block.getSample (channel, i));
                ++written;
            }
        }
        processed += count;
    }
    processor.releaseResources();
    return output;
}

class Vst3Build : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = loadVst3();
        ASSERT_NE (plugin, nullptr) << "no plug-in in " << vst3Bundle();
    }

    std::unique_ptr<juce::AudioPluginInstance> plugin;
};
} // namespace

TEST_F (Vst3Build, ReportsTheClapBuildsSixteenParametersWithTheirNamesRangesAndTexts)
{
    juce::String json;
    ASSERT_TRUE (runCommand (juce::String ("'") + WRENDLE_HOST_EXECUTABLE + "' info '" + WRENDLE_CLAP_MODULE + "' --json", json)) << json;
    const auto clapParameters = juce::JSON::parse (json)["parameters"];
    ASSERT_TRUE (clapParameters.isArray()) << json;

    const auto& parameters = plugin->getParameters();
    ASSERT_EQ (parameters.size(), 16);
    ASSERT_EQ (clapParameters.size(), parameters.size());

    for (const auto& clap : *clapParameters.getArray())
    {
        const auto name = clap["name"].toString();
        SCOPED_TRACE (name.toStdString());
        auto* parameter = findParameter (*plugin, name);
        ASSERT_NE (parameter, nullptr) << "no VST3 parameter named " << name;

        // The CLAP build shows plain values; the VST3 build normalised ones,
        // so the default's text is what both must agree on.
        if (clap["default_text"].isString())
        {
            EXPECT_EQ (parameter->getText (parameter->getDefaultValue(), 256), clap["default_text"].toString());
        }
        EXPECT_GE (parameter->getDefaultValue(), 0.0f);
        EXPECT_LE (parameter->getDefaultValue(), 1.0f);
        EXPECT_TRUE (parameter->isAutomatable());
    }
}

TEST_F (Vst3Build, FoldsAToneLikeTheClapBuild)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("wrendle-vst3-" + juce::String (::getpid()));
    ASSERT_TRUE (folder.createDirectory());
    const auto inFile = folder.getChildFile ("in.wav");
    const auto outFile = folder.getChildFile ("out.wav");
    const auto tone = makeTone();
    ASSERT_TRUE (writeWav (inFile, tone));

    juce::String output;
    const bool rendered = runCommand (juce::String ("'") + WRENDLE_HOST_EXECUTABLE + "' render '" + WRENDLE_CLAP_MODULE + "' '"
                                          + inFile.getFullPathName() + "' '" + outFile.getFullPathName()
                                          + "' --block 512 --no-progress --set 'Fold Amount=0.7' --set Mix=0.8 </dev/null",
                                      output);
    const auto clap = readWav (outFile);
    folder.deleteRecursively();
    ASSERT_TRUE (rendered) << output;

    const auto vst3 = renderOffline (*plugin, tone, { { "Fold Amount", 0.7f }, { "Mix", 0.8f } });
    ASSERT_EQ (clap.getNumChannels(), 2);
    ASSERT_EQ (clap.getNumSamples(), vst3.getNumSamples());

    double largest = 0.0;
    double peak = 0.0;
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < vst3.getNumSamples(); ++i)
        {
            ASSERT_TRUE (std::isfinite (vst3.getSample (channel, i)));
            largest = std::max (largest, std::abs ((double) vst3.getSample (channel, i) - (double) clap.getSample (channel, i)));
            peak = std::max (peak, std::abs ((double) vst3.getSample (channel, i)));
        }
    EXPECT_GT (peak, 0.05) << "the render is silent";
    EXPECT_LE (largest, 1.0e-5);
}

TEST_F (Vst3Build, StateLoadsIntoAFreshInstanceWithTheSameValues)
{
    for (const auto& [name, value] : std::map<juce::String, float> { { "Fold Amount", 0.3f }, { "Mix", 0.65f }, { "Oversampling", 1.0f } })
    {
        if (auto* parameter = findParameter (*plugin, name))
            parameter->setValueNotifyingHost (value);
    }

    juce::MemoryBlock state;
    plugin->getStateInformation (state);
    ASSERT_GT (state.getSize(), 0u);

    auto fresh = loadVst3();
    ASSERT_NE (fresh, nullptr);
    fresh->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

    const auto& before = plugin->getParameters();
    const auto& after = fresh->getParameters();
    ASSERT_EQ (before.size(), after.size());
    for (int i = 0; i < before.size(); ++i)
    {
        SCOPED_TRACE (before[i]->getName (256).toStdString());
        EXPECT_NEAR (after[i]->getValue(), before[i]->getValue(), 1.0e-6);
        EXPECT_EQ (after[i]->getCurrentValueAsText(), before[i]->getCurrentValueAsText());
    }
}

TEST_F (Vst3Build, OpensItsEditorAndMapsBypassToTheHostsBypass)
{
    auto* bypass = plugin->getBypassParameter();
    ASSERT_NE (bypass, nullptr) << "the host's bypass reaches no parameter";
    EXPECT_EQ (bypass->getName (256), "Bypass") << "the host's bypass must be the plug-in's own, not a second one";
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        GTEST_SKIP() << "no display";
    ASSERT_TRUE (plugin->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    EXPECT_GT (editor->getWidth(), 0);
    EXPECT_GT (editor->getHeight(), 0);
    plugin->editorBeingDeleted (editor.get());
    editor.reset();
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
