// The file side of the .cube reader: existence test, opening, and a stream
// over the descriptor that reads straight into the reader's buffer.
#include "lut/CubeReader.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "common/LongPath.h"

#include <cerrno>
#include <utility>

namespace teintelle {

namespace {

// FileMissing when no regular file is at the path; otherwise read(stream)
// over the opened file.
template <typename Read>
CubeStatus readCubeFile(const std::string& path, Read read)
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
    return read(stream);
}

} // namespace

CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut)
{
    return readCubeFile(path, [&](std::istream& in) { return readCube(in, table, tailleTableLut); });
}

CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut,
                        CubeReadObserver& observer)
{
    return readCubeFile(path, [&](std::istream& in) { return readCube(in, table, tailleTableLut, observer); });
}

} // namespace teintelle
