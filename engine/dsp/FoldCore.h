#pragma once

#include "engine/dsp/BiquadFilter.h"
#include "engine/dsp/BiquadRun.h"
#include "engine/dsp/EnvelopeFollower.h"
#include "engine/dsp/FastMath.h"
#include "engine/dsp/Float4.h"
#include "engine/dsp/FoldLaws.h"
#include "engine/dsp/RampedValue.h"
#include "engine/dsp/StateVariableFilter.h"
#include "engine/dsp/StateVariableFilterRun.h"

#include <algorithm>
#include <cmath>

namespace orvel
{

/** The per-frame values every topology shares: the drive from Fold Amount,
    the feedback weight from Feedback and the auto-gain; and the weight the
    Inverted loop uses, which depends on nothing else. While no ramp glides
    they are computed once per block. */
struct FoldFrameControls
{
    float baseDrive;
    float feedbackWeight;
    float autoGain;
    float filtersFirstWeight;
};

/** The sine folder with its envelope, filters, DC blocker and feedback loop in
    one topology, one oversampled frame at a time, both channels side by side
    in one vector (the feedback loop runs through the previous frame, so frames
    cannot run side by side). sin and erf are fastSin and fastErf.

    "Normal" adds the feedback memory before the folder and runs the filters
    after the DC blocker; "Inverted" runs the filters before the folder and
    adds the feedback memory after the DC blocker. The code names the
    topology by what sets it apart: `filtersFirst` is true in "Inverted"
    (the PrePost switch on).

    The feedback weight is held below the value at which the loop would feed
    itself: a small signal going once round the loop comes back at most
    maxLoopGain times as large, so the memory dies out once the input stops.
    Through erf (slope 2/√π at 0) and the low-pass (at most unity gain) the
    loop gain is 1.128 × weight in Inverted; in Normal the folder sits in the
    loop too and multiplies it by its slope at 0, drive × auto-gain. Below
    nine tenths of the limit the weight passes unchanged; above, it bends
    smoothly toward the limit and never reaches it.
*/
struct FoldVoice
{
    // Low enough that even the slowest loop (Feedback LP at 20 Hz) falls below
    // −100 dBFS within a second of silence.
    static constexpr float maxLoopGain = 0.85f;
    static constexpr float erfSlopeAtZero = 1.1283791671f; // 2 / √π
    static constexpr float weightLimit = maxLoopGain / erfSlopeAtZero;
    static constexpr float kneeFraction = 0.9f;

    /** The feedback memory's smallest magnitude; below it the memory is 0. */
    static constexpr float settleLevel = 3.5e-5f;
    /** The smallest float whose fastErf reaches settleLevel (fastErf rises
        steadily there, so |x| < settleArgument exactly when |fastErf (x)| < settleLevel). */
    static constexpr float settleArgument = 3.10179421e-5f;

    StateVariableFilter lowPass, highPass, dcBlocker;
    BiquadFilter feedbackLowPass;
    EnvelopeFollower envelope;
    Float4 memory;      // the feedback memory: left, right, left, right
    float drive = 1.0f; // of the last frame

    /** The feedback weight actually used for `weight` when the loop also
        passes a gain of `gainInLoop` (1 in Inverted). */
    static float limitWeight (float weight, float gainInLoop) noexcept
    {
        const float limit = weightLimit / std::max (gainInLoop, 1.0e-3f);
        const float knee = kneeFraction * limit;

        if (! (weight > knee))
            return weight;

        // C1 at the knee (slope 1) and tending to the limit: knee + t r / (t + r).
        const float room = limit - knee;
        const float excess = weight - knee;
        return knee + excess * room / (excess + room);
    }

    /** One frame: lanes 0 and 1 of `x` are the left and right samples, and
        so are those of the result (lanes 2 and 3 mean nothing). */
    template <bool filtersFirst, bool exponentialLaw>
    Float4 processFrame (Float4 x, const FoldFrameControls& controls) noexcept
    {
        FilterReferences filters (*this);
        return step<filtersFirst, exponentialLaw> (x, controls, memory, filters);
    }

