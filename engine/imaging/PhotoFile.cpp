#include "imaging/PhotoFile.h"

#include "common/Error.h"
#include "common/InputFile.h"

#include <cerrno>
#include <cstring>

namespace teintelle {

PhotoFileHandle openPhotoFile(const std::string& path)
{
    FileDescriptor file = openInputFile(path);
    if (!file.isOpen())
        throw Error(openFailureMessage(path, errno));
    if (!isRegularFile(file.get())) // replaced since its path was checked
        throw Error(kReadError);
    std::FILE* stream = ::fdopen(file.get(), "rb");
    if (stream == nullptr)
        throw Error(openFailureMessage(path, errno));
    file.release(); // the stream owns it now
    return PhotoFileHandle(stream);
}

bool readWholePhotoFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes)
{
    bytes.clear();
    const FileDescriptor file = openInputFile(path);
    off_t size = 0;
    if (!file.isOpen() || !isRegularFile(file.get(), &size) || std::uint64_t(size) > maxBytes)
        return false;
    bytes.resize(std::size_t(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = readInputFile(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0)
            return false;
        if (got == 0) // shortened while being read: keep what is there
            break;
        done += std::size_t(got);
    }
    bytes.resize(done);
    return true;
}

} // namespace teintelle
