#include "BenchInputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <stdexcept>
#include <vector>

namespace teintelle::bench {

namespace fs = std::filesystem;

std::string inputFolder()
{
    const char* chosen = std::getenv("TEINTELLE_BENCH_DIR");
    const fs::path folder = chosen != nullptr ? chosen : "/tmp/teintelle-bench-lut";
    fs::create_directories(folder);
    return folder.string();
}

namespace {

double clamp01(double x) { return std::min(1.0, std::max(0.0, x)); }

void grade(double r, double g, double b, double out[3])
{
    // Contrast: half-way towards a smoothstep S-curve.
    const auto curve = [](double x) { return 0.5 * x + 0.5 * x * x * (3 - 2 * x); };
    r = curve(r);
    g = curve(g);
    b = curve(b);
    // Split toning: teal shadows, orange highlights.
    const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double shadow = (1 - luma) * (1 - luma), highlight = luma * luma;
    r += 0.10 * highlight - 0.06 * shadow;
    g += 0.02 * highlight + 0.03 * shadow;
    b += -0.10 * highlight + 0.08 * shadow;
    // Saturation, then a little cross-talk between channels.
    const double sat = 1.25;
    r = luma + sat * (r - luma);
    g = luma + sat * (g - luma);
    b = luma + sat * (b - luma);
    out[0] = clamp01(0.92 * r + 0.06 * g + 0.02 * b);
    out[1] = clamp01(0.04 * r + 0.90 * g + 0.06 * b);
    out[2] = clamp01(0.02 * r + 0.10 * g + 0.88 * b);
}

} // namespace

std::string gradeCubeFile(int n)
{
    const fs::path path = fs::path(inputFolder()) / ("grade-" + std::to_string(n) + ".cube");
    if (fs::exists(path))
        return path.string();
    const fs::path partial = path.string() + ".part";
    {
        std::FILE* out = std::fopen(partial.c_str(), "w");
        if (out == nullptr)
            throw std::runtime_error("cannot write " + partial.string());
        std::fprintf(out, "TITLE \"Teal and orange %d\"\n# Benchmark grade\nLUT_3D_SIZE %d\n"
                          "DOMAIN_MIN 0.0 0.0 0.0\nDOMAIN_MAX 1.0 1.0 1.0\n", n, n);
        const double last = n - 1;
        for (int bi = 0; bi < n; ++bi)
            for (int gi = 0; gi < n; ++gi)
                for (int ri = 0; ri < n; ++ri) {
                    double c[3];
                    grade(ri / last, gi / last, bi / last, c);
                    std::fprintf(out, "%.6f %.6f %.6f\n", c[0], c[1], c[2]);
                }
        std::fclose(out);
    }
    fs::rename(partial, path);
    return path.string();
}

void loadPhoto(TBitmap32& surface)
{
    const char* chosen = std::getenv("TEINTELLE_BENCH_PHOTO");
    const std::string path = chosen != nullptr ? chosen : "/usr/share/backgrounds/mate/nature/Garden.jpg";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw std::runtime_error("cannot open " + path + " (Debian package mate-backgrounds)");

    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int width = int(info.output_width), height = int(info.output_height);
    std::vector<unsigned char> rgb(std::size_t(width) * std::size_t(height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &rgb[std::size_t(info.output_scanline) * std::size_t(width) * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);

    // The central 3:2 part, sampled down to 1500 x 1000 (nearest pixel).
    constexpr int kWidth = 1500, kHeight = 1000;
    const int cropWidth = std::min(width, height * 3 / 2), cropHeight = cropWidth * 2 / 3;
    const int left = (width - cropWidth) / 2, top = (height - cropHeight) / 2;
    surface.SetSize(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int sx = left + x * cropWidth / kWidth, sy = top + y * cropHeight / kHeight;
            const unsigned char* p = &rgb[(std::size_t(sy) * std::size_t(width) + std::size_t(sx)) * 3];
            surface.pixel(x, y) = couleur32(0xFF, p[0], p[1], p[2]);
        }

    const fs::path raw = fs::path(inputFolder()) / "photo-1500x1000.bgra";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(surface.Bits()), std::streamsize(kWidth) * kHeight * 4);
}

} // namespace teintelle::bench
