// The application's vector path: AVX-512, sixteen pixels at a time. The two
// corners are gathered from the table; the correction is computed rather than
// looked up, with the same roundings as the portable path, which the kernel
// checks for every input value and corner difference before enabling it.
#include "lut/LutKernel.h"

// GCC 12's AVX-512 intrinsics (shifts, min/max, conversions) start from a
// deliberately undefined vector, which its uninitialised-use warnings flag.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

namespace teintelle {

bool LutKernel::processorHasAvx512()
{
    static const bool available = __builtin_cpu_supports("avx512f");
    return available;
}

namespace {

#define TEINTELLE_AVX512 __attribute__((target("avx512f")))

struct Lattice {
    __m512i edge, last, adjust, one, byteMask;
    __m512 coef;
    __m512 reciprocal; // 1 / coef in single precision
};

// Lower index: max(0, (x * N - adjust) >> 8).
TEINTELLE_AVX512 inline __m512i lowerIndex(__m512i x, const Lattice& lattice)
{
    const __m512i scaled = _mm512_srai_epi32(_mm512_sub_epi32(_mm512_mullo_epi32(x, lattice.edge), lattice.adjust), 8);
    return _mm512_max_epi32(_mm512_setzero_si512(), scaled);
}

// Index of entry [red][green][blue]: red + N x (green + N x blue).
TEINTELLE_AVX512 inline __m512i entryIndex(__m512i red, __m512i green, __m512i blue, const Lattice& lattice)
{
    return _mm512_add_epi32(
        red, _mm512_mullo_epi32(lattice.edge, _mm512_add_epi32(green, _mm512_mullo_epi32(lattice.edge, blue))));
}

// Its byte offset: three bytes an entry.
TEINTELLE_AVX512 inline __m512i entryOffset(__m512i red, __m512i green, __m512i blue, const Lattice& lattice)
{
    const __m512i index = entryIndex(red, green, blue, lattice);
    return _mm512_add_epi32(index, _mm512_add_epi32(index, index));
}

TEINTELLE_AVX512 inline __m512d lowHalf(__m512 v) { return _mm512_cvtps_pd(_mm512_castps512_ps256(v)); }
TEINTELLE_AVX512 inline __m512d highHalf(__m512 v)
{
    return _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1)));
}

TEINTELLE_AVX512 inline __m512i upperIndex(__m512i lo, const Lattice& lattice)
{
    return _mm512_min_epi32(_mm512_add_epi32(lo, lattice.one), lattice.last);
}

// One output channel: T0 + round(k x d). k = (T1 - T0) / coef in single
// precision, from the reciprocal and one correction step; d = x - lo x coef
// rounded once (a fused multiply-add); the product exact in double and
// rounded to nearest, ties to even.
template <int kByte>
TEINTELLE_AVX512 inline __m512i channel(__m512i x, __m512i lo, __m512i near, __m512i far, const Lattice& lattice)
{
    const __m512i t0 = _mm512_and_si512(_mm512_srli_epi32(near, 8 * kByte), lattice.byteMask);
    const __m512i t1 = _mm512_and_si512(_mm512_srli_epi32(far, 8 * kByte), lattice.byteMask);
    const __m512 difference = _mm512_cvtepi32_ps(_mm512_sub_epi32(t1, t0));
    const __m512 estimate = _mm512_mul_ps(difference, lattice.reciprocal);
    const __m512 residual = _mm512_fnmadd_ps(estimate, lattice.coef, difference);
    const __m512 k = _mm512_fmadd_ps(residual, lattice.reciprocal, estimate);
    const __m512 d = _mm512_fnmadd_ps(_mm512_cvtepi32_ps(lo), lattice.coef, _mm512_cvtepi32_ps(x));

    constexpr int kNearestEven = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
    const __m256i correctionLow = _mm512_cvt_roundpd_epi32(_mm512_mul_pd(lowHalf(k), lowHalf(d)), kNearestEven);
    const __m256i correctionHigh = _mm512_cvt_roundpd_epi32(_mm512_mul_pd(highHalf(k), highHalf(d)), kNearestEven);
    const __m512i correction = _mm512_inserti64x4(_mm512_castsi256_si512(correctionLow), correctionHigh, 1);
    return _mm512_and_si512(_mm512_add_epi32(t0, correction), lattice.byteMask);
}

// The channels of sixteen pixels and their lower indices.
struct Pixels {
    __m512i source, red, green, blue, loRed, loGreen, loBlue;
};

