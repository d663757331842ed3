// The file side of the .cube reader: existence test, opening, and a stream
// over the descriptor that reads straight into the reader's buffer.
#include "lut/CubeReader.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "common/LongPath.h"

#include <cerrno>
#include <utility>

namespace teintelle {

CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut)
{
    const LongPath where(path);
    if (where.folder() == -1 || !namesRegularFile(where.folder(), where.name()))
        return CubeStatus::FileMissing;

    FileDescriptor file = openInputFile(where.folder(), where.name());
    if (!file.isOpen()) {
        const int error = errno;
        throw Error(openFailureMessage(path, error));
    }
    if (!isRegularFile(file.get())) // replaced since the test above
        return CubeStatus::FileMissing;
    InputFileBuffer buffer(std::move(file));
    std::istream stream(&buffer);
    return readCube(stream, table, tailleTableLut);
}

} // namespace teintelle
