// wrendle-host renders a file through the installed module; the same processor run directly in
// this process must give the same audio, sample for sample in time (latency compensated) and
// within a small RMS difference in value. Both are offline renders, whose drift stage starts
// from a fixed seed, so two renders through the module repeat exactly.

#include "plugin/WrendleFoldProcessor.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace
{

struct Audio
{
    int channels = 0;
    int sampleRateHz = 0;
    std::vector<float> interleaved;

    size_t frames() const { return channels > 0 ? interleaved.size() / (size_t) channels : 0; }
};

bool writeWav (const fs::path& path, const Audio& audio)
{
    SF_INFO info {};
    info.channels = audio.channels;
    info.samplerate = audio.sampleRateHz;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open (path.string().c_str(), SFM_WRITE, &info);

    if (file == nullptr)
        return false;

    const auto written = sf_writef_float (file, audio.interleaved.data(), (sf_count_t) audio.frames());
    sf_close (file);
    return written == (sf_count_t) audio.frames();
}

Audio readWav (const fs::path& path)
{
    SF_INFO info {};
    Audio audio;
    SNDFILE* file = sf_open (path.string().c_str(), SFM_READ, &info);

    if (file == nullptr)
        return audio;

    audio.channels = info.channels;
    audio.sampleRateHz = info.samplerate;
    audio.interleaved.resize ((size_t) info.frames * (size_t) info.channels);
    sf_readf_float (file, audio.interleaved.data(), info.frames);
    sf_close (file);
    return audio;
}

/** Two sines a fifth apart under a slow swell, plus a little noise: enough level change to
    move the envelope follower and enough content to fold. */
Audio makeTestSignal (double seconds, int sampleRateHz)
{
    Audio audio;
    audio.channels = 2;
    audio.sampleRateHz = sampleRateHz;
    const auto frames = (size_t) std::llround (seconds * sampleRateHz);
    audio.interleaved.resize (frames * 2);
    std::mt19937 random (7);
    std::uniform_real_distribution<float> noise (-0.02f, 0.02f);

    for (size_t i = 0; i < frames; ++i)
    {
        const auto t = (double) i / sampleRateHz;
        const auto swell = 0.1 + 0.6 * (0.5 - 0.5 * std::cos (2.0 * M_PI * t / seconds));
        audio.interleaved[2 * i] = (float) (swell * std::sin (2.0 * M_PI * 110.0 * t)) + noise (random);
        audio.interleaved[2 * i + 1] = (float) (swell * std::sin (2.0 * M_PI * 165.0 * t)) + noise (random);
    }

    return audio;
}

/** The processor in this process, driven as the command-line host drives the module:
    parameters set while it is not prepared (the host's flush before activating), then
    prepared for the block size, blocks processed in place, and the latency it reports once
    prepared dropped from the start. */
Audio renderInProcess (const Audio& input, int blockFrames, const std::vector<std::pair<juce::String, float>>& settings)
{
    const std::unique_ptr<juce::AudioProcessor> processor (createWrendleFoldProcessor());
    processor->setNonRealtime (true);

    for (const auto& [name, normalised] : settings)
        for (auto* parameter : processor->getParameters())
            if (parameter->getName (256) == name)
            {
                parameter->setValue (normalised);
                parameter->sendValueChangedMessageToListeners (normalised);
            }

    processor->setRateAndBufferSizeDetails (input.sampleRateHz, blockFrames);
    processor->prepareToPlay (input.sampleRateHz, blockFrames);

    Audio output;
    output.channels = 2;
    output.sampleRateHz = input.sampleRateHz;
    output.interleaved.reserve (input.interleaved.size());

    juce::AudioBuffer<float> buffer (2, blockFrames);
    juce::MidiBuffer midi;
    const auto inputFrames = input.frames();
    size_t framesProcessed = 0;
    const auto latency = (size_t) juce::jmax (0, processor->getLatencySamples());
    size_t toDrop = latency;

    while (output.frames() < inputFrames)
    {
        const auto frames = (int) std::min<size_t> ((size_t) blockFrames, inputFrames + latency - framesProcessed);
        buffer.setSize (2, frames, false, false, true);

        for (int i = 0; i < frames; ++i)
            for (int ch = 0; ch < 2; ++ch)
            {
                const auto frame = framesProcessed + (size_t) i;
                buffer.setSample (ch, i, frame < inputFrames ? input.interleaved[2 * frame + (size_t) ch] : 0.0f);
            }

        processor->processBlock (buffer, midi);
        midi.clear();
        framesProcessed += (size_t) frames;

        const auto dropped = std::min<size_t> (toDrop, (size_t) frames);
        toDrop -= dropped;

        for (auto i = (int) dropped; i < frames && output.frames() < inputFrames; ++i)
            for (int ch = 0; ch < 2; ++ch)
                output.interleaved.push_back (buffer.getSample (ch, i));
    }

    return output;
}

std::string readWholeFile (const fs::path& path)
{
    std::ifstream file (path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

/** Renders `input` through the module with wrendle-host (blocks of 512, Fold Amount 0.7, Mix
    0.8) in a folder of its own; on failure, an empty result and the host's error text. */
Audio renderWithCommandLineHost (const Audio& input, const std::string& name, std::string& errorText)
{
    const auto folder = fs::temp_directory_path() / ("wrendle-render-" + std::to_string (::getpid()) + "-" + name);
    fs::create_directories (folder);
    const auto inPath = folder / "in.wav", outPath = folder / "out.wav", errPath = folder / "err.txt";

    Audio rendered;
    if (writeWav (inPath, input))
    {
        const auto command = std::string ("'") + WRENDLE_HOST_EXECUTABLE + "' render '" + WRENDLE_MODULE_PATH + "' '" + inPath.string() + "' '" + outPath.string() + "' --block 512 --no-progress --set 'Fold Amount=0.7' --set Mix=0.8 >/dev/null 2>'" + errPath.string() + "' </dev/null";
        const auto status = std::system (command.c_str());

        if (WIFEXITED (status) && WEXITSTATUS (status) == 0)
            rendered = readWav (outPath);
        else
            errorText = readWholeFile (errPath);
    }
    else
    {
        errorText = "the input file could not be written";
    }

    fs::remove_all (folder);
    return rendered;
}

TEST (RenderComparison, TheCommandLineRenderOfTenSecondsMatchesTheProcessorRunInProcess)
{
    const auto input = makeTestSignal (10.0, 48000);
    std::string errorText;
    const auto rendered = renderWithCommandLineHost (input, "in-process", errorText);
    ASSERT_TRUE (errorText.empty()) << errorText;
    const auto expected = renderInProcess (input, 512, { { "Fold Amount", 0.7f }, { "Mix", 0.8f } });

    ASSERT_EQ (rendered.channels, 2);
    ASSERT_EQ (rendered.sampleRateHz, 48000);
    ASSERT_EQ (rendered.frames(), input.frames()) << "latency compensated: as long as the input";
    ASSERT_EQ (expected.frames(), input.frames());

    double differenceSquares = 0.0, referenceSquares = 0.0;

    for (size_t i = 0; i < expected.interleaved.size(); ++i)
    {
        const double difference = (double) rendered.interleaved[i] - (double) expected.interleaved[i];
        differenceSquares += difference * difference;
        referenceSquares += (double) expected.interleaved[i] * (double) expected.interleaved[i];
    }

    ASSERT_GT (referenceSquares, 0.0);
    const auto relativeDifference = std::sqrt (differenceSquares / referenceSquares);
    EXPECT_LT (relativeDifference, 0.003);
    RecordProperty ("relativeRmsDifference", std::to_string (relativeDifference));
}

TEST (RenderComparison, TwoCommandLineRendersOfTheSameInputAreTheSameToTheLastBit)
{
    const auto input = makeTestSignal (2.0, 48000);
    std::string errorText;
    const auto first = renderWithCommandLineHost (input, "first", errorText);
    const auto second = renderWithCommandLineHost (input, "second", errorText);
    ASSERT_TRUE (errorText.empty()) << errorText;

    ASSERT_EQ (first.frames(), input.frames());
    EXPECT_EQ (first.interleaved, second.interleaved);
}

} // namespace
