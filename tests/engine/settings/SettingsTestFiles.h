#pragma once

// Small helpers for tests that work on real files: a private folder per
// test, whole-file reads and writes, and running a step as an unprivileged
// user so that permission checks apply even when the tests run as root.

#include "common/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace teintelle::testing {

inline constexpr uid_t kUnprivilegedId = 65534; // "nobody" / "nogroup"

inline void writeFile(const std::string& path, const std::string& bytes, mode_t mode = 0644)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline mode_t permissionsOf(const std::string& path)
{
    struct stat s {};
    ::stat(path.c_str(), &s);
    return s.st_mode & 07777;
}

inline mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

inline std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// UTF-16 file bytes from code units, with the byte-order mark in front.
inline std::string utf16File(const std::u16string& units, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

struct ChildRun {
    int exitCode = -1;
    std::string output; // everything the child wrote on stdout and stderr
};

// Runs body in a child process, as "nobody" when we are root, and returns
// its result as the child's exit code with whatever it printed.
inline ChildRun runAsUnprivilegedUser(const std::function<int()>& body)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 ||
             ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0))
            ::_exit(125);
        ::_exit(body());
    }
    ::close(pipeEnds[1]);
    ChildRun run;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

// A fresh folder per test under /tmp, open to every user so that an
// unprivileged child can reach what the test puts in it.
class FileTest : public ::testing::Test {
protected:
    std::string makeFolder(const std::string& name, mode_t mode = 0755) { return temp_.folder(name, mode); }

    test::TempFolder temp_;
    std::string root_ = temp_.top();
};

} // namespace teintelle::testing
