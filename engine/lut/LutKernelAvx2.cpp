// The vector path for processors with AVX2 and FMA: eight pixels at a time,
// the arithmetic of the AVX-512 path (LutKernelAvx512.cpp), which the kernel
// checks for every input value and corner difference before enabling it.
// Only this file is compiled for AVX2; the rest of the build stays generic.
#include "lut/LutKernel.h"

#include <immintrin.h>

#include <cstring>

namespace teintelle {

bool LutKernel::processorHasAvx2Fma()
{
    static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return available;
}

namespace {

#define TEINTELLE_AVX2 __attribute__((target("avx2,fma")))

constexpr std::size_t kLanes = 8;

// Lattice indexes and the products of two of them fit 16 bits (N is at most
// 709 within the table's memory limit), so most multiplications are pairs of
// 16-bit ones (vpmaddwd), cheaper than 32-bit ones on several processors.
struct Lattice {
    __m256i edge, last, adjust, byteMask;
    __m256i redGreenBytes; // 3 and 3N as 16-bit pairs: the byte offset of red + N x green
    __m256i planeBytes;    // 3N^2
    __m256i greenBytes;    // 3N
    __m256 coef;
    __m256 reciprocal; // 1 / coef in single precision
};

TEINTELLE_AVX2 inline Lattice makeLattice(std::int32_t n, std::int32_t loAdjust, float coef, float reciprocal)
{
    Lattice lattice;
    lattice.edge = _mm256_set1_epi32(n);
    lattice.last = _mm256_set1_epi32(n - 1);
    lattice.adjust = _mm256_set1_epi32(loAdjust);
    lattice.byteMask = _mm256_set1_epi32(0xFF);
    lattice.redGreenBytes = _mm256_set1_epi32(3 | ((3 * n) << 16));
    lattice.planeBytes = _mm256_set1_epi32(3 * n * n);
    lattice.greenBytes = _mm256_set1_epi32(3 * n);
    lattice.coef = _mm256_set1_ps(coef);
    lattice.reciprocal = _mm256_set1_ps(reciprocal);
    return lattice;
}

// Lower index: max(0, (x * N - adjust) >> 8), x and N as 16-bit values.
TEINTELLE_AVX2 inline __m256i lowerIndex(__m256i x, const Lattice& lattice)
{
    const __m256i scaled = _mm256_srai_epi32(_mm256_sub_epi32(_mm256_madd_epi16(x, lattice.edge), lattice.adjust), 8);
    return _mm256_max_epi32(_mm256_setzero_si256(), scaled);
}

// Byte offset of entry [red][green][blue], three bytes an entry:
// 3 x (red + N x green + N^2 x blue), red and green side by side in each lane
// for one 16-bit pair product.
TEINTELLE_AVX2 inline __m256i entryOffset(__m256i red, __m256i green, __m256i blue, const Lattice& lattice)
{
    const __m256i redGreen = _mm256_or_si256(red, _mm256_slli_epi32(green, 16));
    return _mm256_add_epi32(_mm256_madd_epi16(redGreen, lattice.redGreenBytes),
                            _mm256_mullo_epi32(blue, lattice.planeBytes));
}

// The step up of one axis, in bytes, where its lower index is below N - 1.
TEINTELLE_AVX2 inline __m256i axisStep(__m256i lo, __m256i stride, const Lattice& lattice)
{
    return _mm256_and_si256(_mm256_cmpgt_epi32(lattice.last, lo), stride);
}

// The far corner's offset from the near one's: one step up on every axis.
TEINTELLE_AVX2 inline __m256i farOffset(__m256i nearOffset, __m256i loRed, __m256i loGreen, __m256i loBlue,
                                        const Lattice& lattice)
{
    const __m256i red = axisStep(loRed, _mm256_set1_epi32(3), lattice);
    const __m256i greenBlue =
        _mm256_add_epi32(axisStep(loGreen, lattice.greenBytes, lattice), axisStep(loBlue, lattice.planeBytes, lattice));
    return _mm256_add_epi32(_mm256_add_epi32(nearOffset, red), greenBlue);
}

// The product k x d of four lanes, exact in double, rounded to nearest, ties
// to even, by the rounding instruction's own mode rather than the MXCSR's;
// the conversion of the integer it gives is then exact.
TEINTELLE_AVX2 inline __m128i roundedProduct(__m128 k, __m128 d)
{
    const __m256d product = _mm256_mul_pd(_mm256_cvtps_pd(k), _mm256_cvtps_pd(d));
    return _mm256_cvttpd_epi32(_mm256_round_pd(product, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
}

// One output channel: T0 + round(k x d). k = (T1 - T0) / coef in single
// precision, from the reciprocal and one correction step; d = x - lo x coef
// rounded once (a fused multiply-add).
template <int kByte>
TEINTELLE_AVX2 inline __m256i channel(__m256i x, __m256i lo, __m256i near, __m256i far, const Lattice& lattice)
{
    const __m256i t0 = _mm256_and_si256(_mm256_srli_epi32(near, 8 * kByte), lattice.byteMask);
    const __m256i t1 = _mm256_and_si256(_mm256_srli_epi32(far, 8 * kByte), lattice.byteMask);
    const __m256 difference = _mm256_cvtepi32_ps(_mm256_sub_epi32(t1, t0));
    const __m256 estimate = _mm256_mul_ps(difference, lattice.reciprocal);
    const __m256 residual = _mm256_fnmadd_ps(estimate, lattice.coef, difference);
    const __m256 k = _mm256_fmadd_ps(residual, lattice.reciprocal, estimate);
    const __m256 d = _mm256_fnmadd_ps(_mm256_cvtepi32_ps(lo), lattice.coef, _mm256_cvtepi32_ps(x));

    const __m128i low = roundedProduct(_mm256_castps256_ps128(k), _mm256_castps256_ps128(d));
    const __m128i high = roundedProduct(_mm256_extractf128_ps(k, 1), _mm256_extractf128_ps(d, 1));
    return _mm256_and_si256(_mm256_add_epi32(t0, _mm256_set_m128i(high, low)), lattice.byteMask);
}

// The channels of eight pixels and their lower indices.
struct Pixels {
    __m256i source, red, green, blue, loRed, loGreen, loBlue;
};

TEINTELLE_AVX2 inline Pixels loadPixels(const TColor32* source, const Lattice& lattice)
{
    Pixels p;
    p.source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
    p.red = _mm256_and_si256(_mm256_srli_epi32(p.source, 16), lattice.byteMask);
    p.green = _mm256_and_si256(_mm256_srli_epi32(p.source, 8), lattice.byteMask);
    p.blue = _mm256_and_si256(p.source, lattice.byteMask);
    p.loRed = lowerIndex(p.red, lattice);
    p.loGreen = lowerIndex(p.green, lattice);
    p.loBlue = lowerIndex(p.blue, lattice);
    return p;
}

// The output pixels from the near and far corners' entries (bytes r, v, b:
// red is byte 0 of each word), alpha kept.
[[gnu::always_inline]] TEINTELLE_AVX2 inline __m256i outputPixels(const Pixels& p, __m256i near, __m256i far,
                                                                  const Lattice& lattice)
{
    const __m256i alphaMask = _mm256_set1_epi32(std::int32_t(0xFF000000u));
    __m256i out = _mm256_and_si256(p.source, alphaMask);
    out = _mm256_or_si256(out, _mm256_slli_epi32(channel<0>(p.red, p.loRed, near, far, lattice), 16));
    out = _mm256_or_si256(out, _mm256_slli_epi32(channel<1>(p.green, p.loGreen, near, far, lattice), 8));
    return _mm256_or_si256(out, channel<2>(p.blue, p.loBlue, near, far, lattice));
}

// Eight pixels, their two corners read from the entries.
TEINTELLE_AVX2 inline void mapBlock(const TColor32* source, TColor32* destination, const std::uint8_t* entries,
                                    const Lattice& lattice)
{
    const Pixels p = loadPixels(source, lattice);
    const __m256i nearOffset = entryOffset(p.loRed, p.loGreen, p.loBlue, lattice);
    const auto* words = reinterpret_cast<const int*>(entries);
    const __m256i near = _mm256_i32gather_epi32(words, nearOffset, 1);
    const __m256i far = _mm256_i32gather_epi32(words, farOffset(nearOffset, p.loRed, p.loGreen, p.loBlue, lattice), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), outputPixels(p, near, far, lattice));
}

} // namespace

// Whole blocks of eight pixels in place; the last, partial one through a
// block of its own, padded with black pixels (whose corners are entry 0 and
// its far corner), so that nothing past the end of either row is touched.
TEINTELLE_AVX2 void LutKernel::mapAvx2(const TColor32* source, TColor32* destination, std::size_t count,
                                       const std::uint8_t* entries) const
{
    const Lattice lattice = makeLattice(n_, loAdjust_, coef_, reciprocal_);
    std::size_t i = 0;
    for (; count - i >= kLanes; i += kLanes)
        mapBlock(source + i, destination + i, entries, lattice);
    if (i == count)
        return;
    TColor32 in[kLanes] = {};
    TColor32 out[kLanes];
    std::memcpy(in, source + i, (count - i) * sizeof(TColor32));
    mapBlock(in, out, entries, lattice);
    std::memcpy(destination + i, out, (count - i) * sizeof(TColor32));
}

#undef TEINTELLE_AVX2

} // namespace teintelle
