// The engine's cost per oversampling setting: the whole processor on stereo
// 48 kHz audio in 512-frame blocks (envelope and feedback active), and the
// bare up+down round trip of the two oversamplers at the same factor. After
// the runs it prints each setting's real-time factor (seconds of audio per CPU
// second) and the ratio of the chain's cost to the round trips' cost.

#include "WrendleFoldProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
const char* const settingNames[] = { "OFF", "2X", "4X", "8X", "16X" };

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
    WrendleFoldProcessor processor;
    auto& params = processor.getParameterSet();
    params.oversampling->setValueNotifyingHost ((float) index / 4.0f);
    params.foldAmount->setValueNotifyingHost (0.4f);
    params.envelopeAmount->setValueNotifyingHost (0.8f);
    params.envelopeAttack->setValueNotifyingHost (0.02f);
    params.feedback->setValueNotifyingHost (0.7f);
    params.autoGain->setValueNotifyingHost (1.0f);
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

BENCHMARK (wholeProcessor)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);
BENCHMARK (oversamplerRoundTrips)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);

/** Keeps each run's CPU time per iteration so the summary can compare them. */
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                cpuSecondsPerBlock[run.benchmark_name()] = run.cpu_accumulated_time / (double) run.iterations;
    }

    void printSummary() const
    {
        std::printf ("\n%-8s %22s %22s %16s\n", "setting", "chain realtime factor", "round trips rt factor", "chain/roundtrip");
        const auto blockSeconds = blockSize / sampleRate;
        for (int i = 0; i < 5; ++i)
        {
            const auto chain = find ("wholeProcessor/" + std::to_string (i));
            const auto trips = find ("oversamplerRoundTrips/" + std::to_string (i));
            if (chain <= 0.0 || trips <= 0.0)
                continue;
            std::printf ("%-8s %21.1fx %21.1fx %16.2f\n", settingNames[i], blockSeconds / chain, blockSeconds / trips, chain / trips);
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
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
