#include "common/Error.h"
#include "lut/CubeFixtures.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

using namespace teintelle;
using teintelle::test::readText;
using teintelle::test::repeatLine;

namespace {

// The message of the error a read raises, or "" when it raises none.
std::string errorOf(const std::string& text, LutTable& table, std::int32_t& taille)
{
    try {
        readText(text, table, taille);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::string errorOf(const std::string& text)
{
    LutTable table;
    std::int32_t taille = 0;
    return errorOf(text, table, taille);
}


// Entry [1][0][0] of a size-2 table whose second data line is `line`.
TLutValeur secondEntry(const std::string& line)
{
    LutTable table;
    std::int32_t taille = 0;
    const auto status = readText("LUT_3D_SIZE 2\n0.0 0.0 0.0\n" + line + "\n", table, taille);
    EXPECT_EQ(status, CubeStatus::Loaded) << line;
    return table(1, 0, 0);
}

} // namespace

TEST(CubeReader, ReadsAStandardFileInCubeOrder)
{
    const std::string text = test::identityCubeText(33);
    ASSERT_NE(text.find("0.031250 0.000000 0.000000"), std::string::npos);
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(readText(text, table, taille), CubeStatus::Loaded);
    EXPECT_EQ(taille, 33);
    EXPECT_EQ(table.taille(), 33);
    EXPECT_EQ(table(1, 0, 0), (TLutValeur{7, 0, 0})) << "0.031250 x 255 = 7.97 truncates to 7";
    EXPECT_EQ(table(32, 32, 32), (TLutValeur{255, 255, 255}));
    EXPECT_EQ(table(16, 0, 32), (TLutValeur{127, 0, 255}));
    EXPECT_EQ(table(0, 8, 0), (TLutValeur{0, 63, 0}));
}

TEST(CubeReader, SizeInteger)
{
    const struct {
        const char* text;
        std::int32_t size;
    } cases[] = {
        {"33", 33}, {" 17", 17}, {"  8", 8}, {"17 ", 0}, {"", 0}, {"+7", 7}, {"-5", -5}, {"$1F", 31},
        {"x10", 16}, {"X10", 16}, {"0x10", 16}, {"0X1a", 26}, {"-$10", -16}, {"0x", 0}, {"$", 0}, {"+", 0},
        {"- 5", 0}, {"1a", 0}, {"3.0", 0}, {"2147483647", 2147483647}, {"2147483648", 0},
        {"-2147483648", -2147483647 - 1}, {"9999999999", 0}, {"$7FFFFFFF", 2147483647}, {"$80000000", 0},
        {"\t33", 0}, {"0033", 33},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cube::parseSizeInteger(c.text), c.size) << '"' << c.text << '"';
}

TEST(CubeReader, SizeLineAndDataStartSearches)
{
    const std::string data = "0.0 0.0 0.0\n";
    const std::string filler = repeatLine("# comment", 25);
    const struct {
        std::string text;
        CubeStatus status;
        std::int32_t size;
    } cases[] = {
        {"LUT_3D_SIZE 1\n" + data, CubeStatus::Loaded, 1},
        {"LUT_3D_SIZE  17\n" + data, CubeStatus::Loaded, 17},
        {"LUT_3D_SIZE 17 \n" + data + filler, CubeStatus::SizeNotFound, 0},
        {"LUT_3D_SIZE\n" + data + filler, CubeStatus::SizeNotFound, 0},
        {"  LUT_3D_SIZE 33\n" + data + filler, CubeStatus::SizeNotFound, 0}, // "E 33"
        {"#LUT_3D_SIZE 3\n" + data, CubeStatus::Loaded, 3}, // keyword anywhere: characters 13.. are " 3"
        {"LUT_3D_SIZE 0\n" + data + filler, CubeStatus::SizeNotFound, 0},
        {data + repeatLine("#", 18) + "LUT_3D_SIZE 2\n", CubeStatus::Loaded, 2},                // line 20
        {data + repeatLine("#", 19) + "LUT_3D_SIZE 2\n" + filler, CubeStatus::SizeNotFound, 0}, // line 21
        {"LUT_3D_SIZE 2\n" + repeatLine("#", 18) + data, CubeStatus::Loaded, 2},              // data on line 20
        {"LUT_3D_SIZE 2\n" + repeatLine("#", 19) + data + filler, CubeStatus::DataNotFound, 2}, // line 21
        {"LUT_3D_SIZE 2\n" + repeatLine("#", 23) + data, CubeStatus::DataNotFound, 2},         // line 25
        {"LUT_3D_SIZE 2\n0 0 0\n 0.0 0.0 0.0\n" + filler, CubeStatus::DataNotFound, 2},
        {"LUT_1D_SIZE 1024\n" + data + filler, CubeStatus::SizeNotFound, 0},
        {"LUT_3D_SIZE -3\n" + filler, CubeStatus::DataNotFound, -3},
    };
    for (const auto& c : cases) {
        LutTable table;
        std::int32_t taille = 99;
        EXPECT_EQ(readText(c.text, table, taille), c.status) << c.text.substr(0, 40);
        EXPECT_EQ(taille, c.size) << c.text.substr(0, 40);
        if (c.status != CubeStatus::Loaded) {
            EXPECT_EQ(table.taille(), 0) << "a structure error leaves the table as it was";
        }
    }
}

TEST(CubeReader, StructureMessages)
{
    EXPECT_EQ(structureMessage(CubeStatus::SizeNotFound),
              "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.");
    EXPECT_EQ(structureMessage(CubeStatus::DataNotFound),
              "Erreur dans la structure du fichier. Impossible de trouver les données de la table.");
    EXPECT_EQ(structureMessage(CubeStatus::Loaded), "");
    EXPECT_EQ(structureMessage(CubeStatus::FileMissing), "");
}

TEST(CubeReader, LinesAndTheListError)
{
    // Files without the line sought: the list error names the line count.
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "Index de liste hors limites (0)"},
        {repeatLine("# header", 5), "Index de liste hors limites (5)"},
        {"a", "Index de liste hors limites (1)"},
        {"a\n\n", "Index de liste hors limites (2)"},
        {"a\r\nb\r\n", "Index de liste hors limites (2)"},
        {"a\rb\rc", "Index de liste hors limites (3)"},
        {"a\n\rb", "Index de liste hors limites (3)"}, // LF then CR: an empty line between
        {"a\r\r\n", "Index de liste hors limites (2)"},
        {std::string("a\nb\0\nc\nd\n", 9), "Index de liste hors limites (2)"}, // NUL ends the text
        {std::string("\0a\nb", 4), "Index de liste hors limites (0)"},
        {repeatLine("#", 20), "Index de liste hors limites (20)"},
        {"\xEF\xBB\xBF", "Index de liste hors limites (0)"},
        {std::string("\xFF\xFE" "a\0\n\0b\0", 8), "Index de liste hors limites (2)"},
        {std::string("\xFE\xFF\0a\0\r\0\n\0b\0\0\0c", 14), "Index de liste hors limites (2)"},
        {"LUT_3D_SIZE 2\n# no data\n", "Index de liste hors limites (2)"},
        {repeatLine("#", 19) + "LUT_3D_SIZE 2", "Index de liste hors limites (20)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(c.text), c.message) << c.text.substr(0, 40);
}

TEST(CubeReader, TheListErrorLeavesTheSizeAsTheSearchesLeftIt)
{
    LutTable table;
    std::int32_t taille = 17;
    EXPECT_EQ(errorOf("# nothing\n", table, taille), "Index de liste hors limites (1)");
    EXPECT_EQ(taille, 17) << "the size search failed before any size was set";
    EXPECT_EQ(errorOf("LUT_3D_SIZE 4\n", table, taille), "Index de liste hors limites (1)");
    EXPECT_EQ(taille, 4) << "the data search fails after the size was set";
}

TEST(CubeReader, EncodingsByByteOrderMark)
{
    const std::string body = "LUT_3D_SIZE 1\r\n0.5 0.2 1.0\r\n";
    const auto utf16 = [&](bool little) {
        std::string text = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : body)
            text += little ? std::string{c, '\0'} : std::string{'\0', c};
        return text;
    };
    for (const std::string& text : {body, "\xEF\xBB\xBF" + body, utf16(true), utf16(false)}) {
        LutTable table;
        std::int32_t taille = 0;
        ASSERT_EQ(readText(text, table, taille), CubeStatus::Loaded);
        EXPECT_EQ(taille, 1);
        EXPECT_EQ(table(0, 0, 0), (TLutValeur{127, 51, 255}));
    }

    // Characters are counted as UTF-16 code units: one for "é", two for an
    // emoji, so the size characters move with the decoding.
    const std::string filler = "0.0 0.0 0.0\n" + repeatLine("#", 25);
    const struct {
        std::string text;
        CubeStatus status;
    } cases[] = {
        {"\xEF\xBB\xBF\xC3\xA9LUT_3D_SIZE 1\n" + filler, CubeStatus::Loaded},
        {"\xC3\xA9LUT_3D_SIZE 1\n" + filler, CubeStatus::SizeNotFound},                  // two bytes, two characters
        {"\xEF\xBB\xBF\xF0\x9F\x98\x80LUT_3D_SIZE 1\n" + filler, CubeStatus::SizeNotFound}, // "E 1"
        {"\xEF\xBB\xBF\xF0\x9FLUT_3D_SIZE 1\n" + filler, CubeStatus::Loaded}, // ill-formed: one replacement
    };
    for (const auto& c : cases) {
        LutTable table;
        std::int32_t taille = 0;
        EXPECT_EQ(readText(c.text, table, taille), c.status) << c.text.substr(0, 20);
    }
}

TEST(CubeReader, FieldsAndNumbers)
{
    const struct {
        const char* line;
        TLutValeur entry;
    } cases[] = {
        {"0.5 0.2", {127, 0, 51}},
        {"0.5  0.2 0.3", {127, 0, 0}},
        {" 0.5 0.2 0.3", {0, 127, 0}},
        {"0.5 0.2 0.3 ", {127, 51, 76}},
        {"0.5 0.2  0.3", {127, 51, 76}},
        {"0.5\t0.2\t0.3", {0, 0, 0}},
        {"0.6", {0, 0, 153}},
        {"5e-1 5E-1 0.05e1", {127, 127, 127}},
        {"0,5 1,0 .", {0, 0, 0}},
        {". +.5 -.", {0, 127, 0}},
        {"1.0 1. 1", {255, 255, 255}},
        {"1.01 -0.01 -1", {1, 254, 1}},
        {"+0.5 -0 +1e+0", {127, 0, 255}},
        {"1e2 1e 1e+", {156, 0, 0}}, // 25500 keeps its low byte
        {"0.5x 0.5 0.5 0.5", {0, 127, 0}},
        {"1e5000 1e0000000000000 1e-5000", {0, 255, 0}}, // exponent digits stop at 500
        // 19 digits gather exactly; a 20th rounds the mantissa to 10^20.
        {"0.000000000000000000000001e24 0.9999999999999999999 0.99999999999999999999", {255, 254, 255}},
        {"12345678901234567890123e-23 0.200000000000 0.20", {31, 51, 51}},
    };
    for (const auto& c : cases) {
        const TLutValeur entry = secondEntry(c.line);
        EXPECT_EQ(entry, c.entry)
            << '"' << c.line << "\" gives (" << int(entry.r) << ", " << int(entry.v) << ", " << int(entry.b) << ")";
    }
}

TEST(CubeReader, OutOfRangeValuesRaiseTheFloatingPointError)
{
    for (const char* field : {"1e499", "4e16", "-4e16", "1e30"}) {
        LutTable table;
        std::int32_t taille = 0;
        const std::string text = std::string("LUT_3D_SIZE 2\n0.2 0.4 0.6\n0.5 ") + field + " 0.5\n0.2 0.2 0.2\n";
        EXPECT_EQ(errorOf(text, table, taille), "Opération en virgule flottante incorrecte") << field;
        EXPECT_EQ(table(0, 0, 0), (TLutValeur{51, 102, 153})) << "entries stored before it stay";
        EXPECT_EQ(table(1, 0, 0), (TLutValeur{0, 0, 0})) << "the failing line stores nothing";
    }
    // The largest magnitudes still inside the signed 64-bit range.
    EXPECT_EQ(secondEntry("3.6e16 -3.6e16"), (TLutValeur{0, 0, 0}));
    EXPECT_EQ(cube::storedChannel(36170086419038334.0L), 130u); // 2^63 - 638
    EXPECT_EQ(cube::storedChannel(36170086419038336.0L), 128u); // 2^63 - 128
    EXPECT_THROW(cube::storedChannel(36170086419038337.0L), Error);
    EXPECT_EQ(cube::storedChannel(-36170086419038336.0L), 128u);
    EXPECT_THROW(cube::storedChannel(-36170086419038337.0L), Error);
}

TEST(CubeReader, EveryLineFromTheDataStartTakesOneEntry)
{
    LutTable table;
    std::int32_t taille = 0;
    const std::string text = "LUT_3D_SIZE 2\n0.0 0.0 0.2\n# comment\n\nDOMAIN_MIN 0 0 0\n1.0 1.0 1.0\n";
    ASSERT_EQ(readText(text, table, taille), CubeStatus::Loaded);
    EXPECT_EQ(table(0, 0, 0), (TLutValeur{0, 0, 51}));
    EXPECT_EQ(table(1, 0, 0), (TLutValeur{0, 0, 0}));
    EXPECT_EQ(table(0, 1, 0), (TLutValeur{0, 0, 0}));
    EXPECT_EQ(table(1, 1, 0), (TLutValeur{0, 0, 0})) << "'DOMAIN_MIN 0 0 0': field 1 is not a number";
    EXPECT_EQ(table(0, 0, 1), (TLutValeur{255, 255, 255}));
}

TEST(CubeReader, LinesBeyondTheTableAreIgnoredAndNotRead)
{
    LutTable table;
    std::int32_t taille = 0;
    // A ninth line that would raise, were it converted.
    const std::string text = test::identityCubeText(2) + "1e30 1e30 1e30\n\n\n";
    ASSERT_EQ(readText(text, table, taille), CubeStatus::Loaded);
    EXPECT_EQ(table(1, 1, 1), (TLutValeur{255, 255, 255}));
}

TEST(CubeReader, ShortFileKeepsThePreviousEntries)
{
    const std::string full = test::cubeText(17, [](int, int, int, double& r, double& v, double& b) {
        r = 0.8;
        v = 0.5;
        b = 0.2;
    });
    const std::string shortFile = "LUT_3D_SIZE 17\n" + repeatLine("0.0 0.0 0.0", 100);

    LutTable afterFull;
    std::int32_t taille = 0;
    ASSERT_EQ(readText(full, afterFull, taille), CubeStatus::Loaded);
    ASSERT_EQ(readText(shortFile, afterFull, taille), CubeStatus::Loaded);

    LutTable fresh;
    ASSERT_EQ(readText(shortFile, fresh, taille), CubeStatus::Loaded);
    for (int n : {0, 99, 100, 17 * 17 * 17 - 1}) {
        const int ri = n % 17, vi = n / 17 % 17, bi = n / 289;
        const bool written = n < 100;
        EXPECT_EQ(afterFull(ri, vi, bi), (written ? TLutValeur{0, 0, 0} : TLutValeur{204, 127, 51})) << n;
        EXPECT_EQ(fresh(ri, vi, bi), (TLutValeur{0, 0, 0})) << n;
    }
}

TEST(CubeReader, AStructureErrorLeavesTheTableAsItWas)
{
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(readText(test::identityCubeText(3), table, taille), CubeStatus::Loaded);
    const std::string oneD = "LUT_1D_SIZE 3\n" + repeatLine("0.0 0.0 0.0", 30);
    EXPECT_EQ(readText(oneD, table, taille), CubeStatus::SizeNotFound);
    EXPECT_EQ(taille, 0);
    EXPECT_EQ(table.taille(), 3);
    EXPECT_EQ(table(2, 2, 2), (TLutValeur{255, 255, 255}));

    EXPECT_EQ(readText("LUT_3D_SIZE 5\n" + repeatLine("#", 30), table, taille), CubeStatus::DataNotFound);
    EXPECT_EQ(taille, 5);
    EXPECT_EQ(table.taille(), 3);
}

TEST(CubeReader, SizesThatCannotBeHad)
{
    const std::string data = "0.0 0.0 0.0\n";
    const struct {
        std::string size;
        const char* message;
    } cases[] = {
        {"-3", "Erreur de vérification d'étendue"},
        {"711", "Mémoire insuffisante"},
        {"1000000", "Mémoire insuffisante"},
        {"2147483647", "Mémoire insuffisante"},
        {"$7FFFFFFF", "Mémoire insuffisante"},
    };
    for (const auto& c : cases) {
        LutTable table;
        std::int32_t taille = 0;
        EXPECT_EQ(errorOf("LUT_3D_SIZE " + c.size + "\n" + data, table, taille), c.message) << c.size;
        EXPECT_EQ(table.taille(), 0);
    }
}

// Plain data lines take a short road; it must give what the general parser gives.
TEST(CubeReader, PlainLinesReadAsTheGeneralParserReadsThem)
{
    std::mt19937 random(5);
    const auto field = [&] {
        std::string text = random() % 8 == 0 ? (random() % 2 ? "-" : "+") : "";
        const int whole = int(random() % 4), fraction = int(random() % 17);
        for (int i = 0; i < whole; ++i)
            text += char('0' + random() % 10);
        if (fraction > 0 || whole == 0 || random() % 4 == 0)
            text += '.';
        for (int i = 0; i < fraction; ++i)
            text += char('0' + random() % 10);
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string line = field() + " " + field() + " " + field();
        cube::DataLineParser shortRoad, general;
        const auto fast = shortRoad.parseLine(line.data(), line.data() + line.size());
        general.feed(line.data(), line.data() + line.size());
        const auto plain = general.finish();
        ASSERT_TRUE(fast.r == plain.r && fast.v == plain.v && fast.b == plain.b) << line;
    }
}

namespace {

// Everything the reader tells an observer, and in which order.
class Told final : public CubeReadObserver {
public:
    void head(const CubeSearches& head) override
    {
        order += 'h';
        told.head = head;
    }
    void line(const CubeLine& line) override
    {
        order += 'l';
        numbers.push_back(line.number);
        texts.emplace_back(line.text);
        truncated.push_back(line.truncated);
        values.push_back(line.values);
    }
    void tail(const CubeTail& tail) override
    {
        order += 't';
        told.tail = tail;
    }

