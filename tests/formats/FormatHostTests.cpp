// The VST3 and LV2 builds as hosts built on JUCE's hosting classes meet them:
// each takes the host's defaults (no bus is enabled by hand), processes at the
// common rates and block sizes with every parameter automated, bypasses the way
// the host asks and reports the latency it really has.

#include "HostedFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using hosted::Format;

namespace
{
constexpr int oversamplingChoices = 5;

juce::AudioBuffer<float> noise (int channels, int frames, unsigned seed, float level)
{
    juce::AudioBuffer<float> buffer (channels, frames);
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> sample (-level, level);
    for (int channel = 0; channel < channels; ++channel)
        for (int i = 0; i < frames; ++i)
            buffer.setSample (channel, i, sample (random));
    return buffer;
}

/** Runs `input` through the processor in blocks of `blockSize`; the output, frame for frame. */
juce::AudioBuffer<float> process (juce::AudioProcessor& processor, const juce::AudioBuffer<float>& input, int blockSize,
                                  bool hostBypassed = false)
{
    juce::AudioBuffer<float> output (input);
    juce::MidiBuffer midi;
    for (int start = 0; start < input.getNumSamples(); start += blockSize)
    {
        const auto count = std::min (blockSize, input.getNumSamples() - start);
        juce::AudioBuffer<float> block (output.getArrayOfWritePointers(), output.getNumChannels(), start, count);
        if (hostBypassed)
            processor.processBlockBypassed (block, midi);
        else
            processor.processBlock (block, midi);
    }
    return output;
}

/** The parameter values every test starts from, as normalised values that mean the same in
    both formats: the ends of each range, and Oversampling's choices at i / 4. */
void setNormalised (juce::AudioProcessor& processor, const juce::String& name, float value)
{
    auto* parameter = hosted::findParameter (processor, name);
    ASSERT_NE (parameter, nullptr) << name;
    parameter->setValueNotifyingHost (value);
}

/** What a host does after settings that move the latency: the plug-in hears them in a block,
    tells the host, and the host activates it again. JUCE's LV2 hosting also rebuilds the
    instance when it activates it, from the state, so the settings must reach the plug-in first. */
void activateWithSettings (juce::AudioProcessor& plugin, const std::vector<std::pair<juce::String, float>>& settings)
{
    plugin.prepareToPlay (48000.0, 512);
    for (const auto& [name, value] : settings)
        setNormalised (plugin, name, value);
    process (plugin, noise (2, 2048, 1, 0.1f), 512);
    plugin.releaseResources();
    plugin.prepareToPlay (48000.0, 512);
    hosted::runHostMessages (300);
}

/** The delay of `output` behind `input` (first channels) where they correlate best, to a
    fraction of a frame: the peak of the cross-correlation, refined by a parabola. */
double measureDelay (const juce::AudioBuffer<float>& input, const juce::AudioBuffer<float>& output, int from)
{
    std::vector<double> correlation (64, 0.0);
    for (size_t lag = 0; lag < correlation.size(); ++lag)
        for (int i = from; i < input.getNumSamples(); ++i)
            correlation[lag] += (double) output.getSample (0, i) * (double) input.getSample (0, i - (int) lag);

    const auto peak = (size_t) (std::max_element (correlation.begin(), correlation.end()) - correlation.begin());
    if (peak == 0 || peak + 1 == correlation.size())
        return (double) peak;
    const auto before = correlation[peak - 1], at = correlation[peak], after = correlation[peak + 1];
    return (double) peak + 0.5 * (before - after) / (before - 2.0 * at + after);
}

/** Noise band-limited to the low kilohertz, where every oversampler's delay is its reported one. */
juce::AudioBuffer<float> lowNoise (int frames, unsigned seed, float level)
{
    auto buffer = noise (2, frames, seed, level);
    for (int channel = 0; channel < 2; ++channel)
        for (int pass = 0; pass < 4; ++pass)
        {
            float state = 0.0f;
            for (int i = 0; i < frames; ++i)
                buffer.setSample (channel, i, state += 0.2f * (buffer.getSample (channel, i) - state));
        }
    return buffer;
}

class HostedPlugin : public ::testing::TestWithParam<Format>
{
protected:
    std::unique_ptr<juce::AudioPluginInstance> load (double sampleRate = 48000.0, int blockSize = 512)
    {
        auto plugin = hosted::load (GetParam(), sampleRate, blockSize);
        EXPECT_NE (plugin, nullptr) << "the " << hosted::nameOf (GetParam()) << " build does not load";
        return plugin;
    }

