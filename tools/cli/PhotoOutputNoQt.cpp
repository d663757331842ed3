// The photo commands in a build without Qt: the engine's own decoders only,
// no PNG.
#include "cli/PhotoOutput.h"

namespace teintelle::cli {

void startOffscreenGui() {}

PhotoDecoders photoDecoders() { return {}; }

std::string writePng(const TBitmap32&, const std::string&)
{
    return "PNG indisponible dans cette version de teintelle-cli (sans Qt)";
}

} // namespace teintelle::cli
