// Writes the seed corpora of the fuzz targets from the test fixtures:
//   fuzz_seeds OUTPUT_FOLDER
// makes OUTPUT_FOLDER/<target>/ for every target.
#include "tests/engine/imaging/PhotoFixtures.h"
#include "tests/engine/lut/CubeFixtures.h"

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

void cubeSeeds()
{
    seed("fuzz_cube", "identity2", test::identityCubeText(2));
    seed("fuzz_cube", "identity3", test::identityCubeText(3));
    seed("fuzz_cube", "identity5_crlf", [] {
        std::string text;
        for (char c : test::identityCubeText(5))
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return text;
    }());
    seed("fuzz_cube", "size1", std::string("LUT_3D_SIZE 1\n0.5 0.25 1.0\n"));
    seed("fuzz_cube", "hex_size", std::string("TITLE \"x\"\nLUT_3D_SIZE $2\n0.0 0 1e0\n1.5 -0.25 .5\n"));
    static const char utf16[] = "\xFF\xFEL\0U\0T\0_\0\x33\0D\0_\0S\0I\0Z\0E\0 \0\x31\0\n\0\x30\0.\0\x31\0 \0\x30\0 \0\x31\0";
    seed("fuzz_cube", "utf16le", utf16, sizeof utf16 - 1);
    seed("fuzz_cube", "domain", std::string("DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\nLUT_3D_SIZE 2\n# comment\n"
                                            "0.000000 0.000000 0.000000\n1.010000 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"));
    seed("fuzz_cube", "no_data", std::string("LUT_3D_SIZE 2\n1 1 1\n"));
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds OUTPUT_FOLDER\n";
        return 64;
    }
    outputRoot = argv[1];
    cubeSeeds();
    // fix reads the same files, and the forms only the author's reading takes.
    fs::copy(outputRoot / "fuzz_cube", outputRoot / "fuzz_cube_fix",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    seed("fuzz_cube_fix", "shaper", std::string("TITLE \"s\"\nLUT_1D_SIZE 3\nLUT_3D_SIZE 2\nLUT_1D_INPUT_RANGE 0 2\n"
                                                "0 0 0\n0.25 .5 1.\n1 1 1\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n"
                                                "1 0 1\n0 1 1\n1\t1\t1\n"));
    seed("fuzz_cube_fix", "oned", std::string("LUT_1D_SIZE 2\r\nDOMAIN_MIN -1 -1 -1\r\n# c\r\n0 0 0\r\n\r\n1e0 1 +1\r\n"));
    settingsSeeds();
    photoSeeds();
    geometrySeeds();
    return 0;
}
