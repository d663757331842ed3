#pragma once

// A fresh temporary folder for one test, removed with all it holds at the
// end. Paths are relative to the folder's top and may hold any byte but "/"
// in their names. The folder is open to every user, so that a case run as
// an unprivileged one can get in; the helpers throw when they cannot make
// what the test asked for, so that a test never runs on a half-made tree.

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace teintelle::test {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/teintelle-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        top_ = pattern;
        ::chmod(top_.c_str(), 0755);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
    {
        // rm copes with any depth and any path length, chmod with the folders
        // a test closed, and the name is ours.
        const std::string command = "chmod -R u+rwx '" + top_ + "' 2>/dev/null; rm -rf '" + top_ + "'";
        [[maybe_unused]] const int status = std::system(command.c_str());
    }

    const std::string& top() const { return top_; }
    std::string path(const std::string& relative) const { return top_ + "/" + relative; }

    // Makes the folder, and its parents when missing, with that mode.
    std::string folder(const std::string& relative, mode_t mode = 0755) const
    {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
            ::mkdir(path(relative.substr(0, slash)).c_str(), 0755);
        std::string made = path(relative);
        struct stat existing {};
        check((::mkdir(made.c_str(), mode) == 0 || (::stat(made.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)))
                  && ::chmod(made.c_str(), mode) == 0,
              relative);
        return made;
    }

    // Writes the file (replacing one there) with these bytes and that mode.
    std::string write(const std::string& relative, std::string_view bytes = {}, mode_t mode = 0644) const
    {
        std::string made = path(relative);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        check(fd >= 0, relative);
        bool written = true;
        for (std::size_t done = 0; written && done < bytes.size();) {
            const ssize_t step = ::write(fd, bytes.data() + done, bytes.size() - done);
            written = step > 0;
            done += written ? static_cast<std::size_t>(step) : 0;
        }
        ::close(fd);
        check(written && ::chmod(made.c_str(), mode) == 0, relative);
        return made;
    }
    std::string write(const std::string& relative, const std::vector<std::uint8_t>& bytes, mode_t mode = 0644) const
    {
        return write(relative, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mode);
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
