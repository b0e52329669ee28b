#include "engine/dsp/FastMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orvel
{
namespace
{

    /** One unit in the last place of the float nearest to `exact`. */
    double ulpOf (double exact)
    {
        const auto magnitude = std::abs (exact);
        if (magnitude < (double) std::numeric_limits<float>::min())
            return std::ldexp (1.0, -149);
        int exponent = 0;
        std::frexp (magnitude, &exponent);
        return std::ldexp (1.0, exponent - 24);
    }

    struct ErrorScan
    {
        double worstUlps = 0.0;
        float worstArgument = 0.0f;
        long vectorMismatches = 0;
    };

    /** Walks the floats from `low` to `high` (both ≥ 0) in steps of `stride`
        bit patterns, both signs, comparing with the double-precision libm
        function, and checks the vector form gives the scalar form's bits. */
    template <typename Scalar, typename Vector, typename Exact>
    ErrorScan scan (float low, float high, uint32_t stride, Scalar scalar, Vector vector, Exact exact)
    {
        ErrorScan result;

        for (uint64_t bits = floatBits (low); bits <= floatBits (high); bits += stride)
        {
            const auto x = floatFromBits ((uint32_t) bits);
            const auto lanes = vector (Float4::lanes (x, -x, 0.5f * x, 3.0f));

            for (const auto argument : { x, -x })
            {
                const auto y = scalar (argument);
                const auto error = std::abs ((double) y - exact ((double) argument)) / ulpOf (exact ((double) argument));
                if (error > result.worstUlps)
                {
                    result.worstUlps = error;
                    result.worstArgument = argument;
                }
            }

            if (floatBits (lanes.lane (0)) != floatBits (scalar (x)) || floatBits (lanes.lane (1)) != floatBits (scalar (-x)) || floatBits (lanes.lane (2)) != floatBits (scalar (0.5f * x)))
                ++result.vectorMismatches;
        }

        return result;
    }

    struct RangeCase
    {
        float low, high;
        uint32_t stride;
        double maximumUlps;
    };

    const auto sinScalar = [] (float x)
    { return fastSin (x); };
    const auto sinVector = [] (Float4 x)
    { return fastSin (x); };
    const auto sinExact = [] (double x)
    { return std::sin (x); };
    const auto erfScalar = [] (float x)
    { return fastErf (x); };
    const auto erfVector = [] (Float4 x)
    { return fastErf (x); };
    const auto erfExact = [] (double x)
    { return std::erf (x); };

    // The folder's argument is drive (1..20) times a signal clamped to ±6, so
    // |x| ≤ 120; filters before the folder can take it further, up to the
    // reduction limit and past it (where std::sin takes over).
    // Measured maxima over every float of each range (stride 1): 2.24 ulps
    // on |x| ≤ 120, 2.34 ulps on 120..8192, 0.56 ulps above (std::sin).
    TEST (FastMath, SinIsWithinTwoAndAHalfUlpsOfLibmOverTheFoldersRangeAndBeyond)
    {
        const RangeCase cases[] = {
            { 0.0f, 1.0e-3f, 4099, 2.5 },
            { 1.0e-3f, 120.0f, 997, 2.5 },
            { 120.0f, fastmath::sinReductionLimit, 991, 2.5 },
            { fastmath::sinReductionLimit, 1.0e30f, 100003, 1.0 },
        };

        for (const auto& range : cases)
        {
            const auto result = scan (range.low, range.high, range.stride, sinScalar, sinVector, sinExact);
            const auto where = "sin on " + std::to_string (range.low) + ".." + std::to_string (range.high);
            EXPECT_LE (result.worstUlps, range.maximumUlps) << where << ", worst at " << result.worstArgument;
            EXPECT_EQ (result.vectorMismatches, 0) << where;
        }
    }

    TEST (FastMath, SinKeepsItsAccuracyWhereTheArgumentIsClosestToAMultipleOfPi)
    {
        // The floats nearest kπ give the tiniest results, where an argument
        // reduction that is only roughly right loses every significant bit.
        for (int k = 1; k * 3.14159265358979 < fastmath::sinReductionLimit; k += 7)
        {
            const auto nearest = (float) (k * 3.14159265358979323846);
            for (const auto x : { std::nextafter (nearest, 0.0f), nearest, std::nextafter (nearest, 1.0e9f) })
            {
                const auto exact = std::sin ((double) x);
                EXPECT_LE (std::abs ((double) fastSin (x) - exact) / ulpOf (exact), 2.5) << "sin (" << x << ")";
            }
        }
    }

    // erf rounds to ±1 beyond ±3.919205904, so the polynomial ranges end there.
    // Measured maxima over every float (stride 1): 1.75 ulps on 0..0.5, at
    // 0.46750996 (1.22 with the polynomial in Horner's form and x + x P (x²)
    // summed last, both slower on the loop), and 1.40 ulps above, at 0.5075531.
    TEST (FastMath, ErfIsWithinTwoUlpsOfLibmOverEveryFloat)
    {
        const RangeCase cases[] = {
            { 0.0f, 1.0e-3f, 4099, 2.0 },
            { 1.0e-3f, fastmath::erfSaturation, 97, 2.0 },
            { fastmath::erfSaturation, std::numeric_limits<float>::max(), 10007, 0.5 },
        };

        for (const auto& range : cases)
        {
            const auto result = scan (range.low, range.high, range.stride, erfScalar, erfVector, erfExact);
            const auto where = "erf on " + std::to_string (range.low) + ".." + std::to_string (range.high);
            EXPECT_LE (result.worstUlps, range.maximumUlps) << where << ", worst at " << result.worstArgument;
            EXPECT_EQ (result.vectorMismatches, 0) << where;
        }

        // Each interval boundary, from both sides.
        for (int i = 1; i <= 8; ++i)
        {
            const auto boundary = i == 8 ? fastmath::erfSaturation : 0.5f * (float) i;
            for (const auto x : { std::nextafter (boundary, 0.0f), boundary })
                EXPECT_LE (std::abs ((double) fastErf (x) - std::erf ((double) x)) / ulpOf (std::erf ((double) x)), 1.5) << "erf (" << x << ")";
        }
    }

    TEST (FastMath, NonFiniteArgumentsGiveWhatLibmGives)
    {
        const auto infinity = std::numeric_limits<float>::infinity();
        const auto nan = std::numeric_limits<float>::quiet_NaN();

        EXPECT_TRUE (std::isnan (fastSin (nan)));
        EXPECT_TRUE (std::isnan (fastSin (infinity)));
        EXPECT_TRUE (std::isnan (fastSin (-infinity)));
        EXPECT_TRUE (std::isnan (fastErf (nan)));
        EXPECT_EQ (fastErf (infinity), 1.0f);
        EXPECT_EQ (fastErf (-infinity), -1.0f);
        EXPECT_EQ (fastErf (0.0f), 0.0f);

        const auto sines = fastSin (Float4::lanes (nan, infinity, 1.0e20f, 0.5f));
        EXPECT_TRUE (std::isnan (sines.lane (0)));
        EXPECT_TRUE (std::isnan (sines.lane (1)));
        EXPECT_EQ (sines.lane (2), std::sin (1.0e20f));
        EXPECT_EQ (sines.lane (3), fastSin (0.5f));

        const auto erfs = fastErf (Float4::lanes (nan, infinity, -infinity, -0.25f));
        EXPECT_TRUE (std::isnan (erfs.lane (0)));
        EXPECT_EQ (erfs.lane (1), 1.0f);
        EXPECT_EQ (erfs.lane (2), -1.0f);
        EXPECT_EQ (erfs.lane (3), fastErf (-0.25f));
    }

    TEST (FastMath, TheFollowingErfGivesFastErfsBitsWhereverItsLanesMoveBetweenIntervals)
    {
        // A slow sweep through every interval and back, lanes that move apart,
        // jumps across several intervals, saturation and non-finite values.
        const auto nan = std::numeric_limits<float>::quiet_NaN();
        const auto infinity = std::numeric_limits<float>::infinity();
        std::vector<Float4> inputs;
        for (int n = 0; n < 4000; ++n)
        {
            const auto slow = 4.5f * (float) std::sin (0.003 * n);
            inputs.push_back (Float4::lanes (slow, -0.7f * slow, slow, 0.1f * (float) (n % 50)));
        }
        for (const auto jump : { 0.1f, 3.9f, -1.2f, 1.0e30f, nan, 0.49999997f, 0.5f, infinity, -2.0f, 0.0f })
            inputs.push_back (Float4::lanes (jump, 0.3f, -jump, jump));

        FollowingErf following;
        long mismatches = 0;
        for (const auto& x : inputs)
        {
            const auto followed = following (x);
            const auto direct = fastErf (x);
            for (int lane = 0; lane < 4; ++lane)
                if (floatBits (followed.lane (lane)) != floatBits (direct.lane (lane)))
                    ++mismatches;
        }
        EXPECT_EQ (mismatches, 0);
    }

} // namespace
} // namespace orvel
