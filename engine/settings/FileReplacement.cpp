#include "settings/FileReplacement.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <vector>

namespace teintelle {

namespace {

constexpr int kMostLinksFollowed = 40;      // as the kernel's own limit for a path
constexpr int kTemporaryNameAttempts = 100;
constexpr mode_t kPermissionBits = 07777;

// A new file is named "." + the file's name + "." + this many of these
// characters.
constexpr char kSuffixCharacters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kSuffixLength = 8;

// A leftover must have been unchanged this long: it covers the moment
// between a run creating its new file and locking it.
constexpr time_t kLeftoverAge = 60;
// A bound on the work at the end of a run, whatever a folder holds.
constexpr int kMostLeftoversExamined = 32;

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
    auto seed = static_cast<unsigned long long>(
                    std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<unsigned long long>(::getpid()) << 32) ^ (attempt * 0x9E3779B97F4A7C15ull);
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        suffix += kSuffixCharacters[(seed >> 33) % (sizeof kSuffixCharacters - 1)];
    }
    return suffix;
}

std::string temporaryNamePrefix(const std::string& target) { return "." + fileNameOf(target) + "."; }

bool isTemporaryNameOf(const std::string& name, const std::string& target)
{
    const std::string prefix = temporaryNamePrefix(target);
    return name.size() == prefix.size() + kSuffixLength && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of(kSuffixCharacters, prefix.size()) == std::string::npos;
}

// Creates a hidden file beside target; returns 0 or the errno value.
int createTemporaryBeside(FileSystem& fileSystem, const std::string& target, mode_t mode,
                          std::string& temporaryPath, int& fd)
{
    int error = EEXIST;
    for (unsigned attempt = 0; attempt < kTemporaryNameAttempts && error == EEXIST; ++attempt) {
        temporaryPath = folderOf(target) + temporaryNamePrefix(target) + temporaryNameSuffix(attempt);
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
    // Owner first, since a change of owner clears the set-id bits. The
    // owner is ours already (another user's file is rewritten in place);
    // the group can be given back by root, or by an owner that belongs to
    // it, and the file otherwise goes on with ours.
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

// Writes bytes to a new file beside target and renames it over target;
// original describes the file it replaces, if there is one.
ReplaceOutcome replaceThroughNewFile(FileSystem& fileSystem, const std::string& target,
                                     const FileFacts* original, std::string_view bytes)
{
    std::string temporaryPath;
    int fd;
    // A new file gets the mode a plain creation would give it (the umask
    // applies); a replacement is private until it has the original's mode.
    const int createError = createTemporaryBeside(fileSystem, target, original ? 0600 : 0666, temporaryPath, fd);
    if (createError != 0) {
        if (original && isPermissionError(createError))
            return rewriteInPlace(fileSystem, target, bytes);
        return ReplaceOutcome::Failed;
    }
    // Held until the file is closed, so that another run's clean-up never
    // takes it for a leftover while it is written (see removeIfLeftover).
    // It is closed just before the rename: a clean-up could only take it
    // in that moment if its last write were kLeftoverAge old, and would
    // then make the rename fail with the old file whole. Where locks are
    // not supported the file goes on without one and is never removed.
    fileSystem.tryLock(fd);

    bool succeeded = writeAll(fileSystem, fd, bytes) && (!original || keepOwnerAndMode(fileSystem, fd, *original)) &&
                     fileSystem.sync(fd) == 0;
    succeeded = closeAfter(fileSystem, fd, succeeded);
    if (!succeeded) {
        fileSystem.remove(temporaryPath);
        return ReplaceOutcome::Failed;
    }

    const int renameError = fileSystem.rename(temporaryPath, target);
    if (renameError != 0) {
        fileSystem.remove(temporaryPath);
        // A folder with the sticky bit lets us create our file but not
        // put it over one we do not own.
        if (original && isPermissionError(renameError))
            return rewriteInPlace(fileSystem, target, bytes);
        return ReplaceOutcome::Failed;
    }
    return ReplaceOutcome::Replaced;
}

// Writes bytes over the existing file target, as what it is at this
// moment allows.
ReplaceOutcome writeOver(FileSystem& fileSystem, const std::string& target, const FileFacts& original,
                         std::string_view bytes)
{
    if (isReadOnly(original))
        return ReplaceOutcome::LeftReadOnly;
    if (fileSystem.mayWrite(target) != 0)
        return ReplaceOutcome::LeftUnwritable;
    // A new file renamed over the old one takes only this name: another
    // link would keep the old content, and another user's file would
    // become ours.
    if (original.links > 1 || original.owner != fileSystem.effectiveUser())
        return rewriteInPlace(fileSystem, target, bytes);
    return replaceThroughNewFile(fileSystem, target, &original, bytes);
}

// Removes path if it is a leftover: a regular file (not a link: we never
// create one) unchanged since before now - kLeftoverAge, whose lock no
// open file holds. A run holds the lock on its new file while it writes
// it, so two runs at once never remove each other's file; a killed run's
// lock went with it.
void removeIfLeftover(FileSystem& fileSystem, const std::string& path, time_t now)
{
    int fd;
    if (fileSystem.openToLock(path, fd) != 0)
        return; // a link, another user's file, or gone meanwhile
    FileFacts facts;
    // The age is tested first, so that a fresh file is never locked, even
    // for a moment, while its own run tries to lock it.
    if (fileSystem.statusOf(fd, facts) == 0 && facts.regular && facts.modified <= now - kLeftoverAge &&
        fileSystem.tryLock(fd) == 0)
        fileSystem.remove(path);
    fileSystem.close(fd);
}

// Removes the new files that runs killed in the middle of a write left
// beside target. Only names of our own pattern for target are looked at.
// The clock is the file system's own, read from target just written, so
// that a network file system's clock is compared with itself.
void removeLeftovers(FileSystem& fileSystem, const std::string& target)
{
    FileFacts written;
    std::vector<std::string> names;
    const std::string folder = folderOf(target);
    if (fileSystem.status(target, written) != 0 || fileSystem.listFolder(folder.empty() ? "." : folder, names) != 0)
        return;
    int examined = 0;
    for (const std::string& name : names) {
        if (!isTemporaryNameOf(name, target))
            continue;
        if (++examined > kMostLeftoversExamined)
            break;
        removeIfLeftover(fileSystem, folder + name, written.modified);
    }
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

    const ReplaceOutcome outcome = exists ? writeOver(fileSystem, *target, original, bytes)
                                          : replaceThroughNewFile(fileSystem, *target, nullptr, bytes);
    if (outcome == ReplaceOutcome::Replaced || outcome == ReplaceOutcome::RewrittenInPlace)
        removeLeftovers(fileSystem, *target);
    return outcome;
}

} // namespace teintelle
