#pragma once
// Paths longer than the system takes in one call (PATH_MAX), which a deep
// effect library gives: such a path is reached folder by folder, each opened
// relative to the previous one, and the file is then named within the last.

#include "common/InputFile.h"

#include <string>

namespace teintelle {

class LongPath {
public:
    explicit LongPath(const std::string& path);
    LongPath(const LongPath&) = delete;
    LongPath& operator=(const LongPath&) = delete;

    // The folder to name the file in: AT_FDCWD for a path of usual length,
    // -1 (errno set) when a folder on the way could not be opened.
    int folder() const { return folder_; }
    // The rest of the path, relative to folder().
    const char* name() const { return name_.c_str(); }

private:
    bool enter(int next); // takes the folder descriptor `next`, or fails
    void fail(int error);

    int folder_;
    FileDescriptor owned_; // the folder when the path was walked down, none for AT_FDCWD
    std::string name_;
};

} // namespace teintelle
