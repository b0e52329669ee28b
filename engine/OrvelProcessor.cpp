#include "engine/OrvelProcessor.h"

namespace orvel
{

OrvelProcessor::OrvelProcessor() = default;
OrvelProcessor::~OrvelProcessor() = default;

bool OrvelProcessor::isLayoutAccepted (int numInputChannels, int numOutputChannels, bool hasOutputBus) noexcept
{
    if (! hasOutputBus)
        return false;

    return (numInputChannels == 1 && (numOutputChannels == 1 || numOutputChannels == 2))
           || (numInputChannels == 2 && numOutputChannels == 2);
}

bool OrvelProcessor::isBusesLayoutSupported (const BusesLayout& layout) const
{
    if (layout.outputBuses.isEmpty())
        return false;

    const auto numIn = layout.inputBuses.isEmpty() ? 0 : layout.getChannelSet (true, 0).size();
    const auto numOut = layout.getChannelSet (false, 0).size();
    return isLayoutAccepted (numIn, numOut, true);
}

void OrvelProcessor::setBypassed (bool shouldBeBypassed)
{
    lastBypassRequest.store (shouldBeBypassed, std::memory_order_relaxed);

    if (shouldBeBypassed == bypassed)
        return;

    bypassed = shouldBeBypassed;
    skipProcessing = false;

    if (bypassed)
    {
        wetFadeOut.restart();
        dryFadeIn.restart();
    }
    else
    {
        wetFadeIn.restart();
        dryFadeOut.restart();
    }
}

void OrvelProcessor::prepareFramework (double requestedSampleRate, int requestedBlockSize)
{
    preparedSampleRate = requestedSampleRate > 0.0 ? requestedSampleRate : 44100.0;
    preparedBlockSize = requestedBlockSize >= 1 ? requestedBlockSize : 256;

    monoScratchBuffer.setSize (2, preparedBlockSize, false, false, true);
    dryBuffer.setSize (2, preparedBlockSize, false, false, true);

    const auto step = 1.0f / ((float) preparedSampleRate * 0.02f); // 20 ms
    for (auto* fade : { &wetFadeIn, &dryFadeIn, &wetFadeOut, &dryFadeOut })
        fade->step = step;

    wetFadeIn.value = 1.0f;
    dryFadeIn.value = 1.0f;
    wetFadeOut.value = wetFadeOut.floor;
    dryFadeOut.value = dryFadeOut.floor;

    restoreFadeGain.target = 1.0f;
    restoreFadeGain.prepare (preparedSampleRate, 0.15);
}

void OrvelProcessor::pullRestoreFade() noexcept
{
    if (restoreFadePending.exchange (false, std::memory_order_acquire))
    {
        restoreFadeGain.setImmediate (0.0f);
        restoreFadeGain.setTarget (1.0f);
    }
}

void OrvelProcessor::applyBypassCrossfade (float* const* wet, float* const* dry, int numFrames) noexcept
{
    auto& fadeWet = bypassed ? wetFadeOut : wetFadeIn;
    auto& fadeDry = bypassed ? dryFadeIn : dryFadeOut;

    if (fadeWet.hasEnded() && fadeDry.hasEnded())
    {
        if (bypassed)
        {
            for (int ch = 0; ch < 2; ++ch)
                juce::FloatVectorOperations::copy (wet[ch], dry[ch], numFrames);
            skipProcessing = true;
        }
        return;
    }

    if (numFrames <= 0)
        return;

    fadeWet.apply (wet, 2, numFrames);
    fadeDry.apply (dry, 2, numFrames);

    for (int ch = 0; ch < 2; ++ch)
        juce::FloatVectorOperations::add (wet[ch], dry[ch], numFrames);
}

} // namespace orvel
