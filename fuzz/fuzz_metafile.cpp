// The full-size path for metafiles: a WMF through libwmf or an EMF through
// libemf2svg turned into SVG, read by Qt SVG and drawn by Assign on white and
// on red. The first input byte picks the file's extension (.wmf, .emf), the
// rest is the file.
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
    static fuzz::InputFile wmfFile("wmf");
    static fuzz::InputFile emfFile("emf");
    fuzz::ByteTaker input(data, size);
    fuzz::InputFile& file = (input.take<std::uint8_t>() & 1) ? emfFile : wmfFile;
    fuzz::loadAsTheWindow(file.write(input.rest(), input.restSize()));
    return 0;
}
