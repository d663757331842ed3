// The application's vector path: AVX-512, sixteen pixels at a time. The two
// corners are gathered from the table; the correction is computed rather than
// looked up, with the same roundings as the portable path, which the kernel
// checks for every input value and corner difference before enabling it.
#include "lut/LutKernel.h"

// GCC 12's AVX-512 shift and min/max intrinsics start from a deliberately
// undefined vector, which its uninitialised-use warning flags.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
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

// Byte offset of entry [red][green][blue]: 3 x (red + N x (green + N x blue)).
TEINTELLE_AVX512 inline __m512i entryOffset(__m512i red, __m512i green, __m512i blue, const Lattice& lattice)
{
    const __m512i index = _mm512_add_epi32(
        red, _mm512_mullo_epi32(lattice.edge, _mm512_add_epi32(green, _mm512_mullo_epi32(lattice.edge, blue))));
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

} // namespace

TEINTELLE_AVX512 void LutKernel::mapAvx512(const TColor32* source, TColor32* destination, std::size_t count,
                                           const std::uint8_t* entries) const
{
    Lattice lattice;
    lattice.edge = _mm512_set1_epi32(n_);
    lattice.last = _mm512_set1_epi32(n_ - 1);
    lattice.adjust = _mm512_set1_epi32(loAdjust_);
    lattice.one = _mm512_set1_epi32(1);
    lattice.byteMask = _mm512_set1_epi32(0xFF);
    lattice.coef = _mm512_set1_ps(coef_);
    lattice.reciprocal = _mm512_set1_ps(reciprocal_);
    const __m512i alphaMask = _mm512_set1_epi32(std::int32_t(0xFF000000u));

    for (std::size_t i = 0; i < count; i += 16) {
        // The last block may be partial: its missing lanes are neither read nor written.
        const __mmask16 lanes = count - i >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (count - i)) - 1);
        const __m512i s = _mm512_maskz_loadu_epi32(lanes, source + i);
        const __m512i red = _mm512_and_si512(_mm512_srli_epi32(s, 16), lattice.byteMask);
        const __m512i green = _mm512_and_si512(_mm512_srli_epi32(s, 8), lattice.byteMask);
        const __m512i blue = _mm512_and_si512(s, lattice.byteMask);
        const __m512i loRed = lowerIndex(red, lattice), loGreen = lowerIndex(green, lattice),
                      loBlue = lowerIndex(blue, lattice);
        const __m512i nearOffset = entryOffset(loRed, loGreen, loBlue, lattice);
        const __m512i farOffset = entryOffset(upperIndex(loRed, lattice), upperIndex(loGreen, lattice),
                                              upperIndex(loBlue, lattice), lattice);
        const __m512i near = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, nearOffset, entries, 1);
        const __m512i far = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), lanes, farOffset, entries, 1);

        // Entry bytes are r, v, b: red is byte 0 of the gathered word.
        __m512i out = _mm512_and_si512(s, alphaMask);
        out = _mm512_or_si512(out, _mm512_slli_epi32(channel<0>(red, loRed, near, far, lattice), 16));
        out = _mm512_or_si512(out, _mm512_slli_epi32(channel<1>(green, loGreen, near, far, lattice), 8));
        out = _mm512_or_si512(out, channel<2>(blue, loBlue, near, far, lattice));
        _mm512_mask_storeu_epi32(destination + i, lanes, out);
    }
}

} // namespace teintelle
