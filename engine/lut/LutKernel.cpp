#include "lut/LutKernel.h"

#include "lut/LutTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <new>
#include <vector>

namespace teintelle {

LatticeStep latticeStep(std::uint32_t x, std::int32_t n, float coef)
{
    const long double cell = coef;
    const auto lo = static_cast<std::uint32_t>(std::trunc(static_cast<long double>(x) / cell));
    // lo x coef needs at most 32 + 24 bits: exact in extended precision, and
    // so is the difference.
    const float d = static_cast<float>(static_cast<long double>(x) - static_cast<long double>(lo) * cell);
    const std::uint32_t last = std::uint32_t(n - 1);
    return {lo, lo + 1 <= last ? lo + 1 : lo, d};
}

float slope(std::int32_t difference, float coef)
{
    return static_cast<float>(static_cast<long double>(difference) / static_cast<long double>(coef));
}

LutKernel::LutKernel(std::int32_t n, float coef, Path path) : n_(n), coef_(coef)
{
    enableVectorPath(n, coef, path);
    if (path_ == Path::Portable)
        prepareTables(n, coef);
}

// AVX-512 first where present: it handles twice the pixels per instruction.
LutKernel::Path LutKernel::availablePath(Path wanted)
{
    const bool avx512 = processorHasAvx512();
    const bool avx2 = processorHasAvx2Fma();
    switch (wanted) {
    case Path::Best:
        return avx512 ? Path::Avx512 : avx2 ? Path::Avx2 : Path::Portable;
    case Path::Avx512:
        return avx512 ? Path::Avx512 : Path::Portable;
    case Path::Avx2:
        return avx2 ? Path::Avx2 : Path::Portable;
    case Path::Portable:
        break;
    }
    return Path::Portable;
}

void LutKernel::prepareTables(std::int32_t n, float coef)
{
    corrections_.resize(std::size_t(256) * kRow);
    const auto edge = std::uint64_t(n);
    const std::uint64_t strideRed = sizeof(TLutValeur);
    const std::uint64_t strideGreen = strideRed * edge;
    const std::uint64_t strideBlue = strideGreen * edge;

    std::array<float, 2 * 255 + 1> slopes{};
    for (std::size_t i = 0; i < slopes.size(); ++i)
        slopes[i] = slope(int(i) - 255, coef); // the slope of the difference i - 255

    for (std::uint32_t x = 0; x < 256; ++x) {
        const LatticeStep step = latticeStep(x, n, coef);
        const auto pack = [&](std::uint64_t stride) { return step.lo * stride | (step.hi * stride) << 32; };
        cornersRed_[x] = pack(strideRed);
        cornersGreen_[x] = pack(strideGreen);
        cornersBlue_[x] = pack(strideBlue);

        // k x d: two single-precision values, whose product is exact in
        // double; the conversion rounds to nearest, ties to even.
        std::uint8_t* row = &corrections_[std::size_t(x) * kRow];
        const double d = step.d;
        for (std::size_t i = 0; i < slopes.size(); ++i)
            row[i] = static_cast<std::uint8_t>(_mm_cvtsd_si32(_mm_set_sd(double(slopes[i]) * d)));
    }
}

// x / coef and x * N / 256 differ by less than N x 2^-24, far below the
// 1/256 that separates a non-integer x * N / 256 from the next integer; they
// can only disagree where x * N / 256 is an integer m and coef was rounded
// up, making the lower index m - 1: one adjustment covers both cases. d
// rounds once either way. The slope, rounded twice (to extended, then to
// single), and the reciprocal step, rounded once per operation, can differ in
// rare cases. Every x and every difference is checked. The checks concern
// the arithmetic, not the instruction set: they hold for both vector paths.
void LutKernel::enableVectorPath(std::int32_t n, float coef, Path wanted)
{
    const Path available = availablePath(wanted);
    if (available == Path::Portable || !LutTable::fitsInMemoryLimit(n))
        return;
    loAdjust_ = static_cast<long double>(coef) > 256.0L / n ? 1 : 0;
    for (std::int32_t x = 0; x < 256; ++x) {
        const LatticeStep step = latticeStep(std::uint32_t(x), n, coef);
        const std::int32_t lo = std::max(0, (x * n - loAdjust_) >> 8);
        const float d = std::fma(-static_cast<float>(lo), coef, static_cast<float>(x));
        if (std::uint32_t(lo) != step.lo || d != step.d)
            return;
    }
    // k as the vector path forms it: q = difference x (1 / coef), then
    // q + (difference - q x coef) x (1 / coef), each step rounded once.
    reciprocal_ = 1.0f / coef;
    for (std::int32_t difference = -255; difference <= 255; ++difference) {
        const auto value = static_cast<float>(difference);
        const volatile float estimate = value * reciprocal_;
        const float residual = std::fma(-estimate, coef, value);
        if (std::fma(residual, reciprocal_, estimate) != slope(difference, coef))
            return;
    }
    path_ = available;
}

std::vector<std::uint64_t> LutKernel::pairCorners(const std::uint8_t* entries, std::size_t pixelCount) const
{
    const auto edge = std::size_t(n_);
    if (path_ != Path::Avx512 || n_ > kLargestPairedEdge || pixelCount < edge * edge * edge)
        return {};
    std::vector<std::uint64_t> paired;
    try {
        paired.resize(edge * edge * edge);
    } catch (const std::bad_alloc&) {
        return {}; // the two-read path needs no memory of its own
    }
    std::uint64_t* out = paired.data();
    for (std::size_t blue = 0; blue < edge; ++blue) {
        const std::size_t farBlue = std::min(blue + 1, edge - 1);
        for (std::size_t green = 0; green < edge; ++green) {
            const std::size_t farGreen = std::min(green + 1, edge - 1);
            const std::uint8_t* nearRow = entries + sizeof(TLutValeur) * edge * (green + edge * blue);
            const std::uint8_t* farRow = entries + sizeof(TLutValeur) * edge * (farGreen + edge * farBlue);
            for (std::size_t red = 0; red < edge; ++red) {
                const std::size_t farRed = std::min(red + 1, edge - 1);
                // Four bytes from each entry (the spare entry covers the
                // last); only the three of the entry are ever used.
                std::uint32_t near, far;
                std::memcpy(&near, nearRow + sizeof(TLutValeur) * red, sizeof near);
                std::memcpy(&far, farRow + sizeof(TLutValeur) * farRed, sizeof far);
                *out++ = near | std::uint64_t(far) << 32;
            }
        }
    }
    return paired;
}

void LutKernel::map(const TColor32* source, TColor32* destination, std::size_t count,
                    const std::uint8_t* entries, const std::uint64_t* paired) const
{
    switch (path_) {
    case Path::Avx512:
        if (paired != nullptr)
            mapAvx512Paired(source, destination, count, paired);
        else
            mapAvx512(source, destination, count, entries);
        return;
    case Path::Avx2:
        mapAvx2(source, destination, count, entries);
        return;
    case Path::Best:
    case Path::Portable:
        break;
    }
    mapPortable(source, destination, count, entries);
}

void LutKernel::mapPortable(const TColor32* source, TColor32* destination, std::size_t count,
                            const std::uint8_t* entries) const
{
    const std::uint8_t* corrections = corrections_.data() + 255; // indexed by difference
    for (std::size_t i = 0; i < count; ++i) {
        const TColor32 s = source[i];
        const std::uint32_t red = (s >> 16) & 0xFF;
        const std::uint32_t green = (s >> 8) & 0xFF;
        const std::uint32_t blue = s & 0xFF;
        const std::uint64_t corners = cornersRed_[red] + cornersGreen_[green] + cornersBlue_[blue];
        std::uint32_t near, far;
        std::memcpy(&near, entries + std::uint32_t(corners), sizeof near);
        std::memcpy(&far, entries + (corners >> 32), sizeof far);

        const auto channel = [&](std::uint32_t x, int shift) {
            const int t0 = int(near >> shift) & 0xFF;
            const int t1 = int(far >> shift) & 0xFF;
            return std::uint32_t(t0 + corrections[std::ptrdiff_t(x) * kRow + (t1 - t0)]) & 0xFF;
        };
        destination[i] = (s & 0xFF000000u) | channel(red, 0) << 16 | channel(green, 8) << 8 | channel(blue, 16);
    }
}

} // namespace teintelle
