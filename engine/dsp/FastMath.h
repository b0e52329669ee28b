#pragma once

#include "engine/dsp/Float4.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace orvel
{

/** Polynomial sin and erf for float, in a scalar form (float) and a vector
    form (Float4) that give the same results lane for lane.

    They replace libm's sinf and erff where those dominate a per-sample loop.
    Both work on every float: NaN gives NaN, ±inf gives NaN (sin) or ±1 (erf).
    Accuracy against the exact values, measured over the ranges the fold chain
    uses (see the tests, which state the measured maxima):
    - fastSin: a few ulps for |x| ≤ 8192, where its own argument reduction
      holds; beyond that it hands the value to std::sin.
    - fastErf: a few ulps everywhere.
*/
namespace fastmath
{
    // The scalar forms of the few lane operations the algorithms use, so one
    // template serves float and Float4.
    inline float select (bool condition, float ifTrue, float ifFalse) noexcept
    {
        return condition ? ifTrue : ifFalse;
    }
    inline bool anyLane (bool condition) noexcept
    {
        return condition;
    }

    inline float signBit (float x) noexcept
    {
        return floatFromBits (floatBits (x) & 0x80000000u);
    }
    inline float withoutSign (float x) noexcept
    {
        return floatFromBits (floatBits (x) & 0x7fffffffu);
    }
    inline float orBits (float a, float b) noexcept
    {
        return floatFromBits (floatBits (a) | floatBits (b));
    }
    inline float xorBits (float a, float b) noexcept
    {
        return floatFromBits (floatBits (a) ^ floatBits (b));
    }
    inline float parityToSign (float roundedPlusMagic) noexcept
    {
        return floatFromBits (floatBits (roundedPlusMagic) << 31);
    }

    inline Float4 signBit (Float4 x) noexcept
    {
        return x & Float4::broadcast (-0.0f);
    }
    inline Float4 withoutSign (Float4 x) noexcept
    {
        return x ^ signBit (x);
    }
    inline Float4 orBits (Float4 a, Float4 b) noexcept
    {
        return a | b;
    }
    inline Float4 xorBits (Float4 a, Float4 b) noexcept
    {
        return a ^ b;
    }
    inline Float4 parityToSign (Float4 roundedPlusMagic) noexcept
    {
        return shiftBitsLeft<31> (roundedPlusMagic);
    }

    template <typename V>
    V constant (float value) noexcept
    {
        if constexpr (std::is_same_v<V, float>)
            return value;
        else
            return V::broadcast (value);
    }

    /** Where fastSin's reduction by multiples of π stays exact enough. */
    constexpr float sinReductionLimit = 8192.0f;

    /** sin (x) for |x| ≤ sinReductionLimit (and NaN): x = nπ + r with
        |r| ≤ π/2, then sin x = (−1)^n sin r. */
    template <typename V>
    V sinReduced (V x) noexcept
    {
        // Adding 1.5 × 2^23 rounds x/π to the nearest integer n and leaves n's
        // parity in the lowest mantissa bit.
        constexpr float magic = 12582912.0f;
        const auto shifted = x * constant<V> (0.318309873f) + constant<V> (magic);
        const auto n = shifted - constant<V> (magic);

        // π in four parts: n times each of the first three is exact for
        // |n| < 4096, so r keeps its relative accuracy even where x lies close
        // to a multiple of π and sin x is tiny.
        auto r = x - n * constant<V> (3.140625f);
        r = r - n * constant<V> (9.67502593994140625e-4f);
        r = r - n * constant<V> (1.5099067240953445e-7f);
        r = r - n * constant<V> (5.126688137e-12f);

        // sin r = r + r³ P (r²) on |r| ≤ π/2 + 0.002 (Chebyshev fit, relative error 1.8e-8).
        const auto s = r * r;
        auto p = constant<V> (2.634454814e-6f);
        p = p * s + constant<V> (-1.982264628e-4f);
        p = p * s + constant<V> (8.333241443e-3f);
        p = p * s + constant<V> (-1.666666596e-1f);
        const auto sine = r + r * s * p;

        return xorBits (sine, parityToSign (shifted));
    }

    /** erf on |x| < 3.919205904 in eight intervals of width 0.5, each a
        degree-7 polynomial P (Chebyshev fits; rows hold the coefficients from
        the highest power down). On interval 0, erf (x) = x + x P (x²), which keeps
        the relative accuracy of tiny arguments and leaves the rounding to the
        small correction term (fit error 7e-16); on the others
        erf (|x|) = P (|x| − centre) (fit error below 7e-10). */
    alignas (16) inline constexpr float erfCoefficients[8][8] = {
        { -1.337269158e-05f, 1.199346130e-04f, -8.547030530e-04f, 5.223962514e-03f, -2.686616969e-02f, 1.128379167e-01f, -3.761263890e-01f, 1.283791671e-01f },
        { 1.794584586e-02f, -2.658287067e-02f, -5.322369228e-02f, 1.506756327e-01f, 2.678855698e-02f, -4.821981601e-01f, 6.429310697e-01f, 7.111556334e-01f },
        { 3.732251079e-03f, 2.059754525e-02f, -4.718514627e-02f, -6.132017046e-03f, 1.675358462e-01f, -2.956517449e-01f, 2.365211223e-01f, 9.229001289e-01f },
        { -5.947051133e-03f, 9.049599632e-03f, 6.619999124e-03f, -4.810553440e-02f, 9.015733924e-02f, -9.235620160e-02f, 5.277499582e-02f, 9.866716711e-01f },
        { -7.159299336e-04f, -2.779561350e-03f, 1.065944706e-02f, -1.908825667e-02f, 2.172453164e-02f, -1.607015690e-02f, 7.142319065e-03f, 9.985372833e-01f },
        { 6.369700027e-04f, -1.667863961e-03f, 2.756164766e-03f, -3.257709192e-03f, 2.760384241e-03f, -1.612267450e-03f, 5.862772558e-04f, 9.998993781e-01f },
        { 1.731994452e-04f, -2.737579640e-04f, 3.136722909e-04f, -2.861694740e-04f, 1.958112717e-04f, -9.486933214e-05f, 2.918902234e-05f, 9.999956972e-01f },
        { 1.704719550e-05f, -2.069178432e-05f, 1.834072319e-05f, -1.378546888e-05f, 7.969994704e-06f, -3.306069537e-06f, 8.814314515e-07f, 9.999998863e-01f },
    };

    /** The smallest float whose erf rounds to 1. */
    constexpr float erfSaturation = 3.919205904f;

    /** The interval of |x| (0..7, 7 for NaN and above) and its centre. */
    inline int erfInterval (float a) noexcept
    {
        return a * 2.0f < 7.0f ? (int) (a * 2.0f) : 7;
    }
    inline float erfCentre (int interval) noexcept
    {
        return interval == 0 ? 0.0f : (float) interval * 0.5f + 0.25f;
    }

    /** The polynomial c[0] t^7 + ... + c[7] is c[7] + t × rest (t); this is
        the rest, in Estrin's form: pairs joined by t² and t⁴. Horner's six
        dependent multiply-and-adds become three, which matters where erf lies
        on a feedback loop and its latency, not its throughput, sets the pace.
        The constant term is added last, so the rounding of the rest is scaled
        down by t, as in Horner's form. */
    template <typename V>
    V erfPolynomialRest (V t, const V (&c)[8]) noexcept
    {
        const auto t2 = t * t;
        const auto t4 = t2 * t2;
        const auto low = (c[5] * t + c[6]) + (c[3] * t + c[4]) * t2;
        const auto high = (c[1] * t + c[2]) + c[0] * t2;
        return low + high * t4;
    }
} // namespace fastmath

/** sin (x) for float: within a few ulps of the exact value (see fastmath). */
inline float fastSin (float x) noexcept
{
    if (std::abs (x) > fastmath::sinReductionLimit)
        return std::sin (x);

    return fastmath::sinReduced (x);
}

/** sin of each lane; the same results as the scalar fastSin. */
inline Float4 fastSin (Float4 x) noexcept
{
    const auto tooLarge = fastmath::withoutSign (x) > Float4::broadcast (fastmath::sinReductionLimit);
    auto result = fastmath::sinReduced (x);

    if (anyLane (tooLarge)) // only for arguments far outside the chain's range
    {
        alignas (16) float lanes[4], results[4];
        x.store (lanes);
        result.store (results);
        for (int i = 0; i < 4; ++i)
            if (std::abs (lanes[i]) > fastmath::sinReductionLimit)
                results[i] = std::sin (lanes[i]);
        result = Float4::load (results);
    }

    return result;
}

/** erf (x) for float: within a few ulps of the exact value (see fastmath). */
inline float fastErf (float x) noexcept
{
    using namespace fastmath;
    const auto a = withoutSign (x);
    const auto interval = erfInterval (a);
    const auto* row = erfCoefficients[interval];
    const float c[8] = { row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7] };
    // Interval 0: x + x P (x²) = (x + x c[7]) + x³ rest (x²), whose first
    // part is ready before the rest is, so one multiply-and-add follows the
    // rest as on the other intervals.
    const auto t = interval == 0 ? a * a : a - erfCentre (interval);
    const auto rest = erfPolynomialRest (t, c);
    const auto magnitude = a >= erfSaturation ? 1.0f
                           : interval == 0    ? (a + a * c[7]) + (a * t) * rest
                                              : rest * t + c[7];
    return orBits (magnitude, signBit (x));
}

