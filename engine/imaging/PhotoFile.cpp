#include "imaging/PhotoFile.h"

#include "common/Error.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle {

std::string openFailureMessage(const std::string& path, int error)
{
    return "Impossible d'ouvrir le fichier \"" + path + "\". " + std::strerror(error);
}

namespace {

int openForReading(const std::string& path)
{
    // O_NONBLOCK keeps a pipe from blocking the open; it is cleared at once,
    // so the reads behave as usual.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}

} // namespace

PhotoFileHandle openPhotoFile(const std::string& path)
{
    const int fd = openForReading(path);
    if (fd < 0)
        throw Error(openFailureMessage(path, errno));
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        throw Error(openFailureMessage(path, error));
    }
    return PhotoFileHandle(file);
}

bool readWholePhotoFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes)
{
    bytes.clear();
    const int fd = openForReading(path);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || std::uint64_t(info.st_size) > maxBytes)
        return false;
    bytes.resize(std::size_t(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
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
