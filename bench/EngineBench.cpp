// The engine's cost per setting: the whole processor on stereo 48 kHz audio in
// 512-frame blocks at every oversampling factor, in four settings (the
// ordinary chain with envelope, feedback and auto-gain active; the same in the
// Normal topology; the same at Mix 50 %, where the dry copy follows the wet
// path's phase; bypassed), and the bare up+down round trip of the two
// oversamplers at each factor, JUCE's (the yardstick) and our vector ones (two
// stereo ones, and one four-channel one for wet and dry together). After the
// runs it prints each setting's real-time factor (seconds of audio per CPU
// second), the ratio of the ordinary chain's cost to JUCE's round trips, and
// what sin and erf cost per stereo frame, libm's against the fast ones.
//
// --blocks=N runs every benchmark for exactly N blocks, for instruction counts
// that do not depend on timing:
//   valgrind --tool=callgrind --toggle-collect='WrendleFoldProcessor::processBlock*'
//       build/bench/engine_bench --blocks=200 --benchmark_filter='wholeProcessor/2/0/'

#include "engine/dsp/FastMath.h"
#include "engine/dsp/PolyphaseOversampler.h"
#include "plugin/WrendleFoldProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
const char* const factorNames[] = { "OFF", "2X", "4X", "8X", "16X" };
const char* const settingNames[] = { "ordinary", "Normal", "Mix 50%", "bypassed" };
constexpr int numSettings = 4;

juce::AudioBuffer<float> makeTestSignal()
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::Random random (1);
    for (int i = 0; i < blockSize; ++i)
    {
        const auto tone = 0.6f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 110.0 * i / sampleRate);
        buffer.setSample (0, i, tone + 0.05f * random.nextFloat());
        buffer.setSample (1, i, 0.8f * tone + 0.05f * random.nextFloat());
    }
    return buffer;
}

void setSecondsOfAudio (benchmark::State& state)
{
    state.counters["realtime_factor"] = benchmark::Counter ((double) state.iterations() * blockSize / sampleRate,
                                                            benchmark::Counter::kIsRate);
}

void wholeProcessor (benchmark::State& state)
{
    const auto index = (int) state.range (0);
    const auto setting = (int) state.range (1);
    WrendleFoldProcessor processor;
    auto& params = processor.getParameterSet();
    params.oversampling->setValueNotifyingHost ((float) index / 4.0f);
    params.foldAmount->setValueNotifyingHost (0.4f);
    params.envelopeAmount->setValueNotifyingHost (0.8f);
    params.envelopeAttack->setValueNotifyingHost (0.02f);
    params.feedback->setValueNotifyingHost (0.7f);
    params.autoGain->setValueNotifyingHost (1.0f);
    params.prePost->setValueNotifyingHost (setting == 1 ? 0.0f : 1.0f);
    params.mix->setValueNotifyingHost (setting == 2 ? 0.5f : 1.0f);
    params.bypass->setValueNotifyingHost (setting == 3 ? 0.0f : 1.0f);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    const auto input = makeTestSignal();
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        processor.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setSecondsOfAudio (state);
}

void oversamplerRoundTrips (benchmark::State& state)
{
    const auto index = (int) state.range (0);
    const auto makeOversampler = [index]
    {
        auto oversampler = std::make_unique<juce::dsp::Oversampling<float>> (2);
        if (index > 0)
        {
            oversampler->clearOversamplingStages();
            for (int stage = 0; stage < index; ++stage)
                oversampler->addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                                   0.05f, -90.0f, 0.05f, -80.0f);
            oversampler->setUsingIntegerLatency (true);
        }
        oversampler->initProcessing (blockSize);
        return oversampler;
    };
    auto main = makeOversampler();
    auto softClip = makeOversampler();

    const auto input = makeTestSignal();
    juce::AudioBuffer<float> buffer (2, blockSize);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        juce::dsp::AudioBlock<float> block (buffer);
        for (auto* oversampler : { main.get(), softClip.get() })
        {
            auto up = oversampler->processSamplesUp (block);
            benchmark::DoNotOptimize (up.getChannelPointer (0));
            oversampler->processSamplesDown (block);
        }
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setSecondsOfAudio (state);
}

