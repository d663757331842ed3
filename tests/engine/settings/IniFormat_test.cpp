#include "settings/IniFormat.h"

#include "settings/SettingsTestFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace teintelle {
namespace {

using teintelle::testing::utf16File;

std::string rewritten(std::string_view fileBytes)
{
    const ParsedIni parsed = parseIni(fileBytes);
    return serialiseIni(parsed.content, parsed.encoding);
}

struct RewriteCase {
    const char* what;
    std::string file;
    std::string expected;
};

TEST(IniFormat, RewritesFilesAsTheReadingRulesLeaveThem)
{
    using namespace std::string_literals;
    const RewriteCase cases[] = {
        {"comments, empty and stray lines dropped, lines trimmed",
         "stray=1\r\n; comment\r\n\r\n  [ Main ]  \r\n  ;indented comment\r\n key \t=  value  x \r\nlone\r\n"
         "\t\r\n[Other]\r\n= empty name\r\nk=\r\n",
         "[Main]\r\nkey=value  x\r\nlone\r\n\r\n[Other]\r\n=empty name\r\nk=\r\n\r\n"},
        {"sections differing only in case merged under the first name",
         "[Abc]\na=1\n[x]\ny\n[ABC]\nb=2\n[aBc]\nc\n",
         "[Abc]\r\na=1\r\nb=2\r\nc\r\n\r\n[x]\r\ny\r\n\r\n"},
        {"accented names merged in a Latin-1 file",
         "[\xC9t\xE9]\na=1\n[\xE9T\xC9]\nb=2\n",
         "[\xC9t\xE9]\r\na=1\r\nb=2\r\n\r\n"},
        {"accented names merged in a UTF-8 file, mark kept",
         "\xEF\xBB\xBF[Été]\na=1\n[ÉTÉ]\nb=2\n",
         "\xEF\xBB\xBF[Été]\r\na=1\r\nb=2\r\n\r\n"},
        {"CR, LF and CR LF all end lines; the last line needs no end",
         "[s]\ra=1\rb=2\n\nc",
         "[s]\r\na=1\r\nb=2\r\nc\r\n\r\n"},
        {"only the first = splits an entry",
         "[s]\na = b = c\n",
         "[s]\r\na=b = c\r\n\r\n"},
        {"lines that only look like sections are lone names",
         "[s]\n[x\n x]\n[]\nz\n",
         "[s]\r\n[x\r\nx]\r\n\r\n[]\r\nz\r\n\r\n"},
        {"a section without lines keeps its empty line",
         "[a]\n[b]\nk=v",
         "[a]\r\n\r\n[b]\r\nk=v\r\n\r\n"},
        {"control characters are trimmed, DEL (127) is not",
         "\x01[s]\x1F\n\x7Fk=v\n\0a\0\n"s,
         "[s]\r\n\x7Fk=v\r\na\r\n\r\n"},
        {"bytes without a mark are kept exactly",
         "[s]\nk=\xE9\x80\xFF\xC3\n",
         "[s]\r\nk=\xE9\x80\xFF\xC3\r\n\r\n"},
        {"bytes of a UTF-8 file that are no UTF-8 are kept exactly",
         "\xEF\xBB\xBF[s]\nk=\xC3\xA9\xFF\xC3\n\xED\xA0\x80\n",
         "\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\xFF\xC3\r\n\xED\xA0\x80\r\n\r\n"},
        {"nothing but comments gives zero bytes", "; only\r\nstray\r\n", ""},
        {"an empty copy gives zero bytes even in a marked encoding", "\xEF\xBB\xBF; only\r\n", ""},
        {"an empty file gives zero bytes", "", ""},
    };
    for (const RewriteCase& c : cases)
        EXPECT_EQ(rewritten(c.file), c.expected) << c.what;
}

TEST(IniFormat, KeepsEntriesAndLoneNamesInOrder)
{
    const ParsedIni parsed = parseIni("[a]\nk = v\nlone\n[b]\n[A]\nk=w\n");
    const IniContent expected{{
        {"a", {{"k", "v"}, {"lone", std::nullopt}, {"k", "w"}}},
        {"b", {}},
    }};
    EXPECT_EQ(parsed.content, expected);
    EXPECT_EQ(parsed.encoding, TextEncoding::Bytes);
}

TEST(IniFormat, WritesUtf16BackInItsOwnByteOrder)
{
    // U+1F600 is a surrogate pair; D800 alone is an unpaired surrogate,
    // which no conversion may lose.
    std::u16string file = u"; c\r\n[Été]\r\n clé = valeur \U0001F600\r\n[ÉTÉ]\r\nx\r\n";
    std::u16string expected = u"[Été]\r\nclé=valeur \U0001F600\r\nx\r\n";
    file += char16_t{0xD800};
    file += u"\r\n";
    expected += char16_t{0xD800};
    expected += u"\r\n\r\n";

    for (const bool bigEndian : {false, true}) {
        const ParsedIni parsed = parseIni(utf16File(file, bigEndian));
        EXPECT_EQ(parsed.encoding, bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE);
        ASSERT_EQ(parsed.content.sections.size(), 1u);
        EXPECT_EQ(parsed.content.sections[0].name, "Été");
        EXPECT_EQ(parsed.content.sections[0].lines[0], (IniLine{"clé", "valeur \U0001F600"}));
        EXPECT_EQ(serialiseIni(parsed.content, parsed.encoding), utf16File(expected, bigEndian))
            << (bigEndian ? "big-endian" : "little-endian");
    }
}

// Whatever the file, what is written reads back as the same copy: the
// writer never produces a line the reader would drop, split or merge.
TEST(IniFormat, WhatIsWrittenReadsBackAsTheSameCopy)
{
    static constexpr char kAlphabet[] = {'[', ']', '=', ';', ' ', '\t', '\r', '\n', 'a', 'B', '\0',
                                         '\xC3', '\xA9', '\xC9', '\xFF', '\xD8', '\xDC'};
    static const std::string kMarks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 4000; ++round) {
        std::string file = kMarks[random() % 4];
        const std::size_t length = random() % 60;
        for (std::size_t i = 0; i < length; ++i)
            file += kAlphabet[random() % sizeof kAlphabet];

        const ParsedIni first = parseIni(file);
        const std::string written = serialiseIni(first.content, first.encoding);
        const ParsedIni second = parseIni(written);
        ASSERT_EQ(second.content, first.content) << "round " << round;
        if (!first.content.sections.empty()) {
            ASSERT_EQ(second.encoding, first.encoding) << "round " << round;
        }
        ASSERT_EQ(serialiseIni(second.content, second.encoding), written) << "round " << round;
    }
}

} // namespace
} // namespace teintelle
