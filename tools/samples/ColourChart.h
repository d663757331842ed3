#pragma once

#include <cstdint>
#include <vector>

namespace teintelle::samples {

// The sample photo: a colour chart with a grey ramp, grey steps, a hue wheel,
// skin tones and saturated patches on a dark grey ground. Wide enough that
// its quarter picture is over 1000 pixels, so it takes the quarter-size path.
constexpr int kChartWidth = 4096;
constexpr int kChartHeight = 2736;

// The chart as a JPEG file's bytes (libjpeg's compressor, quality 92).
std::vector<std::uint8_t> colourChartJpeg();

} // namespace teintelle::samples
