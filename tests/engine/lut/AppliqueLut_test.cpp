#include "lut/AppliqueLut.h"
#include "lut/CubeFixtures.h"
#include "lut/LutKernel.h"
#include "ReferenceLut.h"

#include <gtest/gtest.h>

#include <random>

using namespace teintelle;

namespace {

// A table read from .cube text whose lattice values on each axis are `levels`.
void loadLevels(LutTable& table, std::int32_t& taille, const std::vector<double>& levels)
{
    const int n = int(levels.size());
    const auto text = test::cubeText(n, [&](int ri, int vi, int bi, double& r, double& v, double& b) {
        r = levels[std::size_t(ri)];
        v = levels[std::size_t(vi)];
        b = levels[std::size_t(bi)];
    });
    ASSERT_EQ(test::readText(text, table, taille), CubeStatus::Loaded);
}

TColor32 applyToOne(TColor32 pixel, const LutTable& table, std::int32_t taille, float* coefOut = nullptr)
{
    TBitmap32 source, destination;
    source.SetSize(1, 1);
    source.pixel(0, 0) = pixel;
    float coef = 0;
    AppliqueLut(source, destination, table, taille, coef);
    if (coefOut != nullptr)
        *coefOut = coef;
    return destination.pixel(0, 0);
}

struct PixelCase {
    TColor32 in, out;
};

} // namespace

TEST(AppliqueLut, CellWidth)
{
    EXPECT_EQ(coefForSize(33), 7.757575988769531f);
    EXPECT_EQ(coefForSize(3), 85.33333587646484f);
    EXPECT_EQ(coefForSize(2), 128.0f);
    EXPECT_EQ(coefForSize(1), 256.0f);
    EXPECT_EQ(coefForSize(256), 1.0f);
}

TEST(AppliqueLut, LatticeSteps)
{
    const struct {
        std::uint32_t x;
        std::int32_t n;
        LatticeStep step;
    } cases[] = {
        {255, 33, {32, 32, 6.757568359375f}},
        {248, 33, {31, 32, 7.515144348144531f}},
        {8, 33, {1, 2, 0.24242401123046875f}},
        {7, 33, {0, 1, 7.0f}},
        {100, 3, {1, 2, 14.666664123535156f}},
        {50, 3, {0, 1, 50.0f}},
        {250, 3, {2, 2, 79.33332824707031f}},
        {200, 2, {1, 1, 72.0f}},
        {255, 1, {0, 0, 255.0f}},
        {255, 256, {255, 255, 0.0f}},
        {255, 300, {298, 299, 0.7066605091094971f}}, // wider than 8 bits: the upper index follows
    };
    for (const auto& c : cases) {
        const auto step = latticeStep(c.x, c.n, coefForSize(c.n));
        EXPECT_EQ(step.lo, c.step.lo) << c.x << " of " << c.n;
        EXPECT_EQ(step.hi, c.step.hi) << c.x << " of " << c.n;
        EXPECT_EQ(step.d, c.step.d) << c.x << " of " << c.n;
    }
    EXPECT_EQ(slope(128, coefForSize(3)), 1.5f);
    EXPECT_EQ(slope(127, coefForSize(3)), 1.48828125f);
    EXPECT_EQ(slope(255, coefForSize(2)), 1.9921875f);
}

TEST(AppliqueLut, WorkedExampleWithTwoLevels)
{
    LutTable table;
    std::int32_t taille = 0;
    loadLevels(table, taille, {0.0, 1.0});
    const PixelCase cases[] = {
        {0xFF40C880, 0xFF80FFFF}, // (64, 200, 128): red 1.9921875 x 64 = 127.5 rounds to 128
        {0xFF404040, 0xFF808080},
        {0xFF010203, 0xFF020406},
        {0xFF7F7F7F, 0xFFFDFDFD},
    };
    float coef = 0;
    for (const auto& c : cases)
        EXPECT_EQ(applyToOne(c.in, table, taille, &coef), c.out) << std::hex << c.in;
    EXPECT_EQ(coef, 128.0f);
}

