// The full-size path's decoders of the platform layer for raster pictures:
// BMP other than 32-bit uncompressed, icons and TIFF through Qt's image
// readers, then Assign. The first input byte picks the file's extension
// (.bmp, .ico, .tif), the rest is the file; a file starting with "BM" goes
// to the BMP reader whatever its name, as it does in the window.
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzQt.h"

using namespace teintelle;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::InputFile files[] = {fuzz::InputFile("bmp"), fuzz::InputFile("ico"), fuzz::InputFile("tif")};
    fuzz::ByteTaker input(data, size);
    fuzz::InputFile& file = files[input.take<std::uint8_t>() % 3];
    fuzz::loadAsTheWindow(file.write(input.rest(), input.restSize()));
    return 0;
}
