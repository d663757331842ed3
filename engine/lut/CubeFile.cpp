// The file side of the .cube reader: existence test, opening, and a stream
// over the descriptor that reads straight into the reader's buffer.
#include "lut/CubeReader.h"

#include "common/Error.h"
#include "common/LongPath.h"
#include "lut/LutMessages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle {

namespace {

class FileDescriptorBuffer : public std::streambuf {
public:
    explicit FileDescriptorBuffer(int fd) : fd_(fd) {}
    ~FileDescriptorBuffer() override { ::close(fd_); }
    FileDescriptorBuffer(const FileDescriptorBuffer&) = delete;
    FileDescriptorBuffer& operator=(const FileDescriptorBuffer&) = delete;

protected:
    int_type underflow() override
    {
        const auto got = readSome(&one_, 1);
        if (got <= 0)
            return traits_type::eof();
        setg(&one_, &one_, &one_ + 1);
        return traits_type::to_int_type(one_);
    }

    std::streamsize xsgetn(char* s, std::streamsize n) override
    {
        std::streamsize total = 0;
        if (gptr() < egptr()) { // the character underflow kept
            *s = *gptr();
            gbump(1);
            ++total;
        }
        while (total < n) {
            const auto got = readSome(s + total, std::size_t(n - total));
            if (got <= 0)
                break;
            total += got;
        }
        return total;
    }

private:
    // Bytes read, 0 at the end of the file; a read error throws, which the
    // stream turns into its bad state.
    std::streamsize readSome(char* s, std::size_t n)
    {
        for (;;) {
            const ssize_t got = ::read(fd_, s, n);
            if (got >= 0)
                return got;
            if (errno != EINTR)
                throw Error(lutmsg::kReadError);
        }
    }

    int fd_;
    char one_ = 0;
};

// FileMissing when no regular file is at the path; otherwise read(stream)
// over the opened file.
template <typename Read>
CubeStatus readCubeFile(const std::string& path, Read read)
{
    const LongPath where(path);
    struct stat status{};
    if (where.folder() == -1 || ::fstatat(where.folder(), where.name(), &status, 0) != 0 || !S_ISREG(status.st_mode))
        return CubeStatus::FileMissing;

    const int fd = ::openat(where.folder(), where.name(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw Error(std::string(lutmsg::kCannotOpen) + " \"" + path + "\". " + std::strerror(error));
    }
    FileDescriptorBuffer buffer(fd);
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
