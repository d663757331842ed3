#pragma once
// Running teintelle-cli as a separate process, and reading back the PPM
// files its photo commands write.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "imaging/TBitmap32.h"

namespace teintelle::clitest {

// An effect that swaps red and blue and halves green, in .cube order (red fastest).
inline constexpr const char* kSwap = "LUT_3D_SIZE 2\n"
                                     "0.0 0.0 0.0\n0.0 0.0 1.0\n0.0 0.5 0.0\n0.0 0.5 1.0\n"
                                     "1.0 0.0 0.0\n1.0 0.0 1.0\n1.0 0.5 0.0\n1.0 0.5 1.0\n";

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `prefix... teintelle-cli args...` in folder, with extra environment
// entries ("NAME=value"), standard output and error kept in files there.
// With a file-size limit, a write past that many bytes fails with EFBIG, as
// on a full disk (SIGXFSZ is ignored so that the command sees the error).
inline CliRun runCli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment = {}, const std::vector<std::string>& prefix = {},
                     rlim_t fileSizeLimit = RLIM_INFINITY)
{
    const auto outPath = folder / "stdout", errPath = folder / "stderr";
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0 || !std::freopen(outPath.c_str(), "w", stdout)
            || !std::freopen(errPath.c_str(), "w", stderr))
            ::_exit(127);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != RLIM_INFINITY
            && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0))
            ::_exit(127);
        for (const auto& entry : environment)
            ::putenv(const_cast<char*>(entry.c_str()));
        std::vector<std::string> words = prefix;
        words.push_back(TEINTELLE_CLI_PATH);
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        argv.reserve(words.size() + 1);
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun result;
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

// The pixels of a P6 file as the header "P6\nW H\n255\n" and RGB triplets.
struct Ppm {
    int width = -1, height = -1;
    std::vector<TColor32> pixels; // alpha 255
};

inline Ppm readPpm(const std::string& bytes)
{
    Ppm ppm;
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> ppm.width >> ppm.height >> maxval;
    if (magic != "P6" || maxval != 255 || in.get() != '\n')
        return Ppm{};
    const std::size_t count = std::size_t(ppm.width) * std::size_t(ppm.height);
    const std::size_t start = std::size_t(in.tellg());
    if (bytes.size() != start + count * 3)
        return Ppm{};
    for (std::size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + start + i * 3);
        ppm.pixels.push_back(0xFF000000u | (TColor32(p[0]) << 16) | (TColor32(p[1]) << 8) | p[2]);
    }
    return ppm;
}

// The surface's pixels as a PPM keeps them: alpha made 255.
inline std::vector<TColor32> opaquePixels(const TBitmap32& surface)
{
    std::vector<TColor32> pixels(surface.Bits(), surface.Bits() + std::size_t(surface.Width()) * surface.Height());
    for (auto& p : pixels)
        p |= 0xFF000000u;
    return pixels;
}

} // namespace teintelle::clitest
