#include "cli/PhotoOutput.h"

#include <cstdio>
#include <vector>

namespace teintelle::cli {

bool endsWithPng(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".png";
}

void writePpm(const TBitmap32& surface, OutputFile& out)
{
    const int width = surface.Empty() ? 0 : surface.Width();
    const int height = surface.Empty() ? 0 : surface.Height();
    const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    out.write(header.data(), header.size());
    std::vector<unsigned char> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor32 p = surface.pixel(x, y);
            row[std::size_t(x) * 3] = static_cast<unsigned char>(p >> 16);
            row[std::size_t(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[std::size_t(x) * 3 + 2] = static_cast<unsigned char>(p);
        }
        out.write(row.data(), row.size());
    }
}

std::string writePicture(const TBitmap32& surface, const std::string& path)
{
    if (!endsWithPng(path))
        return replaceFile(path, [&](OutputFile& out) { writePpm(surface, out); });
    if (surface.Empty())
        return "";
    return writePng(surface, path);
}

int writePictureOf(const char* command, const TBitmap32& surface, const std::string& out)
{
    const std::string problem = writePicture(surface, out);
    if (problem.empty())
        return kDone;
    std::fprintf(stderr, "teintelle-cli %s: %s\n", command, problem.c_str());
    return kCannotWrite;
}

} // namespace teintelle::cli
