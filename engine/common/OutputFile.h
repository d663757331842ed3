#pragma once
// A file replaced whole or not at all. The bytes go to a temporary file in
// the destination's folder, ".<name>.XXXXXX.part", which takes the file's
// name only once all of them are on disk. Until then, and whenever a step
// fails, the file that was there stays as it was and no temporary is left.
//
// The final file has the mode a plain open would give it: 0666 less the
// umask for a new file; an existing file keeps its permission bits and,
// where the system allows it, its owner and group (its other hard links go
// on naming the old content). An existing file that we may not write is
// refused, as a plain open refuses it. A path that names a symbolic link to
// a file replaces the file the link points to. A path that names something
// other than a file (a terminal, a pipe, /dev/stdout) is written directly:
// there is nothing there to keep.

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace teintelle {

class OutputFile {
public:
    // Creates the temporary. Throws Error
    // "Impossible d'écrire le fichier "<path>". <system's reason>".
    explicit OutputFile(const std::string& path);
    // Removes the temporary unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends the bytes; throws Error as above when they cannot be written.
    void write(const void* data, std::size_t size);
    // For a writer that wants a descriptor of its own to write into.
    int descriptor() const { return file_; }

    // Syncs the file to disk, gives it its mode and renames it over the
    // path. Throws Error as above, the old file then untouched.
    void commit();

private:
    [[noreturn]] void fail(int error) const;
    void openDirectly();
    void openBeside(const struct stat* existing); // existing: the file there, or null
    void createTemporary(const std::string& name);
    void release(); // the descriptors closed, the temporary removed unless committed

    std::string path_;      // as the caller named it, for messages
    int folder_ = -1;       // the destination's folder
    std::string name_;      // the final name in folder_
    std::string temporary_; // the temporary's name in folder_, empty when written directly
    int file_ = -1;
    bool keepOwner_ = false; // an existing file's mode, owner and group
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    bool committed_ = false;
};

} // namespace teintelle
