// The engine's cost per oversampling setting: the whole processor on stereo
// 48 kHz audio in 512-frame blocks (envelope and feedback active), and the
// bare up+down round trip of the two oversamplers at the same factor, JUCE's
// (the yardstick) and our vector ones (two stereo ones, and one four-channel
// one for wet and dry together). After the runs it prints each setting's
// real-time factor (seconds of audio per CPU second), the ratio of the chain's
// cost to JUCE's round trips, and what sin and erf cost per stereo frame,
// libm's against the fast ones.

#include "WrendleFoldProcessor.h"
#include "dsp/FastMath.h"
#include "dsp/PolyphaseOversampler.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

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

BENCHMARK (wholeProcessor)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);
BENCHMARK (oversamplerRoundTrips)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);
BENCHMARK (polyphaseRoundTrips)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);
BENCHMARK (fourChannelRoundTrip)->DenseRange (0, 4)->Unit (benchmark::kMicrosecond);
BENCHMARK (mathPerStereoFrame<MathForm::libm, true>)->Name ("sin/libm");
BENCHMARK (mathPerStereoFrame<MathForm::fastScalar, true>)->Name ("sin/fast");
BENCHMARK (mathPerStereoFrame<MathForm::fastVector, true>)->Name ("sin/fastVector");
BENCHMARK (mathPerStereoFrame<MathForm::libm, false>)->Name ("erf/libm");
BENCHMARK (mathPerStereoFrame<MathForm::fastScalar, false>)->Name ("erf/fast");
BENCHMARK (mathPerStereoFrame<MathForm::fastVector, false>)->Name ("erf/fastVector");

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
        std::printf ("\n%-8s %22s %22s %16s %18s %14s %18s\n", "setting", "chain realtime factor", "round trips rt factor", "chain/roundtrip",
                     "ours 2x2ch rt fac", "ours/JUCE", "ours 1x4ch rt fac");
        const auto blockSeconds = blockSize / sampleRate;
        for (int i = 0; i < 5; ++i)
        {
            const auto index = "/" + std::to_string (i);
            const auto chain = find ("wholeProcessor" + index);
            const auto trips = find ("oversamplerRoundTrips" + index);
            const auto ours = find ("polyphaseRoundTrips" + index);
            const auto fourChannels = find ("fourChannelRoundTrip" + index);
            if (chain <= 0.0 || trips <= 0.0 || ours <= 0.0 || fourChannels <= 0.0)
                continue;
            std::printf ("%-8s %21.1fx %21.1fx %16.2f %17.1fx %14.2f %17.1fx\n", settingNames[i], blockSeconds / chain, blockSeconds / trips,
                         chain / trips, blockSeconds / ours, ours / trips, blockSeconds / fourChannels);
        }

        std::printf ("\n%-6s %18s %18s %18s  (ns per stereo frame)\n", "", "libm", "fast scalar", "fast vector");
        for (const char* function : { "sin", "erf" })
        {
            const auto perFrame = [&] (const char* form)
            { return find (std::string (function) + "/" + form) / blockSize * 1.0e9; };
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