    /** The host's bypass parameter: VST3's kIsBypass one, LV2's lv2:enabled port (1 = bypassed in both). */
    static juce::AudioProcessorParameter* hostBypass (juce::AudioProcessor& plugin) { return plugin.getBypassParameter(); }
};
} // namespace

TEST_P (HostedPlugin, TakesTheHostsDefaultsAndFoldsTwoChannelsInAndTwoOut)
{
    auto plugin = load();
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (plugin->getTotalNumInputChannels(), 2);
    EXPECT_EQ (plugin->getTotalNumOutputChannels(), 2);
    EXPECT_TRUE (plugin->getBus (true, 0)->isEnabled());
    EXPECT_TRUE (plugin->getBus (false, 0)->isEnabled());

    plugin->prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> input (2, 48000);
    for (int i = 0; i < input.getNumSamples(); ++i)
    {
        input.setSample (0, i, 0.5f * (float) std::sin (0.03 * i));
        input.setSample (1, i, -0.3f * (float) std::sin (0.05 * i));
    }
    const auto output = process (*plugin, input, 512);
    plugin->releaseResources();

    for (int channel = 0; channel < 2; ++channel)
    {
        double difference = 0.0;
        for (int i = 0; i < input.getNumSamples(); ++i)
        {
            ASSERT_TRUE (std::isfinite (output.getSample (channel, i)));
            difference = std::max (difference, (double) std::abs (output.getSample (channel, i) - input.getSample (channel, i)));
        }
        EXPECT_GT (difference, 0.01) << "channel " << channel << " came out as it went in";
    }
}

TEST_P (HostedPlugin, ProcessesAtEveryCommonRateAndBlockSizeWithEveryParameterAutomated)
{
    for (const auto sampleRate : { 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        for (const auto blockSize : { 64, 1024 })
        {
            SCOPED_TRACE (juce::String (sampleRate) + " Hz, " + juce::String (blockSize) + " frames");
            auto plugin = load (sampleRate, blockSize);
            ASSERT_NE (plugin, nullptr);
            plugin->prepareToPlay (sampleRate, blockSize);

            std::mt19937 random (7);
            std::uniform_real_distribution<float> value (0.0f, 1.0f);
            const auto input = noise (2, blockSize, 11, 0.5f);
            juce::AudioBuffer<float> block (2, blockSize);
            juce::MidiBuffer midi;
            float peak = 0.0f;

            // A quarter second, every parameter (the host's bypass too) moved at every block;
            // the last blocks at the defaults.
            const auto blocks = (int) (0.25 * sampleRate) / blockSize + 8;
            for (int b = 0; b < blocks; ++b)
            {
                for (auto* parameter : plugin->getParameters())
                    parameter->setValueNotifyingHost (b < blocks - 8 ? value (random) : parameter->getDefaultValue());

                // Shorter blocks than prepared too, as hosts send at loop points.
                const auto frames = b % 3 == 2 ? blockSize / 2 + 1 : blockSize;
                block.makeCopyOf (input);
                block.setSize (2, frames, true, false, true);
                plugin->processBlock (block, midi);
                for (int channel = 0; channel < 2; ++channel)
                    for (int i = 0; i < frames; ++i)
                    {
                        ASSERT_TRUE (std::isfinite (block.getSample (channel, i))) << "block " << b;
                        peak = std::max (peak, std::abs (block.getSample (channel, i)));
                    }
            }
            plugin->releaseResources();
            EXPECT_LT (peak, 64.0f);
            EXPECT_GT (peak, 0.0f);
        }
    }
}

TEST_P (HostedPlugin, HostBypassGivesTheInputExactlyDelayedByTheReportedLatencyAtEveryOversampling)
{
    for (int choice = 0; choice < oversamplingChoices; ++choice)
    {
        SCOPED_TRACE ("Oversampling choice " + juce::String (choice));
        auto plugin = load();
        ASSERT_NE (plugin, nullptr);
        auto* bypass = hostBypass (*plugin);
        ASSERT_NE (bypass, nullptr) << "the host has no bypass to offer";
        for (auto* parameter : plugin->getParameters())
        {
            if (parameter->getName (64) == "Bypass" && parameter != bypass)
            {
                EXPECT_EQ (parameter->getValue(), 1.0f) << "the power switch is on, and stays an ordinary parameter";
            }
        }

        activateWithSettings (*plugin, { { "Oversampling", (float) choice / (float) (oversamplingChoices - 1) }, { "Fold Amount", 1.0f } });

        bypass->setValueNotifyingHost (1.0f);
        const auto input = noise (2, 48000, 2, 0.3f);
        const auto output = process (*plugin, input, 512, true);
        const auto latency = plugin->getLatencySamples();
        plugin->releaseResources();
        if (choice > 0)
        {
            EXPECT_GT (latency, 0);
        }

        // After the bypass's 20 ms crossfade: the dry input alone.
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 4800; i < input.getNumSamples(); ++i)
                ASSERT_EQ (output.getSample (channel, i), input.getSample (channel, i - latency))
                    << "channel " << channel << ", frame " << i << ", reported latency " << latency;
    }
}

