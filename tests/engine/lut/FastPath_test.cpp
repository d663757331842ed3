// The fast path against the plain extended-precision transcription, for every
// edge size from 1 to 256 and a few wider ones, over every value of each
// channel and over random colours, with random table entries; each vector
// path the processor has is forced in turn, also on short rows.
#include "lut/AppliqueLut.h"
#include "lut/LutKernel.h"
#include "ReferenceLut.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <random>
#include <vector>

using namespace teintelle;

namespace {

// Pixels sweeping each channel through 0..255, the other two fixed at random
// for the sweep, and random colours, with random alpha. (Every probe's corners
// are written into a fresh table: few probes far apart keep that cheap for
// the largest tables.)
std::vector<TColor32> probePixels(std::mt19937& random)
{
    std::vector<TColor32> pixels;
    for (int shift : {16, 8, 0}) {
        const TColor32 others = random() & ~(0xFFu << shift);
        for (TColor32 x = 0; x < 256; ++x)
            pixels.push_back(others | x << shift);
    }
    for (int i = 0; i < 64; ++i)
        pixels.push_back(random());
    return pixels;
}

// Random entries where the probes look.
void fillCornersOf(const std::vector<TColor32>& pixels, LutTable& table, std::int32_t n, std::mt19937& random)
{
    for (TColor32 pixel : pixels) {
        const unsigned x[3] = {(pixel >> 16) & 0xFFu, (pixel >> 8) & 0xFFu, pixel & 0xFFu};
        test::ReferenceCell cell[3];
        for (int c = 0; c < 3; ++c)
            cell[c] = test::referenceCell(x[c], n);
        for (bool far : {false, true}) {
            const auto index = [&](int c) { return std::int32_t(far ? cell[c].hi : cell[c].lo); };
            const auto bits = random();
            table(index(0), index(1), index(2)) = {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16)};
        }
    }
}

using Path = LutKernel::Path;

// The vector paths, each with what the processor needs for it.
struct VectorPath {
    Path path;
    const char* name;
    bool available;
};
const VectorPath kVectorPaths[] = {
    {Path::Avx2, "AVX2", __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")},
    {Path::Avx512, "AVX-512", __builtin_cpu_supports("avx512f") != 0},
};

// What one kernel maps, its corners read separately and, when it makes them,
// from the paired words.
struct Mapped {
    std::vector<TColor32> twoReads, paired;
};

Mapped mapBoth(const LutKernel& kernel, const std::vector<TColor32>& pixels, const std::uint8_t* entries)
{
    Mapped out{std::vector<TColor32>(pixels.size()), {}};
    kernel.map(pixels.data(), out.twoReads.data(), pixels.size(), entries);
    const auto paired = kernel.pairCorners(entries, SIZE_MAX);
    if (!paired.empty()) {
        out.paired.resize(pixels.size());
        kernel.map(pixels.data(), out.paired.data(), pixels.size(), entries, paired.data());
    }
    return out;
}

// Each vector path the processor has, forced, against the reference; counts
// in taken the sizes for which it ran.
void compareVectorPaths(const LutTable& table, std::int32_t n, float coef, const std::vector<TColor32>& pixels,
                        int (&taken)[std::size(kVectorPaths)])
{
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    for (std::size_t p = 0; p < std::size(kVectorPaths); ++p) {
        const LutKernel kernel(n, coef, kVectorPaths[p].path);
        if (kernel.path() != kVectorPaths[p].path)
            continue;
        ++taken[p];
        const Mapped out = mapBoth(kernel, pixels, entries);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const TColor32 expected = test::referencePixel(pixels[i], table, n);
            ASSERT_EQ(out.twoReads[i], expected)
                << kVectorPaths[p].name << ", N = " << n << ", input " << std::hex << pixels[i];
            if (!out.paired.empty()) {
                ASSERT_EQ(out.paired[i], expected)
                    << kVectorPaths[p].name << " paired, N = " << n << ", input " << std::hex << pixels[i];
            }
        }
    }
}

// Compares AppliqueLut (the best path) and the portable kernel with the
// reference; returns whether the best path was the vector one.
bool compareWithReference(LutTable& table, std::int32_t n, std::mt19937& random, int (&taken)[std::size(kVectorPaths)])
{
    const auto pixels = probePixels(random);
    table.resize(n);
    fillCornersOf(pixels, table, n, random);

    TBitmap32 source, destination;
    source.SetSize(std::int32_t(pixels.size()), 1);
    std::copy(pixels.begin(), pixels.end(), source.Bits());
    float coef = 0;
    AppliqueLut(source, destination, table, n, coef);
    EXPECT_EQ(coef, static_cast<float>(256.0L / n));
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    const LutKernel portable(n, coef, LutKernel::Path::Portable);
    std::vector<TColor32> portableOut(pixels.size());
    portable.map(pixels.data(), portableOut.data(), pixels.size(), entries);
    // The vector path with both corners in one word, which AppliqueLut takes
    // only for pictures of at least N^3 pixels.
    const LutKernel best(n, coef);
    const auto paired = best.pairCorners(entries, SIZE_MAX);
    std::vector<TColor32> pairedOut(pixels.size());
    if (!paired.empty())
        best.map(pixels.data(), pairedOut.data(), pixels.size(), entries, paired.data());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const TColor32 expected = test::referencePixel(pixels[i], table, n);
        EXPECT_EQ(destination.Bits()[i], expected) << "N = " << n << ", input " << std::hex << pixels[i];
        EXPECT_EQ(portableOut[i], expected) << "portable, N = " << n << ", input " << std::hex << pixels[i];
        if (!paired.empty()) {
            EXPECT_EQ(pairedOut[i], expected) << "paired, N = " << n << ", input " << std::hex << pixels[i];
        }
        if (destination.Bits()[i] != expected || portableOut[i] != expected
            || (!paired.empty() && pairedOut[i] != expected))
            return false;
    }
    compareVectorPaths(table, n, coef, pixels, taken);
    return best.vectorised();
}

} // namespace

