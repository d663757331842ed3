// The .cube format as its authors mean it, and the copy of it that the
// window reads as they meant it (teintelle-cli fix).
#include "lut/AuthorCube.h"

#include "common/Error.h"
#include "common/LeasedFile.h"
#include "common/TempFolder.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeCheck.h"
#include "lut/CubeFixtures.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace teintelle;

namespace {

AuthorCube readText(const std::string& text)
{
    std::istringstream in(text);
    return readAuthorCube(in);
}

std::string errorOf(const std::string& text)
{
    try {
        readText(text);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::string copyText(const AuthorCube& cube, int requested = 0)
{
    std::string text;
    cube.writeWindowCopy(cube.copySize(requested), [&text](std::string_view piece) { text += piece; });
    return text;
}

std::string copyOf(const std::string& text, int requested = 0) { return copyText(readText(text), requested); }

// The window's table of a text, in file order; empty when it does not load.
std::vector<TLutValeur> windowTable(const std::string& text, std::int32_t& taille)
{
    LutTable table;
    taille = 0;
    if (test::readText(text, table, taille) != CubeStatus::Loaded)
        return {};
    return std::vector<TLutValeur>(table.data(), table.data() + table.entryCount());
}

std::string describe(const CubeCheck& check)
{
    std::string text = check.applies ? "applies" : "fails: " + check.failure;
    for (const auto& departure : check.departures)
        text += "\n  " + departure.text;
    return text;
}

// A value in millionths written in one of the forms authors use, chosen by k.
std::string written(std::int64_t micro, unsigned k)
{
    const bool negative = micro < 0;
    const std::int64_t m = negative ? -micro : micro;
    const std::string sign = negative ? "-" : (k % 7 == 3 ? "+" : "");
    char text[64];
    switch (k % 6) {
    case 0:
        std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(m / 1000000),
                      static_cast<long long>(m % 1000000));
        break;
    case 1:
        std::snprintf(text, sizeof text, "%llde-6", static_cast<long long>(m));
        break;
    case 2: // ".5" and "1." forms
        if (m % 1000000 == 0)
            std::snprintf(text, sizeof text, "%lld.", static_cast<long long>(m / 1000000));
        else if (m < 1000000)
            std::snprintf(text, sizeof text, ".%06lld", static_cast<long long>(m));
        else
            std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(m / 1000000),
                          static_cast<long long>(m % 1000000));
        break;
    case 3:
        std::snprintf(text, sizeof text, "%lld.%06lldE+00", static_cast<long long>(m / 1000000),
                      static_cast<long long>(m % 1000000));
        break;
    case 4: // an integer where the value is one
        if (m % 1000000 == 0)
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(m / 1000000));
        else
            std::snprintf(text, sizeof text, "%lld.%06lld00", static_cast<long long>(m / 1000000),
                          static_cast<long long>(m % 1000000));
        break;
    default:
        std::snprintf(text, sizeof text, "%lld.%06lldE-1", static_cast<long long>(m * 10 / 1000000),
                      static_cast<long long>(m * 10 % 1000000));
        break;
    }
    return sign + text;
}

// The byte the window stores for a value of the author's table, clipped to
// 0..1 as the author's program shows it: 255 x the value, truncated.
std::uint8_t meantByte(std::int64_t micro) { return std::uint8_t(255 * std::clamp<std::int64_t>(micro, 0, 1000000) / 1000000); }

// Entry values in millionths: spread over -0.1..1.1, with the values at
// which the window's byte changes among them.
std::int64_t entryMicro(std::uint64_t k, int channel)
{
    static const std::int64_t edges[] = {0, 3921, 3922, 200000, 399999, 400000, 600000, 996078, 1000000, -1, 1000001};
    const std::uint64_t h = (k * 2654435761u + std::uint64_t(channel) * 40503u) % 1000003u;
    if (h % 5 == 0)
        return edges[h / 5 % (sizeof edges / sizeof edges[0])];
    return std::int64_t(h % 1200001) - 100000;
}

