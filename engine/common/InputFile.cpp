#include "common/InputFile.h"

#include "common/Error.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle {

std::string openFailureMessage(const std::string& path, int error)
{
    return "Impossible d'ouvrir le fichier \"" + path + "\". " + std::strerror(error);
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() { return std::exchange(fd_, -1); }

FileDescriptor openInputFile(int folder, const char* name)
{
    int fd;
    do
        fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

FileDescriptor openInputFile(const std::string& path) { return openInputFile(AT_FDCWD, path.c_str()); }

bool namesRegularFile(int folder, const char* name)
{
    struct stat info {};
    return ::fstatat(folder, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

bool namesRegularFile(const std::string& path) { return namesRegularFile(AT_FDCWD, path.c_str()); }

bool isRegularFile(int fd, off_t* size)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (size != nullptr)
        *size = info.st_size;
    return true;
}

ssize_t readInputFile(int fd, void* buffer, std::size_t size)
{
    ssize_t got;
    do
        got = ::read(fd, buffer, size);
    while (got < 0 && errno == EINTR);
    return got;
}

InputFileBuffer::int_type InputFileBuffer::underflow()
{
    const auto got = readSome(&one_, 1);
    if (got <= 0)
        return traits_type::eof();
    setg(&one_, &one_, &one_ + 1);
    return traits_type::to_int_type(one_);
}

std::streamsize InputFileBuffer::xsgetn(char* s, std::streamsize n)
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

std::streamsize InputFileBuffer::readSome(char* s, std::size_t n)
{
    const ssize_t got = readInputFile(file_.get(), s, n);
    if (got < 0)
        throw Error(std::strerror(errno)); // the stream only keeps that it failed
    return got;
}

} // namespace teintelle