    /** `numFrames` interleaved frames with fixed controls, each getting exactly
        what processFrame gives it. */
    template <bool filtersFirst, bool exponentialLaw>
    void processFixed (float* frames, int numFrames, const FoldFrameControls& controls) noexcept
    {
        withFilters ([&] (auto& filters)
                     {
                         auto loopMemory = memory;
                         for (int i = 0; i < numFrames; ++i)
                             step<filtersFirst, exponentialLaw> (Float4::loadPairTwice (frames + 2 * i), controls, loopMemory, filters)
                                 .storeLowPair (frames + 2 * i);
                         memory = loopMemory; });
    }

    /** The Inverted topology on `numFrames` interleaved frames with fixed
        controls, in two passes: the folder, which depends on the input only,
        for the whole block, then the feedback loop. Each frame gets exactly
        what processFrame<true> gives it; the first pass has no loop through
        the previous frame, so its frames overlap in the processor. */
    template <bool exponentialLaw>
    void processFiltersFirst (float* frames, int numFrames, const FoldFrameControls& controls) noexcept
    {
        withFilters ([&] (auto& filters)
                     {
                         const auto autoGain = Float4::broadcast (controls.autoGain);
                         for (int i = 0; i < numFrames; ++i)
                         {
                             auto x = Float4::loadPairTwice (frames + 2 * i);
                             const auto d = nextDrive<exponentialLaw> (x, controls.baseDrive);
                             x = filters.highPass.processFrame (filters.lowPass.processFrame (x));
                             x = fastSin (Float4::broadcast (d) * x) * autoGain;
                             filters.dcBlocker.processFrame (x).storeLowPair (frames + 2 * i);
                         }

                         auto loopMemory = memory;
                         for (int i = 0; i < numFrames; ++i)
                         {
                             const auto x = clampToFoldLimit (Float4::loadPairTwice (frames + 2 * i) + loopMemory);
                             x.storeLowPair (frames + 2 * i);
                             loopMemory = feedBack (x, controls.filtersFirstWeight, filters);
                         }
                         memory = loopMemory; });
    }

    /** Clears every memory: filters, feedback and envelope. */
    void reset() noexcept;

private:
    /** The drive of this frame: the base drive pushed toward the envelope's
        ceiling or back toward the minimum by the envelope (see foldlaws). */
    template <bool exponentialLaw>
    float nextDrive (Float4 x, float baseDrive) noexcept
    {
        auto d = baseDrive;
        const auto e = (x.lane (0) + x.lane (1)) * foldlaws::envelopeInputGain;
        const auto g = std::clamp (exponentialLaw ? envelope.processExponential (e) : envelope.processConstantStep (e), -1.0f, 1.0f);
        if (g > 0.0f)
            d += (foldlaws::envelopeDriveCeiling - d) * g;
        else if (g < 0.0f)
            d -= (foldlaws::minimumDrive - d) * g;
        drive = d;
        return d;
    }

    /** The voice's own filters, used frame by frame: any of them may glide. */
    struct FilterReferences
    {
        explicit FilterReferences (FoldVoice& voice) noexcept
            : lowPass (voice.lowPass), highPass (voice.highPass), dcBlocker (voice.dcBlocker), loopLowPass (voice.feedbackLowPass)
        {
        }

        StateVariableFilter &lowPass, &highPass, &dcBlocker;
        BiquadFilter& loopLowPass;
        FollowingErf loopErf;
    };

    /** Copies of the filters held in registers for a block in which none of
        them glides; they hand their memories back at the end of the block. */
    struct FilterRuns
    {
        explicit FilterRuns (FoldVoice& voice) noexcept
            : lowPass (voice.lowPass), highPass (voice.highPass), dcBlocker (voice.dcBlocker), loopLowPass (voice.feedbackLowPass)
        {
        }

        StateVariableFilterRun<StateVariableFilter::lowPass> lowPass;
        StateVariableFilterRun<StateVariableFilter::highPass> highPass, dcBlocker;
        BiquadRun loopLowPass;
        FollowingErf loopErf;
    };

    /** Calls `process (filters)` with the filters in registers when none of
        them glides, else with the filters themselves. */
    template <typename Process>
    void withFilters (Process&& process) noexcept
    {
        if (lowPass.isGliding() || highPass.isGliding() || dcBlocker.isGliding() || feedbackLowPass.isGliding())
        {
            FilterReferences filters (*this);
            process (filters);
            return;
        }

        FilterRuns filters (*this);
        process (filters);
    }

