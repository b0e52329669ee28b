#pragma once

#include <cstdint>
#include <cstring>

// SSE2 is part of every x86-64 processor, so the vector form needs no runtime
// dispatch there. Elsewhere (or with ORVEL_SIMD_SCALAR defined, which the
// fallback tests use) Float4 is four plain floats with the same results.
#if ! defined(ORVEL_SIMD_SCALAR) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define ORVEL_SIMD_SSE2 1
#include <emmintrin.h>
#else
#define ORVEL_SIMD_SSE2 0
#endif

namespace orvel
{

/** A float's bit pattern, and back. */
inline uint32_t floatBits (float x) noexcept
{
    uint32_t bits;
    std::memcpy (&bits, &x, sizeof (bits));
    return bits;
}

inline float floatFromBits (uint32_t bits) noexcept
{
    float x;
    std::memcpy (&x, &bits, sizeof (x));
    return x;
}

/** Four floats processed together: four channels of one frame, or two
    channels of two frames.

    juce::dsp::SIMDRegister lacks what the oversampler and the fast maths need
    (lane shuffles, float/int bit tricks) and widens to eight lanes in an AVX
    build, so this is a small value type of its own. Every operation is
    lane-wise IEEE single precision (no fused multiply-add), so the vector and
    the scalar forms round exactly alike.

    A comparison gives a mask: each lane all ones where true, zero where false.
*/
struct Float4
{
#if ORVEL_SIMD_SSE2
    __m128 v;

    Float4() noexcept
        : v (_mm_setzero_ps()) {}
    Float4 (__m128 native) noexcept
        : v (native) {}
    static Float4 broadcast (float x) noexcept
    {
        return _mm_set1_ps (x);
    }
    static Float4 lanes (float a, float b, float c, float d) noexcept
    {
        return _mm_setr_ps (a, b, c, d);
    }
    static Float4 load (const float* p) noexcept
    {
        return _mm_loadu_ps (p);
    }
    void store (float* p) const noexcept
    {
        _mm_storeu_ps (p, v);
    }

    /** {p[0], p[1], p[0], p[1]}: one stereo frame in both halves. */
    static Float4 loadPairTwice (const float* p) noexcept
    {
        const auto pair = _mm_castpd_ps (_mm_load_sd (reinterpret_cast<const double*> (p)));
        return _mm_movelh_ps (pair, pair);
    }

    /** Lanes 0 and 1 to p[0], p[1]. */
    void storeLowPair (float* p) const noexcept
    {
        _mm_store_sd (reinterpret_cast<double*> (p), _mm_castps_pd (v));
    }

    /** {a[0], a[1], b[2], b[3]}. */
    static Float4 lowFromHigh (Float4 a, Float4 b) noexcept
    {
        return _mm_shuffle_ps (a.v, b.v, _MM_SHUFFLE (3, 2, 1, 0));
    }

    /** {a[2], a[3], a[2], a[3]}. */
    static Float4 highHalfTwice (Float4 a) noexcept
    {
        return _mm_movehl_ps (a.v, a.v);
    }

    float lane (int i) const noexcept
    {
        alignas (16) float values[4];
        _mm_store_ps (values, v);
        return values[i];
    }

    /** Each lane rounded toward zero, as floats and as integers (for lanes within the int range). */
    Float4 truncated() const noexcept
    {
        return _mm_cvtepi32_ps (_mm_cvttps_epi32 (v));
    }
    void storeTruncated (int32_t* p) const noexcept
    {
        _mm_storeu_si128 (reinterpret_cast<__m128i*> (p), _mm_cvttps_epi32 (v));
    }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept
    {
        return _mm_add_ps (a.v, b.v);
    }
    friend Float4 operator- (Float4 a, Float4 b) noexcept
    {
        return _mm_sub_ps (a.v, b.v);
    }
    friend Float4 operator* (Float4 a, Float4 b) noexcept
    {
        return _mm_mul_ps (a.v, b.v);
    }
    friend Float4 operator<(Float4 a, Float4 b) noexcept
    {
        return _mm_cmplt_ps (a.v, b.v);
    }
    friend Float4 operator> (Float4 a, Float4 b) noexcept
    {
        return _mm_cmpgt_ps (a.v, b.v);
    }
    friend Float4 operator>= (Float4 a, Float4 b) noexcept
    {
        return _mm_cmpge_ps (a.v, b.v);
    }
    friend Float4 operator& (Float4 a, Float4 b) noexcept
    {
        return _mm_and_ps (a.v, b.v);
    }
    friend Float4 operator| (Float4 a, Float4 b) noexcept
    {
        return _mm_or_ps (a.v, b.v);
    }
    friend Float4 operator^ (Float4 a, Float4 b) noexcept
    {
        return _mm_xor_ps (a.v, b.v);
    }
    friend Float4 min (Float4 a, Float4 b) noexcept
    {
        return _mm_min_ps (a.v, b.v);
    }
    friend Float4 max (Float4 a, Float4 b) noexcept
    {
        return _mm_max_ps (a.v, b.v);
    }

    /** Lanes of `ifTrue` where the mask is set, of `ifFalse` elsewhere. */
    friend Float4 select (Float4 mask, Float4 ifTrue, Float4 ifFalse) noexcept
    {
        return _mm_or_ps (_mm_and_ps (mask.v, ifTrue.v), _mm_andnot_ps (mask.v, ifFalse.v));
    }

