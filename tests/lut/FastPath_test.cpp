// The fast path against the plain extended-precision transcription, for every
// edge size from 1 to 256 and a few wider ones, over every value of each
// channel and over random colours, with random table entries.
#include "lut/AppliqueLut.h"
#include "ReferenceLut.h"

#include <gtest/gtest.h>

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
    for (int i = 0; i < 256; ++i)
        pixels.push_back(random());
    return pixels;
}

// Random entries where the probes look; the rest of the table is never read.
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

void compareWithReference(std::int32_t n, std::mt19937& random)
{
    const auto pixels = probePixels(random);
    LutTable table;
    table.resize(n);
    fillCornersOf(pixels, table, n, random);

    TBitmap32 source, destination;
    source.SetSize(std::int32_t(pixels.size()), 1);
    std::copy(pixels.begin(), pixels.end(), source.Bits());
    float coef = 0;
    AppliqueLut(source, destination, table, n, coef);
    ASSERT_EQ(coef, static_cast<float>(256.0L / n));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        ASSERT_EQ(destination.Bits()[i], test::referencePixel(pixels[i], table, n))
            << "N = " << n << ", input " << std::hex << pixels[i];
}

} // namespace

TEST(FastPath, EqualsThePlainTranscriptionForEverySize)
{
    std::mt19937 random(20261209);
    for (std::int32_t n = 1; n <= 256; ++n)
        compareWithReference(n, random);
}

TEST(FastPath, EqualsThePlainTranscriptionAbove256)
{
    std::mt19937 random(42);
    for (std::int32_t n : {257, 300, 511, 710})
        compareWithReference(n, random);
}
