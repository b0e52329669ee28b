/* Tests of wrendle-host, run as a subprocess against the fixture module (see
   fixture/GainFixture.c): a stereo gain with a "Gain" parameter (CLAP value =
   linear gain 0..4, text in dB), 16 samples of latency made by a real delay
   line, and a reported tail of 32 samples; its latency plug-in changes that
   latency when asked to. */

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if ! defined(_WIN32)
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace
{

constexpr int fixtureLatencySamples = 16;
constexpr int fixtureTailSamples = 32;

//==============================================================================
struct ToolResult
{
    int exitCode = -1;
    std::string out, err;
};

std::string quoteArgument (const std::string& argument)
{
#if defined(_WIN32)
    return "\"" + argument + "\"";
#else
    std::string quoted = "'";

    for (const auto c : argument)
        quoted += (c == '\'') ? std::string ("'\\''") : std::string (1, c);

    return quoted + "'";
#endif
}

std::string readWholeFile (const fs::path& path)
{
    std::ifstream file (path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

/** A private folder per test, removed afterwards. */
class TempFolder
{
public:
    TempFolder()
    {
        std::random_device random;
        path = fs::temp_directory_path() / ("wrendle-host-test-" + std::to_string (random()) + std::to_string (random()));
        fs::create_directories (path);
    }

    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all (path, ec);
    }

    TempFolder (const TempFolder&) = delete;
    TempFolder& operator= (const TempFolder&) = delete;

    fs::path operator/ (const std::string& name) const { return path / name; }

    std::vector<std::string> fileNames() const
    {
        std::vector<std::string> names;

        for (const auto& item : fs::directory_iterator (path))
            names.push_back (item.path().filename().string());

        std::sort (names.begin(), names.end());
        return names;
    }

    fs::path path;
};

ToolResult runTool (const std::vector<std::string>& arguments, const TempFolder& folder)
{
    const auto outPath = folder / "tool-stdout.txt";
    const auto errPath = folder / "tool-stderr.txt";

    std::string command = quoteArgument (WRENDLE_HOST_EXECUTABLE);

    for (const auto& argument : arguments)
        command += " " + quoteArgument (argument);

#if defined(_WIN32)
    const char* const noInput = " <NUL";
#else
    const char* const noInput = " </dev/null";
#endif
    command += " >" + quoteArgument (outPath.string()) + " 2>" + quoteArgument (errPath.string()) + noInput;

    const int status = std::system (command.c_str());

    ToolResult result;
#if defined(_WIN32)
    result.exitCode = status;
#else
    result.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
#endif
    result.out = readWholeFile (outPath);
    result.err = readWholeFile (errPath);
    fs::remove (outPath);
    fs::remove (errPath);
    return result;
}

//==============================================================================
struct Audio
{
    int channels = 0;
    int sampleRateHz = 0;
    std::vector<float> interleaved;

    size_t frames() const { return channels > 0 ? interleaved.size() / static_cast<size_t> (channels) : 0; }
    float at (size_t frame, int channel) const { return interleaved[frame * static_cast<size_t> (channels) + static_cast<size_t> (channel)]; }
};

/** Deterministic noise, different in every channel, so that a shift by one
    sample or a swapped channel shows as a large error.
*/
Audio makeNoise (int channels, size_t frames, int sampleRateHz, unsigned seed)
{
    Audio audio;
    audio.channels = channels;
    audio.sampleRateHz = sampleRateHz;
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> uniform (-0.45f, 0.45f);

    for (size_t i = 0; i < frames * static_cast<size_t> (channels); ++i)
        audio.interleaved.push_back (uniform (random));

    // A known peak for the level summary: exactly 0.5 at one sample.
    if (! audio.interleaved.empty())
        audio.interleaved[audio.interleaved.size() / 2] = 0.5f;

    return audio;
}

void writeWav (const fs::path& path, const Audio& audio)
{
    SF_INFO info {};
    info.channels = audio.channels;
    info.samplerate = audio.sampleRateHz;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

    SNDFILE* file = sf_open (path.string().c_str(), SFM_WRITE, &info);
    ASSERT_NE (file, nullptr) << sf_strerror (nullptr);
    ASSERT_EQ (sf_writef_float (file, audio.interleaved.data(), static_cast<sf_count_t> (audio.frames())),
               static_cast<sf_count_t> (audio.frames()));
    sf_close (file);
}

Audio readWav (const fs::path& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open (path.string().c_str(), SFM_READ, &info);
    Audio audio;

    if (file == nullptr)
    {
        ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror (nullptr);
        return audio;
    }

    audio.channels = info.channels;
    audio.sampleRateHz = info.samplerate;
    audio.interleaved.resize (static_cast<size_t> (info.frames) * static_cast<size_t> (info.channels));
    sf_readf_float (file, audio.interleaved.data(), info.frames);
    sf_close (file);
    return audio;
}

bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

size_t lineCount (const std::string& text)
{
    return static_cast<size_t> (std::count (text.begin(), text.end(), '\n'));
}

size_t occurrences (const std::string& text, const std::string& part)
{
    size_t count = 0;

    for (auto at = text.find (part); at != std::string::npos; at = text.find (part, at + part.size()))
        ++count;

    return count;
}

/** The last complete line, without its newline. */
std::string lastLine (const std::string& text)
{
    if (text.empty() || text.back() != '\n')
        return {};

    const auto start = text.rfind ('\n', text.size() - 2);
    return text.substr (start == std::string::npos ? 0 : start + 1, text.size() - 1 - (start == std::string::npos ? 0 : start + 1));
}

//==============================================================================
TEST (WrendleHostInfo, ShowsTheDescriptorParameterLatencyAndTailAsText)
{
    TempFolder folder;
    const auto result = runTool ({ "info", FIXTURE_MODULE }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "Fixture Gain 2.3.4\n")) << result.out;
    EXPECT_TRUE (contains (result.out, "test.wrendle-host.gain")) << result.out;
    EXPECT_TRUE (contains (result.out, "audio-effect, stereo")) << result.out;
    EXPECT_TRUE (contains (result.out, "4 in this module")) << result.out;

    // One parameter row: id, name, range, default, the plug-in's text for the default, flags.
    EXPECT_TRUE (contains (result.out, "Parameters (1)")) << result.out;
    std::istringstream lines (result.out);
    std::string line, gainRow;

    while (std::getline (lines, line))
        if (contains (line, " Gain "))
            gainRow = line;

    ASSERT_FALSE (gainRow.empty()) << result.out;
    std::istringstream cells (gainRow);
    std::string id, name, low, dots, high, defaultValue, defaultText, unit, flags;
    cells >> id >> name >> low >> dots >> high >> defaultValue >> defaultText >> unit >> flags;
    EXPECT_EQ (id, "7");
    EXPECT_EQ (name, "Gain");
    EXPECT_EQ (low + dots + high, "0..4");
    EXPECT_EQ (defaultValue, "1");
    EXPECT_EQ (defaultText + " " + unit, "0.00 dB");
    EXPECT_EQ (flags, "automatable");

    EXPECT_TRUE (contains (result.out, "latency      16 samples")) << result.out;
    EXPECT_TRUE (contains (result.out, "tail         32 samples")) << result.out;
    EXPECT_TRUE (contains (result.out, "clap.audio-ports clap.params clap.latency clap.tail\n")) << result.out;
    EXPECT_FALSE (contains (result.err, "thread check failed")) << result.err;
}

TEST (WrendleHostInfo, PrintsOnlyJsonThatParsesAndHoldsTheSameFacts)
{
    TempFolder folder;
    const auto result = runTool ({ "info", FIXTURE_MODULE, "--json", "--rate", "44100" }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    nlohmann::json json;
    ASSERT_NO_THROW (json = nlohmann::json::parse (result.out)) << result.out;

    EXPECT_EQ (json.at ("plugin").at ("id"), "test.wrendle-host.gain");
    EXPECT_EQ (json.at ("plugin").at ("name"), "Fixture Gain");
    EXPECT_EQ (json.at ("plugin").at ("version"), "2.3.4");
    ASSERT_EQ (json.at ("plugin").at ("features").size(), 2u);
    EXPECT_EQ (json.at ("plugin").at ("features").at (0), "audio-effect");
    EXPECT_EQ (json.at ("plugins_in_module").size(), 4u);

    EXPECT_EQ (json.at ("extensions").get<std::vector<std::string>>(),
               (std::vector<std::string> { "clap.audio-ports", "clap.params", "clap.latency", "clap.tail" }));
    EXPECT_TRUE (json.at ("gui").is_null());

    const auto& input = json.at ("audio_ports").at ("inputs").at (0);
    EXPECT_EQ (input.at ("name"), "Main In");
    EXPECT_EQ (input.at ("channels").get<double>(), 2.0);
    EXPECT_EQ (input.at ("port_type"), "stereo");
    EXPECT_EQ (input.at ("flags").at (0), "main");
    EXPECT_TRUE (input.at ("in_place_pair").is_null());
    EXPECT_EQ (json.at ("audio_ports").at ("outputs").at (0).at ("id").get<double>(), 20.0);

    ASSERT_EQ (json.at ("parameters").size(), 1u);
    const auto& gain = json.at ("parameters").at (0);
    EXPECT_EQ (gain.at ("id").get<double>(), 7.0);
    EXPECT_EQ (gain.at ("name"), "Gain");
    EXPECT_EQ (gain.at ("min").get<double>(), 0.0);
    EXPECT_EQ (gain.at ("max").get<double>(), 4.0);
    EXPECT_EQ (gain.at ("default").get<double>(), 1.0);
    EXPECT_EQ (gain.at ("default_text"), "0.00 dB");
    EXPECT_EQ (gain.at ("flags").at (0), "automatable");

    const auto& activation = json.at ("activation");
    EXPECT_TRUE (activation.at ("ok").get<bool>());
    EXPECT_EQ (activation.at ("sample_rate").get<double>(), 44100.0);
    EXPECT_EQ (activation.at ("latency_samples").get<double>(), 16.0);
    EXPECT_EQ (activation.at ("tail_samples").get<double>(), 32.0);
    EXPECT_FALSE (activation.at ("tail_infinite").get<bool>());
}

//==============================================================================
struct RenderCase
{
    const char* description;
    std::vector<std::string> extraArguments;
    int inputChannels;
    double expectedGain;
    int expectedTailFrames;
};

void PrintTo (const RenderCase& test, std::ostream* out)
{
    *out << test.description;
}

class WrendleHostRender : public ::testing::TestWithParam<RenderCase>
{
};

TEST_P (WrendleHostRender, AppliesTheGainWithLatencyCompensatedSampleExact)
{
    const auto& test = GetParam();
    TempFolder folder;
    constexpr int rateHz = 48000;
    constexpr size_t inputFrames = 1000; // no multiple of any block size used

    const auto input = makeNoise (test.inputChannels, inputFrames, rateHz, 1234);
    writeWav (folder / "in.wav", input);

    std::vector<std::string> arguments { "render", FIXTURE_MODULE, (folder / "in.wav").string(), (folder / "out.wav").string() };
    arguments.insert (arguments.end(), test.extraArguments.begin(), test.extraArguments.end());
    const auto result = runTool (arguments, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    const auto output = readWav (folder / "out.wav");

    ASSERT_EQ (output.channels, 2);
    EXPECT_EQ (output.sampleRateHz, rateHz);
    ASSERT_EQ (output.frames(), inputFrames + static_cast<size_t> (test.expectedTailFrames));

    double worstError = 0.0;

    for (size_t frame = 0; frame < inputFrames; ++frame)
    {
        for (int channel = 0; channel < 2; ++channel)
        {
            const auto in = input.at (frame, input.channels == 1 ? 0 : channel);
            worstError = std::max (worstError, std::abs (output.at (frame, channel) - test.expectedGain * in));
        }
    }

    EXPECT_LT (worstError, 1.0e-6) << "output does not equal gain x input, frame for frame";

    for (size_t frame = inputFrames; frame < output.frames(); ++frame)
        for (int channel = 0; channel < 2; ++channel)
            ASSERT_EQ (output.at (frame, channel), 0.0f) << "tail frame " << frame;

    // The host served the plug-in's callback request on its main thread and
    // answered its thread checks as a real host would.
    EXPECT_TRUE (contains (result.err, "main-thread callback ran")) << result.err;
    EXPECT_FALSE (contains (result.err, "thread check failed")) << result.err;
    EXPECT_FALSE (contains (result.err, "plug-in [error]")) << result.err;

    // Summary: the levels and the latency, on stdout.
    EXPECT_EQ (lineCount (result.out), 2u) << result.out;
    EXPECT_TRUE (contains (result.out, "\nLatency 16 samples (0.33 ms), compensated")) << result.out;
    EXPECT_EQ (folder.fileNames(), (std::vector<std::string> { "in.wav", "out.wav" }));
}

INSTANTIATE_TEST_SUITE_P (
    Cases,
    WrendleHostRender,
    ::testing::Values (
        RenderCase { "GainAsTextGoesThroughThePluginsParser", { "--set", "Gain=-12 dB" }, 2, std::pow (10.0, -12.0 / 20.0), fixtureTailSamples },
        RenderCase { "GainAsPlainNumberIsTheClapValue", { "--set", "Gain=0.5" }, 2, 0.5, fixtureTailSamples },
        RenderCase { "NameMatchesIgnoringCase", { "--set=gain=2" }, 2, 2.0, fixtureTailSamples },
        RenderCase { "LastSettingWins", { "--set", "Gain=3", "--set", "Gain=0.25" }, 2, 0.25, fixtureTailSamples },
        RenderCase { "WithoutSettingsTheDefaultApplies", {}, 2, 1.0, fixtureTailSamples },
        RenderCase { "MonoInputFeedsBothChannels", { "--set", "Gain=0.5" }, 1, 0.5, fixtureTailSamples },
        RenderCase { "BlocksShorterThanTheLatency", { "--block", "7", "--set", "Gain=0.5" }, 2, 0.5, fixtureTailSamples },
        RenderCase { "OneBlockForTheWholeFile", { "--block", "4096" }, 2, 1.0, fixtureTailSamples },
        RenderCase { "ZeroTailEndsWithTheInput", { "--tail", "0" }, 2, 1.0, 0 },
        RenderCase { "TailInSecondsAddsFrames", { "--tail", "0.01", "--block", "64" }, 2, 1.0, 480 }),
    [] (const ::testing::TestParamInfo<RenderCase>& info)
    { return std::string (info.param.description); });

TEST (WrendleHostRenderSummary, ReportsPeakLevelsInAndOutInDecibels)
{
    TempFolder folder;
    writeWav (folder / "in.wav", makeNoise (2, 2000, 48000, 99)); // peak exactly 0.5
    const auto result = runTool ({ "render", FIXTURE_MODULE, (folder / "in.wav").string(), (folder / "out.wav").string(),
                                   "--set", "Gain=0.5" },
                                 folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "in peak -6.02 dBFS")) << result.out;
    EXPECT_TRUE (contains (result.out, "out peak -12.04 dBFS")) << result.out;
    EXPECT_TRUE (contains (result.out, "CPU ")) << result.out;
}

//==============================================================================
// The latency a render compensates is the one in force for the audio it writes: the one the
// --set values give at activation, then whatever a restart the plug-in asks for brings.

/** Silence with one sample of 0.5 in both channels at `frame`. */
Audio makeImpulse (size_t frames, size_t frame, int sampleRateHz)
{
    Audio audio;
    audio.channels = 2;
    audio.sampleRateHz = sampleRateHz;
    audio.interleaved.assign (frames * 2, 0.0f);
    audio.interleaved[frame * 2] = audio.interleaved[frame * 2 + 1] = 0.5f;
    return audio;
}

size_t peakFrame (const Audio& audio, int channel)
{
    size_t peak = 0;

    for (size_t frame = 0; frame < audio.frames(); ++frame)
        if (std::abs (audio.at (frame, channel)) > std::abs (audio.at (peak, channel)))
            peak = frame;

    return peak;
}

#ifdef WRENDLE_MODULE
TEST (WrendleHostRenderLatency, AnImpulseComesOutAtItsOwnFrameAtEveryOversamplingFactor)
{
    struct Factor
    {
        const char* text;
        const char* latencyLine;
    };

    const Factor factors[] = { { "OFF", "\nLatency 0 samples (0.00 ms)" },
                               { "2X", "\nLatency 8 samples (0.17 ms)" },
                               { "4X", "\nLatency 12 samples (0.25 ms)" },
                               { "8X", "\nLatency 14 samples (0.29 ms)" },
                               { "16X", "\nLatency 14 samples (0.29 ms)" } };

    TempFolder folder;
    constexpr size_t impulseFrame = 1000;
    writeWav (folder / "in.wav", makeImpulse (3000, impulseFrame, 48000));

    for (const auto& factor : factors)
    {
        SCOPED_TRACE (factor.text);
        const auto render = [&] (std::vector<std::string> settings)
        {
            std::vector<std::string> arguments { "render", WRENDLE_MODULE, (folder / "in.wav").string(),
                                                 (folder / "out.wav").string(), "--tail", "0", "--set",
                                                 std::string ("Oversampling=") + factor.text };
            arguments.insert (arguments.end(), settings.begin(), settings.end());
            const auto result = runTool (arguments, folder);
            EXPECT_EQ (result.exitCode, 0) << result.err;
            EXPECT_TRUE (contains (result.out, factor.latencyLine)) << result.out;
            EXPECT_FALSE (contains (result.out + result.err, "estart")) << "no restart is needed\n"
                                                                        << result.out << result.err;
            return readWav (folder / "out.wav");
        };

        // Switched off, the plug-in delays the input by exactly its latency, so once that is
        // compensated the impulse is back where it was, whole and alone.
        const auto bypassed = render ({ "--set", "Bypass=0" });
        ASSERT_EQ (bypassed.frames(), 3000u);

        for (int channel = 0; channel < 2; ++channel)
        {
            EXPECT_EQ (peakFrame (bypassed, channel), impulseFrame);
            EXPECT_EQ (bypassed.at (impulseFrame, channel), 0.5f);
        }

        // Folding, the chain's filters spread the impulse over a few samples; its peak stays
        // on the impulse or the frame after at every factor, where an uncompensated 2X to 16X
        // puts it 9 to 16 frames late.
        const auto folded = render ({});

        for (int channel = 0; channel < 2; ++channel)
        {
            EXPECT_GE (peakFrame (folded, channel), impulseFrame);
            EXPECT_LE (peakFrame (folded, channel), impulseFrame + 1);
        }
    }
}
#endif

struct LatencyChangeCase
{
    const char* description;
    std::vector<std::string> settings;
    uint32_t blockFrames;
    const char* latencyLine;
    const char* restartLine; ///< null: no restart
};

void PrintTo (const LatencyChangeCase& test, std::ostream* out)
{
    *out << test.description;
}

class WrendleHostRenderLatencyChange : public ::testing::TestWithParam<LatencyChangeCase>
{
};

TEST_P (WrendleHostRenderLatencyChange, KeepsTheOutputAlignedFrameForFrame)
{
    const auto& test = GetParam();
    TempFolder folder;
    constexpr size_t inputFrames = 3000;
    const auto input = makeNoise (2, inputFrames, 48000, 4321);
    writeWav (folder / "in.wav", input);

    std::vector<std::string> arguments { "render", FIXTURE_MODULE, (folder / "in.wav").string(),
                                         (folder / "out.wav").string(), "--id", "test.wrendle-host.latency",
                                         "--tail", "0", "--block", std::to_string (test.blockFrames) };
    arguments.insert (arguments.end(), test.settings.begin(), test.settings.end());
    const auto result = runTool (arguments, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, test.latencyLine)) << result.out;
    EXPECT_FALSE (contains (result.err, "thread check failed")) << result.err;

    if (test.restartLine != nullptr)
        EXPECT_TRUE (contains (result.out, "\nRestarted at " + std::string (test.restartLine))) << result.out;
    else
        EXPECT_FALSE (contains (result.out, "Restarted")) << result.out;

    // A gap would show as zeros, a repeated stretch or a wrong compensation as a shift: the
    // fixture is a pure delay, so every frame must equal the input's.
    const auto output = readWav (folder / "out.wav");
    ASSERT_EQ (output.frames(), inputFrames);
    size_t firstWrongFrame = inputFrames;

    for (size_t frame = 0; frame < inputFrames && firstWrongFrame == inputFrames; ++frame)
        for (int channel = 0; channel < 2; ++channel)
            if (output.at (frame, channel) != input.at (frame, channel))
                firstWrongFrame = frame;

    EXPECT_EQ (firstWrongFrame, inputFrames) << "the output parts from the input here";
}

// The fixture asks for its restart in the block that reaches its 1000th frame; the host
// honours it after that block, where the frames written so far are the frames processed
// minus the 16 of latency.
INSTANTIATE_TEST_SUITE_P (
    Cases,
    WrendleHostRenderLatencyChange,
    ::testing::Values (
        LatencyChangeCase { "LatencySetBeforeActivationNeedsNoRestart", { "--set", "Latency=40", "--set", "Later Latency=40" }, 64, "\nLatency 40 samples", nullptr },
        LatencyChangeCase { "LongerLatencyMidRender", { "--set", "Later Latency=40" }, 64, "\nLatency 16 samples", "0.021 s (frame 1008), as the plug-in asked: latency 40 samples (0.83 ms) from there" },
        LatencyChangeCase { "ShorterLatencyMidRender", { "--set", "Later Latency=4" }, 64, "\nLatency 16 samples", "0.021 s (frame 1008), as the plug-in asked: latency 4 samples (0.08 ms) from there" },
        LatencyChangeCase { "NoLatencyAfterARestartInBlocksShorterThanTheLatency", { "--set", "Later Latency=0" }, 7, "\nLatency 16 samples", "0.021 s (frame 985), as the plug-in asked: latency 0 samples (0.00 ms) from there" },
        LatencyChangeCase { "LatencyLongerThanABlock", { "--set", "Later Latency=100" }, 50, "\nLatency 16 samples", "0.021 s (frame 984), as the plug-in asked: latency 100 samples (2.08 ms) from there" }),
    [] (const ::testing::TestParamInfo<LatencyChangeCase>& info)
    { return std::string (info.param.description); });

TEST (WrendleHostRenderOutput, ReplacesAnExistingFileWhole)
{
    TempFolder folder;
    writeWav (folder / "in.wav", makeNoise (2, 300, 44100, 7));
    {
        std::ofstream old (folder / "out.wav");
        old << std::string (100000, 'x');
    }

    const auto result = runTool ({ "render", FIXTURE_MODULE, (folder / "in.wav").string(), (folder / "out.wav").string(), "--tail", "0" },
                                 folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    const auto output = readWav (folder / "out.wav");
    EXPECT_EQ (output.frames(), 300u);
    EXPECT_EQ (output.sampleRateHz, 44100);
    EXPECT_EQ (folder.fileNames(), (std::vector<std::string> { "in.wav", "out.wav" }));
}

//==============================================================================
struct FailureCase
{
    const char* description;
    std::vector<std::string> arguments; ///< "IN", "OUT" and "TEXT" stand for files in the test folder
    const char* expectedMessage;
};

void PrintTo (const FailureCase& test, std::ostream* out)
{
    *out << test.description;
}

class WrendleHostFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P (WrendleHostFailure, ExitsWithCodeTwoAndOneClearLine)
{
    const auto& test = GetParam();
    TempFolder folder;
    writeWav (folder / "in.wav", makeNoise (2, 500, 48000, 5));
    {
        std::ofstream text (folder / "notes.wav");
        text << "this is not audio\n";
    }

    std::vector<std::string> arguments;

    for (const auto& argument : test.arguments)
    {
        if (argument == "IN")
            arguments.push_back ((folder / "in.wav").string());
        else if (argument == "OUT")
            arguments.push_back ((folder / "out.wav").string());
        else if (argument == "TEXT")
            arguments.push_back ((folder / "notes.wav").string());
        else
            arguments.push_back (argument);
    }

    const auto result = runTool (arguments, folder);

    // The plug-in may have written to stderr before; the host's verdict is the
    // one error line at the end.
    const auto errorLine = lastLine (result.err);
    EXPECT_EQ (result.exitCode, 2) << result.err;
    EXPECT_EQ (errorLine.rfind ("wrendle-host: error: ", 0), 0u) << result.err;
    EXPECT_TRUE (contains (errorLine, test.expectedMessage)) << result.err;
    EXPECT_EQ (occurrences (result.err, "wrendle-host: error:"), 1u) << result.err;
    EXPECT_FALSE (fs::exists (folder / "out.wav")) << "a failed render must not leave an output";
    EXPECT_EQ (folder.fileNames(), (std::vector<std::string> { "in.wav", "notes.wav" }));
}

INSTANTIATE_TEST_SUITE_P (
    Cases,
    WrendleHostFailure,
    ::testing::Values (
        FailureCase { "MissingModule", { "info", "/nonexistent/folder/Nothing.clap" }, "no such file" },
        FailureCase { "LibraryWithoutClapEntry", { "info", FIXTURE_NO_ENTRY_MODULE }, "exports no clap_entry" },
        FailureCase { "EntryInitReturnsFalse", { "info", FIXTURE_INIT_FAILS_MODULE }, "refused to initialise" },
        FailureCase { "UnknownPluginId", { "info", FIXTURE_MODULE, "--id", "no.such.plugin" }, "no plug-in with id 'no.such.plugin' (it offers: test.wrendle-host.gain," },
        FailureCase { "RenderWithUnknownPluginId", { "render", FIXTURE_MODULE, "IN", "OUT", "--id", "no.such.plugin" }, "no plug-in with id 'no.such.plugin'" },
        FailureCase { "InfoWhenActivationFails", { "info", FIXTURE_MODULE, "--id", "test.wrendle-host.activate-fails" }, "failed to activate" },
        FailureCase { "RenderWhenActivationFails", { "render", FIXTURE_MODULE, "IN", "OUT", "--id", "test.wrendle-host.activate-fails" }, "failed to activate" },
        FailureCase { "ProcessReturnsError", { "render", FIXTURE_MODULE, "IN", "OUT", "--id", "test.wrendle-host.process-fails" }, "CLAP_PROCESS_ERROR" },
        FailureCase { "InputIsNotAudio", { "render", FIXTURE_MODULE, "TEXT", "OUT" }, "cannot read" },
        FailureCase { "InputIsMissing", { "render", FIXTURE_MODULE, "/nonexistent/in.wav", "OUT" }, "cannot read" },
        FailureCase { "RenderWithMissingModule", { "render", "/nonexistent/Nothing.clap", "IN", "OUT" }, "no such file" }),
    [] (const ::testing::TestParamInfo<FailureCase>& info)
    { return std::string (info.param.description); });

//==============================================================================
struct UsageCase
{
    const char* description;
    std::vector<std::string> arguments;
    const char* expectedMessage;
    bool printsUsage;
};

void PrintTo (const UsageCase& test, std::ostream* out)
{
    *out << test.description;
}

class WrendleHostUsage : public ::testing::TestWithParam<UsageCase>
{
};

TEST_P (WrendleHostUsage, ExitsWithCodeOneAndSaysWhy)
{
    const auto& test = GetParam();
    TempFolder folder;
    writeWav (folder / "in.wav", makeNoise (2, 100, 48000, 3));

    std::vector<std::string> arguments;

    for (const auto& argument : test.arguments)
        arguments.push_back (argument == "IN" ? (folder / "in.wav").string() : argument == "OUT" ? (folder / "out.wav").string()
                                                                                                 : argument);

    const auto result = runTool (arguments, folder);

    EXPECT_EQ (result.exitCode, 1) << result.err;
    EXPECT_TRUE (contains (result.err, test.expectedMessage)) << result.err;
    EXPECT_EQ (contains (result.err, "Usage:"), test.printsUsage) << result.err;
    EXPECT_FALSE (fs::exists (folder / "out.wav"));
}

INSTANTIATE_TEST_SUITE_P (
    Cases,
    WrendleHostUsage,
    ::testing::Values (
        UsageCase { "NoArguments", {}, "Usage:", true },
        UsageCase { "UnknownCommand", { "play", FIXTURE_MODULE }, "unknown command 'play'", true },
        UsageCase { "RenderWithoutFiles", { "render", FIXTURE_MODULE }, "render needs PATH, IN.wav and OUT.wav", true },
        UsageCase { "UnknownOption", { "info", FIXTURE_MODULE, "--colour" }, "unknown option '--colour'", true },
        UsageCase { "BlockOfZeroFrames", { "render", FIXTURE_MODULE, "IN", "OUT", "--block", "0" }, "--block", true },
        UsageCase { "NegativeTail", { "render", FIXTURE_MODULE, "IN", "OUT", "--tail", "-1" }, "--tail", true },
        UsageCase { "SetWithoutValue", { "render", FIXTURE_MODULE, "IN", "OUT", "--set", "Gain" }, "NAME=VALUE", true },
        UsageCase { "UnknownParameter", { "render", FIXTURE_MODULE, "IN", "OUT", "--set", "Drive=1" }, "no parameter named 'Drive'", false },
        UsageCase { "NumberOutsideTheRange", { "render", FIXTURE_MODULE, "IN", "OUT", "--set", "Gain=9" }, "outside the range 0 .. 4", false },
        UsageCase { "TextThePluginCannotRead", { "render", FIXTURE_MODULE, "IN", "OUT", "--set", "Gain=loud" }, "cannot read 'loud'", false },
        UsageCase { "CheckWithoutModule", { "check" }, "check needs exactly one PATH", true },
        UsageCase { "CheckWithUnknownOption", { "check", FIXTURE_MODULE, "--quick" }, "unknown option '--quick'", true },
        UsageCase { "GenerateWithoutFile", { "generate" }, "generate needs exactly one OUT.wav", true },
        UsageCase { "GenerateNothing", { "generate", "OUT", "--seconds", "0" }, "--seconds", true },
        UsageCase { "GuiWithoutModule", { "gui" }, "gui needs exactly one PATH", true },
        UsageCase { "GuiForNoTime", { "gui", FIXTURE_MODULE, "--seconds", "0" }, "--seconds", true },
        UsageCase { "GuiAtNegativeScale", { "gui", FIXTURE_MODULE, "--scale", "-1" }, "--scale", true },
        UsageCase { "HelpForAnUnknownCommand", { "help", "play" }, "there is no command 'play'", true }),
    [] (const ::testing::TestParamInfo<UsageCase>& info)
    { return std::string (info.param.description); });

TEST (WrendleHostHelp, PrintsUsageOnStdoutAndSucceeds)
{
    TempFolder folder;
    const auto result = runTool ({ "--help" }, folder);

    EXPECT_EQ (result.exitCode, 0);
    EXPECT_TRUE (contains (result.out, "wrendle-host info PATH")) << result.out;
    EXPECT_TRUE (contains (result.out, "wrendle-host check PATH")) << result.out;
    EXPECT_TRUE (contains (result.out, "wrendle-host generate OUT.wav")) << result.out;
    EXPECT_TRUE (contains (result.out, "Exit status")) << result.out;
}

TEST (WrendleHostHelp, EachCommandsHelpNamesEveryOptionItTakesWithAnExample)
{
    struct CommandOptions
    {
        std::string command;
        std::vector<std::string> options;
    };

    const std::vector<std::string> common { "--id PLUGIN_ID", "--verbose" };
    const CommandOptions commands[] = {
        { "info", { "--json", "--rate HZ", "--block FRAMES" } },
        { "render", { "--set NAME=VALUE", "--rate HZ", "--block FRAMES", "--tail SECONDS", "--no-progress" } },
        { "check", { "--rate HZ", "--other-rate HZ", "--block FRAMES", "--no-gui" } },
        { "generate", { "--seconds SECONDS", "--rate HZ" } },
        { "gui", { "--seconds S", "--screenshot FILE.png", "--scale F" } },
    };

    TempFolder folder;

    for (const auto& [command, options] : commands)
    {
        SCOPED_TRACE (command);
        const auto help = runTool ({ command, "--help" }, folder);
        ASSERT_EQ (help.exitCode, 0) << help.err;

        auto expected = options;

        if (command != "generate")
            expected.insert (expected.end(), common.begin(), common.end());

        // Each option once in the synopsis and once where it is explained.
        for (const auto& option : expected)
            EXPECT_GE (occurrences (help.out, option), 2u) << option << "\n"
                                                           << help.out;

        EXPECT_TRUE (contains (help.out, "Example:\n           wrendle-host " + command + " ")) << help.out;
        EXPECT_EQ (runTool ({ "help", command }, folder).out, help.out);
    }
}

TEST (WrendleHostHelp, TheManualPageDescribesEveryOptionTheHelpNames)
{
    TempFolder folder;
    const auto help = runTool ({ "--help" }, folder).out;
    const auto manualPage = readWholeFile (WRENDLE_HOST_MANUAL_PAGE);
    ASSERT_FALSE (manualPage.empty());

    size_t optionsSeen = 0;

    for (auto at = help.find ("--"); at != std::string::npos; at = help.find ("--", at + 2))
    {
        auto end = at + 2;

        while (end < help.size() && (std::isalnum (static_cast<unsigned char> (help[end])) || help[end] == '-'))
            ++end;

        // roff writes a minus sign as \-.
        std::string inRoff;

        for (auto i = at; i < end; ++i)
            inRoff += help[i] == '-' ? "\\-" : std::string (1, help[i]);

        EXPECT_TRUE (contains (manualPage, inRoff)) << help.substr (at, end - at) << " is not in the manual page";
        ++optionsSeen;
    }

    EXPECT_GT (optionsSeen, 15u);
}

//==============================================================================
// check: the conformance sequence. The fixture is a plain plug-in that checks nothing, so the
// sequence must get through it and show what it logs; the shipped module reports each mistake.

/** The block of one step of check's output: from its "[n] title" line to the next step. */
std::string stepOf (const std::string& output, const std::string& title)
{
    const auto start = output.find ("] " + title + "\n");

    if (start == std::string::npos)
        return {};

    const auto end = output.find ("\n[", start);
    return output.substr (start, end == std::string::npos ? std::string::npos : end - start);
}

TEST (WrendleHostCheck, RunsEveryStepOnAPlainPluginAndShowsWhatItLogs)
{
    TempFolder folder;
    const auto result = runTool ({ "check", FIXTURE_MODULE }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "Checking 'Fixture Gain' (test.wrendle-host.gain)")) << result.out;

    const char* titles[] = { "create and init", "activate twice without deactivating",
                             "activate at another sample rate while active", "process before start_processing",
                             "state save and load round trip", "parameter flush while inactive",
                             "GUI create, size and destroy", "destroy", "destroy while still active" };

    for (const auto* title : titles)
        EXPECT_FALSE (stepOf (result.out, title).empty()) << title << "\n"
                                                          << result.out;

    EXPECT_TRUE (contains (stepOf (result.out, "state save and load round trip"), "skipped: the plug-in offers no clap.state"))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "GUI create, size and destroy"), "skipped")) << result.out;

    // The fixture processes without being started and asks for a callback, which the host serves.
    const auto process = stepOf (result.out, "process before start_processing");
    EXPECT_TRUE (contains (process, "process answered 1 (expected CLAP_PROCESS_ERROR, 0)")) << process;
    EXPECT_TRUE (contains (process, "log (info): main-thread callback ran")) << process;

    const auto flush = stepOf (result.out, "parameter flush while inactive");
    EXPECT_TRUE (contains (flush, "flushed 'Gain' = 0; it now reads 0\n")) << flush;

    EXPECT_TRUE (contains (result.out, "The plug-in survived all 9 steps.\n")) << result.out;
}

