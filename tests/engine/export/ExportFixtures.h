#pragma once
// What the export tests need around the export: the effect, the photo
// decoded as libjpeg's accurate path decodes it, the outputs read back with
// their metadata, and small metadata blocks.

#include "imaging/PhotoFixtures.h"
#include "imaging/TBitmap32.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace teintelle::fixtures {

// A colourful 17-sized effect: every cell's corners differ on every channel.
inline void loadTestEffect(LutTable& table, std::int32_t& taille, int n = 17)
{
    std::string text = "LUT_3D_SIZE " + std::to_string(n) + "\n";
    for (int bi = 0; bi < n; ++bi)
        for (int vi = 0; vi < n; ++vi)
            for (int ri = 0; ri < n; ++ri) {
                const double last = n - 1;
                const double r = ri / last, v = vi / last, b = bi / last;
                char line[96];
                std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", 0.1 + 0.8 * v * v, 0.9 * (1 - r) + 0.1 * b,
                              0.5 * (r + b) * (1 - 0.3 * v));
                text += line;
            }
    std::istringstream in(text);
    if (readCube(in, table, taille) != CubeStatus::Loaded)
        throw std::runtime_error("fixture effect not read");
}

struct ReadBack {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // alpha 255, red, green, blue
    std::vector<std::uint8_t> icc;
    std::vector<std::uint8_t> exif;
    std::string xmp;
    int lumaHorizontal = 0, lumaVertical = 0; // JPEG
    bool progressive = false;                 // JPEG
};

// What the window's mapping gives for every pixel of a decoded photo.
inline std::vector<std::uint32_t> gradedPixels(const std::vector<std::uint32_t>& pixels, int width, int height,
                                               const LutTable& table, std::int32_t taille)
{
    TBitmap32 source, destination;
    source.SetSize(width, height);
    std::copy(pixels.begin(), pixels.end(), source.Bits());
    float coef = 0;
    AppliqueLut(source, destination, table, taille, coef);
    return {destination.Bits(), destination.Bits() + pixels.size()};
}

[[noreturn]] inline void readBackError(j_common_ptr) { throw std::runtime_error("libjpeg error in a test"); }

// A JPEG decoded with the accurate integer transform and the library's other
// defaults, as BGRA surface pixels (CMYK as the window shows it).
inline ReadBack readJpeg(const std::vector<std::uint8_t>& bytes)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    errors.error_exit = readBackError;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    ReadBack out;
    out.lumaHorizontal = cinfo.comp_info[0].h_samp_factor;
    out.lumaVertical = cinfo.comp_info[0].v_samp_factor;
    out.progressive = cinfo.progressive_mode != 0;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::string(reinterpret_cast<char*>(m->data), 4) == "Exif")
            out.exif.assign(m->data + 6, m->data + m->data_length);
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccSize)) {
        out.icc.assign(icc, icc + iccSize);
        std::free(icc);
    }
    cinfo.dct_method = JDCT_ISLOW;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    if (!cmyk)
        cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.pixels.resize(std::size_t(out.width) * out.height);
    std::vector<JSAMPLE> row(std::size_t(out.width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        const std::size_t y = cinfo.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (int x = 0; x < out.width; ++x) {
            const JSAMPLE* p = &row[std::size_t(x) * 4];
            out.pixels[y * out.width + x] =
                cmyk ? couleur32(255, std::uint8_t(p[0] * p[3] / 255), std::uint8_t(p[1] * p[3] / 255),
                                 std::uint8_t(p[2] * p[3] / 255))
                     : couleur32(255, p[2], p[1], p[0]);
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

inline std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw std::runtime_error("cannot open " + path);
    std::vector<std::uint8_t> bytes;
    for (int c; (c = std::fgetc(file)) != EOF;)
        bytes.push_back(std::uint8_t(c));
    std::fclose(file);
    return bytes;
}

// What libpng reads, in a frame of its own: no C++ object lives in the frame
// of the setjmp below.
inline void readPngInto(png_structp png, png_infop info, ReadBack& out)
{
    png_read_info(png, info);
    out.width = int(png_get_image_width(png, info));
    out.height = int(png_get_image_height(png, info));
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) != 0)
        out.icc.assign(profile, profile + profileSize);
    png_bytep exif = nullptr;
    png_uint_32 exifSize = 0;
    if (png_get_eXIf_1(png, info, &exifSize, &exif) != 0)
        out.exif.assign(exif, exif + exifSize);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    out.pixels.resize(std::size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(out.pixels.data() + std::size_t(y) * out.width), nullptr);
    png_read_end(png, info);
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(png, info, &texts, &count);
    for (int i = 0; i < count; ++i)
        if (std::string(texts[i].key) == "XML:com.adobe.xmp")
            out.xmp = std::string(texts[i].text, texts[i].itxt_length);
}

