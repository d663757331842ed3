// teintelle-cli sheet in a build without Qt: not available.
#include "cli/Sheet.h"

#include "cli/Commands.h"

#include <cstdio>

namespace teintelle::cli {

int makeSheet(const SheetRequest&)
{
    std::fputs("teintelle-cli sheet: indisponible dans cette version, construite sans Qt (TEINTELLE_GUI=OFF)\n",
               stderr);
    return kNotAvailable;
}

} // namespace teintelle::cli