TEST (WrendleHostCheck, GetsThroughAPluginThatRefusesToActivate)
{
    TempFolder folder;
    const auto result = runTool ({ "check", FIXTURE_MODULE, "--id", "test.wrendle-host.activate-fails" }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (stepOf (result.out, "activate twice without deactivating"), "answered false")) << result.out;
    EXPECT_TRUE (contains (result.out, "The plug-in survived all 9 steps.")) << result.out;
}

TEST (WrendleHostCheck, FailsWithCodeTwoWhenThePluginCannotBeCreated)
{
    TempFolder folder;
    const auto result = runTool ({ "check", FIXTURE_INIT_FAILS_MODULE }, folder);

    EXPECT_EQ (result.exitCode, 2);
    EXPECT_FALSE (contains (result.out, "survived")) << result.out;
}

#ifdef WRENDLE_MODULE
TEST (WrendleHostCheck, ShowsTheShippedPluginsReportsOfEachHostMistake)
{
    TempFolder folder;
    const auto result = runTool ({ "check", WRENDLE_MODULE }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (stepOf (result.out, "activate twice without deactivating"),
                           "log (host misbehaving): Plugin was activated twice\n"))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "activate at another sample rate while active"),
                           "with different sample rates: 48000 and 44100."))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "process before start_processing"),
                           "Host called clap_plugin.process() without calling clap_plugin.start_processing()"))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "process before start_processing"), "process answered 0 (CLAP_PROCESS_ERROR)"))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "state save and load round trip"), "loading an empty stream answered false\n"))
        << result.out;
    EXPECT_TRUE (contains (stepOf (result.out, "destroy while still active"),
                           "log (host misbehaving): host forgot to deactivate the plugin before destroying it"))
        << result.out;
    EXPECT_FALSE (contains (stepOf (result.out, "destroy"), "log (")) << "a clean destroy reports nothing\n"
                                                                      << result.out;

    const auto gui = stepOf (result.out, "GUI create, size and destroy");

    if (std::getenv ("DISPLAY") != nullptr && *std::getenv ("DISPLAY") != '\0')
    {
        // The editor opens at the user's last size; half of any size it can have is below
        // 480 x 460, so the adjusted size keeps the aspect ratio from 240 x 230 upwards.
        EXPECT_TRUE (contains (gui, "create (x11, embedded) answered true")) << gui;
        EXPECT_TRUE (contains (gui, "resizable: true")) << gui;
        EXPECT_TRUE (contains (gui, "set_size answered true")) << gui;
        EXPECT_TRUE (contains (gui, "restored the size it opened with")) << gui;
    }
    else
    {
        EXPECT_TRUE (contains (gui, "skipped: no display")) << gui;
    }
}
#endif

