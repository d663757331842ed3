#include "imaging/TBitmap32.h"

#include "common/Error.h"

#include <gtest/gtest.h>

using namespace teintelle;

TEST(TBitmap32, NewSurfaceIsEmpty)
{
    TBitmap32 surface;
    EXPECT_TRUE(surface.Empty());
    EXPECT_EQ(surface.Width(), 0);
    EXPECT_EQ(surface.Height(), 0);
}

TEST(TBitmap32, SetSizeKeepsPixelsOnSameSizeAndZeroesOtherwise)
{
    TBitmap32 surface;
    int notifications = 0;
    surface.setChangeHandler([&] { ++notifications; });

    surface.SetSize(3, 2);
    EXPECT_EQ(notifications, 1);
    surface.pixel(2, 1) = 0x80112233u;

    surface.SetSize(3, 2);
    EXPECT_EQ(notifications, 1) << "the same size notifies nothing";
    EXPECT_EQ(surface.pixel(2, 1), 0x80112233u) << "the same size keeps the pixels";

    surface.SetSize(2, 3);
    EXPECT_EQ(notifications, 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(surface.Bits()[i], 0u) << "a new size zero-fills, alpha included";
}

TEST(TBitmap32, NegativeSidesCountAsZero)
{
    TBitmap32 surface;
    surface.SetSize(-5, 4);
    EXPECT_TRUE(surface.Empty());
    EXPECT_EQ(surface.Width(), 0);
    EXPECT_EQ(surface.Height(), 4);
}

TEST(TBitmap32, AssignGivesAnIndependentCopy)
{
    TBitmap32 source;
    source.SetSize(2, 2);
    source.pixel(1, 0) = 0xFF00FF00u;
    TBitmap32 copy;
    int notifications = 0;
    copy.setChangeHandler([&] { ++notifications; });

    copy.Assign(&source);
    EXPECT_EQ(notifications, 1);
    ASSERT_EQ(copy.Width(), 2);
    ASSERT_EQ(copy.Height(), 2);
    EXPECT_EQ(copy.pixel(1, 0), 0xFF00FF00u);

    source.pixel(1, 0) = 0;
    EXPECT_EQ(copy.pixel(1, 0), 0xFF00FF00u) << "changing the source leaves the copy alone";

    copy.Assign(&source);
    EXPECT_EQ(notifications, 2) << "an assign of the same size notifies too";
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

TEST(TBitmap32, OversizedBlockIsRefusedBeforeAllocation)
{
    TBitmap32 surface;
    surface.SetSize(4, 4);
    int notifications = 0;
    surface.setChangeHandler([&] { ++notifications; });
    for (auto [w, h] : {std::pair{65500, 65500}, std::pair{2147483647, 2}, std::pair{(1 << 27) + 1, 1}}) {
        try {
            surface.SetSize(w, h);
            FAIL() << w << " x " << h << " was accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
        }
        EXPECT_TRUE(surface.Empty()) << "a refused size leaves the surface empty";
    }
    EXPECT_GE(notifications, 1);
}
