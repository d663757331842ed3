#include "settings/FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <vector>

namespace teintelle {

namespace {

int errorOf(int result) { return result == 0 ? 0 : errno; }

FileFacts factsOf(const struct stat& s)
{
    return {S_ISREG(s.st_mode), s.st_mode, s.st_uid, s.st_gid, s.st_size, s.st_nlink, s.st_mtim.tv_sec};
}

// Runs a call again while a signal interrupts it.
template <typename Call>
auto retryOnInterrupt(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result == -1 && errno == EINTR);
    return result;
}

int openFile(const std::string& path, int flags, mode_t mode, int& fd)
{
    fd = retryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode); });
    return fd == -1 ? errno : 0;
}

} // namespace

int PosixFileSystem::status(const std::string& path, FileFacts& facts)
{
    struct stat s;
    if (::stat(path.c_str(), &s) != 0)
        return errno;
    facts = factsOf(s);
    return 0;
}

int PosixFileSystem::readLink(const std::string& path, std::string& target)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(length));
            return 0;
        }
        buffer.resize(buffer.size() * 2); // the target may have been cut short
    }
}

int PosixFileSystem::makeDirectory(const std::string& path)
{
    return errorOf(::mkdir(path.c_str(), 0777));
}

int PosixFileSystem::listFolder(const std::string& path, std::vector<std::string>& names)
{
    DIR* folder = ::opendir(path.c_str());
    if (folder == nullptr)
        return errno;
    names.clear();
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    return error;
}

uid_t PosixFileSystem::effectiveUser()
{
    return ::geteuid();
}

int PosixFileSystem::mayWrite(const std::string& path)
{
    // AT_EACCESS: the effective ids decide, as they do when the file is
    // opened, not the real ones plain access() would use.
    return errorOf(::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS));
}

int PosixFileSystem::openForReading(const std::string& path, int& fd)
{
    // Not blocking, so that a pipe put in the file's place cannot hang us.
    return openFile(path, O_RDONLY | O_NONBLOCK, 0, fd);
}

int PosixFileSystem::createNew(const std::string& path, mode_t mode, int& fd)
{
    return openFile(path, O_WRONLY | O_CREAT | O_EXCL, mode, fd);
}

int PosixFileSystem::openForRewriting(const std::string& path, int& fd)
{
    // Not blocking either: a pipe put there since it was checked must not
    // hang the end of the run.
    return openFile(path, O_WRONLY | O_NONBLOCK, 0, fd);
}

int PosixFileSystem::openToLock(const std::string& path, int& fd)
{
    // A link is not followed, so that no name put in the folder leads us
    // to open a device elsewhere; not blocking, for a pipe.
    return openFile(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0, fd);
}

int PosixFileSystem::statusOf(int fd, FileFacts& facts)
{
    struct stat s;
    if (::fstat(fd, &s) != 0)
        return errno;
    facts = factsOf(s);
    return 0;
}

int PosixFileSystem::read(int fd, char* buffer, std::size_t size, std::size_t& got)
{
    const ssize_t result = retryOnInterrupt([&] { return ::read(fd, buffer, size); });
    if (result < 0)
        return errno;
    got = static_cast<std::size_t>(result);
    return 0;
}

int PosixFileSystem::writeAt(int fd, const char* data, std::size_t size, off_t offset,
                             std::size_t& written)
{
    const ssize_t result = retryOnInterrupt([&] { return ::pwrite(fd, data, size, offset); });
    if (result < 0)
        return errno;
    written = static_cast<std::size_t>(result);
    return 0;
}

int PosixFileSystem::reserve(int fd, off_t size)
{
    // Plain fallocate, not posix_fallocate: where the file system cannot
    // reserve, the C library's fallback would write into the file.
    return errorOf(retryOnInterrupt([&] { return ::fallocate(fd, 0, 0, size); }));
}

int PosixFileSystem::truncate(int fd, off_t size)
{
    return errorOf(retryOnInterrupt([&] { return ::ftruncate(fd, size); }));
}

int PosixFileSystem::setOwner(int fd, uid_t owner, gid_t group)
{
    return errorOf(::fchown(fd, owner, group));
}

int PosixFileSystem::setMode(int fd, mode_t mode)
{
    return errorOf(::fchmod(fd, mode));
}

int PosixFileSystem::sync(int fd)
{
    return errorOf(retryOnInterrupt([&] { return ::fsync(fd); }));
}

int PosixFileSystem::tryLock(int fd)
{
    return errorOf(retryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }));
}

int PosixFileSystem::close(int fd)
{
    // No retry: on Linux the descriptor is gone even when close reports EINTR.
    return errorOf(::close(fd));
}

int PosixFileSystem::rename(const std::string& from, const std::string& to)
{
    return errorOf(::rename(from.c_str(), to.c_str()));
}

int PosixFileSystem::remove(const std::string& path)
{
    return errorOf(::unlink(path.c_str()));
}

FileSystem& systemFileSystem()
{
    static PosixFileSystem fileSystem;
    return fileSystem;
}

} // namespace teintelle
