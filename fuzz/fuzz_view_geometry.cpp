// The view geometry over every surface size and every view size a widget can
// have: the picture shown must lie inside the view and sample the surface
// inside its bounds.
#include "fuzz/FuzzInput.h"
#include "imaging/ViewGeometry.h"

#include <algorithm>
#include <cstdlib>

using namespace teintelle;

namespace {

constexpr std::int32_t kLargestWidget = 16777215; // Qt's QWIDGETSIZE_MAX

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ByteTaker input(data, size);
    const auto surfaceWidth = input.take<std::int32_t>();
    const auto surfaceHeight = input.take<std::int32_t>();
    // Views of any side up to the largest widget, negative ones included.
    const std::int32_t viewWidth = input.take<std::int32_t>() % (kLargestWidget + 1);
    const std::int32_t viewHeight = input.take<std::int32_t>() % (kLargestWidget + 1);

    const ViewGeometry g = computeViewGeometry(surfaceWidth, surfaceHeight, viewWidth, viewHeight);
    if (g.showsNothing())
        return 0;
    check(surfaceWidth > 0 && surfaceHeight > 0);
    check(g.left >= 0 && g.top >= 0);
    check(std::int64_t(g.left) + g.shownWidth <= std::max(viewWidth, surfaceWidth));
    check(std::int64_t(g.top) + g.shownHeight <= std::max(viewHeight, surfaceHeight));
    check(g.columns.size() == std::size_t(g.shownWidth) && g.rows.size() == std::size_t(g.shownHeight));
    for (std::int32_t column : g.columns)
        check(column >= 0 && column < surfaceWidth);
    for (std::int32_t row : g.rows)
        check(row >= 0 && row < surfaceHeight);
    return 0;
}
