#pragma once
// Small metafiles written record by record: a 100 x 50 picture (at 96 pixels
// per inch) holding a blue rectangle from (10, 10) to (60, 40), no outline.
// Other bounds make the same file declare a larger picture.

#include <cstdint>
#include <vector>

namespace teintelle::fixtures {

class LittleEndianWriter {
public:
    void u16(std::uint32_t v)
    {
        bytes.push_back(std::uint8_t(v));
        bytes.push_back(std::uint8_t(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    std::vector<std::uint8_t> bytes;
};

inline std::vector<std::uint8_t> blueRectangleWmf(std::uint16_t width = 100, std::uint16_t height = 50)
{
    LittleEndianWriter w;
    // Placeable header: key, handle, bounds, units per inch, reserved, checksum.
    const std::uint16_t placeable[10] = {0xCDD7, 0x9AC6, 0, 0, 0, width, height, 96, 0, 0};
    std::uint16_t checksum = 0;
    for (std::uint16_t word : placeable)
        checksum ^= word;
    for (std::uint16_t word : placeable)
        w.u16(word);
    w.u16(checksum);

    LittleEndianWriter records;
    auto record = [&](std::uint16_t function, const std::vector<std::uint16_t>& params) {
        records.u32(std::uint32_t(3 + params.size()));
        records.u16(function);
        for (auto p : params)
            records.u16(p);
    };
    record(0x020B, {0, 0});                // SETWINDOWORG y, x
    record(0x020C, {height, width});       // SETWINDOWEXT y, x
    record(0x02FC, {0, 0x0000, 0x00FF, 0}); // CREATEBRUSHINDIRECT solid, COLORREF 0x00FF0000 (blue)
    record(0x012D, {0});                   // SELECTOBJECT brush
    record(0x02FA, {5, 0, 0, 0, 0});       // CREATEPENINDIRECT PS_NULL
    record(0x012D, {1});                   // SELECTOBJECT pen
    record(0x041B, {40, 60, 10, 10});      // RECTANGLE bottom, right, top, left
    record(0x0000, {});                    // EOF

    const std::uint32_t totalWords = 9 + std::uint32_t(records.bytes.size() / 2);
    w.u16(1);      // in memory
    w.u16(9);      // header size in words
    w.u16(0x0300); // version
    w.u32(totalWords);
    w.u16(2); // objects
    w.u32(8); // largest record in words
    w.u16(0);
    w.bytes.insert(w.bytes.end(), records.bytes.begin(), records.bytes.end());
    return w.bytes;
}

inline std::vector<std::uint8_t> blueRectangleEmf(std::uint32_t width = 100, std::uint32_t height = 50)
{
    LittleEndianWriter r;
    r.u32(39); // EMR_CREATEBRUSHINDIRECT
    r.u32(24);
    r.u32(1);
    r.u32(0);          // BS_SOLID
    r.u32(0x00FF0000); // blue
    r.u32(0);
    r.u32(37); // EMR_SELECTOBJECT brush
    r.u32(12);
    r.u32(1);
    r.u32(37); // EMR_SELECTOBJECT NULL_PEN
    r.u32(12);
    r.u32(0x80000008);
    r.u32(43); // EMR_RECTANGLE
    r.u32(24);
    r.u32(10);
    r.u32(10);
    r.u32(60);
    r.u32(40);
    r.u32(14); // EMR_EOF
    r.u32(20);
    r.u32(0);
    r.u32(16);
    r.u32(20);

    LittleEndianWriter w;
    w.u32(1); // EMR_HEADER
    w.u32(88);
    for (std::uint32_t v : {0u, 0u, width - 1, height - 1})
        w.u32(v); // bounds in device pixels
    for (std::uint32_t v : {0u, 0u, width * 2540 / 96, height * 2540 / 96})
        w.u32(v); // frame in hundredths of a millimetre (2645 x 1322 for 100 x 50)
    w.u32(0x464D4520);
    w.u32(0x10000);
    w.u32(std::uint32_t(88 + r.bytes.size()));
    w.u32(6); // records
    w.u16(2); // handles
    w.u16(0);
    w.u32(0); // description
    w.u32(0);
    w.u32(0); // palette entries
    w.u32(1920);
    w.u32(1080);
    w.u32(508);
    w.u32(286);
    w.bytes.insert(w.bytes.end(), r.bytes.begin(), r.bytes.end());
    return w.bytes;
}

} // namespace teintelle::fixtures
