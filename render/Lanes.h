// Packs of floats (and of doubles, in two halves) for the vector render path:
// the same IEEE operations as the scalar code, lane by lane, so every result
// is bit for bit the scalar one. SseLanes works on 4 floats with SSE2 (every
// x86 build); AvxLanes on 8 with AVX2, compiled only in the file built for it.
// No fused multiply-add anywhere.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#define NIMBULO_HAVE_SSE2 1
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#if defined(NIMBULO_HAVE_SSE2)
struct SseLanes {
    enum { count = 4 };
    typedef __m128 F;   // floats
    typedef __m128i I;  // 32-bit integers, and masks
    typedef __m128d D;  // doubles: half a float pack

    static F set(float v) { return _mm_set1_ps(v); }
    static F load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, F v) { _mm_storeu_ps(p, v); }
    static F add(F a, F b) { return _mm_add_ps(a, b); }
    static F sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F div(F a, F b) { return _mm_div_ps(a, b); }
    static F sqrt(F a) { return _mm_sqrt_ps(a); }
    // 1 / sqrt(a) within 1.5 x 2^-12 of it (processors differ in the last
    // bits: for estimates that decide nothing about a pixel's value).
    static F rsqrtEstimate(F a) { return _mm_rsqrt_ps(a); }
    // a > b ? a : b, with b when either is not a number; min alike.
    static F max(F a, F b) { return _mm_max_ps(a, b); }
    static F min(F a, F b) { return _mm_min_ps(a, b); }
    static F lt(F a, F b) { return _mm_cmplt_ps(a, b); }
    static F le(F a, F b) { return _mm_cmple_ps(a, b); }
    static F gt(F a, F b) { return _mm_cmpgt_ps(a, b); }
    static F ge(F a, F b) { return _mm_cmpge_ps(a, b); }
    static F both(F a, F b) { return _mm_and_ps(a, b); }
    static F select(F mask, F a, F b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
    static F abs(F a) { return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    static int bits(F mask) { return _mm_movemask_ps(mask); }
    static int allBits() { return 15; }
    // Lane k + 1's value in lane k; the last lane keeps its own.
    static F nextLane(F a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 2, 1)); }

    enum { hasLookup8 = 0 };
    static F lookup8(F, I) { return _mm_setzero_ps(); }

    static I iset(int32_t v) { return _mm_set1_epi32(v); }
    static I iload(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void istore(int32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static I isub(I a, I b) { return _mm_sub_epi32(a, b); }
    static I iadd(I a, I b) { return _mm_add_epi32(a, b); }
    static I truncate(F a) { return _mm_cvttps_epi32(a); }
    // To the nearest whole number in the processor's rounding (ties to even,
    // as std::nearbyint), for |a| < 2^31.
    static I roundNearest(F a) { return _mm_cvtps_epi32(a); }
    static F toFloat(I a) { return _mm_cvtepi32_ps(a); }
    static I iand(I a, I b) { return _mm_and_si128(a, b); }
    static I ior(I a, I b) { return _mm_or_si128(a, b); }
    static I iselect(I mask, I a, I b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
    template <int n> static I shiftRight(I a) { return _mm_srli_epi32(a, n); }
    template <int n> static I shiftLeft(I a) { return _mm_slli_epi32(a, n); }
    static I ieq(I a, I b) { return _mm_cmpeq_epi32(a, b); }
    static I ilt(I a, I b) { return _mm_cmplt_epi32(a, b); }
    static F asFloat(I a) { return _mm_castsi128_ps(a); }
    static I asInt(F a) { return _mm_castps_si128(a); }

    // table[index] per lane (16-bit and 8-bit entries).
    static I gather16(const uint16_t* table, I index)
    {
        int32_t at[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), index);
        return _mm_setr_epi32(table[at[0]], table[at[1]], table[at[2]], table[at[3]]);
    }
    static I gather8(const uint8_t* table, I index)
    {
        int32_t at[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), index);
        return _mm_setr_epi32(table[at[0]], table[at[1]], table[at[2]], table[at[3]]);
    }

    // Doubles, half a pack at a time.
    static D lowHalf(F a) { return _mm_cvtps_pd(a); }
    static D highHalf(F a) { return _mm_cvtps_pd(_mm_movehl_ps(a, a)); }
    static F fromHalves(D low, D high) { return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)); }
    static D dset(double v) { return _mm_set1_pd(v); }
    static D dadd(D a, D b) { return _mm_add_pd(a, b); }
    static D dsub(D a, D b) { return _mm_sub_pd(a, b); }
    static D dmul(D a, D b) { return _mm_mul_pd(a, b); }
    static D ddiv(D a, D b) { return _mm_div_pd(a, b); }
    static D dgt(D a, D b) { return _mm_cmpgt_pd(a, b); }
    static D dlt(D a, D b) { return _mm_cmplt_pd(a, b); }
    static D deq(D a, D b) { return _mm_cmpeq_pd(a, b); }
    static D dselect(D mask, D a, D b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }
    static D dnegate(D a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    // Toward zero, for |a| < 2^31.
    static D dtruncate(D a) { return _mm_cvtepi32_pd(_mm_cvttpd_epi32(a)); }
    static D dbits(D a, int64_t keep, int64_t set)
    {
        __m128i b = _mm_castpd_si128(a);
        b = _mm_or_si128(_mm_and_si128(b, _mm_set1_epi64x(keep)), _mm_set1_epi64x(set));
        return _mm_castsi128_pd(b);
    }
    // The biased exponent field of each double, as a double.
    static D dexponentField(D a)
    {
        __m128i e = _mm_srli_epi64(_mm_castpd_si128(a), 52);
        e = _mm_or_si128(_mm_and_si128(e, _mm_set1_epi64x(0x7FF)), _mm_set1_epi64x(0x4330000000000000LL));
        return _mm_sub_pd(_mm_castsi128_pd(e), _mm_set1_pd(4503599627370496.0));
    }
    // 2^n for whole numbers n in -1022..1023.
    static D dpowerOfTwo(D n)
    {
        __m128i k = _mm_cvttpd_epi32(_mm_add_pd(n, _mm_set1_pd(1023.0)));
        k = _mm_unpacklo_epi32(k, _mm_setzero_si128());
        return _mm_castsi128_pd(_mm_slli_epi64(k, 52));
    }
    static int dbitsOf(D mask) { return _mm_movemask_pd(mask); }
};