//==============================================================================
bool displayIsSet()
{
    const char* display = std::getenv ("DISPLAY");
    return display != nullptr && *display != '\0';
}

TEST (WrendleHostGui, NeedsADisplayAndAPluginWithAnEditor)
{
    TempFolder folder;
    const auto result = runTool ({ "gui", FIXTURE_MODULE, "--seconds", "0.2" }, folder);

    EXPECT_EQ (result.exitCode, 2);
    EXPECT_TRUE (contains (result.err, displayIsSet() ? "the plug-in offers no clap.gui" : "no display")) << result.err;
}

#ifdef WRENDLE_MODULE
TEST (WrendleHostGui, ShowsTheShippedEditorThroughTheHostsTimersAndSavesWhatItShows)
{
    if (! displayIsSet())
        GTEST_SKIP() << "no display";

    TempFolder folder;
    const auto shot = folder / "editor.png";
    const auto result = runTool ({ "gui", WRENDLE_MODULE, "--seconds", "1.5", "--screenshot", shot.string() }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "screenshot to")) << result.out;
    EXPECT_FALSE (contains (result.out, "left timers")) << result.out;

    // A window left black or filled flat compresses to a few kilobytes; the painted skin,
    // knobs and labels cannot.
    const auto png = readWholeFile (shot);
    ASSERT_GT (png.size(), 8u);
    EXPECT_EQ (png.substr (1, 3), "PNG");
    EXPECT_GT (png.size(), 40000u) << "the editor did not paint";
    EXPECT_FALSE (fs::exists (folder / "editor.png.part"));
}
#endif