/** Our two-channel oversampler in place of JUCE's: the same two round trips. */
void polyphaseRoundTrips (benchmark::State& state)
{
    const auto stages = (int) state.range (0);
    orvel::PolyphaseOversampler<2> main (stages), softClip (stages);
    main.prepare (blockSize);
    softClip.prepare (blockSize);

    const auto input = makeTestSignal();
    juce::AudioBuffer<float> buffer (2, blockSize);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        for (auto* oversampler : { &main, &softClip })
        {
            benchmark::DoNotOptimize (oversampler->processUp (buffer.getArrayOfReadPointers(), blockSize));
            oversampler->processDown (buffer.getArrayOfWritePointers(), blockSize);
        }
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setSecondsOfAudio (state);
}

/** One four-channel round trip: wet and dry stereo in one vector. */
void fourChannelRoundTrip (benchmark::State& state)
{
    const auto stages = (int) state.range (0);
    orvel::PolyphaseOversampler<4> oversampler (stages);
    oversampler.prepare (blockSize);

    const auto stereo = makeTestSignal();
    juce::AudioBuffer<float> input (4, blockSize), buffer (4, blockSize);
    for (int channel = 0; channel < 4; ++channel)
        input.copyFrom (channel, 0, stereo, channel % 2, 0, blockSize);

    for (auto _ : state)
    {
        buffer.makeCopyOf (input, true);
        benchmark::DoNotOptimize (oversampler.processUp (buffer.getArrayOfReadPointers(), blockSize));
        oversampler.processDown (buffer.getArrayOfWritePointers(), blockSize);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setSecondsOfAudio (state);
}

/** Arguments of the sizes the chain gives each function: the folder's
    drive × clamped signal for sin, the feedback path's values for erf. */
struct MathInput
{
    std::vector<float> left, right;

    explicit MathInput (float scale)
    {
        juce::Random random (7);
        for (int i = 0; i < blockSize; ++i)
        {
            left.push_back (scale * (random.nextFloat() * 2.0f - 1.0f));
            right.push_back (scale * (random.nextFloat() * 2.0f - 1.0f));
        }
    }
};

enum class MathForm
{
    libm,
    fastScalar,
    fastVector
};

template <MathForm form, bool isSin>
void mathPerStereoFrame (benchmark::State& state)
{
    const MathInput input (isSin ? 120.0f : 3.0f);
    std::vector<float> left (blockSize), right (blockSize);

    for (auto _ : state)
    {
        for (size_t i = 0; i < (size_t) blockSize; ++i)
        {
            const auto l = input.left[i], r = input.right[i];
            if constexpr (form == MathForm::libm)
            {
                left[i] = isSin ? std::sin (l) : std::erf (l);
                right[i] = isSin ? std::sin (r) : std::erf (r);
            }
            else if constexpr (form == MathForm::fastScalar)
            {
                left[i] = isSin ? orvel::fastSin (l) : orvel::fastErf (l);
                right[i] = isSin ? orvel::fastSin (r) : orvel::fastErf (r);
            }
            else
            {
                // One frame per vector, as the per-frame core holds it.
                const auto frame = orvel::Float4::lanes (l, r, 0.0f, 0.0f);
                const auto result = isSin ? orvel::fastSin (frame) : orvel::fastErf (frame);
                left[i] = result.lane (0);
                right[i] = result.lane (1);
            }
        }
        benchmark::DoNotOptimize (left.data());
        benchmark::DoNotOptimize (right.data());
    }
    state.SetItemsProcessed ((int64_t) state.iterations() * blockSize);
}

void registerBenchmarks (int fixedBlocks)
{
    const auto fix = [fixedBlocks] (benchmark::internal::Benchmark* benchmark)
    {
        benchmark->Unit (benchmark::kMicrosecond);
        if (fixedBlocks > 0)
            benchmark->Iterations (fixedBlocks);
    };

    fix (benchmark::RegisterBenchmark ("wholeProcessor", wholeProcessor)->ArgsProduct ({ benchmark::CreateDenseRange (0, 4, 1), benchmark::CreateDenseRange (0, numSettings - 1, 1) }));
    fix (benchmark::RegisterBenchmark ("oversamplerRoundTrips", oversamplerRoundTrips)->DenseRange (0, 4));
    fix (benchmark::RegisterBenchmark ("polyphaseRoundTrips", polyphaseRoundTrips)->DenseRange (0, 4));
    fix (benchmark::RegisterBenchmark ("fourChannelRoundTrip", fourChannelRoundTrip)->DenseRange (0, 4));
    benchmark::RegisterBenchmark ("sin/libm", mathPerStereoFrame<MathForm::libm, true>);
    benchmark::RegisterBenchmark ("sin/fast", mathPerStereoFrame<MathForm::fastScalar, true>);
    benchmark::RegisterBenchmark ("sin/fastVector", mathPerStereoFrame<MathForm::fastVector, true>);
    benchmark::RegisterBenchmark ("erf/libm", mathPerStereoFrame<MathForm::libm, false>);
    benchmark::RegisterBenchmark ("erf/fast", mathPerStereoFrame<MathForm::fastScalar, false>);
    benchmark::RegisterBenchmark ("erf/fastVector", mathPerStereoFrame<MathForm::fastVector, false>);
}

/** Keeps each run's CPU time per iteration so the summary can compare them. */
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                cpuSecondsPerBlock[run.run_name.function_name + "/" + run.run_name.args] = run.cpu_accumulated_time / (double) run.iterations;
    }

    void printSummary() const
    {
        const auto blockSeconds = blockSize / sampleRate;

        std::printf ("\nchain realtime factor (seconds of audio per CPU second)\n%-8s", "factor");
        for (const auto* setting : settingNames)
            std::printf (" %12s", setting);
        std::printf (" %16s %16s %18s %10s %18s\n", "round trips", "ordinary/trips", "ours 2x2ch", "ours/JUCE", "ours 1x4ch");

        for (int i = 0; i < 5; ++i)
        {
            std::printf ("%-8s", factorNames[i]);
            for (int setting = 0; setting < numSettings; ++setting)
            {
                const auto chain = find ("wholeProcessor/" + std::to_string (i) + "/" + std::to_string (setting));
                if (chain > 0.0)
                    std::printf (" %11.1fx", blockSeconds / chain);
                else
                    std::printf (" %12s", "-");
            }

            const auto ordinary = find ("wholeProcessor/" + std::to_string (i) + "/0");
            const auto trips = find ("oversamplerRoundTrips/" + std::to_string (i));
            if (trips > 0.0)
                std::printf (" %15.1fx", blockSeconds / trips);
            if (trips > 0.0 && ordinary > 0.0)
                std::printf (" %16.2f", ordinary / trips);
            const auto ours = find ("polyphaseRoundTrips/" + std::to_string (i));
            const auto fourChannels = find ("fourChannelRoundTrip/" + std::to_string (i));
            if (trips > 0.0 && ours > 0.0 && fourChannels > 0.0)
                std::printf (" %17.1fx %10.2f %17.1fx", blockSeconds / ours, ours / trips, blockSeconds / fourChannels);
            std::printf ("\n");
        }

        std::printf ("\n%-6s %18s %18s %18s  (ns per stereo frame)\n", "", "libm", "fast scalar", "fast vector");
        for (const char* function : { "sin", "erf" })
        {
            const auto perFrame = [&] (const char* form)
            { return find (std::string (function) + "/" + form + "/") / blockSize * 1.0e9; };
            std::printf ("%-6s %18.2f %18.2f %18.2f\n", function, perFrame ("libm"), perFrame ("fast"), perFrame ("fastVector"));
        }
    }

private:
    double find (const std::string& name) const
    {
        const auto found = cpuSecondsPerBlock.find (name);
        return found != cpuSecondsPerBlock.end() ? found->second : 0.0;
    }

    std::map<std::string, double> cpuSecondsPerBlock;
};

/** Takes --blocks=N out of the arguments; 0 when it is not there. */
int takeFixedBlocks (int& argc, char** argv)
{
    int blocks = 0;
    int kept = 0;
    for (int i = 0; i < argc; ++i)
    {
        if (std::strncmp (argv[i], "--blocks=", 9) == 0)
            blocks = std::atoi (argv[i] + 9);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return blocks;
}
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    registerBenchmarks (takeFixedBlocks (argc, argv));
    benchmark::Initialize (&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