    friend bool anyLane (Float4 mask) noexcept
    {
        return _mm_movemask_ps (mask.v) != 0;
    }

#else
    float v[4];

    Float4() noexcept
        : v { 0.0f, 0.0f, 0.0f, 0.0f } {}
    static Float4 broadcast (float x) noexcept
    {
        return lanes (x, x, x, x);
    }
    static Float4 lanes (float a, float b, float c, float d) noexcept
    {
        Float4 r;
        r.v[0] = a, r.v[1] = b, r.v[2] = c, r.v[3] = d;
        return r;
    }
    static Float4 load (const float* p) noexcept
    {
        return lanes (p[0], p[1], p[2], p[3]);
    }
    void store (float* p) const noexcept
    {
        std::memcpy (p, v, sizeof (v));
    }
    static Float4 loadPairTwice (const float* p) noexcept
    {
        return lanes (p[0], p[1], p[0], p[1]);
    }
    void storeLowPair (float* p) const noexcept
    {
        p[0] = v[0], p[1] = v[1];
    }
    static Float4 lowFromHigh (Float4 a, Float4 b) noexcept
    {
        return lanes (a.v[0], a.v[1], b.v[2], b.v[3]);
    }
    static Float4 highHalfTwice (Float4 a) noexcept
    {
        return lanes (a.v[2], a.v[3], a.v[2], a.v[3]);
    }
    float lane (int i) const noexcept
    {
        return v[i];
    }
    Float4 truncated() const noexcept
    {
        return lanes ((float) (int32_t) v[0], (float) (int32_t) v[1], (float) (int32_t) v[2], (float) (int32_t) v[3]);
    }
    void storeTruncated (int32_t* p) const noexcept
    {
        for (int i = 0; i < 4; ++i)
            p[i] = (int32_t) v[i];
    }

    template <typename Op>
    static Float4 map (Float4 a, Float4 b, Op op) noexcept
    {
        Float4 r;
        for (int i = 0; i < 4; ++i)
            r.v[i] = op (a.v[i], b.v[i]);
        return r;
    }

    static float mask (bool condition) noexcept
    {
        return floatFromBits (condition ? 0xffffffffu : 0u);
    }

    template <typename Op>
    static Float4 mapBits (Float4 a, Float4 b, Op op) noexcept
    {
        return map (a, b, [op] (float x, float y)
                    { return floatFromBits (op (floatBits (x), floatBits (y))); });
    }

    friend Float4 operator+ (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return x + y; });
    }
    friend Float4 operator- (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return x - y; });
    }
    friend Float4 operator* (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return x * y; });
    }
    friend Float4 operator<(Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return mask (x < y); });
    }
    friend Float4 operator> (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return mask (x > y); });
    }
    friend Float4 operator>= (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return mask (x >= y); });
    }
    friend Float4 operator& (Float4 a, Float4 b) noexcept
    {
        return mapBits (a, b, [] (uint32_t x, uint32_t y)
                        { return x & y; });
    }
    friend Float4 operator| (Float4 a, Float4 b) noexcept
    {
        return mapBits (a, b, [] (uint32_t x, uint32_t y)
                        { return x | y; });
    }
    friend Float4 operator^ (Float4 a, Float4 b) noexcept
    {
        return mapBits (a, b, [] (uint32_t x, uint32_t y)
                        { return x ^ y; });
    }
    // The same operand order as SSE's minps/maxps: the second operand wins when either is NaN.
    friend Float4 min (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return x < y ? x : y; });
    }
    friend Float4 max (Float4 a, Float4 b) noexcept
    {
        return map (a, b, [] (float x, float y)
                    { return x > y ? x : y; });
    }

    friend Float4 select (Float4 m, Float4 ifTrue, Float4 ifFalse) noexcept
    {
        return (m & ifTrue) | mapBits (m, ifFalse, [] (uint32_t x, uint32_t y)
                                       { return ~x & y; });
    }

    friend bool anyLane (Float4 m) noexcept
    {
        for (float x : m.v)
            if (floatBits (x) != 0)
                return true;
        return false;
    }
#endif

    Float4& operator+= (Float4 b) noexcept
    {
        return *this = *this + b;
    }
    Float4& operator*= (Float4 b) noexcept
    {
        return *this = *this * b;
    }
};

/** Swaps rows and columns of the 4 × 4 matrix whose rows are a, b, c, d. */
inline void transpose (Float4& a, Float4& b, Float4& c, Float4& d) noexcept
{
#if ORVEL_SIMD_SSE2
    _MM_TRANSPOSE4_PS (a.v, b.v, c.v, d.v);
#else
    Float4* rows[] = { &a, &b, &c, &d };
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
        {
            const auto x = rows[i]->v[j];
            rows[i]->v[j] = rows[j]->v[i];
            rows[j]->v[i] = x;
        }
#endif
}

/** Each lane's bit pattern shifted left by `bits` (an integer shift). */
template <int bits>
Float4 shiftBitsLeft (Float4 a) noexcept
{
#if ORVEL_SIMD_SSE2
    return _mm_castsi128_ps (_mm_slli_epi32 (_mm_castps_si128 (a.v), bits));
#else
    return Float4::mapBits (a, a, [] (uint32_t x, uint32_t)
                            { return x << bits; });
#endif
}

} // namespace orvel
