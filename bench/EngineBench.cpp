// The engine's cost per setting: the whole processor on stereo 48 kHz audio in
// 512-frame blocks at every oversampling factor, in four settings (the
// ordinary chain with envelope, feedback and auto-gain active; the same in the
// Normal topology; the same at Mix 50 %, where the dry copy follows the wet
// path's phase; bypassed), and the bare up+down round trip of the two
// oversamplers at each factor. After the runs it prints each setting's
// real-time factor (seconds of audio per CPU second) and the ratio of the
// ordinary chain's cost to the round trips' cost.
//
// --blocks=N runs every benchmark for exactly N blocks, for instruction counts
// that do not depend on timing:
//   valgrind --tool=callgrind --toggle-collect='WrendleFoldProcessor::processBlock*'
//       build/bench/engine_bench --blocks=200 --benchmark_filter='wholeProcessor/2/0/'

#include "WrendleFoldProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

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
        std::printf (" %16s %16s\n", "round trips", "ordinary/trips");

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
            std::printf ("\n");
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