namespace fastmath
{
    /** The intervals of fastErf's vector form held for its lanes: each
        power's coefficients as one vector, and the centres. */
    struct ErfIntervals
    {
        Float4 intervals { Float4::broadcast (-1.0f) }; // none at first
        Float4 centre;
        Float4 c[8];

        /** The intervals (0..7, as floats) of the lanes of `a` = |x|. */
        static Float4 intervalsOf (Float4 a) noexcept
        {
            // As erfInterval, lane-wise: min() gives 7 for NaN.
            return min (a * Float4::broadcast (2.0f), Float4::broadcast (7.0f)).truncated();
        }

        /** Takes the rows of `newIntervals` (from intervalsOf). */
        void load (Float4 newIntervals) noexcept
        {
            intervals = newIntervals;
            int32_t rowIndexes[4];
            newIntervals.storeTruncated (rowIndexes);
            centre = select (newIntervals > Float4(), newIntervals * Float4::broadcast (0.5f) + Float4::broadcast (0.25f), Float4());

            // Each lane's row of coefficients, turned into one vector per power.
            for (int half = 0; half < 2; ++half)
            {
                Float4 rows[4];
                for (int i = 0; i < 4; ++i)
                    rows[i] = Float4::load (erfCoefficients[rowIndexes[i]] + 4 * half);
                transpose (rows[0], rows[1], rows[2], rows[3]);
                for (int k = 0; k < 4; ++k)
                    c[4 * half + k] = rows[k];
            }
        }

