#pragma once
// JPEG files made whole in memory with libjpeg's compressor: the sample photo
// and the photos of the tests, the benchmarks and the fuzzers' seeds. The
// export writes its JPEGs with a writer of its own, band by band into a file.

#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE declared first
#include <functional>
#include <optional>
#include <vector>

#include <jpeglib.h>

namespace teintelle::jpeg {

// A segment written as it stands after the headers libjpeg writes itself.
struct JpegMarker {
    int code = JPEG_APP0;           // JPEG_APP0 + n, JPEG_COM
    std::vector<std::uint8_t> data; // what follows the segment's length
};

// One component's sampling factors.
struct JpegSampling {
    int h = 1;
    int v = 1;
};

// What libjpeg is asked for, applied in this order on its defaults for the
// input colour space: the file's colour space, the sampling, the quality, the
// transform, the scans.
struct JpegSettings {
    int width = 0;
    int height = 0;
    int components = 3; // samples per pixel in the rows given
    J_COLOR_SPACE inColorSpace = JCS_RGB;
    std::optional<J_COLOR_SPACE> fileColorSpace = {}; // libjpeg's choice for the input when empty
    int quality = 75;
    J_DCT_METHOD dctMethod = JDCT_ISLOW;
    std::vector<JpegSampling> sampling = {}; // one per component; libjpeg's (4:2:0 for YCbCr) when empty
    bool progressive = false;                // libjpeg's own progression
    std::vector<jpeg_scan_info> scans = {};  // a scan script, taking the place of any other
    std::vector<JpegMarker> markers = {};    // written in this order
    std::vector<std::uint8_t> icc = {};      // as APP2 ICC_PROFILE segments after the markers, when not empty
};

// Row y of the picture, top to bottom: width * components samples. The
// pointer is read only until the next call.
using JpegRowSource = std::function<const std::uint8_t*(int y)>;

// The file's bytes. Throws std::runtime_error with libjpeg's message when
// the compressor refuses the settings, or with its own when the sampling
// list does not give one pair per component.
std::vector<std::uint8_t> compressJpeg(const JpegSettings& settings, const JpegRowSource& rows);

} // namespace teintelle::jpeg