TEST(AppliqueLut, WorkedExampleWithThreeLevels)
{
    LutTable table;
    std::int32_t taille = 0;
    loadLevels(table, taille, {0.0, 0.5, 1.0});
    const PixelCase cases[] = {
        {0xFF6432FA, 0xFF954AFF}, // (100, 50, 250) gives (149, 74, 255)
        {0xFFFFFFFF, 0xFFFFFFFF},
        {0xFF000000, 0xFF000000},
        {0xFF808080, 0xFFBFBFBF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(applyToOne(c.in, table, taille), c.out) << std::hex << c.in;
}

TEST(AppliqueLut, EdgeCases)
{
    LutTable single;
    std::int32_t one = 0;
    ASSERT_EQ(test::readText("LUT_3D_SIZE 1\n0.2 0.4 0.6\n", single, one), CubeStatus::Loaded);
    float coef = 0;
    EXPECT_EQ(applyToOne(0x80FFFFFF, single, one, &coef), 0x80336699u) << "N = 1: entry [0][0][0], own alpha";
    EXPECT_EQ(applyToOne(0x00123456, single, one), 0x00336699u);
    EXPECT_EQ(coef, 256.0f);

    LutTable uniform;
    std::int32_t taille = 0;
    loadLevels(uniform, taille, {0.6, 0.6, 0.6, 0.6, 0.6});
    for (TColor32 pixel : {0xFF000000u, 0x80FFFFFFu, 0x01A0B0C0u})
        EXPECT_EQ(applyToOne(pixel, uniform, taille), (pixel & 0xFF000000u) | 0x999999u);

    // Only red in the last cell: the far corner still moves green and blue.
    LutTable identity;
    ASSERT_EQ(test::readText(test::identityCubeText(33), identity, taille), CubeStatus::Loaded);
    for (TColor32 pixel : {0xFFFF0A0Au, 0x80F8F8F8u, 0xFFFFFFFFu, 0xFF080708u})
        EXPECT_EQ(applyToOne(pixel, identity, taille), test::referencePixel(pixel, identity, taille)) << std::hex << pixel;
    EXPECT_EQ(applyToOne(0xFFFFFFFF, identity, taille), 0xFFFFFFFFu) << "both corners are [32][32][32]";
}

TEST(AppliqueLut, DestinationTakesTheSourceSize)
{
    LutTable table;
    std::int32_t taille = 0;
    loadLevels(table, taille, {0.6, 0.6});
    TBitmap32 source, destination;
    destination.SetSize(7, 9);
    source.SetSize(3, 2);
    float coef = 0;
    AppliqueLut(source, destination, table, taille, coef);
    EXPECT_EQ(destination.Width(), 3);
    EXPECT_EQ(destination.Height(), 2);
    EXPECT_EQ(destination.pixel(2, 1), 0x00999999u);

    source.SetSize(0, 0);
    AppliqueLut(source, destination, table, taille, coef);
    EXPECT_TRUE(destination.Empty());
    EXPECT_EQ(destination.Width(), 0);
}

TEST(AppliqueLut, ATableThatBreaksThePreconditionWritesNothing)
{
    LutTable table;
    std::int32_t taille = 0;
    loadLevels(table, taille, {0.6, 0.6, 0.6});
    TBitmap32 source, destination;
    source.SetSize(4, 4);
    float coef = 0;
    AppliqueLut(source, destination, table, 5, coef); // the size field says 5, the table holds 3
    EXPECT_EQ(coef, coefForSize(5));
    EXPECT_EQ(destination.Width(), 4);
    EXPECT_EQ(destination.pixel(3, 3), 0u) << "the guard stopped the loop at the first pixel";
    AppliqueLut(source, destination, table, 0, coef);
    EXPECT_EQ(destination.pixel(0, 0), 0u);
}

TEST(AppliqueLut, ResultDoesNotDependOnTheThreadCount)
{
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(test::readText(test::cubeText(17,
                                            [](int ri, int vi, int bi, double& r, double& v, double& b) {
                                                r = (ri * 7 % 17) / 16.0;
                                                v = (vi * vi % 17) / 16.0;
                                                b = ((ri + bi) % 17) / 16.0;
                                            }),
                             table, taille),
              CubeStatus::Loaded);
    TBitmap32 source;
    source.SetSize(640, 480);
    std::mt19937 random(7);
    for (int i = 0; i < 640 * 480; ++i)
        source.Bits()[i] = random();
    TBitmap32 single, many;
    float coef = 0;
    AppliqueLut(source, single, table, taille, coef, 1);
    AppliqueLut(source, many, table, taille, coef, 3);
    for (int i = 0; i < 640 * 480; ++i) {
        ASSERT_EQ(single.Bits()[i], many.Bits()[i]) << i;
        ASSERT_EQ(single.Bits()[i], test::referencePixel(source.Bits()[i], table, taille)) << i;
    }

    // In place: the source is its own destination.
    AppliqueLut(source, source, table, taille, coef);
    for (int i = 0; i < 640 * 480; ++i)
        ASSERT_EQ(source.Bits()[i], single.Bits()[i]) << i;
}
