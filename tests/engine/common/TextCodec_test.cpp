#include "settings/SectionNameKey.h"
#include "common/TextCodec.h"

#include <gtest/gtest.h>

namespace teintelle {
namespace {

constexpr TextEncoding kEncodings[] = {TextEncoding::Bytes, TextEncoding::Utf8, TextEncoding::Utf16LE,
                                       TextEncoding::Utf16BE};

// Every string of up to two bytes, and every four-byte string over bytes
// that sit on the edges of UTF-8's and UTF-16's rules (lead bytes,
// continuation limits, surrogate halves), goes through decode and encode
// unchanged in every encoding.
TEST(TextCodec, DecodingThenEncodingGivesTheSameBytes)
{
    const auto roundTrips = [](const std::string& bytes, TextEncoding encoding) {
        return encodeText(decodeText(bytes, encoding), encoding) == bytes;
    };
    for (const TextEncoding encoding : kEncodings) {
        for (int first = -1; first < 256; ++first)
            for (int second = -1; second < 256; ++second) {
                std::string bytes;
                if (first >= 0)
                    bytes += static_cast<char>(first);
                if (second >= 0)
                    bytes += static_cast<char>(second);
                if (encoding >= TextEncoding::Utf16LE && bytes.size() % 2 == 1)
                    continue; // an odd last byte is no unit
                ASSERT_TRUE(roundTrips(bytes, encoding)) << static_cast<int>(encoding) << " " << first << " " << second;
            }

        static constexpr unsigned char kEdges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                                   0xC1, 0xC2, 0xDB, 0xDC, 0xDF, 0xD8, 0xE0, 0xED, 0xEF, 0xF0,
                                                   0xF4, 0xF5, 0xFE, 0xFF};
        std::string bytes(4, '\0');
        for (const unsigned char a : kEdges)
            for (const unsigned char b : kEdges)
                for (const unsigned char c : kEdges)
                    for (const unsigned char d : kEdges) {
                        bytes = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                                 static_cast<char>(d)};
                        ASSERT_TRUE(roundTrips(bytes, encoding))
                            << static_cast<int>(encoding) << " " << +a << " " << +b << " " << +c << " " << +d;
                    }
    }
}

TEST(TextCodec, DecodesToUtf8)
{
    struct Case {
        std::string bytes;
        TextEncoding encoding;
        std::string text;
    };
    const Case cases[] = {
        {"caf\xE9", TextEncoding::Bytes, "café"},
        {"caf\xC3\xA9", TextEncoding::Utf8, "café"},
        {"\xFF", TextEncoding::Utf8, "\xED\xB3\xBF"}, // escaped byte U+DCFF
        {std::string("A\0\x3D\xD8\x00\xDE", 6), TextEncoding::Utf16LE, "A\U0001F600"},
        {std::string("\0A\xD8\x3D\xDE\x00", 6), TextEncoding::Utf16BE, "A\U0001F600"},
        {std::string("\x00\xD8", 2), TextEncoding::Utf16LE, "\xED\xA0\x80"}, // unpaired U+D800
        {std::string("A\0B", 3), TextEncoding::Utf16LE, "A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeText(c.bytes, c.encoding), c.text) << c.text;
}

TEST(SectionNameKey, FoldsCaseOfTheLettersAFrenchUserTypes)
{
    struct Case {
        const char* first;
        const char* second;
        bool same;
    };
    const Case cases[] = {
        {"Options", "OPTIONS", true},        {"Été", "éTÉ", true},          {"ŒUVRE", "œuvre", true},
        {"Ÿ", "ÿ", true},                    {"ĲŁŽ", "ĳłž", true},          {"ΆΣ", "άς", true},
        {"ЁЖ", "ёж", true},                  {"a", "b", false},             {"ß", "ss", false},
        {"İ", "i", false},                   {"×", "÷", false},             {"\xFF", "\xDF", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sectionNameKey(c.first) == sectionNameKey(c.second), c.same) << c.first << " / " << c.second;
}

} // namespace
} // namespace teintelle
