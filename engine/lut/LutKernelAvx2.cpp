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
    __m256i redGreenIndex;     // 1 and N as 16-bit pairs: red + N x green
    __m256i redGreenOffset;    // 3 and 3N: the byte offset of red + N x green
    __m256i plane, planeBytes; // N^2 and 3N^2
    __m256i greenBytes;        // 3N
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
    lattice.redGreenIndex = _mm256_set1_epi32(1 | n << 16);
    lattice.redGreenOffset = _mm256_set1_epi32(3 | 3 * n << 16);
    lattice.plane = _mm256_set1_epi32(n * n);
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

// red + N x green + N^2 x blue, weighted by strides (the index's or the byte
// offset's): red and green side by side in each lane, one 16-bit pair product.
TEINTELLE_AVX2 inline __m256i weightedSum(__m256i red, __m256i green, __m256i blue, __m256i redGreenStrides,
                                          __m256i blueStride)
{
    const __m256i redGreen = _mm256_or_si256(red, _mm256_slli_epi32(green, 16));
    return _mm256_add_epi32(_mm256_madd_epi16(redGreen, redGreenStrides), _mm256_mullo_epi32(blue, blueStride));
}

// Index of entry [red][green][blue]: red + N x (green + N x blue).
TEINTELLE_AVX2 inline __m256i entryIndex(__m256i red, __m256i green, __m256i blue, const Lattice& lattice)
{
    return weightedSum(red, green, blue, lattice.redGreenIndex, lattice.plane);
}

// Its byte offset: three bytes an entry.
TEINTELLE_AVX2 inline __m256i entryOffset(__m256i red, __m256i green, __m256i blue, const Lattice& lattice)
{
    return weightedSum(red, green, blue, lattice.redGreenOffset, lattice.planeBytes);
}

// The far corner's offset from the near one's: one step up on each axis
// whose lower index is below N - 1.
TEINTELLE_AVX2 inline __m256i farOffset(__m256i nearOffset, __m256i loRed, __m256i loGreen, __m256i loBlue,
                                        const Lattice& lattice)
{
    const auto step = [&](__m256i lo, __m256i stride)
                          TEINTELLE_AVX2 { return _mm256_and_si256(_mm256_cmpgt_epi32(lattice.last, lo), stride); };
    return _mm256_add_epi32(_mm256_add_epi32(nearOffset, step(loRed, _mm256_set1_epi32(3))),
                            _mm256_add_epi32(step(loGreen, lattice.greenBytes), step(loBlue, lattice.planeBytes)));
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

// Both corners read separately from the entries.
struct TwoReads {
    const std::uint8_t* entries;
    const Lattice& lattice;

    TEINTELLE_AVX2 void operator()(const TColor32* source, TColor32* destination) const
    {
        const Pixels p = loadPixels(source, lattice);
        const __m256i nearOffset = entryOffset(p.loRed, p.loGreen, p.loBlue, lattice);
        const auto* words = reinterpret_cast<const int*>(entries);
        const __m256i near = _mm256_i32gather_epi32(words, nearOffset, 1);
        const __m256i far =
            _mm256_i32gather_epi32(words, farOffset(nearOffset, p.loRed, p.loGreen, p.loBlue, lattice), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), outputPixels(p, near, far, lattice));
    }
};

// One 64-bit word per pixel holds both corners: two gathers of four words
// for eight pixels, then the near and far halves taken apart.
struct PairedRead {
    const std::uint64_t* paired;
    const Lattice& lattice;

    TEINTELLE_AVX2 void operator()(const TColor32* source, TColor32* destination) const
    {
        const Pixels p = loadPixels(source, lattice);
        const __m256i index = entryIndex(p.loRed, p.loGreen, p.loBlue, lattice);
        const auto* words = reinterpret_cast<const long long*>(paired);
        const __m256i low = _mm256_i32gather_epi64(words, _mm256_castsi256_si128(index), 8);
        const __m256i high = _mm256_i32gather_epi64(words, _mm256_extracti128_si256(index, 1), 8);
        // Each half as four near words then four far words.
        const __m256i nearThenFar = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        const __m256i lowSorted = _mm256_permutevar8x32_epi32(low, nearThenFar);
        const __m256i highSorted = _mm256_permutevar8x32_epi32(high, nearThenFar);
        const __m256i near = _mm256_permute2x128_si256(lowSorted, highSorted, 0x20);
        const __m256i far = _mm256_permute2x128_si256(lowSorted, highSorted, 0x31);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), outputPixels(p, near, far, lattice));
    }
};

// Whole blocks of eight pixels in place; the last, partial one through a
// block of its own, padded with black pixels (whose corners are entry 0 and
// its far corner), so that nothing past the end of either row is touched.
template <typename Block>
TEINTELLE_AVX2 inline void mapInBlocksOfEight(const TColor32* source, TColor32* destination, std::size_t count,
                                              const Block& block)
{
    std::size_t i = 0;
    for (; count - i >= kLanes; i += kLanes)
        block(source + i, destination + i);
    if (i == count)
        return;
    TColor32 in[kLanes] = {};
    TColor32 out[kLanes];
    std::memcpy(in, source + i, (count - i) * sizeof(TColor32));
    block(in, out);
    std::memcpy(destination + i, out, (count - i) * sizeof(TColor32));
}

} // namespace

TEINTELLE_AVX2 void LutKernel::mapAvx2(const TColor32* source, TColor32* destination, std::size_t count,
                                       const std::uint8_t* entries) const
{
    const Lattice lattice = makeLattice(n_, loAdjust_, coef_, reciprocal_);
    mapInBlocksOfEight(source, destination, count, TwoReads{entries, lattice});
}

TEINTELLE_AVX2 void LutKernel::mapAvx2Paired(const TColor32* source, TColor32* destination, std::size_t count,
                                             const std::uint64_t* paired) const
{
    const Lattice lattice = makeLattice(n_, loAdjust_, coef_, reciprocal_);
    mapInBlocksOfEight(source, destination, count, PairedRead{paired, lattice});
}

} // namespace teintelle
