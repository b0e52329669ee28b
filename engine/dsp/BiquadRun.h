#pragma once

#include "engine/dsp/BiquadFilter.h"
#include "engine/dsp/Float4.h"

namespace orvel
{

/** A BiquadFilter's coefficients and both channels' memories held in locals
    for a run of frames in which none of its ramps glides, the two channels
    side by side in one pair of doubles.

    Inside a per-frame loop the filter's members would be stored and loaded
    again every frame, on the feedback loop's path; a run keeps them in
    registers and hands the memories back when it goes out of scope. The
    results equal BiquadFilter::processFrame's bit for bit: the same double
    operations in the same order. The filter must not be used while a run on
    it exists.
*/
class BiquadRun
{
public:
    explicit BiquadRun (BiquadFilter& filterToRun) noexcept
        : filter (filterToRun)
    {
        assert (! filter.isGliding());
#if ORVEL_SIMD_SSE2
        b0 = _mm_set1_pd (filter.b0);
        b1 = _mm_set1_pd (filter.b1);
        b2 = _mm_set1_pd (filter.b2);
        a1 = _mm_set1_pd (filter.a1);
        a2 = _mm_set1_pd (filter.a2);
        s1 = _mm_loadu_pd (filter.s1);
        s2 = _mm_loadu_pd (filter.s2);
#else
        for (int c = 0; c < 2; ++c)
        {
            s1[c] = filter.s1[c];
            s2[c] = filter.s2[c];
        }
#endif
    }

    ~BiquadRun()
    {
#if ORVEL_SIMD_SSE2
        _mm_storeu_pd (filter.s1, s1);
        _mm_storeu_pd (filter.s2, s2);
#else
        for (int c = 0; c < 2; ++c)
        {
            filter.s1[c] = s1[c];
            filter.s2[c] = s2[c];
        }
#endif
    }

    BiquadRun (const BiquadRun&) = delete;
    BiquadRun& operator= (const BiquadRun&) = delete;

    /** One frame of the input x × inputGain, as BiquadFilter::processFrame
        (x, inputGain) in lanes 0 and 1: lanes 0 and 1 of `x` are the left and
        right inputs, and of the result the outputs; lanes 2 and 3 of the
        result are 0 (copying the outputs there would cost the loop a step). */
    Float4 processFrame (Float4 x, float inputGain) noexcept
    {
#if ORVEL_SIMD_SSE2
        const auto gain = _mm_set1_pd ((double) inputGain);
        const auto in = _mm_cvtps_pd (x.v);
        const auto y = _mm_add_pd (_mm_mul_pd (_mm_mul_pd (b0, gain), in), s1);
        s1 = _mm_sub_pd (_mm_add_pd (_mm_mul_pd (_mm_mul_pd (b1, gain), in), s2), _mm_mul_pd (a1, y));
        s2 = _mm_sub_pd (_mm_mul_pd (_mm_mul_pd (b2, gain), in), _mm_mul_pd (a2, y));
        return _mm_cvtpd_ps (y);
#else
        float out[2];
        const double gain = (double) inputGain;
        for (int c = 0; c < 2; ++c)
        {
            const double in = (double) x.lane (c);
            const double y = (filter.b0 * gain) * in + s1[c];
            s1[c] = (filter.b1 * gain) * in + s2[c] - filter.a1 * y;
            s2[c] = (filter.b2 * gain) * in - filter.a2 * y;
            out[c] = (float) y;
        }
        return Float4::lanes (out[0], out[1], 0.0f, 0.0f);
#endif
    }

private:
    BiquadFilter& filter;
#if ORVEL_SIMD_SSE2
    __m128d b0, b1, b2, a1, a2, s1, s2;
#else
    double s1[2], s2[2];
#endif
};

} // namespace orvel