    /** One frame of either topology with the loop's memory and the filters
        passed in: the voice's own, or copies held in registers for a block. */
    template <bool filtersFirst, bool exponentialLaw, typename Filters>
    Float4 step (Float4 x, const FoldFrameControls& controls, Float4& loopMemory, Filters& filters) noexcept
    {
        if constexpr (! filtersFirst)
            x = clampToFoldLimit (x + loopMemory);

        const auto d = nextDrive<exponentialLaw> (x, controls.baseDrive);

        if constexpr (filtersFirst)
            x = filters.highPass.processFrame (filters.lowPass.processFrame (x));

        x = fastSin (Float4::broadcast (d) * x) * Float4::broadcast (controls.autoGain);
        x = filters.dcBlocker.processFrame (x);

        if constexpr (filtersFirst)
        {
            x = clampToFoldLimit (x + loopMemory);
            loopMemory = feedBack (x, controls.filtersFirstWeight, filters);
        }
        else
        {
            x = filters.highPass.processFrame (filters.lowPass.processFrame (x));
            loopMemory = feedBack (x, limitWeight (controls.feedbackWeight, d * controls.autoGain), filters);
        }

        return x;
    }

    /** The next feedback memory from the output `x` and the feedback weight,
        through the loop's low-pass and erf in `filters`. The vector erf has no
        branches on the values, which would mispredict all the time; the
        following one only branches where the low-passed signal moves to
        another interval of its polynomial. */
    template <typename Filters>
    static Float4 feedBack (Float4 x, float weight, Filters& filters) noexcept
    {
        const auto lowPassed = filters.loopLowPass.processFrame (x, weight);
        return settle (lowPassed, filters.loopErf (lowPassed));
    }

    // The loop dies out instead of lingering in tiny values: a memory below
    // settleLevel becomes 0. The test looks at erf's argument, which gives the
    // same answer (see settleArgument) and is known before erf has run.
    static Float4 settle (Float4 argument, Float4 memoryValue) noexcept
    {
        return select (fastmath::withoutSign (argument) < Float4::broadcast (settleArgument), Float4(), memoryValue);
    }

    // x second: a NaN passes through as std::clamp lets it, so that a state gone
    // bad shows at the output and gets cleared there.
    static Float4 clampToFoldLimit (Float4 x) noexcept
    {
        const auto limit = Float4::broadcast (foldlaws::foldInputLimit);
        return min (limit, max (Float4::broadcast (-foldlaws::foldInputLimit), x));
    }
};

/** The fold chain's core at the oversampled rate: one FoldVoice per topology
    and the switch between them.

    A change of topology crossfades the running voice into the other over
    20 ms, inside the block, whatever its length: the incoming voice starts
    from a copy of the running one's memories, both run during the fade, and
    the fade is linear in amplitude (the two carry the same input). A change
    back before the fade has ended turns the fade round from where it stands.

    Fold Amount, Feedback and the auto-gain come in as ramps advanced once per
    oversampled frame, so they must be prepared for the oversampled rate.
*/
class FoldCore
{
public:
    static constexpr double switchSeconds = 0.02;

    FoldCore() noexcept;

    /** Prepares the filters and the envelope for the oversampled rate and the
        topology switch for 20 ms at it. The envelope amount glides to
        `envelopeAmount` as EnvelopeFollower::prepare() describes. */
    void prepare (double oversampledRate, double attackMs, double releaseMs, float envelopeAmount) noexcept;

    void setEnvelopeTimes (double attackMs, double releaseMs) noexcept;
    void setEnvelopeAmountTarget (float amount) noexcept;
    /** The envelope amount takes its target at once (a preparation does this,
        so that a new activation does not glide in from another amount). */
    void snapEnvelopeAmount() noexcept;

    void setHighPassCutoffHz (float cutoffHz) noexcept;
    void setLowPassCutoffHz (float cutoffHz) noexcept;

    /** The feedback low-pass: cutoff c in Hz (1 Hz below 1, the biquad's
        maximum above it) for the next preparation, and a glide to it. */
    void setFeedbackCutoffHz (float cutoffHz) noexcept;

    /** Takes a topology at once, ending any switch (a preparation does this). */
    void setTopology (bool filtersFirst) noexcept;

