#include "imaging/ViewGeometry.h"

#include <gtest/gtest.h>

#include <vector>

using namespace teintelle;

struct ShownCase {
    std::int32_t w, h, vw, vh;
    std::int32_t cx, cy, left, top;
};

TEST(ViewGeometry, ShownSizeAndPlacement)
{
    const ShownCase cases[] = {
        {1000, 750, 234, 217, 234, 175, 0, 21}, // ry > rx, 750 x rx just under 175.5
        {750, 1000, 234, 217, 163, 217, 35, 0},
        {1000, 750, 184, 184, 184, 138, 0, 23},
        {100, 80, 184, 184, 100, 80, 42, 52},  // fits: never enlarged, centred
        {185, 184, 184, 184, 184, 183, 0, 0},  // one pixel too wide
        {184, 184, 184, 184, 184, 184, 0, 0},  // exactly the view's size
        {101, 81, 184, 184, 101, 81, 41, 51},  // odd leftover goes right and bottom
        {4000, 2, 184, 184, 0, 0, 0, 0},       // a side rounds to 0: nothing shown
        {1000, 1, 184, 184, 0, 0, 0, 0},
        {0, 50, 184, 184, 0, 0, 0, 0},         // empty surface
        {50, 50, 0, 184, 0, 0, 0, 0},          // view without width
    };
    for (const auto& c : cases) {
        const auto g = computeViewGeometry(c.w, c.h, c.vw, c.vh);
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.vw << "x" << c.vh);
        EXPECT_EQ(g.shownWidth, c.cx);
        EXPECT_EQ(g.shownHeight, c.cy);
        if (c.cx > 0 && c.cy > 0) {
            EXPECT_EQ(g.left, c.left);
            EXPECT_EQ(g.top, c.top);
            EXPECT_EQ(g.columns.size(), std::size_t(c.cx));
            EXPECT_EQ(g.rows.size(), std::size_t(c.cy));
        } else {
            EXPECT_TRUE(g.showsNothing());
        }
    }
}

TEST(ViewGeometry, ColumnMapOfAThousandColumnsIn234)
{
    const auto g = computeViewGeometry(1000, 750, 234, 217);
    ASSERT_EQ(g.columns.size(), 234u);
    EXPECT_EQ(std::vector<std::int32_t>(g.columns.begin(), g.columns.begin() + 6),
              (std::vector<std::int32_t>{0, 4, 8, 12, 17, 21}));
    EXPECT_EQ(std::vector<std::int32_t>(g.columns.end() - 3, g.columns.end()),
              (std::vector<std::int32_t>{987, 991, 995}));
}

TEST(ViewGeometry, UnscaledPictureMapsOneToOne)
{
    const auto g = computeViewGeometry(100, 80, 184, 184);
    for (std::int32_t i = 0; i < 100; ++i)
        ASSERT_EQ(g.columns[std::size_t(i)], i);
    for (std::int32_t j = 0; j < 80; ++j)
        ASSERT_EQ(g.rows[std::size_t(j)], j);
}

TEST(ViewGeometry, ShownSideOfOneTakesTheMiddle)
{
    const auto tall = computeViewGeometry(3, 600, 184, 184); // Cx = round(3 x 0.30666667) = 1
    ASSERT_EQ(tall.shownWidth, 1);
    EXPECT_EQ(tall.columns[0], 1);
    const auto wide = computeViewGeometry(600, 4, 184, 184); // Cy = round(4 x 0.30666667) = 1
    ASSERT_EQ(wide.shownHeight, 1);
    EXPECT_EQ(wide.rows[0], 1);
}

TEST(ViewGeometry, MapsStayInsideTheSurfaceForExtremeSizes)
{
    const std::int32_t sizes[] = {1, 2, 3, 183, 184, 185, 999, 1000, 65535, 1 << 20};
    for (auto w : sizes)
        for (auto h : sizes) {
            const auto g = computeViewGeometry(w, h, 234, 217);
            for (auto x : g.columns)
                ASSERT_TRUE(x >= 0 && x < w) << w << "x" << h;
            for (auto y : g.rows)
                ASSERT_TRUE(y >= 0 && y < h) << w << "x" << h;
            ASSERT_LE(g.shownWidth, 234);
            ASSERT_LE(g.shownHeight, 217);
        }
}
