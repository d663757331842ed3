#include "imaging/BmpDirect.h"

#include "common/Error.h"
#include "common/InputFile.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace teintelle {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
         | (std::uint32_t(p[3]) << 24);
}

std::int32_t le32signed(const std::uint8_t* p) { return std::bit_cast<std::int32_t>(le32(p)); }

} // namespace

bool startsAsBmp(const std::uint8_t* header) { return header[0] == 0x42 && header[1] == 0x4D; }

bool isDirectBmp(const std::uint8_t* header)
{
    return le16(header + 28) == 32 && le16(header + 26) == 1 && le32(header + 30) == 0;
}

void readDirectBmp(std::FILE* file, const std::uint8_t* header, TBitmap32& surface)
{
    static_assert(std::endian::native == std::endian::little,
                  "a stored pixel's bytes (blue, green, red, alpha) are a TColor32 as they are");
    const NotifyOnExit notify(surface);

    const std::int32_t width = le32signed(header + 18);
    const std::int32_t height = le32signed(header + 22);
    // The absolute value of INT32_MIN does not fit: any such picture is far
    // beyond the surface's limit anyway, as is INT32_MAX rows.
    const std::int64_t rows64 = std::abs(std::int64_t(height));
    const std::int32_t rows = std::int32_t(std::min<std::int64_t>(rows64, std::numeric_limits<std::int32_t>::max()));
    surface.SetSize(width, rows);
    if (surface.Empty())
        return;

    const std::int32_t w = surface.Width();
    const std::int32_t h = surface.Height();
    const bool bottomRowFirst = height > 0;
    const std::size_t rowBytes = std::size_t(w) * 4;
    std::vector<std::uint8_t> row(rowBytes);
    for (std::int32_t i = 0; i < h; ++i) {
        const std::size_t got = std::fread(row.data(), 1, rowBytes, file);
        const std::int32_t y = bottomRowFirst ? h - 1 - i : i;
        TColor32* target = surface.Bits() + std::size_t(y) * std::size_t(w);
        const std::size_t whole = got / 4;
        std::memcpy(target, row.data(), whole * 4);
        if (got < rowBytes) {
            std::fill(target + whole, target + w, TColor32(0));
            for (std::int32_t j = i + 1; j < h; ++j) {
                const std::int32_t unread = bottomRowFirst ? h - 1 - j : j;
                TColor32* r = surface.Bits() + std::size_t(unread) * std::size_t(w);
                std::fill(r, r + w, TColor32(0));
            }
            throw Error(kReadError);
        }
    }
}

} // namespace teintelle
