// The LV2 instance around the product's processor, driven as an LV2 host drives
// it: ports connected (or not), runs of any length, the host's bypass and the
// latency port.

#include "Lv2Rig.h"
#include "engine/WrendleFoldParameters.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace lv2test;

namespace
{
void fillNoise (Rig& rig, unsigned seed, float level = 0.3f)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> noise (-level, level);
    for (auto& channel : rig.inputs)
        for (auto& sample : channel)
            sample = noise (random);
}

double largestDifference (const std::vector<float>& a, const std::vector<float>& b)
{
    double largest = 0.0;
    for (size_t i = 0; i < std::min (a.size(), b.size()); ++i)
        largest = std::max (largest, std::abs ((double) a[i] - (double) b[i]));
    return largest;
}
} // namespace

TEST (Lv2Instance, RunsWithoutFeaturesAndWithEveryPortLeftUnconnected)
{
    Rig rig (0, false);
    EXPECT_EQ (rig.plugin->getPreparedBlockSize(), lv2binding::Lv2Plugin::defaultBlockSize);
    rig.plugin->activate();
    rig.plugin->run (256);

    // Outputs but no inputs: the input counts as silence.
    std::vector<float> left (256, 1.0f), right (256, 1.0f);
    rig.plugin->connectPort (lv2binding::audioOut1Port, left.data());
    rig.plugin->connectPort (lv2binding::audioOut2Port, right.data());
    rig.plugin->run (256);
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_TRUE (std::abs (left[i]) < 1.0e-3f && std::abs (right[i]) < 1.0e-3f) << "frame " << i;

    rig.plugin->deactivate();
}

TEST (Lv2Instance, FoldsBothChannelsAtItsDefaults)
{
    Rig rig;
    rig.connectAll (512);
    for (int block = 0; block < 20; ++block)
    {
        for (int i = 0; i < 512; ++i)
        {
            rig.inputs[0][(size_t) i] = 0.5f * (float) std::sin (0.03 * (block * 512 + i));
            rig.inputs[1][(size_t) i] = -0.25f * (float) std::sin (0.05 * (block * 512 + i));
        }
        rig.run (512);
    }

    for (int channel = 0; channel < 2; ++channel)
    {
        for (auto sample : rig.outputs[channel])
            ASSERT_TRUE (std::isfinite (sample));
        EXPECT_GT (largestDifference (rig.inputs[channel], rig.outputs[channel]), 0.01) << "channel " << channel << " passed through";
    }
    EXPECT_GT (largestDifference (rig.outputs[0], rig.outputs[1]), 0.01) << "the channels were not kept apart";
}

TEST (Lv2Instance, ALongRunIsCutIntoBlocksOfThePreparedSizeAndSoundsTheSame)
{
    // Two instances, one run in blocks of the promised size and one in a single long run.
    Rig blocks (64), whole (64);
    EXPECT_EQ (whole.plugin->getPreparedBlockSize(), 64);
    for (auto* rig : { &blocks, &whole })
    {
        rig->plugin->deactivate();
        rig->product->setDriftSeed (5);
        rig->plugin->activate();
        rig->port (wrendle::foldAmountIndex) = 0.6f;
    }

    constexpr int frames = 64 * 40;
    whole.connectAll (frames);
    fillNoise (whole, 3);
    whole.run (frames);

    blocks.connectAll (64);
    std::vector<float> output;
    for (int start = 0; start < frames; start += 64)
    {
        for (int channel = 0; channel < 2; ++channel)
            std::copy (whole.inputs[channel].begin() + start, whole.inputs[channel].begin() + start + 64, blocks.inputs[channel].begin());
        blocks.run (64);
        output.insert (output.end(), blocks.outputs[0].begin(), blocks.outputs[0].end());
    }

    EXPECT_EQ (largestDifference (output, whole.outputs[0]), 0.0);
}

