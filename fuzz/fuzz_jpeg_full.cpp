// The large view's path for a JPEG: decoded at full size, from memory.
#include "common/Error.h"
#include "imaging/JpegDecoder.h"
#include "imaging/TBitmap32.h"

using namespace teintelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TBitmap32 surface;
    try {
        JpegDecoder decoder(JpegDecoder::Scale::Full);
        decoder.readHeader(data, size);
        decoder.decodeInto(surface);
    } catch (const Error&) {
        // the library's messages and the surface's memory error
    }
    return 0;
}
