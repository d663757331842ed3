#pragma once

// A folder tree made by a test in a fresh temporary folder, removed at the
// end. Paths are relative to the tree's top and may hold any byte but "/" in
// their names.

#include <cstdlib>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle::test {

class TempTree {
public:
    TempTree()
    {
        char pattern[] = "/tmp/teintelle-library-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        top_ = pattern;
        // Open to everyone, so that a case run as another user can get in.
        ::chmod(top_.c_str(), 0755);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree()
    {
        // rm copes with any depth and any path length, and the name is ours.
        const std::string command = "chmod -R u+rwx '" + top_ + "' 2>/dev/null; rm -rf '" + top_ + "'";
        [[maybe_unused]] const int status = std::system(command.c_str());
    }

    const std::string& top() const { return top_; }
    std::string path(const std::string& relative) const { return top_ + "/" + relative; }

    void folder(const std::string& relative, mode_t mode = 0755) const
    {
        check(::mkdir(path(relative).c_str(), mode) == 0, relative);
        check(::chmod(path(relative).c_str(), mode) == 0, relative);
    }
    void file(const std::string& relative, mode_t mode = 0644, const std::string& content = {}) const
    {
        const int fd = ::open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        check(fd >= 0, relative);
        const bool written = content.empty()
                             || ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        ::close(fd);
        check(written && ::chmod(path(relative).c_str(), mode) == 0, relative);
    }
    void link(const std::string& target, const std::string& relative) const
    {
        check(::symlink(target.c_str(), path(relative).c_str()) == 0, relative);
    }
    void fifo(const std::string& relative) const { check(::mkfifo(path(relative).c_str(), 0644) == 0, relative); }

private:
    static void check(bool ok, const std::string& what)
    {
        if (!ok)
            throw std::runtime_error("cannot make " + what);
    }

    std::string top_;
};

} // namespace teintelle::test