        /** erf of each lane of `x`, whose |x| is `a` and whose intervals are the ones held. */
        Float4 evaluate (Float4 x, Float4 a) const noexcept
        {
            // As the scalar form: c[7] + t rest (t), or on interval 0
            // (x + x c[7]) + x³ rest (x²), both one multiply-and-add after the rest.
            const auto first = a < Float4::broadcast (0.5f);
            const auto t = select (first, a * a, a - centre);
            const auto rest = erfPolynomialRest (t, c);
            const auto constantPart = select (first, a + a * c[7], c[7]);
            const auto restFactor = select (first, a * t, t);
            const auto magnitude = select (a >= Float4::broadcast (erfSaturation), Float4::broadcast (1.0f),
                                           rest * restFactor + constantPart);
            return orBits (magnitude, signBit (x));
        }
    };
} // namespace fastmath

/** erf of each lane; the same results as the scalar fastErf. */
inline Float4 fastErf (Float4 x) noexcept
{
    const auto a = fastmath::withoutSign (x);
    fastmath::ErfIntervals intervals;
    intervals.load (fastmath::ErfIntervals::intervalsOf (a));
    return intervals.evaluate (x, a);
}

/** fastErf for a signal that mostly stays in the same intervals of the
    polynomial from one call to the next, as a low-passed feedback signal
    does: the same results, but the coefficients of the last call's intervals
    are used at once, and fetched again only when a lane has moved to another
    interval. Where erf lies on a feedback loop this takes the fetch off the
    loop's path, at the cost of a mispredicted branch where a lane moves. */
class FollowingErf
{
public:
    Float4 operator() (Float4 x) noexcept
    {
        const auto a = fastmath::withoutSign (x);
        const auto intervals = fastmath::ErfIntervals::intervalsOf (a);
        if (anyLane ((intervals < held.intervals) | (intervals > held.intervals)))
            held.load (intervals);
        return held.evaluate (x, a);
    }

private:
    fastmath::ErfIntervals held;
};

} // namespace orvel
