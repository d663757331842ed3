#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace teintelle {

// A metafile turned into SVG, with the size in pixels at which the
// metafile asks to be drawn (96 pixels per inch).
struct MetafileSvg {
    std::string svg;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Windows metafile with its placeable header, through libwmf. Throws Error.
MetafileSvg windowsMetafileToSvg(const std::vector<std::uint8_t>& bytes);
// Enhanced metafile, through libemf2svg. Throws Error.
MetafileSvg enhancedMetafileToSvg(const std::vector<std::uint8_t>& bytes);

} // namespace teintelle
