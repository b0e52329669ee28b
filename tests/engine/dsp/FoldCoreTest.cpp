#include "engine/dsp/FoldCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace orvel
{
namespace
{

    constexpr double pi = 3.141592653589793238462643383279;
    constexpr double sampleRate = 48000.0;

    TEST (FoldVoice, FeedbackWeightKeepsTheLoopGainBelowOneAtEveryGainInTheLoop)
    {
        // The loop passes erf (slope 2 / √π at 0) and, in Normal, the folder's
        // slope drive × auto-gain (from about 0.2 to 20).
        for (float gainInLoop : { 0.2f, 0.5f, 1.0f, 2.0f, 8.0f, 15.0f, 20.0f })
        {
            auto previous = 0.0f;
            for (float feedback = 0.0f; feedback <= 1.0f; feedback += 0.005f)
            {
                const auto weight = feedback * feedback * feedback * 0.94f;
                const auto limited = FoldVoice::limitWeight (weight, gainInLoop);
                ASSERT_LT (FoldVoice::erfSlopeAtZero * limited * gainInLoop, 0.86f) << gainInLoop << ", " << feedback;
                ASSERT_LE (limited, weight);
                ASSERT_GE (limited, previous) << "a higher Feedback never feeds back less";
                previous = limited;
            }
        }
    }

    TEST (FoldVoice, FeedbackBelowNinetyPercentKeepsItsWeightWithTheFolderOutOfTheLoop)
    {
        for (float feedback = 0.0f; feedback <= 0.895f; feedback += 0.005f)
        {
            const auto weight = feedback * feedback * feedback * 0.94f;
            ASSERT_EQ (FoldVoice::limitWeight (weight, 1.0f), weight) << feedback;
        }
    }

    TEST (FoldVoice, TheMemorySettlesExactlyWhereErfOfItsArgumentFallsBelowTheSettleLevel)
    {
        // The loop tests erf's argument against settleArgument in place of the
        // memory against settleLevel: the two must agree on every float, so
        // every float around the threshold is checked, and a stride above it.
        const auto threshold = floatBits (FoldVoice::settleArgument);
        long disagreements = 0;
        const auto check = [&] (float x)
        {
            for (const auto v : { x, -x })
                if ((std::abs (fastErf (v)) < FoldVoice::settleLevel) != (std::abs (v) < FoldVoice::settleArgument))
                    ++disagreements;
        };
        for (uint32_t bits = threshold - (1u << 20); bits <= threshold + (1u << 20); ++bits)
            check (floatFromBits (bits));
        for (uint32_t bits = 0; bits <= floatBits (1.0f); bits += 997)
            check (floatFromBits (bits));
        EXPECT_EQ (disagreements, 0);
        EXPECT_EQ (std::abs (fastErf (FoldVoice::settleArgument)) < FoldVoice::settleLevel, false);
        EXPECT_EQ (std::abs (fastErf (std::nextafter (FoldVoice::settleArgument, 0.0f))) < FoldVoice::settleLevel, true);
    }

    /** A core prepared at 48 kHz in Inverted, with its ramps settled. */
    struct CoreRig
    {
        CoreRig()
        {
            core.prepare (sampleRate, 0.0, 500.0, 0.0f);
            core.setTopology (true);
            core.reset();
            foldAmount.setImmediate (0.3f);
            feedback.setImmediate (0.5f);
            autoGain.setImmediate (1.0f);
        }

        /** Runs `frames` frames of a 500 Hz sine (continuing its phase) in pieces of `split`. */
        std::vector<float> run (int frames, bool wantFiltersFirst, int split)
        {
            std::vector<float> interleaved (2 * (size_t) frames);
            for (auto n = 0; n < frames; ++n, ++position)
                interleaved[2 * (size_t) n] = interleaved[2 * (size_t) n + 1] = 0.5f * (float) std::sin (2.0 * pi * 500.0 * (double) position / sampleRate);

            for (int start = 0; start < frames; start += split)
                core.process<false> (interleaved.data() + 2 * start, std::min (split, frames - start), wantFiltersFirst, foldAmount, feedback, autoGain);

            std::vector<float> left ((size_t) frames);
            for (size_t n = 0; n < left.size(); ++n)
                left[n] = interleaved[2 * n];
            return left;
        }

        FoldCore core;
        RampedValue foldAmount, feedback, autoGain;
        int64_t position = 0;
    };

    TEST (FoldCore, ATopologySwitchTakesTwentyMillisecondsAndTurnsRoundFromWhereItStands)
    {
        CoreRig rig;
        rig.run (4800, true, 64);
        EXPECT_FALSE (rig.core.isSwitching());

        rig.run (480, false, 64); // half way to Normal
        EXPECT_TRUE (rig.core.isSwitching());
        EXPECT_FALSE (rig.core.hasFiltersFirst());

        // Back to Inverted: the half already faded comes back in 10 ms, not 20.
        rig.run (470, true, 64);
        EXPECT_TRUE (rig.core.isSwitching());
        rig.run (10, true, 64);
        EXPECT_FALSE (rig.core.isSwitching());
        EXPECT_TRUE (rig.core.hasFiltersFirst());

        rig.run (959, false, 64);
        EXPECT_TRUE (rig.core.isSwitching());
        rig.run (1, false, 64);
        EXPECT_FALSE (rig.core.isSwitching());
    }

    TEST (FoldCore, ASwitchSoundsTheSameWhateverTheBlockSplit)
    {
        std::vector<std::vector<float>> outputs;
        for (int split : { 4096, 1, 7, 100 })
        {
            CoreRig rig;
            auto output = rig.run (2000, true, split);
            for (bool filtersFirst : { false, true, false })
            {
                const auto part = rig.run (700, filtersFirst, split);
                output.insert (output.end(), part.begin(), part.end());
            }
            outputs.push_back (output);
        }

        for (size_t i = 1; i < outputs.size(); ++i)
            EXPECT_EQ (outputs[i], outputs[0]) << i;
    }

    TEST (FoldCore, TheWholeBlockPathsGiveExactlyWhatTheFrameByFramePathGivesInBothTopologies)
    {
        // Idle ramps take the block paths (the Inverted one in two passes, the
        // loop's low-pass held in registers); a ramp that glides without moving
        // (step 0) forces the frame-by-frame one with the same controls. A glide
        // of the loop's low-pass in the fourth block covers its per-frame form.
        for (bool filtersFirst : { true, false })
        {
            for (bool linear : { false, true })
            {
                const auto name = std::string (filtersFirst ? "Inverted, " : "Normal, ") + (linear ? "linear" : "constant step");
                CoreRig block, frames;
                for (auto* rig : { &block, &frames })
                {
                    rig->core.prepare (sampleRate, 1.0, 50.0, 0.7f);
                    rig->core.setTopology (filtersFirst);
                    rig->feedback.setImmediate (0.95f);
                }
                frames.feedback.countdown = 1 << 30;
                frames.feedback.step = 0.0f;

                std::vector<float> signal (2 * 3000);
                for (size_t n = 0; n < signal.size(); ++n)
                    signal[n] = 0.8f * (float) std::sin (0.013 * (double) n) + (n % 2 == 0 ? 0.1f : -0.2f);

                auto viaBlock = signal, viaFrames = signal;
                for (int start = 0; start < 3000; start += 300)
                {
                    if (start == 900)
                        for (auto* rig : { &block, &frames })
                            rig->core.setFeedbackCutoffHz (3000.0f);

                    for (auto* rig : { &block, &frames })
                    {
                        auto* data = (rig == &block ? viaBlock : viaFrames).data() + 2 * start;
                        if (linear)
                            rig->core.process<true> (data, 300, filtersFirst, rig->foldAmount, rig->feedback, rig->autoGain);
                        else
                            rig->core.process<false> (data, 300, filtersFirst, rig->foldAmount, rig->feedback, rig->autoGain);
                    }
                }

                ASSERT_TRUE (frames.feedback.isGliding());
                EXPECT_EQ (viaBlock, viaFrames) << name;
                EXPECT_EQ (block.core.getDrive(), frames.core.getDrive()) << name;
            }
        }
    }

    TEST (FoldCore, TheBodyPickedWhenTheModuleLoadsStaysWithin1e5OfTheInlineOne)
    {
        // processBlock may run a body built for AVX2 and fused multiply-add
        // (whose products round once); process<> here is this file's own
        // build. With strong feedback, a topology switch, a glide of the loop's
        // low-pass and ramps that move, the two part by a few millionths at most.
        float largest = 0.0f;
        for (bool linear : { false, true })
        {
            CoreRig picked, inlined;
            for (auto* rig : { &picked, &inlined })
            {
                rig->core.prepare (sampleRate, 1.0, 50.0, 0.7f);
                rig->feedback.setImmediate (0.95f);
                rig->foldAmount.prepare (sampleRate, 0.01);
                rig->foldAmount.setImmediate (0.2f);
            }

            std::vector<float> signal (2 * 4800);
            for (size_t n = 0; n < signal.size(); ++n)
                signal[n] = 0.9f * (float) std::sin (0.011 * (double) n) + (n % 2 == 0 ? 0.1f : -0.2f);

            auto viaPicked = signal, viaInlined = signal;
            for (int start = 0; start < 4800; start += 480)
            {
                const bool filtersFirst = start < 2400;
                for (auto* rig : { &picked, &inlined })
                {
                    if (start == 960)
                        rig->core.setFeedbackCutoffHz (3000.0f);
                    if (start == 1440)
                        rig->foldAmount.setTarget (0.8f);

                    auto* data = (rig == &picked ? viaPicked : viaInlined).data() + 2 * start;
                    if (rig == &picked)
                        rig->core.processBlock (linear, data, 480, filtersFirst, rig->foldAmount, rig->feedback, rig->autoGain);
                    else if (linear)
                        rig->core.process<true> (data, 480, filtersFirst, rig->foldAmount, rig->feedback, rig->autoGain);
                    else
                        rig->core.process<false> (data, 480, filtersFirst, rig->foldAmount, rig->feedback, rig->autoGain);
                }
            }

            for (size_t n = 0; n < signal.size(); ++n)
                largest = std::max (largest, std::abs (viaPicked[n] - viaInlined[n]));
        }
        EXPECT_LE (largest, 1.0e-5f); // 4.0e-6 measured on an AVX2 machine
    }

} // namespace
} // namespace orvel