#endif

#if defined(__AVX2__)
struct AvxLanes {
    enum { count = 8 };
    typedef __m256 F;
    typedef __m256i I;
    typedef __m256d D;

    static F set(float v) { return _mm256_set1_ps(v); }
    static F load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, F v) { _mm256_storeu_ps(p, v); }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F div(F a, F b) { return _mm256_div_ps(a, b); }
    static F sqrt(F a) { return _mm256_sqrt_ps(a); }
    static F rsqrtEstimate(F a) { return _mm256_rsqrt_ps(a); }
    static F max(F a, F b) { return _mm256_max_ps(a, b); }
    static F min(F a, F b) { return _mm256_min_ps(a, b); }
    static F lt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static F le(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
    static F gt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static F ge(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
    static F both(F a, F b) { return _mm256_and_ps(a, b); }
    static F select(F mask, F a, F b) { return _mm256_blendv_ps(b, a, mask); }
    static F abs(F a) { return _mm256_and_ps(a, _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF))); }
    static int bits(F mask) { return _mm256_movemask_ps(mask); }
    static int allBits() { return 255; }
    static F nextLane(F a) { return _mm256_permutevar8x32_ps(a, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7)); }

    static I iset(int32_t v) { return _mm256_set1_epi32(v); }
    static I iload(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void istore(int32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static I isub(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I iadd(I a, I b) { return _mm256_add_epi32(a, b); }
    static I truncate(F a) { return _mm256_cvttps_epi32(a); }
    static I roundNearest(F a) { return _mm256_cvtps_epi32(a); }
    static F toFloat(I a) { return _mm256_cvtepi32_ps(a); }
    static I iand(I a, I b) { return _mm256_and_si256(a, b); }
    static I ior(I a, I b) { return _mm256_or_si256(a, b); }
    static I iselect(I mask, I a, I b) { return _mm256_blendv_epi8(b, a, mask); }
    template <int n> static I shiftRight(I a) { return _mm256_srli_epi32(a, n); }
    template <int n> static I shiftLeft(I a) { return _mm256_slli_epi32(a, n); }
    static I ieq(I a, I b) { return _mm256_cmpeq_epi32(a, b); }
    static I ilt(I a, I b) { return _mm256_cmpgt_epi32(b, a); }
    static F asFloat(I a) { return _mm256_castsi256_ps(a); }
    static I asInt(F a) { return _mm256_castps_si256(a); }

    // The tables are padded so that reading 4 bytes at the last entry stays inside.
    static I gather16(const uint16_t* table, I index)
    {
        I words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 2);
        return _mm256_and_si256(words, _mm256_set1_epi32(0xFFFF));
    }

    // table[k] for k in 0..7, the table in a register.
    enum { hasLookup8 = 1 };
    static F lookup8(F table, I k) { return _mm256_permutevar8x32_ps(table, k); }
    static I gather8(const uint8_t* table, I index)
    {
        I words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 1);
        return _mm256_and_si256(words, _mm256_set1_epi32(0xFF));
    }

    static D lowHalf(F a) { return _mm256_cvtps_pd(_mm256_castps256_ps128(a)); }
    static D highHalf(F a) { return _mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)); }
    static F fromHalves(D low, D high)
    {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(low)), _mm256_cvtpd_ps(high), 1);
    }
    static D dset(double v) { return _mm256_set1_pd(v); }
    static D dadd(D a, D b) { return _mm256_add_pd(a, b); }
    static D dsub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D dmul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D ddiv(D a, D b) { return _mm256_div_pd(a, b); }
    static D dgt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static D dlt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static D deq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static D dselect(D mask, D a, D b) { return _mm256_blendv_pd(b, a, mask); }
    static D dnegate(D a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static D dtruncate(D a) { return _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(a)); }
    static D dbits(D a, int64_t keep, int64_t set)
    {
        __m256i b = _mm256_castpd_si256(a);
        b = _mm256_or_si256(_mm256_and_si256(b, _mm256_set1_epi64x(keep)), _mm256_set1_epi64x(set));
        return _mm256_castsi256_pd(b);
    }
    static D dexponentField(D a)
    {
        __m256i e = _mm256_srli_epi64(_mm256_castpd_si256(a), 52);
        e = _mm256_or_si256(_mm256_and_si256(e, _mm256_set1_epi64x(0x7FF)), _mm256_set1_epi64x(0x4330000000000000LL));
        return _mm256_sub_pd(_mm256_castsi256_pd(e), _mm256_set1_pd(4503599627370496.0));
    }
    static D dpowerOfTwo(D n)
    {
        __m256i k = _mm256_cvtepi32_epi64(_mm256_cvttpd_epi32(_mm256_add_pd(n, _mm256_set1_pd(1023.0))));
        return _mm256_castsi256_pd(_mm256_slli_epi64(k, 52));
    }
    static int dbitsOf(D mask) { return _mm256_movemask_pd(mask); }
};
#endif

