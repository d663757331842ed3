#pragma once
// The one way the program opens a file it only reads (a photo, an effect):
// nothing about the file can make it wait. Not the open (a pipe, a file that
// another program holds under a lease), not a read: a file can look regular
// and still give its bytes only as they come (/proc/kmsg does). The
// descriptor stays non-blocking, so a read that would wait fails like any
// read error and such a file is simply unreadable.

#include <cstddef>
#include <istream>
#include <streambuf>
#include <string>

#include <sys/types.h>

namespace teintelle {

// The user's message when an input file cannot be read to its end, or is
// not the regular file it was.
inline constexpr const char* kReadError = "Erreur de lecture du flux";

// The user's message when a file cannot be opened: "Impossible d'ouvrir le
// fichier "<path>". <system's reason>"
std::string openFailureMessage(const std::string& path, int error);

// Owns one open descriptor and closes it with itself.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Gives the descriptor up to the caller (to a FILE, say).
    int release();
    // Closes the descriptor now.
    void reset() { *this = FileDescriptor(); }

private:
    int fd_ = -1;
};

// Opens `name` for reading, relative to the folder descriptor `folder`
// (AT_FDCWD for a plain path): not blocking, closed on exec, never the
// controlling terminal. Not open, with errno set, when it fails.
FileDescriptor openInputFile(int folder, const char* name);
FileDescriptor openInputFile(const std::string& path);

// Whether `name`, relative to the folder descriptor `folder` (AT_FDCWD for a
// plain path), names a regular file, links followed: not a folder, pipe or
// device. The test before opening; isRegularFile below is the one after.
bool namesRegularFile(int folder, const char* name);
bool namesRegularFile(const std::string& path);

// Whether the open file is a regular file (not a pipe, device or folder put
// in its place since its path was checked); its size in `size` when asked.
bool isRegularFile(int fd, off_t* size = nullptr);

// One read, again when a signal interrupts it: the bytes read, 0 at the end
// of the file, -1 with errno set when it fails, EAGAIN (a read that would
// wait) included.
ssize_t readInputFile(int fd, void* buffer, std::size_t size);

// A stream buffer over an input file's descriptor, reading straight into
// the caller's buffer on bulk reads. A failed read throws, which the stream
// turns into its bad state.
class InputFileBuffer : public std::streambuf {
public:
    explicit InputFileBuffer(FileDescriptor file) : file_(std::move(file)) {}

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* s, std::streamsize n) override;

private:
    std::streamsize readSome(char* s, std::size_t n);

    FileDescriptor file_;
    char one_ = 0;
};

} // namespace teintelle