//==============================================================================
TEST (WrendleHostGenerate, WritesTwoSinesUnderASwellOfTheAskedLengthAndRate)
{
    TempFolder folder;
    const auto result = runTool ({ "generate", (folder / "signal.wav").string(), "--seconds", "1.5", "--rate", "44100" }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_TRUE (contains (result.out, "1.500 s of stereo test signal at 44100 Hz")) << result.out;

    const auto audio = readWav (folder / "signal.wav");
    ASSERT_EQ (audio.channels, 2);
    ASSERT_EQ (audio.sampleRateHz, 44100);
    ASSERT_EQ (audio.frames(), 66150u);

    const auto total = audio.frames();
    float peak = 0.0f;

    for (size_t i = 0; i < total; i += 97)
    {
        const double t = (double) i / 44100.0;
        const double swell = 0.05 + 0.75 * (0.5 - 0.5 * std::cos (2.0 * M_PI * (double) i / (double) (total - 1)));
        ASSERT_NEAR (audio.at (i, 0), swell * std::sin (2.0 * M_PI * 110.0 * t), 1.0e-5) << i;
        ASSERT_NEAR (audio.at (i, 1), swell * std::sin (2.0 * M_PI * 165.0 * t), 1.0e-5) << i;
    }

    for (const auto sample : audio.interleaved)
        peak = std::max (peak, std::abs (sample));

    EXPECT_LE (peak, 0.8f);
    EXPECT_GT (peak, 0.75f) << "the swell reaches its top in the middle";
}

TEST (WrendleHostGenerate, ReplacesAnExistingFileWholeAndLeavesNoTemporaryFiles)
{
    TempFolder folder;
    writeWav (folder / "signal.wav", makeNoise (1, 48000 * 3, 48000, 5));

    const auto result = runTool ({ "generate", (folder / "signal.wav").string(), "--seconds", "0.25" }, folder);

    ASSERT_EQ (result.exitCode, 0) << result.err;
    const auto audio = readWav (folder / "signal.wav");
    EXPECT_EQ (audio.channels, 2);
    EXPECT_EQ (audio.frames(), 12000u);
    EXPECT_EQ (folder.fileNames(), std::vector<std::string> { "signal.wav" });
}

} // namespace