// Both halves of a float pack as doubles, every operation done on the two in
// turn: the long dependent chains of the series (sine, log, exp) of one half
// run while the other's wait. The same operations as on each half alone.
template <class L> struct HalfPairs {
    struct D {
        typename L::D low, high;
    };
    static D dset(double v) { return D{L::dset(v), L::dset(v)}; }
    static D dadd(D a, D b) { return D{L::dadd(a.low, b.low), L::dadd(a.high, b.high)}; }
    static D dsub(D a, D b) { return D{L::dsub(a.low, b.low), L::dsub(a.high, b.high)}; }
    static D dmul(D a, D b) { return D{L::dmul(a.low, b.low), L::dmul(a.high, b.high)}; }
    static D ddiv(D a, D b) { return D{L::ddiv(a.low, b.low), L::ddiv(a.high, b.high)}; }
    static D dgt(D a, D b) { return D{L::dgt(a.low, b.low), L::dgt(a.high, b.high)}; }
    static D dlt(D a, D b) { return D{L::dlt(a.low, b.low), L::dlt(a.high, b.high)}; }
    static D deq(D a, D b) { return D{L::deq(a.low, b.low), L::deq(a.high, b.high)}; }
    static D dselect(D m, D a, D b) { return D{L::dselect(m.low, a.low, b.low), L::dselect(m.high, a.high, b.high)}; }
    static D dnegate(D a) { return D{L::dnegate(a.low), L::dnegate(a.high)}; }
    static D dtruncate(D a) { return D{L::dtruncate(a.low), L::dtruncate(a.high)}; }
    static D dbits(D a, int64_t keep, int64_t set)
    {
        return D{L::dbits(a.low, keep, set), L::dbits(a.high, keep, set)};
    }
    static D dexponentField(D a) { return D{L::dexponentField(a.low), L::dexponentField(a.high)}; }
    static D dpowerOfTwo(D n) { return D{L::dpowerOfTwo(n.low), L::dpowerOfTwo(n.high)}; }
    // Non-zero when any lane of either half is set.
    static int dbitsOf(D mask) { return L::dbitsOf(mask.low) | L::dbitsOf(mask.high); }
};
