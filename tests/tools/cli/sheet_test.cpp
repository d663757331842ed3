// teintelle-cli sheet, run as a separate process on a small folder.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"
#include "imaging/PhotoLoading.h"
#include "imaging/ViewGeometry.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace teintelle;
using namespace teintelle::clitest;
using namespace teintelle::fixtures;

namespace {

// Only half of its entries: a fresh table leaves the others black, a table
// left by the effect before would not.
const char* const kShort = "LUT_3D_SIZE 2\n0.9 0.9 0.9\n0.9 0.9 0.9\n0.9 0.9 0.9\n0.9 0.9 0.9\n";

std::string noSizeLine()
{
    std::string text = "TITLE \"sans taille\"\n";
    for (int i = 0; i < 30; ++i)
        text += "0.5 0.5 0.5\n";
    return text;
}

struct Cell {
    int x = 0, y = 0, w = 0, h = 0;
    std::string file, reason;
};

std::vector<Cell> cellsOf(const std::string& out)
{
    std::vector<Cell> cells;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        Cell cell;
        std::istringstream fields(line.substr(0, line.find('\t')));
        fields >> cell.x >> cell.y >> cell.w >> cell.h;
        const std::string rest = line.substr(line.find('\t') + 1);
        cell.file = rest.substr(0, rest.find('\t'));
        if (rest.find('\t') != std::string::npos)
            cell.reason = rest.substr(rest.find('\t') + 1);
        cells.push_back(cell);
    }
    return cells;
}

// The window's large view of a surface in a side x side area: its shown pixels.
std::vector<TColor32> asShown(const TBitmap32& surface, int side)
{
    const ViewGeometry view = computeViewGeometry(surface.Width(), surface.Height(), side, side);
    std::vector<TColor32> pixels;
    for (const auto row : view.rows)
        for (const auto column : view.columns)
            pixels.push_back(surface.pixel(column, row) | 0xFF000000u);
    return pixels;
}

// The effect applied as a first selection after start-up: a fresh table.
std::vector<TColor32> appliedAndShown(const std::string& effect, const TBitmap32& source, int side)
{
    LutTable table;
    std::int32_t taille = 0;
    EXPECT_EQ(loadCubeFile(effect, table, taille), CubeStatus::Loaded);
    TBitmap32 processed;
    float coef = 0;
    AppliqueLut(source, processed, table, taille, coef);
    return asShown(processed, side);
}

std::vector<TColor32> pixelsAt(const Ppm& ppm, const Cell& cell)
{
    std::vector<TColor32> pixels;
    for (int y = cell.y; y < cell.y + cell.h; ++y)
        for (int x = cell.x; x < cell.x + cell.w; ++x)
            pixels.push_back(ppm.pixels[std::size_t(y) * std::size_t(ppm.width) + std::size_t(x)]);
    return pixels;
}

class SheetCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.folder("effets/Sub");
        folder.folder("effets/films.cube");
        writeText("effets/b.cube", kSwap);
        writeText("effets/a.cube", noSizeLine());
        writeText("effets/films.cube/d.cube", kShort);
        writeText("effets/Sub/c.CUBE", kSwap);
        writeText("effets/notes.txt", "pas un effet");
        writeText("effets/x.cube.bak", kSwap);
        writeText("effets/.cachee.cube", kSwap);
        photo = folder.write("photo.jpg", encodeJpeg({150, 90, JpegKind::Rgb420, true}));
    }
    std::string writeText(const std::string& name, const std::string& text)
    {
        return folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    CliRun sheet(std::vector<std::string> args)
    {
        args.insert(args.begin(), "sheet");
        return runCli(folder.top(), args);
    }

    TempFolder folder;
    std::string photo;
};

} // namespace


TEST_F(SheetCommand, LaysOutThePhotoThenEachEffectInTheTreesOrder)
{
    const std::string root = folder.path("effets");
    const auto run = sheet({root, photo, "-o", "planche.ppm", "--columns", "2", "--size", "32"});
    if (run.status == 2 && run.err.find("sans Qt") != std::string::npos)
        GTEST_SKIP() << "teintelle-cli built without Qt";
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<Cell> cells = cellsOf(run.out);
    ASSERT_EQ(cells.size(), 5u) << run.out;
    const std::string expectedFiles[] = {photo, root + "/a.cube", root + "/b.cube", root + "/films.cube/d.cube",
                                         root + "/Sub/c.CUBE"};
    for (std::size_t i = 0; i < cells.size(); ++i)
        EXPECT_EQ(cells[i].file, expectedFiles[i]) << i;
    EXPECT_EQ(cells[1].reason,
              "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.");
    for (const std::size_t i : {0, 2, 3, 4})
        EXPECT_EQ(cells[i].reason, "") << i;

    TBitmap32 source;
    ASSERT_EQ(ChargePhotoReduite(photo, source), 4);
    const Ppm ppm = readPpm(slurp(folder.path("planche.ppm")));
    ASSERT_GT(ppm.width, 0);
    // Two columns of boxes (the failure cell gives the box), three rows.
    EXPECT_EQ(ppm.width, 16 + cells[1].w + 16 + cells[1].w + 16);
    EXPECT_GT(cells[1].x, cells[0].x);
    EXPECT_GT(cells[2].y, cells[0].y);
    EXPECT_EQ(cells[3].y, cells[2].y);
    EXPECT_GT(cells[4].y, cells[3].y);
    EXPECT_LT(cells[4].x, cells[3].x);

    EXPECT_EQ(pixelsAt(ppm, cells[0]), asShown(source, 32));
    EXPECT_EQ(pixelsAt(ppm, cells[2]), appliedAndShown(root + "/b.cube", source, 32));
    EXPECT_EQ(pixelsAt(ppm, cells[3]), appliedAndShown(root + "/films.cube/d.cube", source, 32));
    EXPECT_EQ(pixelsAt(ppm, cells[4]), appliedAndShown(root + "/Sub/c.CUBE", source, 32));
    EXPECT_NE(pixelsAt(ppm, cells[2]), pixelsAt(ppm, cells[0]));
    // The failure cell is an empty box with its reason, not a picture.
    EXPECT_EQ(ppm.pixels[std::size_t(cells[1].y) * std::size_t(ppm.width) + std::size_t(cells[1].x)], 0xFF3A3A3Au);
}

