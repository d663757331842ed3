// The small view's path: a JPEG decoded at a quarter of its size.
#include "fuzz/FuzzInput.h"
#include "imaging/PhotoLoading.h"
#include "imaging/TBitmap32.h"

using namespace teintelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::InputFile file("jpg");
    TBitmap32 surface;
    ChargePhotoReduite(file.write(data, size), surface); // never throws
    return 0;
}