inline bool readPngProtected(png_structp png, png_infop info, std::FILE* file, ReadBack& out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    readPngInto(png, info, out);
    return true;
}

inline ReadBack readPng(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw std::runtime_error("cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ReadBack out;
    const bool read = readPngProtected(png, info, file, out);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    if (!read)
        throw std::runtime_error("libpng error in a test");
    return out;
}

inline ReadBack readTiff(const std::string& path)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        throw std::runtime_error("cannot open " + path);
    ReadBack out;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (bits != 8)
        throw std::runtime_error("not an 8-bit TIFF");
    out.width = int(width);
    out.height = int(height);
    std::uint32_t iccSize = 0;
    void* icc = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &iccSize, &icc) == 1)
        out.icc.assign(static_cast<std::uint8_t*>(icc), static_cast<std::uint8_t*>(icc) + iccSize);
    std::vector<std::uint32_t> abgr(std::size_t(width) * height);
    if (TIFFReadRGBAImageOriented(tiff, width, height, abgr.data(), ORIENTATION_TOPLEFT, 0) != 1)
        throw std::runtime_error("TIFF pixels not read");
    out.pixels.resize(abgr.size());
    for (std::size_t i = 0; i < abgr.size(); ++i)
        out.pixels[i] = couleur32(255, std::uint8_t(TIFFGetR(abgr[i])), std::uint8_t(TIFFGetG(abgr[i])),
                                  std::uint8_t(TIFFGetB(abgr[i])));
    TIFFClose(tiff);
    return out;
}

// An EXIF block (little-endian TIFF structure) holding only an orientation.
inline std::vector<std::uint8_t> orientationExif(std::uint16_t orientation)
{
    return {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
            std::uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
}

// A display profile that libpng's checks accept: a header and one tag of
// 400 bytes of noise (libpng 1.6.39 reads back a small profile that deflates
// to fewer bytes than its chunk's keyword buffer as "too short").
inline std::vector<std::uint8_t> smallIccProfile()
{
    std::vector<std::uint8_t> p(544, 0);
    const auto put = [&](std::size_t at, const char* four) {
        for (int i = 0; i < 4; ++i)
            p[at + i] = std::uint8_t(four[i]);
    };
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p[at + i] = std::uint8_t(v >> (24 - 8 * i));
    };
    put32(0, std::uint32_t(p.size()));
    put32(8, 0x02100000);
    put(12, "mntr");
    put(16, "RGB ");
    put(20, "XYZ ");
    put(36, "acsp");
    put32(68, 0x0000F6D6);
    put32(72, 0x00010000);
    put32(76, 0x0000D32D);
    put(80, "test");
    put32(128, 1); // one tag
    put(132, "cprt");
    put32(136, 144);
    put32(140, 400);
    std::uint32_t noise = 12345;
    for (std::size_t i = 144; i < p.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        p[i] = std::uint8_t(noise >> 16);
    }
    return p;
}

// An 8-bit RGB TIFF of the fixtures' picture with a profile, an XMP packet
// and an orientation, written by libtiff.
inline void writeTiff(const std::string& path, int width, int height, const std::vector<std::uint8_t>& icc,
                      const std::string& xmp, std::uint16_t orientation)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr)
        throw std::runtime_error("cannot write " + path);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(tiff, TIFFTAG_ICCPROFILE, std::uint32_t(icc.size()), icc.data());
    TIFFSetField(tiff, TIFFTAG_XMLPACKET, std::uint32_t(xmp.size()), xmp.data());
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + c] = sample(x, y, c);
        TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), 0);
    }
    TIFFClose(tiff);
}

} // namespace teintelle::fixtures
