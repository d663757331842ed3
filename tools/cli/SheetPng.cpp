#include "cli/SheetPng.h"

#include "cli/PhotoOutput.h"
#include "common/OutputFile.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace teintelle::cli {

namespace {

const std::array<std::uint32_t, 256>& crcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

std::uint32_t crc(std::uint32_t running, const unsigned char* data, std::size_t size)
{
    const auto& table = crcTable();
    for (std::size_t i = 0; i < size; ++i)
        running = table[(running ^ data[i]) & 0xFF] ^ (running >> 8);
    return running;
}

void putBigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

void writeChunk(OutputFile& out, const char type[4], const unsigned char* data, std::size_t size)
{
    std::string head;
    putBigEndian(head, std::uint32_t(size));
    head.append(type, 4);
    std::uint32_t sum = crc(0xFFFFFFFFu, reinterpret_cast<const unsigned char*>(type), 4);
    sum = crc(sum, data, size) ^ 0xFFFFFFFFu;
    std::string tail;
    putBigEndian(tail, sum);
    out.write(head.data(), head.size());
    out.write(data, size);
    out.write(tail.data(), tail.size());
}

} // namespace

std::string writeSheetPng(const TBitmap32& surface, const std::string& path)
{
    const std::size_t width = std::size_t(surface.Width()), height = std::size_t(surface.Height());
    const std::size_t stride = 1 + 3 * width;
    std::vector<unsigned char> filtered(stride * height);
    for (std::size_t y = 0; y < height; ++y) {
        unsigned char* row = &filtered[y * stride];
        row[0] = y == 0 ? 0 : 2; // none for the first row, then Up
        const TColor32* pixels = surface.Bits() + y * width;
        const TColor32* above = y == 0 ? nullptr : pixels - width;
        for (std::size_t x = 0; x < width; ++x) {
            const TColor32 p = pixels[x], q = above != nullptr ? above[x] : 0;
            row[1 + 3 * x] = static_cast<unsigned char>((p >> 16) - (q >> 16));
            row[2 + 3 * x] = static_cast<unsigned char>((p >> 8) - (q >> 8));
            row[3 + 3 * x] = static_cast<unsigned char>(p - q);
        }
    }
    const QByteArray compressed = qCompress(filtered.data(), qsizetype(filtered.size()), 1);
    if (compressed.size() < 4)
        return "impossible de compresser la planche « " + path + " »";
    // qCompress puts the uncompressed length before the zlib stream.
    const auto* stream = reinterpret_cast<const unsigned char*>(compressed.constData()) + 4;
    const std::size_t streamSize = std::size_t(compressed.size()) - 4;

    std::string header;
    putBigEndian(header, std::uint32_t(width));
    putBigEndian(header, std::uint32_t(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, deflate, no interlace

    return replaceFile(path, [&](OutputFile& out) {
        static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        out.write(kSignature, sizeof kSignature);
        writeChunk(out, "IHDR", reinterpret_cast<const unsigned char*>(header.data()), header.size());
        writeChunk(out, "IDAT", stream, streamSize);
        writeChunk(out, "IEND", nullptr, 0);
    });
}

} // namespace teintelle::cli
