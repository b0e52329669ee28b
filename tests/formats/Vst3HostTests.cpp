// The VST3 build as a VST3 host meets it: loaded through JUCE's VST3PluginFormat
// from the bundle alone, compared with what the CLAP build shows wrendle-host.
// Offline renders start the drift stage from its fixed seed in both formats,
// so the two builds must fold a tone alike.

#include "HostedFormats.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <unistd.h>

#include <X11/Xlib.h>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

std::unique_ptr<juce::AudioPluginInstance> loadVst3()
{
    return hosted::load (hosted::Format::vst3, sampleRate, blockSize);
}

using hosted::findParameter;

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
        ASSERT_NE (plugin, nullptr) << "no plug-in in " << hosted::vst3Bundle();
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

    // The host's bypass comes after the plug-in's own parameters.
    auto parameters = plugin->getParameters();
    ASSERT_EQ (parameters.getLast(), plugin->getBypassParameter());
    parameters.removeLast();
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

TEST_F (Vst3Build, KeepsEveryParameterIdAndAddsTheHostsBypassAfterThem)
{
    // The ids hosts saved automation and projects under since the first release.
    const std::pair<const char*, juce::String> released[] = {
        { "Fold Amount", "130965465" },
        { "Feedback", "2020626341" },
        { "Feedback LP", "496698345" },
        { "HighPass", "526743795" },
        { "LowPass", "2021017957" },
        { "Envelope Attack", "1186306648" },
        { "Envelope Release", "2034236919" },
        { "Envelope Amount", "1179712616" },
        { "Input", "70805418" },
        { "Output", "225838369" },
        { "Mix", "77372" },
        { "Oversampling", "1584418011" },
        { "PrePost", "1345342915" },
        { "Soft Clip", "1382435514" },
        { "Bypass", "2004703496" },
        { "AutoGain", "1502974446" },
    };

    const auto& parameters = plugin->getParameters();
    for (size_t i = 0; i < std::size (released); ++i)
    {
        auto* hostedParameter = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameters[(int) i]);
        ASSERT_NE (hostedParameter, nullptr);
        EXPECT_EQ (parameters[(int) i]->getName (256), released[i].first);
        EXPECT_EQ (hostedParameter->getParameterID(), released[i].second) << released[i].first;
    }

    // The host's own bypass (kIsBypass, JUCE's 'byps' id): not the plug-in's power switch.
    auto* bypass = dynamic_cast<juce::HostedAudioProcessorParameter*> (plugin->getBypassParameter());
    ASSERT_NE (bypass, nullptr);
    EXPECT_EQ (bypass->getParameterID(), juce::String (0x62797073));
    EXPECT_NE (plugin->getBypassParameter(), findParameter (*plugin, "Bypass"));
    EXPECT_EQ (plugin->getBypassParameter()->getValue(), 0.0f) << "a fresh insert is not bypassed";
    EXPECT_EQ (findParameter (*plugin, "Bypass")->getValue(), 1.0f) << "a fresh insert's power switch is on";

    // Oversampling in its five steps.
    auto* oversampling = findParameter (*plugin, "Oversampling");
    EXPECT_TRUE (oversampling->isDiscrete());
    EXPECT_EQ (oversampling->getNumSteps(), 5);
}

TEST_F (Vst3Build, TellsTheHostWhenAnOversamplingChangeMovesTheLatency)
{
    plugin->prepareToPlay (sampleRate, blockSize);
    EXPECT_EQ (plugin->getLatencySamples(), 0);

    findParameter (*plugin, "Oversampling")->setValueNotifyingHost (0.5f); // 4X
    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;
    block.clear();
    plugin->processBlock (block, midi);

    // The plug-in's message thread restarts the component (kLatencyChanged); the host
    // reads the new latency on its own message thread.
    const auto deadline = juce::Time::getMillisecondCounter() + 5000;
    while (plugin->getLatencySamples() == 0 && juce::Time::getMillisecondCounter() < deadline)
    {
        plugin->processBlock (block, midi);
        hosted::runHostMessages (10);
    }
    EXPECT_GT (plugin->getLatencySamples(), 0) << "the host never heard of the new latency";

    // The host re-activates and the plug-in reports the same number.
    const auto announced = plugin->getLatencySamples();
    plugin->releaseResources();
    plugin->prepareToPlay (sampleRate, blockSize);
    EXPECT_EQ (plugin->getLatencySamples(), announced);
    plugin->releaseResources();
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // A JUCE host that is no JUCE application installs no X error handler, and Xlib's own ends
    // the process. DAWs install theirs (GTK does); this one notes nothing, as a bare virtual
    // display without a window manager lacks atoms JUCE's windows ask about (WM_STATE, ...).
    XSetErrorHandler ([] (Display*, XErrorEvent*)
                      { return 0; });

    const juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
