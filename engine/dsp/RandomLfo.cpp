#include "engine/dsp/RandomLfo.h"

#include <cmath>

namespace orvel
{

RandomLfo::RandomLfo()
    : RandomLfo (juce::Random())
{
}

RandomLfo::RandomLfo (juce::int64 seed)
    : RandomLfo (juce::Random (seed))
{
}

RandomLfo::RandomLfo (const juce::Random& generator)
    : random (generator)
{
    amplitudeRamp.setTarget (1.0f); // fades in from 0.01 over 441 samples
    a = std::exp (-2.0 * juce::MathConstants<double>::pi * 100.0 / (double) sampleRate);
    oneMinusA = 1.0 - a;
    updatePhaseIncrement();
    refillTable();
}

void RandomLfo::prepare (int newSampleRate) noexcept
{
    sampleRate = juce::jmax (1, newSampleRate);
    updatePhaseIncrement();
    amplitudeRamp.prepare ((double) sampleRate, 0.01);
    a = std::exp (-2.0 * juce::MathConstants<double>::pi * 100.0 / (double) sampleRate);
    oneMinusA = 1.0 - a;
}

void RandomLfo::setRateHz (float newRateHz) noexcept
{
    if (newRateHz == rateHz)
        return;

    rateHz = newRateHz >= 0.01f ? newRateHz : 0.01f;
    updatePhaseIncrement();
}

void RandomLfo::updatePhaseIncrement() noexcept
{
    // At most one table length per sample: the wrap in nextValue() subtracts
    // one table length only, so a larger step would read past the table.
    phaseIncrement = juce::jlimit (0.0f, (float) tableSize, rateHz / (float) sampleRate * (float) tableSize);
}

void RandomLfo::refillTable() noexcept
{
    const float first = 2.0f * random.nextFloat() - 1.0f;
    const float second = 2.0f * random.nextFloat() - 1.0f;

    std::fill (table.begin(), table.begin() + tableSize / 2, first);
    std::fill (table.begin() + tableSize / 2, table.end(), second);
}

} // namespace orvel
