// The full-size path from its first step: the header read of LoadFromFile,
// the direct reader of 32-bit BMP files, and the JPEG decode for a .jpg file.
// The first input byte picks the extension, the rest is the file.
#include "common/Error.h"
#include "fuzz/FuzzInput.h"
#include "imaging/PhotoLoading.h"
#include "imaging/TBitmap32.h"

using namespace teintelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::InputFile bmpFile("bmp");
    static fuzz::InputFile jpgFile("jpg");
    fuzz::ByteTaker input(data, size);
    fuzz::InputFile& file = (input.take<std::uint8_t>() & 1) ? jpgFile : bmpFile;
    const std::string& path = file.write(input.rest(), input.restSize());
    TBitmap32 surface;
    try {
        LoadFromFile(path, surface, PhotoDecoders{});
    } catch (const Error&) {
        // malformed files end with a message
    }
    return 0;
}