    struct {
        CubeSearches head;
        CubeTail tail;
    } told;
    std::string order;
    std::vector<std::uint64_t> numbers;
    std::vector<std::string> texts;
    std::vector<bool> truncated;
    std::vector<cube::DataLineParser::Values> values;
};

// The result of one read over a table that already holds a size-2 table of
// 0.5 (so that "left as it was" shows): status or error, size, entries.
struct Outcome {
    std::string result;
    std::int32_t taille = 0;
    std::vector<TLutValeur> entries;

    bool operator==(const Outcome&) const = default;
};

Outcome readWith(const std::string& text, Told* told)
{
    LutTable table;
    Outcome outcome;
    readText("LUT_3D_SIZE 2\n" + repeatLine("0.5 0.5 0.5", 8), table, outcome.taille);
    std::istringstream in(text);
    try {
        const auto status = told ? readCube(in, table, outcome.taille, *told) : readCube(in, table, outcome.taille);
        outcome.result = "status " + std::to_string(int(status));
    } catch (const Error& error) {
        outcome.result = error.what();
    }
    outcome.entries.assign(table.data(), table.data() + table.entryCount());
    return outcome;
}

struct ObservedCase {
    const char* name;
    std::string text;
    CubeSearches head;
    CubeTail tail;
    std::uint64_t lines;
};

std::vector<ObservedCase> observedCases()
{
    const std::string data = repeatLine("0.1 0.2 0.3", 8);
    const std::string comments = repeatLine("# comment", 20);
    return {
        {"a whole table", "TITLE \"x\"\nLUT_3D_SIZE 2\n" + data, {2, 3}, {8, 0}, 10},
        {"lines past the table", "LUT_3D_SIZE 2\n" + data + "0.9 0.9 0.9\n\n", {1, 2}, {8, 2}, 11},
        {"a short table", "LUT_3D_SIZE 2\n" + repeatLine("0.1 0.2 0.3", 5), {1, 2}, {5, 0}, 6},
        // The data start is told even though the reader, without a size, never took it.
        {"a size it cannot read", "LUT_3D_SIZE 2 \n" + data + comments, {1, 2}, {0, 0}, 29},
        {"no data start", "LUT_3D_SIZE 2\n" + comments + data, {1, 0}, {0, 0}, 29},
        {"the list error", "LUT_3D_SIZE 2\n# no data\n", {1, 0}, {0, 0}, 2},
        {"a negative size", "LUT_3D_SIZE -2\n" + data, {1, 2}, {0, 0}, 9},
        {"a value out of range", "LUT_3D_SIZE 2\n" + repeatLine("0.1 0.2 0.3", 3) + "1e30 0 0\n" + data,
         {1, 2}, {3, 9}, 13},
        {"a value out of range past the head",
         "LUT_3D_SIZE 3\n" + repeatLine("0.1 0.2 0.3", 24) + "0 -1e30 0\n" + data.substr(0, 24), {1, 2}, {24, 3}, 28},
        {"a size line on line 21", comments + "LUT_3D_SIZE 2\n" + data, {0, 0}, {0, 0}, 29},
        {"CR breaks, no break at the end", "LUT_3D_SIZE 2\r0.1 0.2 0.3\r\r0.5 0.5 0.5", {1, 2}, {3, 0}, 4},
        {"the head ends in a long line",
         "LUT_3D_SIZE 1\n" + std::string(10000, '0') + "\n0.5 0.5 0.5\n", {1, 3}, {1, 0}, 3},
    };
}

} // namespace

TEST(CubeReader, AnObservedReadingGivesTheSameResult)
{
    for (const auto& c : observedCases()) {
        SCOPED_TRACE(c.name);
        Told told;
        EXPECT_EQ(readWith(c.text, &told), readWith(c.text, nullptr));
        EXPECT_EQ(told.order, "h" + std::string(c.lines, 'l') + "t");
        for (std::size_t i = 0; i < told.numbers.size(); ++i)
            ASSERT_EQ(told.numbers[i], i + 1);
    }
}

TEST(CubeReader, TellsItsDecisionsAndEveryLine)
{
    for (const auto& c : observedCases()) {
        SCOPED_TRACE(c.name);
        Told told;
        readWith(c.text, &told);
        EXPECT_EQ(told.told.head.sizeLine, c.head.sizeLine);
        EXPECT_EQ(told.told.head.dataStart, c.head.dataStart);
        EXPECT_EQ(told.told.tail.stored, c.tail.stored);
        EXPECT_EQ(told.told.tail.ignored, c.tail.ignored);
    }

    // Each line as it stands, the long one cut, with what its fields read as.
    Told told;
    readWith("LUT_3D_SIZE 1\n" + std::string(10000, '7') + "\n0.5  0.25\n", &told);
    ASSERT_EQ(told.texts.size(), 3u);
    EXPECT_EQ(told.texts[0], "LUT_3D_SIZE 1");
    EXPECT_EQ(told.texts[1], std::string(CubeLine::kKeptChars, '7'));
    EXPECT_EQ(told.truncated, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(told.texts[2], "0.5  0.25");
    EXPECT_EQ(told.values[2].r, 0.5L);
    EXPECT_EQ(told.values[2].v, 0.0L);
    EXPECT_EQ(told.values[2].b, 0.25L);

    // A read error ends the reading as it does unobserved, after the lines read.
    test::FailingStreamBuffer failing;
    std::istream in(&failing);
    LutTable table;
    std::int32_t taille = 0;
    Told failed;
    EXPECT_THROW(readCube(in, table, taille, failed), Error);
    EXPECT_EQ(failed.order, "ht");
}
