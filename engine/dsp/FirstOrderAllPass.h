#pragma once

#include <cmath>

namespace orvel
{

/** First-order all-pass filter, two channels: H (z) = (a + z⁻¹) / (1 + a z⁻¹).

    It passes every frequency at unit gain and turns the phase from 0 at DC to
    −180° at Nyquist, through −90° at its corner. That is the phase of a
    critically damped two-pole low-pass at the same corner, and, turned upside
    down, of the matching high-pass: a cheap way for a signal to follow the
    phase of one that went through such filters without taking their
    magnitude.
*/
struct FirstOrderAllPass
{
    /** The corner as tan (π × corner / rate) of the rate the filter runs at:
        the bilinear transform's pre-warped analogue corner. A corner at or
        beyond Nyquist (an infinite tangent) leaves the signal unchanged. */
    void setCornerTangent (double tangent) noexcept
    {
        coefficient = tangent >= 0.0 ? (float) (1.0 - 2.0 / (tangent + 1.0)) : -1.0f;
    }

    /** One sample of one channel (0 or 1), in transposed direct form. */
    float processSample (float x, int channel) noexcept
    {
        const float y = coefficient * x + state[channel];
        state[channel] = x - coefficient * y;
        return y;
    }

    void reset() noexcept { state[0] = state[1] = 0.0f; }

private:
    float coefficient = 1.0f; // a pass-through until a corner is set
    float state[2] {};
};

} // namespace orvel
