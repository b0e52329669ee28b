#pragma once

#include "dsp/FrequencyResponse.h"
#include "plugin/WrendleFoldProcessor.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

/** A prepared processor and the signals the chain tests drive it with. */
namespace chaintest
{
constexpr double sampleRate = 48000.0;
constexpr int defaultBlockSize = 256;
constexpr double pi = 3.141592653589793238462643383279;
constexpr juce::int64 driftSeed = 17;

/** Frames in `milliseconds` at the test rate. */
constexpr size_t frames (double milliseconds)
{
    return (size_t) (milliseconds * sampleRate / 1000.0);
}

/** A processor with its drift seeded, prepared for 48 kHz and `blockSize`
    frames after the settings (parameter index, normalised value) are made. */
struct Rig
{
    explicit Rig (std::initializer_list<std::pair<int, float>> settings = {}, int newBlockSize = defaultBlockSize)
        : blockSize (newBlockSize)
    {
        for (auto [index, value] : settings)
            set (index, value);
        processor.setDriftSeed (driftSeed);
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    void set (int index, float normalised) { processor.getParameters()[index]->setValueNotifyingHost (normalised); }

    /** Processes `blocks` blocks of a sine of the given amplitude, continuing its
        phase from the last call; returns the last block. */
    juce::AudioBuffer<float> runSine (int blocks, float amplitude = 0.5f, double hz = 220.0)
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        for (int b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < blockSize; ++i, ++position)
            {
                const auto s = amplitude * (float) std::sin (2.0 * pi * hz * (double) position / sampleRate);
                buffer.setSample (0, i, s);
                buffer.setSample (1, i, s);
            }
            processor.processBlock (buffer, midi);
        }
        return buffer;
    }

    /** Feeds `input` (any length) to both channels in blocks of `splitFrames`
        (the prepared block size when 0) and returns channel 0 of the output. */
    std::vector<float> run (const std::vector<float>& input, int splitFrames = 0)
    {
        const auto split = (size_t) (splitFrames > 0 ? splitFrames : blockSize);
        std::vector<float> output;
        output.reserve (input.size());
        juce::AudioBuffer<float> buffer (2, (int) split);

        for (size_t start = 0; start < input.size(); start += split)
        {
            const auto length = (int) std::min (split, input.size() - start);
            juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), 2, length);
            for (int ch = 0; ch < 2; ++ch)
                block.copyFrom (ch, 0, input.data() + start, length);
            processor.processBlock (block, midi);
            output.insert (output.end(), block.getReadPointer (0), block.getReadPointer (0) + length);
        }

        return output;
    }

    WrendleFoldProcessor processor;
    juce::MidiBuffer midi;
    int blockSize;
    int64_t position = 0;
};

inline std::vector<float> sine (double hz, double seconds, float amplitude, double phase = 0.0)
{
    std::vector<float> signal ((size_t) (seconds * sampleRate));
    for (size_t n = 0; n < signal.size(); ++n)
        signal[n] = amplitude * (float) std::sin (2.0 * pi * hz * (double) n / sampleRate + phase);
    return signal;
}

inline std::vector<float> silence (double seconds)
{
    return std::vector<float> ((size_t) (seconds * sampleRate), 0.0f);
}

inline std::vector<float> join (std::initializer_list<std::vector<float>> parts)
{
    std::vector<float> joined;
    for (const auto& part : parts)
        joined.insert (joined.end(), part.begin(), part.end());
    return joined;
}

inline float peak (const std::vector<float>& signal, size_t from, size_t to)
{
    float largest = 0.0f;
    for (auto n = from; n < std::min (to, signal.size()); ++n)
        largest = std::max (largest, std::abs (signal[n]));
    return largest;
}

inline double rms (const std::vector<float>& signal, size_t from, size_t to)
{
    double sum = 0.0;
    to = std::min (to, signal.size());
    for (auto n = from; n < to; ++n)
        sum += (double) signal[n] * (double) signal[n];
    return to > from ? std::sqrt (sum / (double) (to - from)) : 0.0;
}

/** The largest difference between neighbouring samples. */
inline float largestStep (const std::vector<float>& signal, size_t from, size_t to)
{
    float largest = 0.0f;
    for (auto n = std::max<size_t> (from, 1); n < std::min (to, signal.size()); ++n)
        largest = std::max (largest, std::abs (signal[n] - signal[n - 1]));
    return largest;
}

/** |H (e^jw)| of an impulse response at the test rate. */
inline double magnitudeAt (const std::vector<float>& impulseResponse, double hz)
{
    return orvel::test::magnitudeAt (impulseResponse, hz, sampleRate);
}
} // namespace chaintest
