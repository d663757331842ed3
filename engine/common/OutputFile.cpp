#include "common/OutputFile.h"

#include "common/Error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle {

namespace {

// The file a symbolic link points to, so that it is that file which gets
// replaced; the path itself when it cannot be resolved.
std::string throughLinks(const std::string& path)
{
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

} // namespace

OutputFile::OutputFile(const std::string& path) : path_(path)
{
    try {
        struct stat info {};
        const bool exists = ::stat(path.c_str(), &info) == 0;
        if (!exists && errno != ENOENT)
            fail(errno);
        if (exists && !S_ISREG(info.st_mode))
            openDirectly();
        else
            openBeside(exists ? &info : nullptr);
    } catch (...) {
        release();
        throw;
    }
}

void OutputFile::openDirectly()
{
    file_ = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (file_ < 0)
        fail(errno);
}

void OutputFile::openBeside(const struct stat* existing)
{
    std::string target = path_;
    if (existing != nullptr) {
        // The rename would replace a file that a plain open may not write.
        if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0)
            fail(errno);
        keepOwner_ = true;
        mode_ = existing->st_mode & 07777;
        owner_ = existing->st_uid;
        group_ = existing->st_gid;
        target = throughLinks(path_);
    }
    const std::size_t slash = target.rfind('/');
    name_ = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name_.empty())
        fail(EISDIR);
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        fail(errno);
    createTemporary(name_);
}

OutputFile::~OutputFile()
{
    release();
}

void OutputFile::release()
{
    if (file_ >= 0)
        ::close(std::exchange(file_, -1));
    if (!committed_ && !temporary_.empty())
        ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    if (folder_ >= 0)
        ::close(std::exchange(folder_, -1));
}

void OutputFile::createTemporary(const std::string& name)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr std::size_t kAround = 13; // "." NAME "." XXXXXX ".part"
    // A name near the longest the system takes is cut: only the temporary carries the cut.
    const std::string stem = "." + name.substr(0, std::min(name.size(), std::size_t(NAME_MAX) - kAround)) + ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem;
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[random() % (sizeof kLetters - 1)];
        candidate += ".part";
        // A new file gets the mode a plain creation would give it (the
        // system takes the umask off); a replacement is private until it
        // has the old file's mode.
        const mode_t mode = keepOwner_ ? 0600 : 0666;
        file_ = ::openat(folder_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (file_ >= 0) {
            temporary_ = candidate;
            return;
        }
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

void OutputFile::write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(file_, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(written < 0 ? errno : EIO);
        bytes += written;
        size -= std::size_t(written);
    }
}

void OutputFile::commit()
{
    if (temporary_.empty()) { // written directly
        if (::close(std::exchange(file_, -1)) != 0)
            fail(errno);
        committed_ = true;
        return;
    }
    if (keepOwner_) {
        // Owner first, since a change of owner clears the set-id bits. Only
        // root, or an owner switching among its own groups, may do it; the
        // file then goes on with our ownership.
        [[maybe_unused]] const int kept = ::fchown(file_, owner_, group_);
        if (::fchmod(file_, mode_) != 0)
            fail(errno);
    }
    if (::fsync(file_) != 0)
        fail(errno);
    if (::close(std::exchange(file_, -1)) != 0)
        fail(errno);
    if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0)
        fail(errno);
    committed_ = true;
    // The rename to disk too. The new file is in place whatever this says
    // (some file systems refuse to sync a folder), so it reports nothing.
    [[maybe_unused]] const int synced = ::fsync(folder_);
}

void OutputFile::fail(int error) const
{
    throw Error("Impossible d'écrire le fichier \"" + path_ + "\". " + std::strerror(error));
}

} // namespace teintelle