TEST (Lv2Instance, TheEnabledPortPlaysTheInputDelayedByTheLatencyItReportsAtEveryOversampling)
{
    const char* factors[] = { "OFF", "2X", "4X", "8X", "16X" };

    for (int index = 0; index < 5; ++index)
    {
        SCOPED_TRACE (factors[index]);
        Rig rig (256);
        rig.connectAll (256);
        rig.port (wrendle::oversamplingIndex) = (float) index;
        rig.port (wrendle::foldAmountIndex) = 0.8f;
        rig.enabled = 0.0f;

        std::vector<float> input, output;
        for (int block = 0; block < 40; ++block)
        {
            fillNoise (rig, (unsigned) (block + 1));
            rig.run (256);
            input.insert (input.end(), rig.inputs[0].begin(), rig.inputs[0].end());
            output.insert (output.end(), rig.outputs[0].begin(), rig.outputs[0].end());
        }

        const auto latency = (int) rig.latency;
        EXPECT_EQ (latency, rig.product->getRunningLatencySamples());
        if (index > 0)
        {
            EXPECT_GT (latency, 0);
        }

        // After the 20 ms crossfade and the oversampling change's fades, the dry input alone.
        for (size_t i = 4800; i < output.size(); ++i)
            ASSERT_EQ (output[i], input[i - (size_t) latency]) << "frame " << i << ", latency " << latency;
    }
}

TEST (Lv2Instance, APortReachesItsParameterOnlyWhenTheHostMovesIt)
{
    Rig rig;
    rig.connectAll (64);
    auto& fold = rig.parameter (wrendle::foldAmountIndex);

    rig.port (wrendle::foldAmountIndex) = 0.5f;
    rig.run (64);
    EXPECT_FLOAT_EQ (fold.getValue(), 0.5f);
    EXPECT_FLOAT_EQ (rig.plugin->getHostPortValue (wrendle::foldAmountIndex), 0.5f);

    // The editor moves it: the port, unmoved, leaves it there.
    fold.setValueNotifyingHost (0.2f);
    rig.run (64);
    EXPECT_FLOAT_EQ (fold.getValue(), 0.2f);

    rig.port (wrendle::foldAmountIndex) = 0.7f;
    rig.run (64);
    EXPECT_FLOAT_EQ (fold.getValue(), 0.7f);

    // Plain units: Oversampling's port counts choices, HighPass's is in hertz.
    rig.port (wrendle::oversamplingIndex) = 3.0f;
    rig.port (wrendle::highPassIndex) = 1000.0f;
    rig.run (64);
    EXPECT_EQ (rig.parameter (wrendle::oversamplingIndex).getCurrentValueAsText(), "8X");
    EXPECT_EQ (rig.parameter (wrendle::highPassIndex).getCurrentValueAsText(), "1.0kHz");
}

TEST (Lv2Instance, TellsTheHostWhenTheStateChangedBeyondItsPorts)
{
    Rig rig;
    rig.connectAll (64);
    rig.run (64);
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*> (rig.events.data());
    EXPECT_EQ (sequence->atom.type, rig.uridMap (LV2_ATOM__Sequence));
    EXPECT_EQ (sequence->atom.size, sizeof (LV2_Atom_Sequence_Body)) << "an event without a change";

    rig.product->setCurrentPresetPath ("/somewhere/else.kvp");
    rig.run (64);
    ASSERT_GT (sequence->atom.size, sizeof (LV2_Atom_Sequence_Body));
    const auto* event = lv2_atom_sequence_begin (&sequence->body);
    ASSERT_EQ (event->body.type, rig.uridMap (LV2_ATOM__Object));
    EXPECT_EQ (reinterpret_cast<const LV2_Atom_Object_Body*> (event + 1)->otype, rig.uridMap (LV2_STATE__StateChanged));

    rig.run (64);
    EXPECT_EQ (sequence->atom.size, sizeof (LV2_Atom_Sequence_Body)) << "told once";
}

TEST (Lv2Instance, RunAllocatesNothingWhilePortsMoveTheBypassTogglesAndTheOversamplingChanges)
{
    if (! allocation::isCountingAvailable())
        GTEST_SKIP() << "the sanitizer's allocator replaces the counter";

    Rig rig (128);
    rig.connectAll (1000);
    fillNoise (rig, 9);
    rig.run (1000); // the first run may set up what lasts

    const allocation::ScopedCounter counter;
    for (int block = 0; block < 50; ++block)
    {
        rig.port (wrendle::foldAmountIndex) = (float) (block % 10) / 10.0f;
        rig.port (wrendle::oversamplingIndex) = (float) ((block / 10) % 5);
        rig.enabled = (block / 7) % 2 == 0 ? 1.0f : 0.0f;
        rig.freeWheeling = (block / 13) % 2 == 0 ? 0.0f : 1.0f;
        rig.run (1000);
    }
    EXPECT_EQ (counter.count(), 0u);
}
