#include "imaging/ViewGeometry.h"

#include <cmath>

namespace teintelle {

namespace {

// An integer quotient rounded once to single precision, as a view stores its
// scale ratios.
float singleRatio(std::int32_t numerator, std::int32_t denominator)
{
    return static_cast<float>(static_cast<long double>(numerator) / static_cast<long double>(denominator));
}

// side x ratio, taken exactly and rounded to the nearest integer, halves to even.
std::int32_t scaledSide(std::int32_t side, float ratio)
{
    return static_cast<std::int32_t>(std::nearbyint(static_cast<long double>(side) * ratio));
}

std::vector<std::int32_t> samplingMap(std::int32_t surfaceSide, std::int32_t shownSide)
{
    std::vector<std::int32_t> map(static_cast<std::size_t>(shownSide));
    if (shownSide == surfaceSide) {
        for (std::int32_t i = 0; i < shownSide; ++i)
            map[std::size_t(i)] = i;
        return map;
    }
    if (shownSide == 1) {
        map[0] = (surfaceSide - 1) / 2;
        return map;
    }
    const float step = singleRatio(surfaceSide, shownSide);
    for (std::int32_t i = 0; i < shownSide; ++i) {
        const auto source = static_cast<std::int32_t>(static_cast<long double>(i) * step);
        map[std::size_t(i)] = source < surfaceSide ? source : surfaceSide - 1;
    }
    return map;
}

} // namespace

ViewGeometry computeViewGeometry(std::int32_t surfaceWidth, std::int32_t surfaceHeight,
                                 std::int32_t viewWidth, std::int32_t viewHeight)
{
    ViewGeometry geometry;
    if (surfaceWidth <= 0 || surfaceHeight <= 0 || viewWidth <= 0 || viewHeight <= 0)
        return geometry;

    std::int32_t cx = surfaceWidth;
    std::int32_t cy = surfaceHeight;
    if (surfaceWidth > viewWidth || surfaceHeight > viewHeight) {
        const float rx = singleRatio(viewWidth, surfaceWidth);
        const float ry = singleRatio(viewHeight, surfaceHeight);
        if (ry > rx) {
            cx = viewWidth;
            cy = scaledSide(surfaceHeight, rx);
        } else {
            cx = scaledSide(surfaceWidth, ry);
            cy = viewHeight;
        }
    }
    if (cx <= 0 || cy <= 0)
        return geometry;

    geometry.shownWidth = cx;
    geometry.shownHeight = cy;
    geometry.left = (viewWidth - cx) / 2;
    geometry.top = (viewHeight - cy) / 2;
    geometry.columns = samplingMap(surfaceWidth, cx);
    geometry.rows = samplingMap(surfaceHeight, cy);
    return geometry;
}

} // namespace teintelle
