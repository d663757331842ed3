#pragma once
// Photo files made by the tests themselves: JPEGs made in memory by libjpeg's
// compressor ("jpeg/JpegCompressor.h"), BMPs written byte by byte.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/TempFolder.h"
#include "jpeg/JpegCompressor.h"

namespace teintelle::fixtures {

enum class JpegKind { Rgb420, Rgb444, Gray, Cmyk, Ycck, TwoComponents };

struct JpegSpec {
    int width = 64;
    int height = 48;
    JpegKind kind = JpegKind::Rgb420;
    bool progressive = false;
    int quality = 85;
    std::vector<std::uint8_t> exif = {}; // written as an APP1 "Exif" segment when not empty
    std::vector<std::uint8_t> icc = {};  // written as APP2 ICC segments when not empty
};

// A deterministic picture with edges and texture, so that every transform
// and upsampling step leaves its mark on the decoded pixels.
inline std::uint8_t sample(int x, int y, int channel)
{
    const unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(channel) * 83492791u;
    const int smooth = (x * (3 + channel) + y * (5 - channel)) & 255;
    return std::uint8_t(((x / 8 + y / 8 + channel) % 3 == 0) ? (smooth + (h >> 28)) & 255 : smooth / 2 + (h >> 29));
}

inline int componentCount(JpegKind kind)
{
    switch (kind) {
    case JpegKind::Gray: return 1;
    case JpegKind::TwoComponents: return 2;
    case JpegKind::Cmyk:
    case JpegKind::Ycck: return 4;
    default: return 3;
    }
}

// What the compressor is asked for a photo of this shape.
inline jpeg::JpegSettings jpegSettings(const JpegSpec& shape)
{
    jpeg::JpegSettings settings;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.components = componentCount(shape.kind);
    settings.inColorSpace = settings.components == 1 ? JCS_GRAYSCALE
                          : settings.components == 3 ? JCS_RGB
                          : settings.components == 4 ? JCS_CMYK
                                                     : JCS_UNKNOWN;
    if (shape.kind == JpegKind::Ycck)
        settings.fileColorSpace = JCS_YCCK;
    if (shape.kind == JpegKind::TwoComponents)
        settings.fileColorSpace = JCS_UNKNOWN;
    if (shape.kind == JpegKind::Rgb444)
        settings.sampling = {{1, 1}, {1, 1}, {1, 1}};
    settings.quality = shape.quality;
    settings.dctMethod = JDCT_ISLOW;
    settings.progressive = shape.progressive;
    if (!shape.exif.empty()) {
        std::vector<std::uint8_t> segment{'E', 'x', 'i', 'f', 0, 0};
        segment.insert(segment.end(), shape.exif.begin(), shape.exif.end());
        settings.markers.push_back({JPEG_APP0 + 1, std::move(segment)});
    }
    settings.icc = shape.icc;
    return settings;
}

// scans: an optional scan script (progressive files with a chosen number of scans).
inline std::vector<std::uint8_t> encodeJpeg(const JpegSpec& shape, const std::vector<jpeg_scan_info>* scans = nullptr)
{
    jpeg::JpegSettings settings = jpegSettings(shape);
    if (scans != nullptr)
        settings.scans = *scans;
    const int components = settings.components;
    std::vector<std::uint8_t> row(std::size_t(shape.width) * components);
    return jpeg::compressJpeg(settings, [&](int y) {
        for (int x = 0; x < shape.width; ++x)
            for (int c = 0; c < components; ++c)
                row[std::size_t(x) * components + c] = sample(x, y, c);
        return row.data();
    });
}

// A valid progressive grayscale scan script of more than `atLeast` scans:
// one coefficient per scan, each refined bit by bit.
inline std::vector<jpeg_scan_info> manyScans(int atLeast)
{
    std::vector<jpeg_scan_info> scans;
    auto add = [&](int ss, int se, int ah, int al) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.component_index[0] = 0;
        s.Ss = ss;
        s.Se = se;
        s.Ah = ah;
        s.Al = al;
        scans.push_back(s);
    };
    for (int al = 9; al >= 0; --al)
        add(0, 0, al == 9 ? 0 : al + 1, al);
    for (int k = 1; k <= 63 && int(scans.size()) <= atLeast; ++k)
        for (int al = 9; al >= 0; --al)
            add(k, k, al == 9 ? 0 : al + 1, al);
    return scans;
}

// Rewrites the frame size of the first SOF marker (for headers that lie).
inline void patchFrameSize(std::vector<std::uint8_t>& jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = std::uint8_t(height >> 8);
            jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8);
            jpeg[i + 8] = std::uint8_t(width);
            return;
        }
    }
    throw std::runtime_error("no SOF marker");
}

inline void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
inline void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// The 54 header bytes of a BMP (file header and BITMAPINFOHEADER).
inline std::vector<std::uint8_t> bmpHeader(std::int32_t width, std::int32_t height, int bitCount,
                                           std::uint32_t compression = 0, int planes = 1)
{
    std::vector<std::uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, std::uint32_t(width));
    put32(b, 22, std::uint32_t(height));
    put16(b, 26, std::uint32_t(planes));
    put16(b, 28, std::uint32_t(bitCount));
    put32(b, 30, compression);
    return b;
}

// The pixel stored for (x, y) of the picture's top-down rows: B, G, R, A.
inline std::uint32_t bmpPixel(int x, int y)
{
    return (std::uint32_t(sample(x, y, 3)) << 24) | (std::uint32_t(sample(x, y, 0)) << 16)
         | (std::uint32_t(sample(x, y, 1)) << 8) | sample(x, y, 2);
}

// A 32-bit uncompressed BMP; bottomUp stores the bottom row first (positive
// height). pixelBytes < 0 writes every pixel, otherwise only that many bytes.
inline std::vector<std::uint8_t> bmp32(int width, int height, bool bottomUp, long pixelBytes = -1)
{
    std::vector<std::uint8_t> b = bmpHeader(width, bottomUp ? height : -height, 32);
    for (int i = 0; i < height; ++i) {
        const int y = bottomUp ? height - 1 - i : i;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = bmpPixel(x, y);
            for (int k = 0; k < 4; ++k)
                b.push_back(std::uint8_t(p >> (8 * k)));
        }
    }
    if (pixelBytes >= 0)
        b.resize(54 + std::size_t(pixelBytes));
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// A 24-bit bottom-up BMP (rows padded to 4 bytes), decoded by the platform.
inline std::vector<std::uint8_t> bmp24(int width, int height)
{
    std::vector<std::uint8_t> b = bmpHeader(width, height, 24);
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    for (int y = height - 1; y >= 0; --y) {
        std::size_t start = b.size();
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = bmpPixel(x, y);
            b.push_back(std::uint8_t(p));
            b.push_back(std::uint8_t(p >> 8));
            b.push_back(std::uint8_t(p >> 16));
        }
        b.resize(start + stride, 0);
    }
    put32(b, 2, std::uint32_t(b.size()));
    put32(b, 34, std::uint32_t(b.size() - 54));
    return b;
}

// The photos are written in the tests' own temporary folders.
using test::TempFolder;

} // namespace teintelle::fixtures
