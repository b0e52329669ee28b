#pragma once

#include "engine/dsp/FirstOrderAllPass.h"
#include "engine/dsp/OversamplerBank.h"

namespace orvel
{

/** The dry copy's way to the mix: it takes the phase the wet path gives every
    frequency, so that a partial mix adds the two in phase instead of cancelling
    the top end.

    The wet path runs through the main oversampler's IIR filters, whose phase is
    not linear, and through the chain's high-pass, low-pass and DC blocker. The
    dry copy goes through an up- and downsampling round trip of its own bank,
    built exactly as the main one (hence the same latency and phase), and then
    through three first-order all-passes that follow the phase of those three
    filters (see FirstOrderAllPass): the signs of the two high-passes cancel,
    so the all-passes need no inversion. Its magnitude stays flat.

    Pitfall: like SoftClipStage, the selected oversampler must be prepared
    before it processes anything; prepare() prepares all five.
*/
class DryMixPath
{
public:
    /** Builds the bank; allocates. */
    DryMixPath() = default;

    /** Stores the base rate and prepares every oversampler of the bank for
        blocks of up to maximumBlockFrames frames. May allocate. */
    void prepare (double baseSampleRate, int maximumBlockFrames);

    /** Selects the oversampler in use (0..4), as the main bank's index. */
    void select (int index) noexcept { oversamplerIndex = OversamplerBank::limitIndex (index); }

    /** Follows the wet filters: their cutoffs in Hz and the rate they run at
        (the oversampled rate). Recomputes the all-passes only for what changed. */
    void followFilters (float lowPassHz, float highPassHz, float dcBlockerHz, double filterRate) noexcept;

    /** Clears the oversampler in use and the all-passes. */
    void reset() noexcept;

    /** A block of both channels at the base rate, in place. */
    void process (float* left, float* right, int numFrames) noexcept;

    float getLatencyInSamples() const noexcept { return bank.get (oversamplerIndex).getLatencyInSamples(); }

private:
    OversamplerBank bank;
    int oversamplerIndex = 0;
    double sampleRate = 44100.0;

    // Follow the low-pass, the high-pass and the DC blocker, in that order.
    FirstOrderAllPass phases[3];
    float followedCutoffsHz[3] { -1.0f, -1.0f, -1.0f };
    double followedRate = 0.0;
};

} // namespace orvel