TEST_F(SheetCommand, ErrorsAreOneLineAndANonZeroStatus)
{
    const std::string root = folder.path("effets");
    const std::string notJpeg = writeText("photo.bmp", "BM pas une photo");
    // Folder links that join up again: two in every folder to the next one,
    // a tree that doubles at each of sixteen levels.
    for (int level = 0; level < 16; ++level) {
        const std::string at = "labyrinthe/L" + std::to_string(level);
        folder.folder(at);
        for (int e = 0; e < 30; ++e)
            writeText(at + "/e" + std::to_string(e) + ".cube", kSwap);
        if (level > 0)
            for (const char* name : {"a", "b"})
                folder.link("../L" + std::to_string(level), "labyrinthe/L" + std::to_string(level - 1) + "/" + name);
    }
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{root, photo}, 64, "usage: teintelle-cli sheet"},
        {{root, photo, "-o", "p.png", "--columns", "0"}, 64, "--columns attend un entier"},
        {{root, photo, "-o", "p.png", "--size", "abc"}, 64, "--size attend un entier"},
        {{root, photo, "-o", "p.png", "--bruit"}, 64, "option inconnue « --bruit »"},
        {{folder.path("absent"), photo, "-o", "p.png"}, 3, "aucun dossier"},
        {{root, folder.path("absente.jpg"), "-o", "p.png"}, 3, "aucun fichier"},
        {{root, notJpeg, "-o", "p.png"}, 4, "ne se décode pas en JPEG"},
        {{folder.path("labyrinthe/L0"), photo, "-o", "p.png"}, 2, "Impossible d'insérer un élément (plus de 500000"},
    };
    for (const auto& c : cases) {
        const auto run = sheet(c.args);
        if (run.status == 2 && run.err.find("sans Qt") != std::string::npos)
            GTEST_SKIP() << "teintelle-cli built without Qt";
        EXPECT_EQ(run.status, c.status) << c.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.path("p.png")));
    }
}


namespace {

std::uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// CRC-32 of PNG chunks, bit by bit.
std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ ((crc & 1) != 0 ? 0xEDB88320u : 0u);
    }
    return ~crc;
}

} // namespace

TEST_F(SheetCommand, ThePngHoldsTheSheetInWellFormedChunks)
{
    const std::string root = folder.path("effets");
    const auto asPng = sheet({root, photo, "-o", "planche.png", "--size", "40"});
    if (asPng.status == 2 && asPng.err.find("sans Qt") != std::string::npos)
        GTEST_SKIP() << "teintelle-cli built without Qt";
    ASSERT_EQ(asPng.status, 0) << asPng.err;
    const auto asPpm = sheet({root, photo, "-o", "planche.ppm", "--size", "40"});
    ASSERT_EQ(asPpm.status, 0) << asPpm.err;
    EXPECT_EQ(asPng.out, asPpm.out);
    const Ppm ppm = readPpm(slurp(folder.path("planche.ppm")));
    ASSERT_GT(ppm.width, 0);

    const std::string png = slurp(folder.path("planche.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = bigEndian(png, at);
        ASSERT_LE(at + 12 + length, png.size());
        const std::string typeAndData = png.substr(at + 4, 4 + length);
        EXPECT_EQ(bigEndian(png, at + 8 + length), crc32(typeAndData)) << typeAndData.substr(0, 4);
        types.push_back(typeAndData.substr(0, 4));
        if (types.back() == "IHDR") {
            EXPECT_EQ(bigEndian(png, at + 8), std::uint32_t(ppm.width));
            EXPECT_EQ(bigEndian(png, at + 12), std::uint32_t(ppm.height));
            EXPECT_EQ(typeAndData.substr(12), std::string("\x08\x02\x00\x00\x00", 5)); // 8-bit RGB
        }
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
}
