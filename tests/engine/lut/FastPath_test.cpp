// The fast path against the plain extended-precision transcription, for every
// edge size from 1 to 256 and a few wider ones, over every value of each
// channel and over random colours, with random table entries.
#include "lut/AppliqueLut.h"
#include "lut/LutKernel.h"
#include "ReferenceLut.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
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

// Compares AppliqueLut (the best path) and the portable kernel with the
// reference; returns whether the best path was the vector one.
bool compareWithReference(LutTable& table, std::int32_t n, std::mt19937& random)
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
    return best.vectorised();
}

} // namespace

TEST(FastPath, EqualsThePlainTranscriptionForEverySize)
{
    std::mt19937 random(20261209);
    int vectorised = 0;
    // One table, resized from the largest size down: its storage is reused,
    // and only the probes' corners are written (the rest is never read).
    LutTable table;
    for (std::int32_t n = 256; n >= 1; --n)
        vectorised += compareWithReference(table, n, random) ? 1 : 0;
    // Which sizes took the vector path depends on the processor; say it.
    RecordProperty("vectorised_sizes", vectorised);
    std::printf("vector path taken for %d of 256 sizes\n", vectorised);
}

TEST(FastPath, EqualsThePlainTranscriptionAbove256)
{
    std::mt19937 random(42);
    LutTable table;
    for (std::int32_t n : {300, 257})
        compareWithReference(table, n, random);
}
