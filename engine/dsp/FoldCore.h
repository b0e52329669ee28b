#pragma once

#include "dsp/BiquadFilter.h"
#include "dsp/EnvelopeFollower.h"
#include "dsp/RampedValue.h"
#include "dsp/StateVariableFilter.h"

#include <algorithm>
#include <cmath>

namespace orvel
{

/** The per-frame values every topology shares: the drive from Fold Amount,
    the feedback weight from Feedback and the auto-gain. */
struct FoldFrameControls
{
    float baseDrive;
    float feedbackWeight;
    float autoGain;
};

/** The sine folder with its envelope, filters, DC blocker and feedback loop in
    one topology, one oversampled frame at a time.

    "Normal" adds the feedback memory before the folder and runs the filters
    after the DC blocker; "Inverted" runs the filters before the folder and
    adds the feedback memory after the DC blocker.

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

    StateVariableFilter lowPass, highPass, dcBlocker;
    BiquadFilter feedbackLowPass;
    EnvelopeFollower envelope;
    float memory[2]{};
    float drive = 1.0f; // of the last frame

    /** The feedback weight actually used for `weight` when the loop also
        passes a gain of `gainInLoop` (1 in Inverted). */
    static float limitWeight (float weight, float gainInLoop) noexcept
    {
        const float limit = weightLimit / std::max (gainInLoop, 1.0e-3f);
        const float knee = kneeFraction * limit;

        if (!(weight > knee))
            return weight;

        // C1 at the knee (slope 1) and tending to the limit: knee + t r / (t + r).
        const float room = limit - knee;
        const float excess = weight - knee;
        return knee + excess * room / (excess + room);
    }

    template <bool inverted, bool linearEnvelope>
    void processFrame (float& left, float& right, const FoldFrameControls& controls) noexcept
    {
        auto l = left;
        auto r = right;

        if constexpr (!inverted)
        {
            l = std::clamp (l + memory[0], -6.0f, 6.0f);
            r = std::clamp (r + memory[1], -6.0f, 6.0f);
        }

        auto d = controls.baseDrive;
        const auto e = (l + r) * 2.5f;
        const auto g = std::clamp (linearEnvelope ? envelope.processExponential (e) : envelope.processConstantStep (e), -1.0f, 1.0f);
        if (g > 0.0f)
            d += (20.0f - d) * g;
        else if (g < 0.0f)
            d -= (1.0f - d) * g;
        drive = d;

        if constexpr (inverted)
        {
            lowPass.processFrame (l, r);
            highPass.processFrame (l, r);
        }

        const auto a = controls.autoGain;
        l = std::sin (d * l) * a;
        r = std::sin (d * r) * a;

        dcBlocker.processFrame (l, r);

        float weight;
        if constexpr (inverted)
        {
            l = std::clamp (l + memory[0], -6.0f, 6.0f);
            r = std::clamp (r + memory[1], -6.0f, 6.0f);
            weight = limitWeight (controls.feedbackWeight, 1.0f);
        }
        else
        {
            lowPass.processFrame (l, r);
            highPass.processFrame (l, r);
            weight = limitWeight (controls.feedbackWeight, d * a);
        }

        auto fbLeft = l * weight;
        auto fbRight = r * weight;
        feedbackLowPass.processFrame (fbLeft, fbRight);
        memory[0] = settle (std::erf (fbLeft));
        memory[1] = settle (std::erf (fbRight));

        left = l;
        right = r;
    }

    /** Clears every memory: filters, feedback and envelope. */
    void reset() noexcept;

private:
    // The loop dies out instead of lingering in tiny values.
    static float settle (float memoryValue) noexcept { return std::abs (memoryValue) < 3.5e-5f ? 0.0f : memoryValue; }
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
    void setTopology (bool inverted) noexcept;

    /** Clears every voice's memories. */
    void reset() noexcept;

    /** Runs `numFrames` oversampled frames in place, switching toward
        `wantInverted` if the topology in use differs. */
    template <bool linearEnvelope>
    void process (float* left, float* right, int numFrames, bool wantInverted,
                  RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept;

    /** The topology in use, or the one being switched to. */
    bool isInverted() const noexcept { return headingInverted; }
    bool isSwitching() const noexcept { return switchPosition != (headingInverted ? switchLength : 0); }

    /** The drive of the last frame of the voice in use (or being switched to). */
    float getDrive() const noexcept { return voices[headingInverted ? 1 : 0].drive; }

    const FoldVoice& getVoice (bool inverted) const noexcept { return voices[inverted ? 1 : 0]; }

private:
    static FoldFrameControls nextControls (RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
    {
        const auto f = foldAmount.advance();
        const auto u = feedback.advance();
        return { f * 14.0f + 1.0f, u * u * u * 0.94f, autoGain.advance() };
    }

    template <bool inverted, bool linearEnvelope>
    void runVoice (float* left, float* right, int numFrames, RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
    {
        auto& voice = voices[inverted ? 1 : 0];
        for (int i = 0; i < numFrames; ++i)
            voice.template processFrame<inverted, linearEnvelope> (left[i], right[i], nextControls (foldAmount, feedback, autoGain));
    }

    FoldVoice voices[2]; // Normal, Inverted

    // The Inverted voice's share of the output is switchPosition / switchLength:
    // whole frames, so a switch ends exactly and turns round exactly.
    int switchLength = 882;
    int switchPosition = 882;
    bool headingInverted = true;
};

template <bool linearEnvelope>
void FoldCore::process (float* left, float* right, int numFrames, bool wantInverted,
                        RampedValue& foldAmount, RampedValue& feedback, RampedValue& autoGain) noexcept
{
    const int goal = wantInverted ? switchLength : 0;
    int i = 0;

    if (switchPosition != goal)
    {
        // A voice that is not heard has not run: start it from the one in use.
        if (switchPosition == switchLength - goal)
            voices[wantInverted ? 1 : 0] = voices[wantInverted ? 0 : 1];

        headingInverted = wantInverted;
        const int step = wantInverted ? 1 : -1;
        const float shareStep = 1.0f / (float) switchLength;

        for (; i < numFrames && switchPosition != goal; ++i)
        {
            const auto controls = nextControls (foldAmount, feedback, autoGain);
            auto normalLeft = left[i], normalRight = right[i];
            auto invertedLeft = left[i], invertedRight = right[i];
            voices[0].processFrame<false, linearEnvelope> (normalLeft, normalRight, controls);
            voices[1].processFrame<true, linearEnvelope> (invertedLeft, invertedRight, controls);

            switchPosition += step;
            const auto share = (float) switchPosition * shareStep;
            left[i] = normalLeft + (invertedLeft - normalLeft) * share;
            right[i] = normalRight + (invertedRight - normalRight) * share;
        }
    }

    if (wantInverted)
        runVoice<true, linearEnvelope> (left + i, right + i, numFrames - i, foldAmount, feedback, autoGain);
    else
        runVoice<false, linearEnvelope> (left + i, right + i, numFrames - i, foldAmount, feedback, autoGain);
}

} // namespace orvel