TEST_P (HostedPlugin, ReportsTheDelayItHasAtEveryOversampling)
{
    for (int choice = 0; choice < oversamplingChoices; ++choice)
    {
        SCOPED_TRACE ("Oversampling choice " + juce::String (choice));
        auto plugin = load();
        ASSERT_NE (plugin, nullptr);

        // Nearly linear: the least drive, no feedback, no soft clip, filters wide open.
        activateWithSettings (*plugin, { { "Oversampling", (float) choice / (float) (oversamplingChoices - 1) },
                                         { "Fold Amount", 0.0f },
                                         { "Feedback", 0.0f },
                                         { "Soft Clip", 0.0f },
                                         { "HighPass", 0.0f },
                                         { "LowPass", 1.0f } });

        const auto input = lowNoise (48000, 3, 0.05f);
        const auto output = process (*plugin, input, 512);
        const auto latency = plugin->getLatencySamples();
        plugin->releaseResources();

        // The reported latency is the delay rounded to whole frames.
        EXPECT_NEAR (measureDelay (input, output, 24000), (double) latency, 0.5);
    }
}

TEST_P (HostedPlugin, StateRoundTripsIntoANewInstance)
{
    auto plugin = load();
    ASSERT_NE (plugin, nullptr);
    plugin->prepareToPlay (48000.0, 512);
    setNormalised (*plugin, "Fold Amount", 0.3f);
    setNormalised (*plugin, "Mix", 0.65f);
    setNormalised (*plugin, "Oversampling", 0.5f);
    setNormalised (*plugin, "PrePost", 0.0f);
    process (*plugin, noise (2, 1024, 4, 0.1f), 512);

    juce::MemoryBlock state;
    plugin->getStateInformation (state);
    ASSERT_GT (state.getSize(), 0u);

    auto fresh = load();
    ASSERT_NE (fresh, nullptr);
    fresh->prepareToPlay (48000.0, 512);
    fresh->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    process (*fresh, noise (2, 1024, 4, 0.1f), 512);

    const auto& before = plugin->getParameters();
    const auto& after = fresh->getParameters();
    ASSERT_EQ (before.size(), after.size());
    for (int i = 0; i < before.size(); ++i)
    {
        SCOPED_TRACE (before[i]->getName (256).toStdString());
        EXPECT_NEAR (after[i]->getValue(), before[i]->getValue(), 1.0e-5);
        EXPECT_EQ (after[i]->getCurrentValueAsText(), before[i]->getCurrentValueAsText());
    }
}

TEST_P (HostedPlugin, OpensItsEditor)
{
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        GTEST_SKIP() << "no display";

    auto plugin = load();
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    EXPECT_GT (editor->getWidth(), 100);
    EXPECT_GT (editor->getHeight(), 100);
    plugin->editorBeingDeleted (editor.get());
    editor.reset();
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedPlugin, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const auto& info)
                          { return juce::String (hosted::nameOf (info.param)).toStdString(); });