TEST(FastPath, EqualsThePlainTranscriptionForEverySize)
{
    std::mt19937 random(20261209);
    int vectorised = 0;
    int taken[std::size(kVectorPaths)] = {};
    // One table, resized from the largest size down: its storage is reused,
    // and only the probes' corners are written (the rest is never read).
    LutTable table;
    for (std::int32_t n = 256; n >= 1; --n)
        vectorised += compareWithReference(table, n, random, taken) ? 1 : 0;
    // Which sizes took the vector path depends on the processor; say it.
    RecordProperty("vectorised_sizes", vectorised);
    std::printf("vector path taken for %d of 256 sizes\n", vectorised);
    // The kernel's checks of the vector arithmetic hold for every size up to
    // 256: a vector path the processor has must have been compared for each.
    for (std::size_t p = 0; p < std::size(kVectorPaths); ++p) {
        std::printf("%s: %d of 256 sizes\n", kVectorPaths[p].name, taken[p]);
        EXPECT_EQ(taken[p], kVectorPaths[p].available ? 256 : 0) << kVectorPaths[p].name;
    }
}

TEST(FastPath, EqualsThePlainTranscriptionAbove256)
{
    std::mt19937 random(42);
    LutTable table;
    int taken[std::size(kVectorPaths)] = {};
    for (std::int32_t n : {300, 257})
        compareWithReference(table, n, random, taken);
}

// The widest vector path the processor has, or the one asked for; the
// portable path when the processor lacks it.
TEST(FastPath, TakesTheVectorPathAskedForWhenTheProcessorHasIt)
{
    const bool avx2 = kVectorPaths[0].available;
    const bool avx512 = kVectorPaths[1].available;
    const struct {
        Path asked, expected;
    } cases[] = {
        {Path::Best, avx512 ? Path::Avx512
                     : avx2 ? Path::Avx2
                            : Path::Portable},
        {Path::Portable, Path::Portable},
        {Path::Avx2, avx2 ? Path::Avx2 : Path::Portable},
        {Path::Avx512, avx512 ? Path::Avx512 : Path::Portable},
    };
    for (const auto& c : cases) {
        const LutKernel kernel(33, static_cast<float>(256.0L / 33), c.asked);
        EXPECT_EQ(int(kernel.path()), int(c.expected)) << "asked " << int(c.asked);
        EXPECT_EQ(kernel.vectorised(), c.expected != Path::Portable) << "asked " << int(c.asked);
    }
}

// Rows of 1 to 33 pixels, whole vector blocks or not: each pixel as the
// reference maps it, and nothing written past the end. (The rows are exactly
// their size, so the sanitizer build also catches a read past the end.)
TEST(FastPath, MapsShortRowsUpToTheirEnd)
{
    std::mt19937 random(7);
    constexpr TColor32 kUntouched = 0x5A5A5A5Au;
    for (std::int32_t n : {2, 17, 33}) {
        LutTable table;
        table.resize(n);
        for (std::uint64_t e = 0; e < table.entryCount(); ++e) {
            const auto bits = random();
            table.inFileOrder(e) = {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16)};
        }
        const float coef = static_cast<float>(256.0L / n);
        const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
        for (const Path path : {Path::Portable, Path::Avx2, Path::Avx512}) {
            const LutKernel kernel(n, coef, path);
            if (kernel.path() != path)
                continue;
            const auto paired = kernel.pairCorners(entries, SIZE_MAX);
            std::vector<const std::uint64_t*> reads{nullptr}; // corners read separately, then paired
            if (!paired.empty())
                reads.push_back(paired.data());
            for (std::size_t count = 1; count <= 33; ++count) {
                std::vector<TColor32> pixels(count);
                for (TColor32& pixel : pixels)
                    pixel = random();
                for (const std::uint64_t* words : reads) {
                    std::vector<TColor32> out(count + 8, kUntouched);
                    kernel.map(pixels.data(), out.data(), count, entries, words);
                    for (std::size_t i = 0; i < count; ++i)
                        ASSERT_EQ(out[i], test::referencePixel(pixels[i], table, n))
                            << "path " << int(path) << (words ? " paired" : "") << ", N = " << n << ", " << count
                            << " pixels, pixel " << i;
                    for (std::size_t i = count; i < out.size(); ++i)
                        ASSERT_EQ(out[i], kUntouched) << "path " << int(path) << (words ? " paired" : "") << ", "
                                                      << count << " pixels, past the end";
                }
            }
        }
    }
}
