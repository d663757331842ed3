#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace teintelle {

// What the settings store needs to know of a file.
struct FileFacts {
    bool regular = false;
    mode_t mode = 0; // as stat gives it: type and permission bits
    uid_t owner = 0;
    gid_t group = 0;
    off_t size = 0;
    nlink_t links = 0;   // the names the file has
    time_t modified = 0; // last change of its data, by the file system's clock
};

// The file's read-only attribute: its owner's write bit is off. Decided
// from the mode alone, so that it holds for root too.
inline bool isReadOnly(const FileFacts& facts) { return (facts.mode & S_IWUSR) == 0; }

// The few file operations the settings store performs. Tests replace one
// of them to make it fail as a full disk or a locked folder would, or to
// stand for another user or another owner, which also works when they run
// as root. Every call returns 0, or the errno
// value of its failure. A file is known by its descriptor once open.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int status(const std::string& path, FileFacts& facts) = 0; // follows links
    virtual int readLink(const std::string& path, std::string& target) = 0; // EINVAL: not a link
    virtual int makeDirectory(const std::string& path) = 0;
    virtual int listFolder(const std::string& path, std::vector<std::string>& names) = 0; // no "." or ".."

    virtual uid_t effectiveUser() = 0;
    virtual int mayWrite(const std::string& path) = 0; // the effective user's right to write the file

    virtual int openForReading(const std::string& path, int& fd) = 0;
    virtual int createNew(const std::string& path, mode_t mode, int& fd) = 0; // EEXIST if present
    virtual int openForRewriting(const std::string& path, int& fd) = 0; // existing, not truncated
    virtual int openToLock(const std::string& path, int& fd) = 0; // read-only; ELOOP for a link

    virtual int statusOf(int fd, FileFacts& facts) = 0;
    virtual int read(int fd, char* buffer, std::size_t size, std::size_t& got) = 0;
    virtual int writeAt(int fd, const char* data, std::size_t size, off_t offset,
                        std::size_t& written) = 0;
    virtual int reserve(int fd, off_t size) = 0; // blocks for size bytes, data unchanged
    virtual int truncate(int fd, off_t size) = 0;
    virtual int setOwner(int fd, uid_t owner, gid_t group) = 0;
    virtual int setMode(int fd, mode_t mode) = 0;
    virtual int sync(int fd) = 0;
    virtual int tryLock(int fd) = 0; // EWOULDBLOCK while another open file holds it; released at close
    virtual int close(int fd) = 0;

    virtual int rename(const std::string& from, const std::string& to) = 0;
    virtual int remove(const std::string& path) = 0;
};

// The real thing, over POSIX calls.
class PosixFileSystem : public FileSystem {
public:
    int status(const std::string& path, FileFacts& facts) override;
    int readLink(const std::string& path, std::string& target) override;
    int makeDirectory(const std::string& path) override;
    int listFolder(const std::string& path, std::vector<std::string>& names) override;
    uid_t effectiveUser() override;
    int mayWrite(const std::string& path) override;
    int openForReading(const std::string& path, int& fd) override;
    int createNew(const std::string& path, mode_t mode, int& fd) override;
    int openForRewriting(const std::string& path, int& fd) override;
    int openToLock(const std::string& path, int& fd) override;
    int statusOf(int fd, FileFacts& facts) override;
    int read(int fd, char* buffer, std::size_t size, std::size_t& got) override;
    int writeAt(int fd, const char* data, std::size_t size, off_t offset, std::size_t& written) override;
    int reserve(int fd, off_t size) override;
    int truncate(int fd, off_t size) override;
    int setOwner(int fd, uid_t owner, gid_t group) override;
    int setMode(int fd, mode_t mode) override;
    int sync(int fd) override;
    int tryLock(int fd) override;
    int close(int fd) override;
    int rename(const std::string& from, const std::string& to) override;
    int remove(const std::string& path) override;
};

// The process-wide PosixFileSystem.
FileSystem& systemFileSystem();

} // namespace teintelle
