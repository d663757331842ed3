#pragma once

#include <cstdint>
#include <vector>

namespace teintelle {

// Where and how an image view shows a W x H surface in its VW x VH area:
// shrunk to fit keeping its proportions, never enlarged, centred, sampled
// at the nearest pixel.
struct ViewGeometry {
    std::int32_t shownWidth = 0;  // Cx
    std::int32_t shownHeight = 0; // Cy
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::vector<std::int32_t> columns; // surface column of each shown column
    std::vector<std::int32_t> rows;    // surface row of each shown row

    bool showsNothing() const { return shownWidth <= 0 || shownHeight <= 0; }
};

ViewGeometry computeViewGeometry(std::int32_t surfaceWidth, std::int32_t surfaceHeight,
                                 std::int32_t viewWidth, std::int32_t viewHeight);

} // namespace teintelle
