// The .cube reader: bytes to a table, then one application of the table to a
// small surface holding every corner and edge case of the lattice.
#include "common/Error.h"
#include "imaging/TBitmap32.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"

#include <sstream>

using namespace teintelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    LutTable table;
    std::int32_t taille = 0;
    try {
        if (readCube(in, table, taille) != CubeStatus::Loaded)
            return 0;
    } catch (const Error&) {
        return 0; // the messages of a malformed file
    }

    static const TColor32 kPixels[] = {0xFF000000, 0xFFFFFFFF, 0x00808080, 0x12FF00FE,
                                       0xFF0102FD, 0x7F7F7F7F, 0xFFFEFEFE, 0x80010101};
    TBitmap32 source;
    source.SetSize(4, 2);
    for (int i = 0; i < 8; ++i)
        source.pixel(i % 4, i / 4) = kPixels[i];
    TBitmap32 destination;
    float coef = 0;
    try {
        AppliqueLut(source, destination, table, taille, coef);
    } catch (const Error&) {
        // a table the application refuses, with its message
    }
    return 0;
}
