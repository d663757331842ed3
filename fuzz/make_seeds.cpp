// Writes the seed corpora of the fuzz targets from the test fixtures:
//   fuzz_seeds OUTPUT_FOLDER
// makes OUTPUT_FOLDER/<target>/ for every target.
#include "tests/window/decoders/MetafileFixtures.h"
#include "tests/engine/imaging/PhotoFixtures.h"
#include "tests/engine/lut/CubeFixtures.h"

#if TEINTELLE_FUZZ_QT_SEEDS
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;
using namespace teintelle;
using fixtures::JpegKind;
using fixtures::JpegSpec;

namespace {

fs::path outputRoot;

void seed(const char* target, const std::string& name, const void* bytes, std::size_t size)
{
    const fs::path folder = outputRoot / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(static_cast<const char*>(bytes), std::streamsize(size));
}

void seed(const char* target, const std::string& name, const std::string& bytes)
{
    seed(target, name, bytes.data(), bytes.size());
}

void seed(const char* target, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    seed(target, name, bytes.data(), bytes.size());
}

// A .cube text for the reader, for check's analysis of it and for fix.
void cubeSeed(const std::string& name, const void* bytes, std::size_t size)
{
    seed("fuzz_cube", name, bytes, size);
    seed("fuzz_cube_check", name, bytes, size);
    seed("fuzz_cube_fix", name, bytes, size);
}

void cubeSeed(const std::string& name, const std::string& bytes)
{
    cubeSeed(name, bytes.data(), bytes.size());
}

void cubeSeeds()
{
    cubeSeed("identity2", test::identityCubeText(2));
    cubeSeed("identity3", test::identityCubeText(3));
    cubeSeed("identity5_crlf", [] {
        std::string text;
        for (char c : test::identityCubeText(5))
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return text;
    }());
    cubeSeed("size1", std::string("LUT_3D_SIZE 1\n0.5 0.25 1.0\n"));
    cubeSeed("hex_size", std::string("TITLE \"x\"\nLUT_3D_SIZE $2\n0.0 0 1e0\n1.5 -0.25 .5\n"));
    static const char utf16[] = "\xFF\xFEL\0U\0T\0_\0\x33\0D\0_\0S\0I\0Z\0E\0 \0\x31\0\n\0\x30\0.\0\x31\0 \0\x30\0 \0\x31\0";
    cubeSeed("utf16le", utf16, sizeof utf16 - 1);
    cubeSeed("domain", std::string("DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\nLUT_3D_SIZE 2\n# comment\n"
                                   "0.000000 0.000000 0.000000\n1.010000 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"));
    cubeSeed("no_data", std::string("LUT_3D_SIZE 2\n1 1 1\n"));
    // The ways a file departs from its author's meaning, for check.
    const std::pair<const char*, const char*> departures[] = {
        {"tabs", "LUT_3D_SIZE 2\n0.0\t0.0\t0.0\n1.0  0.0 0.0\n 0.0 1.0 0.0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"},
        {"lines_in_data", "LUT_3D_SIZE 2\n0.0 0.0 0.0\n# comment\n\n1.0 0.0 0.0\nTITLE \"x\"\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n"},
        {"table_1d", "LUT_1D_SIZE 2\n0.0 0.0 0.0\n1.0 1.0 1.0\n"},
        {"domain_range", "DOMAIN_MIN -0.1 0 0\nDOMAIN_MAX 2 2 2\nLUT_3D_INPUT_RANGE 0 4\nLUT_3D_SIZE 2\n0.0 0 0\n"},
        {"wrapped_values", "LUT_3D_SIZE 2\n0.0 -1.5 2.5\n1e9 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n1 1 1\n"},
        {"late_size", "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nLUT_3D_SIZE 2\n0.0 0 0\n"},
        {"size_odd", "LUT_3D_SIZE   0x10\n1.0 0 0\n"},
    };
    for (const auto& [name, text] : departures)
        seed("fuzz_cube_check", name, std::string(text));
}

void settingsSeeds()
{
    const char* files[] = {
        "stray=1\r\n; comment\r\n\r\n  [ Main ]  \r\n  ;indented comment\r\n key \t=  value  x \r\nlone\r\n\t\r\n[Other]\r\n= empty name\r\nk=\r\n",
        "[Abc]\na=1\n[x]\ny\n[ABC]\nb=2\n[aBc]\nc\n",
        "[\xC9t\xE9]\na=1\n[\xE9T\xC9]\nb=2\n",
        "\xEF\xBB\xBF[\xC3\x89t\xC3\xA9]\na=1\n[\xC3\x89T\xC3\x89]\nb=2\n",
        "[s]\ra=1\rb=2\n\nc",
        "[s]\na = b = c\n",
        "[s]\n[x\n x]\n[]\nz\n",
        "\xEF\xBB\xBF[s]\nk=\xC3\xA9\xFF\xC3\n\xED\xA0\x80\n",
    };
    int i = 0;
    for (const char* file : files)
        seed("fuzz_settings", "ini" + std::to_string(i++), std::string(file));
    // UTF-16 files, little and big endian.
    static const char utf16[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0";
    const std::string le(utf16, sizeof utf16 - 1);
    std::string be("\xFE\xFF", 2);
    for (std::size_t k = 2; k + 1 < le.size(); k += 2)
        be += std::string{le[k + 1], le[k]};
    seed("fuzz_settings", "utf16le", le);
    seed("fuzz_settings", "utf16be", be);
}

std::vector<std::uint8_t> prefixed(std::uint8_t first, const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> out{first};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

void photoSeeds()
{
    const struct {
        const char* name;
        JpegSpec shape;
    } jpegs[] = {
        {"rgb420", {32, 24, JpegKind::Rgb420, false, 85}},
        {"rgb444_progressive", {17, 9, JpegKind::Rgb444, true, 75}},
        {"gray", {16, 16, JpegKind::Gray, false, 90}},
        {"cmyk", {8, 8, JpegKind::Cmyk, false, 85}},
        {"ycck", {8, 8, JpegKind::Ycck, false, 85}},
        {"two_components", {8, 8, JpegKind::TwoComponents, false, 85}},
    };
    for (const auto& j : jpegs) {
        const std::vector<std::uint8_t> jpeg = fixtures::encodeJpeg(j.shape);
        seed("fuzz_jpeg_quarter", j.name, jpeg);
        seed("fuzz_jpeg_full", j.name, jpeg);
        seed("fuzz_photo_file", std::string("jpg_") + j.name, prefixed(1, jpeg));
    }
    std::vector<std::uint8_t> huge = fixtures::encodeJpeg({16, 16, JpegKind::Rgb420, false, 85});
    fixtures::patchFrameSize(huge, 65500, 65500);
    seed("fuzz_jpeg_quarter", "header_65500", huge);
    seed("fuzz_jpeg_full", "header_65500", huge);

    seed("fuzz_photo_file", "bmp32_bottom_up", prefixed(0, fixtures::bmp32(5, 3, true)));
    seed("fuzz_photo_file", "bmp32_top_down", prefixed(0, fixtures::bmp32(4, 4, false)));
    seed("fuzz_photo_file", "bmp32_truncated", prefixed(0, fixtures::bmp32(6, 5, true, 37)));
    seed("fuzz_photo_file", "bmp24", prefixed(0, fixtures::bmp24(5, 3)));
}

void geometrySeeds()
{
    const std::int32_t sizes[][4] = {
        {1500, 1000, 234, 217}, {234, 217, 234, 217}, {1, 1, 100, 100},
        {65500, 1, 234, 217},   {1, 65500, 16, 16},   {16384, 8192, 1, 1},
    };
    int i = 0;
    for (const auto& s : sizes)
        seed("fuzz_view_geometry", "sizes" + std::to_string(i++), s, sizeof s);
}

#if TEINTELLE_FUZZ_QT_SEEDS
// A picture in a format only Qt's writers make, for the Qt-backed decoders.
std::vector<std::uint8_t> encoded(const QImage& image, const char* format, int compression = -1)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compression >= 0)
        writer.setCompression(compression);
    if (!writer.write(image)) {
        std::cerr << "fuzz_seeds: cannot write " << format << ": " << writer.errorString().toStdString() << "\n";
        std::exit(1);
    }
    const QByteArray& bytes = buffer.data();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

QImage pattern(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, fixtures::bmpPixel(x, y));
    return image.convertToFormat(format);
}

// A paletted BMP of 4 x 2 pixels, run-length encoded (compression 1: 8 bits,
// 2: 4 bits), with two colours.
std::vector<std::uint8_t> bmpRunLength(int bitCount)
{
    std::vector<std::uint8_t> b = fixtures::bmpHeader(4, 2, bitCount, bitCount == 8 ? 1 : 2);
    fixtures::put32(b, 10, 54 + 8);
    fixtures::put32(b, 46, 2);
    for (std::uint8_t v : {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x80, 0x00, 0x00})
        b.push_back(v);
    const std::vector<std::uint8_t> runs = bitCount == 8
        ? std::vector<std::uint8_t>{4, 1, 0, 0, 2, 0, 2, 1, 0, 1}
        : std::vector<std::uint8_t>{4, 0x10, 0, 0, 4, 0x01, 0, 1};
    b.insert(b.end(), runs.begin(), runs.end());
    fixtures::put32(b, 2, std::uint32_t(b.size()));
    fixtures::put32(b, 34, std::uint32_t(runs.size()));
    return b;
}

// The fixture's WMF with the text "Ab" drawn over it (TEXTOUT), which needs fonts.
std::vector<std::uint8_t> wmfWithText()
{
    std::vector<std::uint8_t> b = fixtures::blueRectangleWmf();
    const std::vector<std::uint8_t> textOut = {7, 0, 0, 0, 0x21, 0x05, 2, 0, 'A', 'b', 20, 0, 10, 0};
    b.insert(b.end() - 6, textOut.begin(), textOut.end()); // before the EOF record
    const std::size_t sizeAt = 22 + 6; // the metafile's size in words, after the placeable header
    fixtures::put32(b, sizeAt, std::uint32_t(b[sizeAt] | (b[sizeAt + 1] << 8)) + 7);
    return b;
}

void platformSeeds()
{
    // The first byte picks the name: 0 .bmp, 1 .ico, 2 .tif.
    const char* target = "fuzz_platform_photo";
    seed(target, "bmp24", prefixed(0, fixtures::bmp24(5, 3)));
    seed(target, "bmp8_rle", prefixed(0, bmpRunLength(8)));
    seed(target, "bmp4_rle", prefixed(0, bmpRunLength(4)));
    seed(target, "bmp1", prefixed(0, encoded(pattern(9, 3, QImage::Format_Mono), "bmp")));
    seed(target, "bmp8", prefixed(0, encoded(pattern(5, 4, QImage::Format_Indexed8), "bmp")));
    seed(target, "ico32", prefixed(1, encoded(pattern(16, 16, QImage::Format_ARGB32), "ico")));
    seed(target, "ico_opaque", prefixed(1, encoded(pattern(8, 8, QImage::Format_RGB32), "ico")));
    seed(target, "tif_rgb", prefixed(2, encoded(pattern(7, 5, QImage::Format_RGB32), "tiff", 0)));
    seed(target, "tif_argb_lzw", prefixed(2, encoded(pattern(7, 5, QImage::Format_ARGB32), "tiff", 1)));
    seed(target, "tif_mono", prefixed(2, encoded(pattern(9, 3, QImage::Format_Mono), "tiff", 0)));
    seed(target, "tif_gray", prefixed(2, encoded(pattern(6, 2, QImage::Format_Grayscale8), "tiff", 1)));
    seed(target, "tif_indexed", prefixed(2, encoded(pattern(5, 4, QImage::Format_Indexed8), "tiff", 0)));
    seed(target, "tif_rgba64", prefixed(2, encoded(pattern(3, 3, QImage::Format_RGBA64), "tiff", 0)));

    // 0 .wmf, 1 .emf.
    seed("fuzz_metafile", "wmf_blue_rectangle", prefixed(0, fixtures::blueRectangleWmf()));
    seed("fuzz_metafile", "wmf_text", prefixed(0, wmfWithText()));
    seed("fuzz_metafile", "emf_blue_rectangle", prefixed(1, fixtures::blueRectangleEmf()));
}
#endif

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds OUTPUT_FOLDER\n";
        return 64;
    }
    outputRoot = argv[1];
    cubeSeeds();
    // The forms only the author's reading takes.
    seed("fuzz_cube_fix", "shaper", std::string("TITLE \"s\"\nLUT_1D_SIZE 3\nLUT_3D_SIZE 2\nLUT_1D_INPUT_RANGE 0 2\n"
                                                "0 0 0\n0.25 .5 1.\n1 1 1\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n"
                                                "1 0 1\n0 1 1\n1\t1\t1\n"));
    seed("fuzz_cube_fix", "oned", std::string("LUT_1D_SIZE 2\r\nDOMAIN_MIN -1 -1 -1\r\n# c\r\n0 0 0\r\n\r\n1e0 1 +1\r\n"));
    settingsSeeds();
    photoSeeds();
    geometrySeeds();
#if TEINTELLE_FUZZ_QT_SEEDS
    platformSeeds();
#endif
    return 0;
}
