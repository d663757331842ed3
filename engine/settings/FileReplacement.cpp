#include "settings/FileReplacement.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>

namespace teintelle {

namespace {

constexpr int kMostLinksFollowed = 40;      // as the kernel's own limit for a path
constexpr int kTemporaryNameAttempts = 100;
constexpr mode_t kPermissionBits = 07777;

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isPermissionError(int error) { return error == EACCES || error == EPERM; }

// The path of the file a chain of links leads to (the path itself when it
// is no link); none when the chain loops or cannot be read.
std::optional<std::string> followLinks(FileSystem& fileSystem, const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < kMostLinksFollowed; ++hop) {
        std::string target;
        const int error = fileSystem.readLink(current, target);
        if (error == EINVAL || error == ENOENT)
            return current;
        if (error != 0 || target.empty())
            return std::nullopt;
        current = target.front() == '/' ? target : folderOf(current) + target;
    }
    return std::nullopt;
}

std::string temporaryNameSuffix(unsigned attempt)
{
    // Uniqueness comes from O_EXCL; the suffix only makes a clash unlikely.
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    auto seed = static_cast<unsigned long long>(
                    std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<unsigned long long>(::getpid()) << 32) ^ (attempt * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        suffix += kDigits[(seed >> 33) % 36];
    }
    return suffix;
}

// Creates a hidden file beside target; returns 0 or the errno value.
int createTemporaryBeside(FileSystem& fileSystem, const std::string& target, mode_t mode,
                          std::string& temporaryPath, int& fd)
{
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts && error == EEXIST; ++attempt) {
        temporaryPath = folderOf(target) + "." + fileNameOf(target) + "." + temporaryNameSuffix(attempt);
        error = fileSystem.createNew(temporaryPath, mode, fd);
    }
    return error;
}

bool writeAll(FileSystem& fileSystem, int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t written = 0;
        if (fileSystem.writeAt(fd, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(done), written) != 0)
            return false;
        if (written == 0)
            return false; // no progress: as good as a full disk
        done += written;
    }
    return true;
}

bool keepOwnerAndMode(FileSystem& fileSystem, int fd, const FileFacts& original)
{
    // Owner first, since a change of owner clears the set-id bits. Only
    // root, or an owner switching among its own groups, may do it; the
    // file then goes on with our ownership.
    fileSystem.setOwner(fd, original.owner, original.group);
    return fileSystem.setMode(fd, original.mode & kPermissionBits) == 0;
}

bool closeAfter(FileSystem& fileSystem, int fd, bool succeeded)
{
    const bool closed = fileSystem.close(fd) == 0;
    return succeeded && closed;
}

ReplaceOutcome rewriteInPlace(FileSystem& fileSystem, const std::string& target, std::string_view bytes)
{
    int fd;
    if (fileSystem.openForRewriting(target, fd) != 0)
        return ReplaceOutcome::Failed;
    const auto size = static_cast<off_t>(bytes.size());
    bool succeeded = true;
    if (size > 0) {
        // Claim the room first, so that a full disk stops us before the
        // first byte of the file changes.
        const int error = fileSystem.reserve(fd, size);
        succeeded = error == 0 || error == EOPNOTSUPP || error == ENOSYS;
    }
    succeeded = succeeded && writeAll(fileSystem, fd, bytes) && fileSystem.truncate(fd, size) == 0 &&
                fileSystem.sync(fd) == 0;
    return closeAfter(fileSystem, fd, succeeded) ? ReplaceOutcome::RewrittenInPlace : ReplaceOutcome::Failed;
}

} // namespace

ReplaceOutcome replaceFile(FileSystem& fileSystem, const std::string& path, std::string_view bytes)
{
    const std::optional<std::string> target = followLinks(fileSystem, path);
    if (!target)
        return ReplaceOutcome::Failed;

    FileFacts original;
    const int statusError = fileSystem.status(*target, original);
    const bool exists = statusError == 0;
    if (statusError != 0 && statusError != ENOENT)
        return ReplaceOutcome::Failed;
    if (exists && !original.regular)
        return ReplaceOutcome::Failed; // never replace a folder or a device

    std::string temporaryPath;
    int fd;
    // A new file gets the mode a plain creation would give it (the umask
    // applies); a replacement is private until it has the original's mode.
    const int createError = createTemporaryBeside(fileSystem, *target, exists ? 0600 : 0666, temporaryPath, fd);
    if (createError != 0) {
        if (exists && isPermissionError(createError))
            return rewriteInPlace(fileSystem, *target, bytes);
        return ReplaceOutcome::Failed;
    }

    bool succeeded = writeAll(fileSystem, fd, bytes) && (!exists || keepOwnerAndMode(fileSystem, fd, original)) &&
                     fileSystem.sync(fd) == 0;
    succeeded = closeAfter(fileSystem, fd, succeeded);
    if (!succeeded) {
        fileSystem.remove(temporaryPath);
        return ReplaceOutcome::Failed;
    }

    const int renameError = fileSystem.rename(temporaryPath, *target);
    if (renameError != 0) {
        fileSystem.remove(temporaryPath);
        // A folder with the sticky bit lets us create our file but not
        // put it over one we do not own.
        if (exists && isPermissionError(renameError))
            return rewriteInPlace(fileSystem, *target, bytes);
        return ReplaceOutcome::Failed;
    }
    return ReplaceOutcome::Replaced;
}

} // namespace teintelle
