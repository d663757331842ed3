// teintelle-samples OUT_FOLDER: writes Teintelle's sample effects, one
// sub-folder per edge size, and the sample photo beside them.
#include "samples/ColourChart.h"
#include "samples/Looks.h"

#include "lut/CubeWriter.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace teintelle::samples;
namespace fs = std::filesystem;

constexpr int kSizes[] = {17, 33, 65};

// Written beside and renamed into place, so that a file is never seen half written.
void writeFile(const fs::path& path, std::string_view bytes)
{
    const fs::path partial = path.string() + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write " + partial.string());
    }
    fs::rename(partial, path);
}

// The .cube text of a look with edge size n, as grading tools write it: a
// comment, TITLE, LUT_3D_SIZE, a blank line, then the n^3 entries.
std::string cubeText(const Look& look, int n)
{
    const teintelle::cube::CubeHeadLines head{{"# Teintelle sample effect", "TITLE \"" + std::string(look.title) + "\""},
                                         {""}};
    return teintelle::cube::cubeText(head, n, [&look, n](int r, int g, int b) {
        const Rgb output = look.apply({double(r) / (n - 1), double(g) / (n - 1), double(b) / (n - 1)});
        using teintelle::cube::micros;
        return teintelle::cube::Micros{micros(output[0]), micros(output[1]), micros(output[2])};
    });
}

void writeEffects(const fs::path& folder, int size)
{
    fs::create_directories(folder);
    for (const auto& look : looks())
        writeFile(folder / (std::string(look.fileName) + ".cube"), cubeText(look, size));
}

} // namespace

int main(int argc, char** argv)
{
    // An option is no folder name: "--help" would otherwise become a folder
    // of samples (a folder named so is still reached as "./-name").
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: teintelle-samples OUT_FOLDER\n");
        return 64;
    }
    try {
        const fs::path out = argv[1];
        fs::create_directories(out);
        // The largest size on a thread of its own: it is most of the work.
        std::exception_ptr failure;
        std::thread large([&] {
            try {
                writeEffects(out / std::to_string(kSizes[2]), kSizes[2]);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            writeEffects(out / std::to_string(kSizes[0]), kSizes[0]);
            writeEffects(out / std::to_string(kSizes[1]), kSizes[1]);
            const auto chart = colourChartJpeg();
            writeFile(out / "Mire.jpg", std::string_view(reinterpret_cast<const char*>(chart.data()), chart.size()));
        } catch (...) {
            large.join();
            throw;
        }
        large.join();
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "teintelle-samples: %s\n", error.what());
        return 1;
    }
    return 0;
}
