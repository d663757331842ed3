#pragma once

#include "imaging/TBitmap32.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace teintelle {

// Where one 8-bit input value falls in the lattice of an N-sized table:
// its lower index, its upper index (lo + 1, at most N - 1) and its offset d
// inside the cell, each formed as the application defines them.
struct LatticeStep {
    std::uint32_t lo;
    std::uint32_t hi;
    float d;
};
LatticeStep latticeStep(std::uint32_t x, std::int32_t n, float coef);

// The slope k of a channel whose far and near corner components differ by
// `difference`, stored as single precision.
float slope(std::int32_t difference, float coef);

// The application's arithmetic, prepared for one edge size. It depends on N
// only through coef and the lattice strides, so each pixel becomes a handful
// of table reads:
//   - per channel and input value, the byte offsets of the near and far
//     corners' contributions, packed in one 64-bit word so that one addition
//     per channel gives both corners;
//   - per input value and corner difference (-255 to 255), the rounded
//     correction k x d, kept modulo 256 since the output is T0 + correction
//     and always fits 8 bits.
class LutKernel {
public:
    enum class Path {
        Best,     // the fastest vector path the processor has, when the edge size allows it
        Portable, // plain 64-bit code, one pixel at a time
        Avx2,     // AVX2 and FMA, eight pixels at a time
        Avx512,   // AVX-512, sixteen pixels at a time
    };

    // A vector path the processor lacks, or whose arithmetic differs from
    // the portable one for this edge size, gives the portable path; path()
    // says which one map runs.
    LutKernel(std::int32_t n, float coef, Path path = Path::Best); // n >= 1

    // Maps count pixels through the table's entries (with the spare entry
    // after the last one, see LutTable). With `paired` (from pairCorners on
    // the same entries) the AVX-512 path reads both corners of a pixel at once.
    void map(const TColor32* source, TColor32* destination, std::size_t count, const std::uint8_t* entries,
             const std::uint64_t* paired = nullptr) const;

    // For each entry, its own bytes and those of its far corner (one step up
    // on every axis, at most N - 1) in one 64-bit word: the vector path then
    // gathers one word per pixel instead of two. Worth its making only for
    // pictures of at least N^3 pixels and tables up to kLargestPairedEdge;
    // empty otherwise, when the AVX-512 path is off, or when memory is short.
    // (The AVX2 path always reads the two corners: on the AMD processor it
    // was measured on, the paired words saved nothing and cost their making.)
    static constexpr std::int32_t kLargestPairedEdge = 65;
    std::vector<std::uint64_t> pairCorners(const std::uint8_t* entries, std::size_t pixelCount) const;

    // Whether map runs a vector path, and which path it runs (never Best).
    bool vectorised() const { return path_ != Path::Portable; }
    Path path() const { return path_; }

private:
    static constexpr int kRow = 512; // corrections per input value, differences -255..255 and one pad

    void mapPortable(const TColor32* source, TColor32* destination, std::size_t count,
                     const std::uint8_t* entries) const;
    // AVX-512, 16 pixels at a time (LutKernelAvx512.cpp), and AVX2 with FMA,
    // 8 at a time (LutKernelAvx2.cpp). Both compute what the portable path
    // looks up: the lower index as max(0, (x * N - adjust) >> 8), d with a
    // fused multiply-add, k from the reciprocal of coef and one correction
    // step.
    // The constructor checks each against latticeStep and slope for every x
    // and every difference before enabling either path.
    void mapAvx512(const TColor32* source, TColor32* destination, std::size_t count,
                   const std::uint8_t* entries) const;
    void mapAvx512Paired(const TColor32* source, TColor32* destination, std::size_t count,
                         const std::uint64_t* paired) const;
    void mapAvx2(const TColor32* source, TColor32* destination, std::size_t count, const std::uint8_t* entries) const;
    static bool processorHasAvx512();
    static bool processorHasAvx2Fma();
    static Path availablePath(Path wanted);
    void enableVectorPath(std::int32_t n, float coef, Path wanted);
    void prepareTables(std::int32_t n, float coef);

    std::int32_t n_ = 1;
    float coef_ = 256.0f;
    float reciprocal_ = 1.0f / 256.0f;
    std::int32_t loAdjust_ = 0;
    Path path_ = Path::Portable;

    std::array<std::uint64_t, 256> cornersRed_{};
    std::array<std::uint64_t, 256> cornersGreen_{};
    std::array<std::uint64_t, 256> cornersBlue_{};
    std::vector<std::uint8_t> corrections_;
};

} // namespace teintelle
