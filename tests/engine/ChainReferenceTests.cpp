#include "ChainRig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The whole chain against renders of its first, plainly scalar implementation
// (libm's sin and erf, JUCE's oversamplers), so a faster chain is known to
// sound the same. The renders are kept as a summary: every 150th output sample
// of each channel and the RMS of sixteen stretches of it. Any sample-level
// difference shows in the points, and one between them moves an RMS.
//
// WRENDLE_WRITE_CHAIN_REFERENCE=<file> writes the summary of the chain as it
// is instead of comparing (how ChainReference.inc was made).

namespace
{
using namespace chaintest;
using namespace wrendle;

constexpr int pointStride = 150;
constexpr int numStretches = 16;
constexpr int renderFrames = 9600; // 0.2 s
constexpr int pointsPerChannel = renderFrames / pointStride;
constexpr int valuesPerRender = 2 * (pointsPerChannel + numStretches);

struct ChainSetting
{
    const char* name;
    int oversampling; // 0..4
    bool inverted;
    float envelopeAmount; // normalised, 0.5 = off
    bool linearEnvelope;
    float feedback;
    float mix;
    bool softClip;
    bool switchTopologyHalfway;
};

/** Every factor, both topologies, the envelope off and on (both laws),
    feedback high, Mix 50 %, soft clip off and on, and a topology switch. */
std::vector<ChainSetting> chainSettings()
{
    std::vector<ChainSetting> settings;
    for (int oversampling = 0; oversampling < 5; ++oversampling)
    {
        settings.push_back ({ "inverted", oversampling, true, 0.5f, false, 0.5f, 1.0f, true, false });
        settings.push_back ({ "normal envelope", oversampling, false, 0.9f, false, 0.95f, 1.0f, false, false });
        settings.push_back ({ "inverted linear envelope mix", oversampling, true, 0.2f, true, 0.95f, 0.5f, false, false });
        settings.push_back ({ "normal mix clip switch", oversampling, false, 0.7f, true, 0.8f, 0.5f, true, true });
    }
    return settings;
}

/** A tone, a loud high tone and noise on the left; a chirp with clicks on the right. */
std::pair<std::vector<float>, std::vector<float>> inputSignals()
{
    std::vector<float> left ((size_t) renderFrames), right ((size_t) renderFrames);
    juce::Random random (4711);

    for (int n = 0; n < renderFrames; ++n)
    {
        const auto t = (double) n / sampleRate;
        float l = 0.0f;
        if (n < 3600)
            l = 0.5f * (float) std::sin (2.0 * pi * 220.0 * t);
        else if (n < 5400)
            l = 0.9f * (float) std::sin (2.0 * pi * 3000.0 * t);
        else if (n < 7800)
            l = 0.3f * (random.nextFloat() * 2.0f - 1.0f);
        left[(size_t) n] = l;

        const auto chirpHz = 50.0 + 8000.0 * t / 0.2;
        right[(size_t) n] = 0.7f * (float) std::sin (pi * chirpHz * t) + (n % 2400 == 100 ? 0.9f : 0.0f);
    }

    return { left, right };
}

/** The summary of one render: points and stretch RMS of the left, then of the right. */
std::vector<float> render (const ChainSetting& setting)
{
    constexpr int maximumBlock = 300;
    Rig rig ({ { oversamplingIndex, (float) setting.oversampling / 4.0f },
               { prePostIndex, setting.inverted ? 1.0f : 0.0f },
               { envelopeAmountIndex, setting.envelopeAmount },
               { envelopeAttackIndex, 0.02f },
               { envelopeReleaseIndex, 0.05f },
               { feedbackIndex, setting.feedback },
               { foldAmountIndex, 0.6f },
               { mixIndex, setting.mix },
               { softClipIndex, setting.softClip ? 1.0f : 0.0f } },
             maximumBlock);
    rig.processor.setEnvelopeLinear (setting.linearEnvelope);

    const auto [left, right] = inputSignals();
    std::vector<float> output[2] { std::vector<float> ((size_t) renderFrames), std::vector<float> ((size_t) renderFrames) };
    juce::AudioBuffer<float> buffer (2, maximumBlock);

    // Blocks of irregular lengths, the last ones shorter than the oversamplers' stages.
    constexpr int blockLengths[] = { 300, 1, 77, 256, 3 };
    bool switched = false;
    for (int start = 0, b = 0; start < renderFrames; ++b)
    {
        if (setting.switchTopologyHalfway && ! switched && start >= renderFrames / 2)
        {
            rig.set (prePostIndex, setting.inverted ? 0.0f : 1.0f);
            switched = true;
        }

        const auto length = std::min (blockLengths[b % 5], renderFrames - start);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), 2, length);
        block.copyFrom (0, 0, left.data() + start, length);
        block.copyFrom (1, 0, right.data() + start, length);
        rig.processor.processBlock (block, rig.midi);
        for (int ch = 0; ch < 2; ++ch)
            std::copy (block.getReadPointer (ch), block.getReadPointer (ch) + length, output[ch].begin() + start);
        start += length;
    }

    std::vector<float> summary;
    for (const auto& channel : output)
    {
        for (int p = 0; p < pointsPerChannel; ++p)
            summary.push_back (channel[(size_t) (p * pointStride + pointStride / 2)]);
        constexpr size_t stretch = renderFrames / numStretches;
        for (size_t s = 0; s < numStretches; ++s)
            summary.push_back ((float) rms (channel, s * stretch, (s + 1) * stretch));
    }
    return summary;
}

const float referenceSummaries[][valuesPerRender] = {
#include "ChainReference.inc"
};

TEST (ChainReference, EverySettingRendersWithin1e5OfTheScalarChain)
{
    const auto settings = chainSettings();

    if (const auto* path = std::getenv ("WRENDLE_WRITE_CHAIN_REFERENCE"))
    {
        auto* file = std::fopen (path, "w");
        ASSERT_NE (file, nullptr);
        for (const auto& setting : settings)
        {
            std::fprintf (file, "{");
            for (auto value : render (setting))
                std::fprintf (file, "%.9g,", (double) value);
            std::fprintf (file, "},\n");
        }
        std::fclose (file);
        GTEST_SKIP() << "wrote " << path;
    }

    ASSERT_EQ (std::size (referenceSummaries), settings.size());

    for (size_t s = 0; s < settings.size(); ++s)
    {
        const auto summary = render (settings[s]);
        float largest = 0.0f;
        for (size_t i = 0; i < summary.size(); ++i)
            largest = std::max (largest, std::abs (summary[i] - referenceSummaries[s][i]));

        EXPECT_LE (largest, 1.0e-5f) << settings[s].name << " at factor " << (1 << settings[s].oversampling);
    }
}

TEST (ChainReference, TheRendersAreNotSilent)
{
    // A chain that output nothing would match a reference of silence: make sure
    // the summaries carry signal in every setting.
    for (const auto& summary : referenceSummaries)
    {
        float largest = 0.0f;
        for (auto value : summary)
            largest = std::max (largest, std::abs (value));
        EXPECT_GT (largest, 0.05f);
    }
}
} // namespace