TEINTELLE_AVX512 inline Pixels loadPixels(const TColor32* source, __mmask16 lanes, const Lattice& lattice)
{
    Pixels p;
    p.source = _mm512_maskz_loadu_epi32(lanes, source);
    p.red = _mm512_and_si512(_mm512_srli_epi32(p.source, 16), lattice.byteMask);
    p.green = _mm512_and_si512(_mm512_srli_epi32(p.source, 8), lattice.byteMask);
    p.blue = _mm512_and_si512(p.source, lattice.byteMask);
    p.loRed = lowerIndex(p.red, lattice);
    p.loGreen = lowerIndex(p.green, lattice);
    p.loBlue = lowerIndex(p.blue, lattice);
    return p;
}

// The output pixels from the near and far corners' entries (bytes r, v, b:
// red is byte 0 of each word), alpha kept.
TEINTELLE_AVX512 inline __m512i outputPixels(const Pixels& p, __m512i near, __m512i far, const Lattice& lattice)
{
    const __m512i alphaMask = _mm512_set1_epi32(std::int32_t(0xFF000000u));
    __m512i out = _mm512_and_si512(p.source, alphaMask);
    out = _mm512_or_si512(out, _mm512_slli_epi32(channel<0>(p.red, p.loRed, near, far, lattice), 16));
    out = _mm512_or_si512(out, _mm512_slli_epi32(channel<1>(p.green, p.loGreen, near, far, lattice), 8));
    return _mm512_or_si512(out, channel<2>(p.blue, p.loBlue, near, far, lattice));
}

// The last block may be partial: its missing lanes are neither read nor written.
inline __mmask16 lanesFrom(std::size_t i, std::size_t count)
{
    return count - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (count - i)) - 1);
}

TEINTELLE_AVX512 inline Lattice makeLattice(std::int32_t n, std::int32_t loAdjust, float coef, float reciprocal)
{
    Lattice lattice;
    lattice.edge = _mm512_set1_epi32(n);
    lattice.last = _mm512_set1_epi32(n - 1);
    lattice.adjust = _mm512_set1_epi32(loAdjust);
    lattice.one = _mm512_set1_epi32(1);
    lattice.byteMask = _mm512_set1_epi32(0xFF);
    lattice.coef = _mm512_set1_ps(coef);
    lattice.reciprocal = _mm512_set1_ps(reciprocal);
    return lattice;
}

} // namespace

TEINTELLE_AVX512 void LutKernel::mapAvx512(const TColor32* source, TColor32* destination, std::size_t count,
                                           const std::uint8_t* entries) const
{
    const Lattice lattice = makeLattice(n_, loAdjust_, coef_, reciprocal_);
    for (std::size_t i = 0; i < count; i += 16) {
        const __mmask16 lanes = lanesFrom(i, count);
        const Pixels p = loadPixels(source + i, lanes, lattice);
        const __m512i nearOffset = entryOffset(p.loRed, p.loGreen, p.loBlue, lattice);
        const __m512i farOffset = entryOffset(upperIndex(p.loRed, lattice), upperIndex(p.loGreen, lattice),
                                              upperIndex(p.loBlue, lattice), lattice);
        const __m512i near = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, nearOffset, entries, 1);
        const __m512i far = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, farOffset, entries, 1);
        _mm512_mask_storeu_epi32(destination + i, lanes, outputPixels(p, near, far, lattice));
    }
}

// One 64-bit word per pixel holds both corners: two gathers of eight words
// for sixteen pixels, then the near and far halves taken apart.
TEINTELLE_AVX512 void LutKernel::mapAvx512Paired(const TColor32* source, TColor32* destination, std::size_t count,
                                                 const std::uint64_t* paired) const
{
    const Lattice lattice = makeLattice(n_, loAdjust_, coef_, reciprocal_);
    const __m512i evens = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i odds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    for (std::size_t i = 0; i < count; i += 16) {
        const __mmask16 lanes = lanesFrom(i, count);
        const Pixels p = loadPixels(source + i, lanes, lattice);
        const __m512i index = entryIndex(p.loRed, p.loGreen, p.loBlue, lattice);
        const __m512i low = _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), __mmask8(lanes),
                                                        _mm512_castsi512_si256(index), paired, 8);
        const __m512i high = _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), __mmask8(lanes >> 8),
                                                         _mm512_extracti64x4_epi64(index, 1), paired, 8);
        const __m512i near = _mm512_permutex2var_epi32(low, evens, high);
        const __m512i far = _mm512_permutex2var_epi32(low, odds, high);
        _mm512_mask_storeu_epi32(destination + i, lanes, outputPixels(p, near, far, lattice));
    }
}

#undef TEINTELLE_AVX512

} // namespace teintelle
