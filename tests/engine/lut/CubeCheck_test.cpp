// The check of .cube files: the engine's analysis against readCube.
#include "lut/CubeCheck.h"

#include "common/Error.h"
#include "lut/CubeFixtures.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

using namespace teintelle;
using teintelle::test::CubeLines;

namespace {

// The table the author means by test::dataLines(): 255 x the value, truncated.
std::vector<TLutValeur> meantTable()
{
    std::vector<TLutValeur> table;
    for (int k = 0; k < 8; ++k) {
        const int micro[3] = {100000 * k, 500000, 900000 - 100000 * k};
        table.push_back({std::uint8_t(255 * micro[0] / 1000000), std::uint8_t(255 * micro[1] / 1000000),
                         std::uint8_t(255 * micro[2] / 1000000)});
    }
    return table;
}

// What readCube makes of the text on a fresh table: the entries in file
// order, or nothing when it does not load.
std::optional<std::vector<TLutValeur>> readerTable(const std::string& text)
{
    std::istringstream in(text);
    LutTable table;
    std::int32_t taille = 0;
    try {
        if (readCube(in, table, taille) != CubeStatus::Loaded)
            return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
    return std::vector<TLutValeur>(table.data(), table.data() + table.entryCount());
}

bool sameTables(const std::vector<TLutValeur>& a, const std::vector<TLutValeur>& b)
{
    return a == b;
}

std::set<CubeDeparture> kinds(const CubeCheck& check)
{
    std::set<CubeDeparture> all;
    for (const auto& departure : check.departures)
        all.insert(departure.kind);
    return all;
}

std::string describe(const CubeCheck& check)
{
    std::string text = check.applies ? "applies" : "fails: " + check.failure;
    for (const auto& departure : check.departures)
        text += "\n  " + departure.text;
    return text;
}

enum class Table { Differs, Ignored }; // what readCube does with the departure

struct Fixture {
    const char* name;
    std::function<void(CubeLines&)> change;
    std::set<CubeDeparture> expected;
    Table table;
};

const Fixture kFixtures[] = {
    {"size line with a trailing space", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE 2 "; },
     {CubeDeparture::SizeLine}, Table::Differs},
    {"size line indented", [](CubeLines& c) { c.head[1] = "  LUT_3D_SIZE 2"; }, {CubeDeparture::SizeLine},
     Table::Differs},
    {"size keyword alone", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE"; }, {CubeDeparture::SizeLine},
     Table::Differs},
    {"size line on line 21",
     [](CubeLines& c) { c.head.insert(c.head.begin() + 1, 19, "# comment"); },
     {CubeDeparture::SizeLine, CubeDeparture::DataStart}, Table::Differs},
    {"size read as another number", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE 2 # two"; },
     {CubeDeparture::SizeLine}, Table::Differs},
    {"first data line indented", [](CubeLines& c) { c.data[0] = " " + c.data[0]; }, {CubeDeparture::DataStart},
     Table::Differs},
    {"first data line in bare integers", [](CubeLines& c) { c.data[0] = "0 0.500000 0.900000"; },
     {CubeDeparture::DataStart}, Table::Differs},
    {"first value not 0.x", [](CubeLines& c) { c.data[0] = "-0.0 0.500000 0.900000"; }, {CubeDeparture::DataStart},
     Table::Differs},
    {"data start beyond line 20", [](CubeLines& c) { c.head.insert(c.head.end(), 20, "# comment"); },
     {CubeDeparture::DataStart}, Table::Differs},
    {"comment inside the data", [](CubeLines& c) { c.data.insert(c.data.begin() + 4, "# middle"); },
     {CubeDeparture::LinesInData}, Table::Differs},
    {"blank line inside the data", [](CubeLines& c) { c.data.insert(c.data.begin() + 4, ""); },
     {CubeDeparture::LinesInData}, Table::Differs},
    {"keyword inside the data", [](CubeLines& c) { c.data.insert(c.data.begin() + 2, "TITLE \"x\""); },
     {CubeDeparture::LinesInData}, Table::Differs},
    {"tabs between fields", [](CubeLines& c) { c.data[3] = "0.300000\t0.500000\t0.600000"; },
     {CubeDeparture::Separators}, Table::Differs},
    {"several spaces between fields", [](CubeLines& c) { c.data[3] = "0.300000  0.500000  0.600000"; },
     {CubeDeparture::Separators}, Table::Differs},
    {"a value above 1", [](CubeLines& c) { c.data[7] = "1.010000 0.500000 0.200000"; },
     {CubeDeparture::WrappedValues}, Table::Differs},
    {"a value below 0", [](CubeLines& c) { c.data[5] = "0.500000 0.500000 -0.010000"; },
     {CubeDeparture::WrappedValues}, Table::Differs},
    {"two numbers on a line", [](CubeLines& c) { c.data[2] = "0.200000 0.500000"; },
     {CubeDeparture::UnreadableData}, Table::Differs},
    {"a 1D table", [](CubeLines& c) { c.head[1] = "LUT_1D_SIZE 2"; }, {CubeDeparture::Table1D}, Table::Differs},
    {"no size line", [](CubeLines& c) { c.head.erase(c.head.begin() + 1); }, {CubeDeparture::NoSizeLine},
     Table::Differs},
    {"negative size", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE -2"; }, {CubeDeparture::SizeNotApplied},
     Table::Differs},
    {"size too large to apply", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE 5000"; },
     {CubeDeparture::SizeNotApplied}, Table::Differs},
    {"fewer data lines than N^3", [](CubeLines& c) { c.data.pop_back(); }, {CubeDeparture::LineCount},
     Table::Differs},
    {"more data lines than N^3", [](CubeLines& c) { c.data.push_back("0.100000 0.100000 0.100000"); },
     {CubeDeparture::LineCount}, Table::Ignored},
    {"DOMAIN_MIN other than 0", [](CubeLines& c) { c.head.push_back("DOMAIN_MIN -0.1 -0.1 -0.1"); },
     {CubeDeparture::Domain}, Table::Ignored},
    {"DOMAIN_MAX other than 1", [](CubeLines& c) { c.head.push_back("DOMAIN_MAX 2.0 2.0 2.0"); },
     {CubeDeparture::Domain}, Table::Ignored},
    {"LUT_3D_INPUT_RANGE other than 0 1", [](CubeLines& c) { c.head.push_back("LUT_3D_INPUT_RANGE 0.0 4.0"); },
     {CubeDeparture::InputRange}, Table::Ignored},
};

} // namespace

TEST(CubeCheck, ACleanFileAppliesAsMeant)
{
    CubeLines clean;
    clean.head = {"# Made by a grading tool", "TITLE \"Essai\"", "LUT_3D_SIZE 2", "DOMAIN_MIN 0.0 0.0 0.0",
                  "DOMAIN_MAX 1.0 1.0 1.0", "LUT_3D_INPUT_RANGE 0.0 1.0", ""};
    // Trailing spaces and a tab on a line whose fields still read right change nothing.
    clean.data[1] += " ";
    std::string text = clean.text() + "\n\n";
    const CubeCheck check = checkCube(text);
    EXPECT_TRUE(check.asMeant()) << describe(check);
    EXPECT_EQ(check.taille, 2);
    EXPECT_EQ(check.dataLines, 8u);
    ASSERT_TRUE(readerTable(text));
    EXPECT_TRUE(sameTables(*readerTable(text), meantTable()));

    // The same with CR LF line breaks and a UTF-8 byte-order mark.
    std::string crlf = "\xEF\xBB\xBF";
    for (const char c : clean.text())
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_TRUE(checkCube(crlf).asMeant()) << describe(checkCube(crlf));
}

TEST(CubeCheck, EachDepartureIsNamedAndAgreesWithTheReader)
{
    for (const auto& fixture : kFixtures) {
        SCOPED_TRACE(fixture.name);
        CubeLines lines;
        fixture.change(lines);
        const std::string text = lines.text();
        const CubeCheck check = checkCube(text);
        EXPECT_FALSE(check.asMeant());
        EXPECT_EQ(kinds(check), fixture.expected) << describe(check);
        for (const auto& departure : check.departures)
            EXPECT_EQ(departure.text.find('\n'), std::string::npos);

        const auto read = readerTable(text);
        EXPECT_EQ(check.applies, read.has_value());
        if (fixture.table == Table::Differs)
            EXPECT_FALSE(read && sameTables(*read, meantTable())) << "readCube builds the meant table";
        else
            EXPECT_TRUE(read && sameTables(*read, meantTable())) << "readCube does not ignore it";
    }
}

TEST(CubeCheck, MessagesNameTheLinesAndTheCounts)
{
    CubeLines lines;
    lines.data[7] = "1.010000 0.500000 0.200000";
    lines.data.insert(lines.data.begin() + 4, "# middle");
    const CubeCheck check = checkCube(lines.text());
    ASSERT_EQ(check.departures.size(), 2u) << describe(check);
    EXPECT_EQ(check.departures[0].text,
              "ligne 7 : lignes de commentaire, vides ou de mot-clé au milieu des données ; chacune prend la place"
              " d'une entrée et décale toutes les suivantes");
    EXPECT_EQ(check.departures[1].text, "ligne 11 : valeurs hors de 0..1 que le programme ne borne pas (1.010000"
                                        " donne 1 au lieu de 255) ; l'octet stocké repart de l'autre bout");

    CubeLines spaced;
    spaced.head[1] = "LUT_3D_SIZE 2 ";
    EXPECT_EQ(checkCube(spaced.text()).departures.at(0).text,
              "ligne 2 : la ligne de taille finit par une espace ; le programme n'y lit pas la taille");

    CubeLines shifted;
    shifted.data[0] = " " + shifted.data[0];
    EXPECT_EQ(checkCube(shifted.text()).departures.at(0).text,
              "ligne 3 : la première ligne de données est indentée ; le programme ne commence les données qu'à la"
              " ligne 4, perd 1 entrée et décale toutes les autres");
}

