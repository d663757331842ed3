// The settings file: bytes in, the content written back out in the file's own
// encoding, read again. The second read must equal the first and write the
// same bytes again, so a run never changes what the next run reads. (The
// encoding itself may change: an empty content is written as zero bytes,
// without the byte-order mark.)
#include "settings/IniFormat.h"

#include <cstdlib>

using namespace teintelle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ParsedIni first = parseIni(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string written = serialiseIni(first.content, first.encoding);
    const ParsedIni second = parseIni(written);
    if (!(second.content == first.content))
        std::abort();
    if (serialiseIni(second.content, second.encoding) != written)
        std::abort();
    return 0;
}