// A plain 3D table of size n in the forms of writing(k) with the head given
// and the separators and line breaks chosen by k.
std::string authorText(int n, const std::string& head)
{
    std::string text = head;
    const std::uint64_t count = std::uint64_t(n) * std::uint64_t(n) * std::uint64_t(n);
    for (std::uint64_t k = 0; k < count; ++k) {
        const char* separator = k % 3 == 0 ? "\t" : k % 3 == 1 ? "  " : " ";
        text += written(entryMicro(k, 0), unsigned(k)) + separator + written(entryMicro(k, 1), unsigned(k / 2))
            + separator + written(entryMicro(k, 2), unsigned(k / 3)) + (k % 4 == 0 ? "\r\n" : "\n");
        if (k % 1000 == 7)
            text += "# a comment inside the data\n\n";
    }
    return text;
}

} // namespace

TEST(AuthorCube, ReadsTheFormsItsAuthorsWrite)
{
    struct Case {
        const char* name;
        std::string text;
        int shaper, cube;
        CubeRgb shaperMin, shaperMax, cubeMin, cubeMax;
        std::vector<float> last; // the last entry of the last table
    };
    const CubeRgb zero{0, 0, 0}, one{1, 1, 1};
    const std::string cube2 = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n.5 1. 1e0\n";
    const Case cases[] = {
        {"sizes after the title, comments and blanks", "# made by a tool\n\nTITLE \"x\"\n\nLUT_3D_SIZE 2\n# data\n" + cube2,
         0, 2, zero, one, zero, one, {0.5f, 1, 1}},
        {"domain before the size", "DOMAIN_MIN -0.5 0 0\nDOMAIN_MAX 1 2 1\nLUT_3D_SIZE 2\n" + cube2, 0, 2, zero, one,
         {-0.5, 0, 0}, {1, 2, 1}, {0.5f, 1, 1}},
        {"an input range", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.0 4.0\n" + cube2, 0, 2, zero, one, zero, {4, 4, 4},
         {0.5f, 1, 1}},
        {"a 1D table alone, CR breaks", "LUT_1D_SIZE 3\rDOMAIN_MAX 2 2 2\r0 0 0\r0.25 0.25 0.25\r1 1 1\r", 3, 0, zero,
         {2, 2, 2}, zero, one, {1, 1, 1}},
        {"a shaper then the 3D table", "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\nLUT_1D_INPUT_RANGE -1 1\r\n0 0 0\r\n1 1 1\r\n"
                                           + cube2,
         2, 2, {-1, -1, -1}, one, zero, one, {0.5f, 1, 1}},
        {"the domain goes to the shaper", "LUT_3D_SIZE 2\nLUT_1D_SIZE 2\nDOMAIN_MAX 4 4 4\n0 0 0\n1 1 1\n" + cube2, 2,
         2, zero, {4, 4, 4}, zero, one, {0.5f, 1, 1}},
        {"tabs, signs, exponents, a trailing comment",
         "LUT_3D_SIZE 2\n" + cube2.substr(0, cube2.size() - 10) + "\t+5E-1\t\t1.000\t100e-2   # last\n", 0, 2, zero,
         one, zero, one, {0.5f, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const AuthorCube cube = readText(c.text);
        EXPECT_EQ(cube.shaper.size, c.shaper);
        EXPECT_EQ(cube.cube.size, c.cube);
        EXPECT_EQ(cube.shaper.min, c.shaperMin);
        EXPECT_EQ(cube.shaper.max, c.shaperMax);
        EXPECT_EQ(cube.cube.min, c.cubeMin);
        EXPECT_EQ(cube.cube.max, c.cubeMax);
        const auto& values = cube.cube.present() ? cube.cube.values : cube.shaper.values;
        ASSERT_GE(values.size(), 3u);
        EXPECT_EQ(std::vector<float>(values.end() - 3, values.end()), c.last);
    }
    EXPECT_EQ(readText("TITLE \"Été # 2\"\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n").title, "Été # 2");
}

TEST(AuthorCube, ErrorsNameTheLineAndTheReason)
{
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"LUT_3D_SIZE 2\n0 0 0\n1 1 1\n", "ligne 3 : fin du fichier après 2 entrées : le fichier en déclare 8 entrées"
                                          " 3D (2³)"},
        {"LUT_3D_SIZE 100000\n", "ligne 1 : LUT_3D_SIZE 100000 : une table de cette taille ne tient pas en mémoire (au"
                                 " plus 406)"},
        {"LUT_1D_SIZE 99999999999999999999\n", "ligne 1 : LUT_1D_SIZE 99999999999999999999 : une table de cette taille"
                                               " ne tient pas en mémoire (au plus 1048576)"},
        {"TITLE \"x\"\nLUT_3D_SIZE 2\nLUT_3D_GAMMA 2.2\n", "ligne 3 : mot-clé inconnu « LUT_3D_GAMMA »"},
        {"LUT_3D_SIZE\n", "ligne 1 : LUT_3D_SIZE attend un nombre entier"},
        {"LUT_3D_SIZE 1\n0 0 0\n", "ligne 1 : LUT_3D_SIZE 1 : il faut au moins 2"},
        {"LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n", "ligne 2 : LUT_3D_SIZE déjà donné ligne 1"},
        {"# nothing\n0 0 0\n", "ligne 2 : données sans LUT_3D_SIZE ni LUT_1D_SIZE avant elles"},
        {"", "ligne 1 : fin du fichier sans LUT_3D_SIZE ni LUT_1D_SIZE"},
        {"LUT_1D_SIZE 2\n0 0 0\n0.5 0,5 0.5\n", "ligne 3 : une ligne de données porte trois nombres"},
        {"LUT_1D_SIZE 2\n0 0 0\n1 1\n", "ligne 3 : une ligne de données porte trois nombres"},
        {"LUT_1D_SIZE 2\n0 0 0\nTITLE \"late\"\n1 1 1\n", "ligne 3 : « TITLE » au milieu des données"},
        {"LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", "ligne 4 : entrée de trop : le fichier en déclare 2 entrées 1D"},
        {"LUT_1D_SIZE 2\nDOMAIN_MIN 1 1 1\n0 0 0\n1 1 1\n",
         "ligne 2 : DOMAIN_MIN / DOMAIN_MAX : le bas de la plage doit être en dessous du haut"},
        {"LUT_3D_INPUT_RANGE 0 1 2\n", "ligne 1 : LUT_3D_INPUT_RANGE attend 2 nombres"},
        {"TITLE untitled\n", "ligne 1 : TITLE attend un titre entre guillemets"},
        {"LUT_1D_SIZE 2\n0 0 0\n1e5000 1 1\n", "ligne 3 : « 1e5000 » est hors de portée"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf(c.text), c.message) << c.text;
}

// The file is opened as the window opens an effect: what is not a regular
// file, or what another program holds under a lease, is an open error at
// once, never a wait.
TEST(AuthorCube, AFileItCannotOpenAtOnceIsAnOpenError)
{
    test::TempFolder folder;
    const std::string plain = folder.write("plain.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
    const std::string leased = folder.write("leased.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
    const test::LeasedFile lease(leased);
    ASSERT_TRUE(lease.held());
    const auto outcomeOf = [](const std::string& path) {
        return test::inChildWithin(10, [&] {
            try {
                return "read " + std::to_string(readAuthorCubeFile(path).shaper.size);
            } catch (const Error& error) {
                return std::string(error.what());
            }
        });
    };
    const auto openError = [](const std::string& path, const char* reason) {
        return "returned Impossible d'ouvrir le fichier \"" + path + "\". " + reason;
    };
    EXPECT_EQ(outcomeOf(plain), "returned read 2");
    EXPECT_EQ(outcomeOf(leased), openError(leased, "Resource temporarily unavailable"));
    EXPECT_EQ(outcomeOf(folder.top()), openError(folder.top(), "Is a directory"));
    EXPECT_EQ(outcomeOf(folder.path("absent.cube")), openError(folder.path("absent.cube"), "No such file or directory"));
}

TEST(AuthorCube, AppliesTheDomainTheShaperThenTheTable)
{
    // A shaper that squares (0, 0.25, 1 at 0, 0.5, 1) before a 2-table
    // whose red output is twice its red input.
    const AuthorCube shaped = readText("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.25 0.25 0.25\n1 1 1\n"
                                       "0 0 0\n2 0 0\n0 1 0\n2 1 0\n0 0 1\n2 0 1\n0 1 1\n2 1 1\n");
    const struct {
        CubeRgb in, out;
    } points[] = {
        {{0.5, 0.5, 0.5}, {0.5, 0.25, 0.25}},    // 2 x 0.25 on red
        {{0.25, 0.75, 1}, {0.25, 0.625, 1}},     // the shaper between its entries: 0.125, 0.625, 1
        {{0.9, 0, 0}, {1, 0, 0}},                // 2 x 0.85 clips at 1
        {{-0.5, 1.5, 0}, {0, 1, 0}},             // inputs outside 0..1 taken at the edge
    };
    for (const auto& p : points) {
        const CubeRgb out = shaped.apply(p.in);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(out[std::size_t(c)], p.out[std::size_t(c)], 1e-6) << p.in[0] << " " << c;
    }

    // A domain of 0..2 on an identity table halves the input; below its
    // minimum the input is taken at the minimum.
    const AuthorCube domain = readText("LUT_3D_SIZE 2\nDOMAIN_MIN -1 0 0\nDOMAIN_MAX 1 2 2\n"
                                       "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    const CubeRgb out = domain.apply({0, 1, -3});
    EXPECT_NEAR(out[0], 0.5, 1e-9);
    EXPECT_NEAR(out[1], 0.5, 1e-9);
    EXPECT_NEAR(out[2], 0, 1e-9);
}

TEST(WindowCopy, APlainTableReadsAsTheAuthorsTableRoundedAsTheWindowRounds)
{
    for (const int n : {2, 3, 17, 33, 64, 65, 129}) {
        SCOPED_TRACE(n);
        const std::string head = "# from a grading tool\nTITLE \"plain\"\n\nLUT_3D_SIZE " + std::to_string(n) + "\n";
        const std::string copy = copyOf(authorText(n, head));
        std::int32_t taille = 0;
        const auto table = windowTable(copy, taille);
        ASSERT_EQ(taille, n);
        ASSERT_EQ(table.size(), std::size_t(n) * std::size_t(n) * std::size_t(n));
        for (std::uint64_t k = 0; k < table.size(); ++k) {
            const TLutValeur meant{meantByte(entryMicro(k, 0)), meantByte(entryMicro(k, 1)), meantByte(entryMicro(k, 2))};
            ASSERT_TRUE(table[k].r == meant.r && table[k].v == meant.v && table[k].b == meant.b) << "entry " << k;
        }
        if (n <= 65) {
            const CubeCheck check = checkCube(copy);
            EXPECT_TRUE(check.asMeant()) << describe(check);
        }
        EXPECT_EQ(copy.substr(0, 13 + std::to_string(n).size()), "LUT_3D_SIZE " + std::to_string(n) + "\n");
    }
}

TEST(WindowCopy, AFirstRedOfOneStillStartsTheData)
{
    const std::string copy = copyOf("LUT_3D_SIZE 2\n1 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    EXPECT_NE(copy.find("\n0.1e1 0.000000 0.000000\n1.000000 0.000000 0.000000\n"), std::string::npos) << copy;
    std::int32_t taille = 0;
    const auto table = windowTable(copy, taille);
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[0].r, 255);
    EXPECT_TRUE(checkCube(copy).asMeant()) << describe(checkCube(copy));
}

TEST(WindowCopy, EachDepartureCheckNamesIsMended)
{
    using test::CubeLines;
    const struct {
        const char* name;
        std::function<void(CubeLines&)> change;
    } departures[] = {
        {"size line with a trailing space", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE 2 "; }},
        {"size line indented", [](CubeLines& c) { c.head[1] = "  LUT_3D_SIZE 2"; }},
        {"size line on line 21", [](CubeLines& c) { c.head.insert(c.head.begin() + 1, 19, "# comment"); }},
        {"size followed by a comment", [](CubeLines& c) { c.head[1] = "LUT_3D_SIZE 2 # two"; }},
        {"first data line indented", [](CubeLines& c) { c.data[0] = " " + c.data[0]; }},
        {"first data line in bare integers", [](CubeLines& c) { c.data[0] = "0 0.500000 0.900000"; }},
        {"first value not 0.x", [](CubeLines& c) { c.data[0] = "-0.0 0.500000 0.900000"; }},
        {"data start beyond line 20", [](CubeLines& c) { c.head.insert(c.head.end(), 20, "# comment"); }},
        {"comment inside the data", [](CubeLines& c) { c.data.insert(c.data.begin() + 4, "# middle"); }},
        {"blank line inside the data", [](CubeLines& c) { c.data.insert(c.data.begin() + 4, ""); }},
        {"tabs between fields", [](CubeLines& c) { c.data[3] = "0.300000\t0.500000\t0.600000"; }},
        {"several spaces between fields", [](CubeLines& c) { c.data[3] = "0.300000  0.500000  0.600000"; }},
        {"a value above 1", [](CubeLines& c) { c.data[7] = "1.010000 0.500000 0.200000"; }},
        {"a value below 0", [](CubeLines& c) { c.data[5] = "0.500000 0.500000 -0.010000"; }},
        {"DOMAIN_MIN and DOMAIN_MAX of 0 and 1", [](CubeLines& c) {
             c.head.push_back("DOMAIN_MIN 0 0 0");
             c.head.push_back("DOMAIN_MAX 1.0 1.0 1.0");
         }},
    };
    // The author's table: test::dataLines(), clipped.
    std::vector<TLutValeur> meant;
    meant.reserve(8);
    for (int k = 0; k < 8; ++k)
        meant.push_back({std::uint8_t(255 * 100000 * k / 1000000), 127, std::uint8_t(255 * (900000 - 100000 * k) / 1000000)});
    for (const auto& departure : departures) {
        SCOPED_TRACE(departure.name);
        CubeLines lines;
        departure.change(lines);
        EXPECT_FALSE(checkCube(lines.text()).asMeant() && std::string(departure.name).find("DOMAIN") == std::string::npos);
        const std::string copy = copyOf(lines.text());
        const CubeCheck check = checkCube(copy);
        EXPECT_TRUE(check.asMeant()) << describe(check);
        std::int32_t taille = 0;
        auto table = windowTable(copy, taille);
        ASSERT_EQ(table.size(), 8u);
        auto expected = meant;
        if (std::string(departure.name) == "a value above 1")
            expected[7] = {255, 127, 51};
        if (std::string(departure.name) == "a value below 0")
            expected[5].b = 0;
        if (std::string(departure.name).find("fields") != std::string::npos)
            expected[3] = {76, 127, 153};
        for (std::size_t k = 0; k < 8; ++k)
            EXPECT_TRUE(table[k].r == expected[k].r && table[k].v == expected[k].v && table[k].b == expected[k].b)
                << "entry " << k << ": " << int(table[k].r) << " " << int(table[k].v) << " " << int(table[k].b);
    }
}

namespace {

// The author's transform written plainly, from the text's own numbers: the
// input mapped from [low, high] to the table (taken at its edges), the 1D
// table interpolated linearly per channel, the 3D table trilinearly.
struct PlainTransform {
    int shaperSize = 0, cubeSize = 0;
    double shaperLow = 0, shaperHigh = 1, cubeLow = 0, cubeHigh = 1;
    std::vector<double> shaper, cube; // three per entry

    static double along(double x, double low, double high, int n, int& i)
    {
        const double t = std::min(std::max((x - low) / (high - low), 0.0), 1.0) * (n - 1);
        i = std::min(int(std::floor(t)), n - 2);
        return t - i;
    }

    CubeRgb operator()(CubeRgb x) const
    {
        if (shaperSize != 0) {
            for (int c = 0; c < 3; ++c) {
                int i = 0;
                const double w = along(x[std::size_t(c)], shaperLow, shaperHigh, shaperSize, i);
                x[std::size_t(c)] = shaper[3 * std::size_t(i) + std::size_t(c)] * (1 - w)
                                   + shaper[3 * std::size_t(i + 1) + std::size_t(c)] * w;
            }
        }
        if (cubeSize != 0) {
            const int n = cubeSize;
            const auto edge = std::size_t(n);
            int i[3];
            double w[3];
            for (int c = 0; c < 3; ++c)
                w[c] = along(x[std::size_t(c)], cubeLow, cubeHigh, n, i[c]);
            CubeRgb out{0, 0, 0};
            for (int dr = 0; dr < 2; ++dr)
                for (int dg = 0; dg < 2; ++dg)
                    for (int db = 0; db < 2; ++db) {
                        const double weight = (dr ? w[0] : 1 - w[0]) * (dg ? w[1] : 1 - w[1]) * (db ? w[2] : 1 - w[2]);
                        const std::size_t entry =
                            (std::size_t(i[2] + db) * edge + std::size_t(i[1] + dg)) * edge + std::size_t(i[0] + dr);
                        for (int c = 0; c < 3; ++c)
                            out[std::size_t(c)] += weight * cube[3 * entry + std::size_t(c)];
                    }
            x = out;
        }
        for (double& v : x)
            v = std::min(std::max(v, 0.0), 1.0);
        return x;
    }
};

CubeRgb look(const CubeRgb& x)
{
    return {0.9 * std::pow(std::max(x[0], 0.0), 0.8) + 0.05 * x[1] + 0.1, 0.5 * x[1] + 0.5 * x[2] * x[2], 1.05 - 0.7 * x[2] + 0.2 * x[0]};
}

std::string sixDecimals(double v) { return test::sixDecimals(v); }

// A text and its plain transform: a 3D table of the look over [low, high]
// (cubeSize 0: none), after a 1D gamma shaper (shaperSize 0: none).
std::pair<std::string, PlainTransform> authored(int shaperSize, int cubeSize, double low, double high,
                                                const std::string& rangeLine)
{
    PlainTransform t;
    t.shaperSize = shaperSize;
    t.cubeSize = cubeSize;
    std::string head = "TITLE \"mesure\"\n", data;
    if (shaperSize != 0) {
        head += "LUT_1D_SIZE " + std::to_string(shaperSize) + "\n";
        for (int i = 0; i < shaperSize; ++i) {
            const double v = std::pow(double(i) / (shaperSize - 1), 1 / 2.2);
            const std::string text = sixDecimals(v);
            data += text + " " + text + " " + text + "\n";
            for (int c = 0; c < 3; ++c)
                t.shaper.push_back(std::stod(text));
        }
    }
    if (cubeSize != 0) {
        head += "LUT_3D_SIZE " + std::to_string(cubeSize) + "\n";
        for (int b = 0; b < cubeSize; ++b)
            for (int g = 0; g < cubeSize; ++g)
                for (int r = 0; r < cubeSize; ++r) {
                    const double last = cubeSize - 1;
                    const CubeRgb in{low + (high - low) * r / last, low + (high - low) * g / last,
                                     low + (high - low) * b / last};
                    const CubeRgb out = look(in);
                    for (int c = 0; c < 3; ++c) {
                        const std::string text = sixDecimals(out[std::size_t(c)]);
                        data += text + (c < 2 ? " " : "\n");
                        t.cube.push_back(std::stod(text));
                    }
                }
    }
    if (shaperSize != 0 && cubeSize == 0) {
        t.shaperLow = low;
        t.shaperHigh = high;
    } else if (shaperSize == 0) {
        t.cubeLow = low;
        t.cubeHigh = high;
    }
    return {head + rangeLine + data, t};
}

// The largest differences, in 8-bit levels, over a grid of 8-bit colours.
struct Differences {
    double lattice = 0; // the transform against its own samples on the copy's lattice, interpolated
    double table = 0;   // the transform against the copy's table as the window reads it, interpolated
    double window = 0;  // the transform against the window's application of the copy
    double ideal = 0;   // the window's application of the copy against that of the ideal table
};

// A table from its entries in file order.
void fill(LutTable& table, int n, const std::function<TLutValeur(std::uint64_t)>& entry)
{
    table.resize(n);
    for (std::uint64_t k = 0; k < table.entryCount(); ++k)
        table.inFileOrder(k) = entry(k);
}

void apply(const TBitmap32& source, const LutTable& table, TBitmap32& out)
{
    float coef = 0;
    AppliqueLut(source, out, table, table.taille(), coef, 1);
}

Differences measured(const PlainTransform& author, const std::string& copy)
{
    LutTable table;
    std::int32_t taille = 0;
    EXPECT_EQ(test::readText(copy, table, taille), CubeStatus::Loaded);
    const int n = taille;
    PlainTransform copied, sampled;
    copied.cubeSize = sampled.cubeSize = n;
    for (std::uint64_t k = 0; k < table.entryCount(); ++k) {
        for (const std::uint8_t byte : {table.data()[k].r, table.data()[k].v, table.data()[k].b})
            copied.cube.push_back(byte / 255.0);
        const double last = n - 1;
        const auto edge = std::uint64_t(n);
        const std::uint64_t red = k % edge, green = k / edge % edge, blue = k / edge / edge;
        const CubeRgb value = author({double(red) / last, double(green) / last, double(blue) / last});
        sampled.cube.insert(sampled.cube.end(), value.begin(), value.end());
    }
    // The ideal table: the samples stored as the window stores a value, 255 x it truncated.
    LutTable ideal;
    fill(ideal, n, [&](std::uint64_t k) {
        const auto byte = [&](int c) { return std::uint8_t(sampled.cube[3 * k + std::size_t(c)] * 255); };
        return TLutValeur{byte(0), byte(1), byte(2)};
    });

    std::vector<int> levels;
    for (int x = 0; x <= 255; x += 5)
        levels.push_back(x);
    const int side = int(levels.size());
    TBitmap32 source;
    source.SetSize(side * side, side);
    for (int b = 0; b < side; ++b)
        for (int g = 0; g < side; ++g)
            for (int r = 0; r < side; ++r)
                source.pixel(g * side + r, b) = couleur32(255, std::uint8_t(levels[std::size_t(r)]),
                                                          std::uint8_t(levels[std::size_t(g)]),
                                                          std::uint8_t(levels[std::size_t(b)]));
    TBitmap32 window, windowIdeal;
    apply(source, table, window);
    apply(source, ideal, windowIdeal);

    Differences worst;
    auto channels = [](TColor32 pixel) {
        return std::array<double, 3>{double((pixel >> 16) & 0xFF), double((pixel >> 8) & 0xFF), double(pixel & 0xFF)};
    };
    for (int b = 0; b < side; ++b)
        for (int g = 0; g < side; ++g)
            for (int r = 0; r < side; ++r) {
                const CubeRgb in{levels[std::size_t(r)] / 255.0, levels[std::size_t(g)] / 255.0,
                                 levels[std::size_t(b)] / 255.0};
                const CubeRgb meant = author(in), read = copied(in), lattice = sampled(in);
                const auto shown = channels(window.pixel(g * side + r, b));
                const auto shownIdeal = channels(windowIdeal.pixel(g * side + r, b));
                for (std::size_t c = 0; c < 3; ++c) {
                    worst.lattice = std::max(worst.lattice, std::abs(lattice[c] - meant[c]) * 255);
                    worst.table = std::max(worst.table, std::abs(read[c] - meant[c]) * 255);
                    worst.window = std::max(worst.window, std::abs(shown[c] - meant[c] * 255));
                    worst.ideal = std::max(worst.ideal, std::abs(shown[c] - shownIdeal[c]));
                }
            }
    return worst;
}

} // namespace

// The copy holds the author's transform sampled on its lattice, each sample
// stored as the window stores a value: read by the window and interpolated,
// it departs from the transform by the error of the lattice and at most one
// level of the window's truncation; applied by the window, it shows as the
// ideal table of those samples does, within a level.
TEST(WindowCopy, ADomainAShaperOrA1DTableAppliesAsTheAuthorsTransform)
{
    const struct {
        const char* name;
        int shaper, cube;
        double low, high;
        const char* range;
        int size; // --size, 0 when not given
        int copySize;
    } cases[] = {
        {"DOMAIN on a 17 table", 0, 17, -0.2, 1.5, "DOMAIN_MIN -0.2 -0.2 -0.2\nDOMAIN_MAX 1.5 1.5 1.5\n", 0, 17},
        {"LUT_3D_INPUT_RANGE on a 33 table", 0, 33, 0, 2, "LUT_3D_INPUT_RANGE 0 2\n", 0, 33},
        {"a gamma shaper then a 33 table", 1024, 33, 0, 1, "", 0, 33},
        {"a 1D table alone", 4096, 0, 0, 1, "", 0, 33},
        {"a 1D table alone at --size 65", 4096, 0, 0, 1, "", 65, 65},
        {"a 1D table over 0..2", 256, 0, 0, 2, "LUT_1D_INPUT_RANGE 0.0 2.0\n", 0, 33},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [text, author] = authored(c.shaper, c.cube, c.low, c.high, c.range);
        const AuthorCube cube = readText(text);
        EXPECT_EQ(cube.copySize(c.size), c.copySize);
        const std::string copy = copyText(cube, c.size);
        const CubeCheck check = checkCube(copy);
        EXPECT_TRUE(check.asMeant()) << describe(check);
        const Differences worst = measured(author, copy);
        EXPECT_LE(worst.table, worst.lattice + 1.0);
        EXPECT_LE(worst.ideal, 1.0);
        std::printf("%-34s lattice %5.2f  table %5.2f  window %5.2f  against the ideal table %4.1f levels\n", c.name,
                    worst.lattice, worst.table, worst.window, worst.ideal);
    }
}