    /** Clears every voice's memories. */
    void reset() noexcept;

    /** Runs `numFrames` interleaved stereo oversampled frames (left, right,
        left, ...) in place, switching toward `wantFiltersFirst` if the topology in
        use differs. */
    template <bool exponentialLaw>
    void process (float* frames, int numFrames, bool wantFiltersFirst,
                  RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept;

    /** process<exponentialLaw>() with the law picked here, in the fastest
        body the CPU can run (see HotLoop.h). */
    void processBlock (bool exponentialLaw, float* frames, int numFrames, bool wantFiltersFirst,
                       RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept;

    /** The topology in use, or the one being switched to. */
    bool hasFiltersFirst() const noexcept { return headingFiltersFirst; }
    bool isSwitching() const noexcept { return switchPosition != (headingFiltersFirst ? switchLength : 0); }

    /** The drive of the last frame of the voice in use (or being switched to). */
    float getDrive() const noexcept { return voices[headingFiltersFirst ? 1 : 0].drive; }

    const FoldVoice& getVoice (bool filtersFirst) const noexcept { return voices[filtersFirst ? 1 : 0]; }

private:
    static FoldFrameControls nextControls (RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
    {
        const auto f = foldAmount.advance();
        const auto u = feedback.advance();
        const auto weight = foldlaws::feedbackWeightFor (u);
        return { foldlaws::driveForFoldAmount (f), weight, autoGain.advance(), FoldVoice::limitWeight (weight, 1.0f) };
    }

    template <bool filtersFirst, bool exponentialLaw>
    void runVoice (float* frames, int numFrames, RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
    {
        auto& voice = voices[filtersFirst ? 1 : 0];

        if (foldAmount.isGliding() || feedback.isGliding() || autoGain.isGliding())
        {
            for (int i = 0; i < numFrames; ++i)
                voice.template processFrame<filtersFirst, exponentialLaw> (Float4::loadPairTwice (frames + 2 * i), nextControls (foldAmount, feedback, autoGain))
                    .storeLowPair (frames + 2 * i);
            return;
        }

        // Idle ramps give their targets at every advance: the controls hold for the block.
        const auto controls = nextControls (foldAmount, feedback, autoGain);
        if constexpr (filtersFirst)
            voice.template processFiltersFirst<exponentialLaw> (frames, numFrames, controls);
        else
            voice.template processFixed<false, exponentialLaw> (frames, numFrames, controls);
    }

    FoldVoice voices[2]; // Normal, Inverted

    // The Inverted voice's share of the output is switchPosition / switchLength:
    // whole frames, so a switch ends exactly and turns round exactly.
    int switchLength = 882;
    int switchPosition = 882;
    bool headingFiltersFirst = true;
};

template <bool exponentialLaw>
void FoldCore::process (float* frames, int numFrames, bool wantFiltersFirst,
                        RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
{
    const int goal = wantFiltersFirst ? switchLength : 0;
    int i = 0;

    if (switchPosition != goal)
    {
        // A voice that is not heard has not run: start it from the one in use.
        if (switchPosition == switchLength - goal)
            voices[wantFiltersFirst ? 1 : 0] = voices[wantFiltersFirst ? 0 : 1];

        headingFiltersFirst = wantFiltersFirst;
        const int step = wantFiltersFirst ? 1 : -1;
        const float shareStep = 1.0f / (float) switchLength;

        for (; i < numFrames && switchPosition != goal; ++i)
        {
            const auto controls = nextControls (foldAmount, feedback, autoGain);
            const auto x = Float4::loadPairTwice (frames + 2 * i);
            const auto normal = voices[0].processFrame<false, exponentialLaw> (x, controls);
            const auto filtersFirstOutput = voices[1].processFrame<true, exponentialLaw> (x, controls);

            switchPosition += step;
            const auto share = Float4::broadcast ((float) switchPosition * shareStep);
            (normal + (filtersFirstOutput - normal) * share).storeLowPair (frames + 2 * i);
        }
    }

    if (wantFiltersFirst)
        runVoice<true, exponentialLaw> (frames + 2 * i, numFrames - i, foldAmount, feedback, autoGain);
    else
        runVoice<false, exponentialLaw> (frames + 2 * i, numFrames - i, foldAmount, feedback, autoGain);
}

} // namespace orvel
