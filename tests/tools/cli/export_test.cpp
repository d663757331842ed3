// teintelle-cli export, run as a separate process.
#include "cli/PhotoCli.h"

#include "common/Error.h"
#include "export/ExportFixtures.h"
#include "export/PhotoExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace teintelle;
using namespace teintelle::clitest;
using namespace teintelle::fixtures;

namespace {

class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        loadTestEffect(table, taille);
        // The same effect as a file for the command: written by the engine's
        // own reader from the fixture text, so read back identically.
        std::string text = "LUT_3D_SIZE 17\n";
        for (std::uint64_t n = 0; n < table.entryCount(); ++n) {
            const TLutValeur& e = table.inFileOrder(n);
            char line[64];
            std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", (e.r + 0.5) / 255.0, (e.v + 0.5) / 255.0,
                          (e.b + 0.5) / 255.0);
            text += line;
        }
        effect = folder.write("Chaud.cube", std::vector<std::uint8_t>(text.begin(), text.end()));
        // The expectations use the table as the command reads it.
        ASSERT_EQ(loadCubeFile(effect, table, taille), CubeStatus::Loaded);
    }

    CliRun exportCli(std::vector<std::string> args)
    {
        args.insert(args.begin(), "export");
        return runCli(folder.top(), args);
    }

    // The engine's export of the same photo with the same options, for comparison.
    std::vector<std::uint8_t> engineExport(const std::string& photo, ExportOptions options, const std::string& name)
    {
        const std::string out = folder.path("engine-" + name);
        options.format = exportFormatForName(name).value();
        exportPhoto(photo, out, table, taille, options, {});
        auto bytes = fileBytes(out);
        std::filesystem::remove(out);
        return bytes;
    }

    std::vector<std::uint32_t> graded(const std::vector<std::uint32_t>& pixels, int width, int height) const
    {
        return gradedPixels(pixels, width, height, table, taille);
    }

    TempFolder folder;
    LutTable table;
    std::int32_t taille = 0;
    std::string effect;
};

} // namespace

TEST_F(ExportCommand, OnePhotoToAFileIsTheEnginesExport)
{
    const std::string photo = folder.write("IMG 1.jpg", encodeJpeg({120, 80, JpegKind::Rgb420}));
    struct Case {
        std::vector<std::string> options;
        ExportOptions same;
        const char* name;
    };
    ExportOptions half;
    half.strength = 0.5;
    half.quality = 80;
    const Case cases[] = {
        {{}, {}, "out.jpg"},
        {{"--strength", "0.5", "--quality", "80"}, half, "half.jpg"},
        {{"--format", "png"}, {}, "named.tif"},
        {{}, {}, "out.TIF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{effect, photo, "-o", c.name};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun run = exportCli(args);
        EXPECT_EQ(run.status, 0) << run.err;
        const bool png = !c.options.empty() && c.options[0] == "--format";
        EXPECT_EQ(fileBytes(folder.path(c.name)), engineExport(photo, c.same, png ? "x.png" : c.name));
    }
}

// Into a folder on two threads: each photo under its own name, a photo that
// fails named with its reason while the others are written.
TEST_F(ExportCommand, ManyPhotosIntoAFolderGoOnPastAFailure)
{
    std::filesystem::create_directory(folder.path("out"));
    std::vector<std::string> photos;
    photos.reserve(5);
    for (int i = 0; i < 5; ++i)
        photos.push_back(folder.write("p" + std::to_string(i) + ".jpg", encodeJpeg({40 + 8 * i, 30, JpegKind::Rgb420})));
    const std::string broken = folder.write("broken.jpg", std::vector<std::uint8_t>(300, 'x'));
    std::vector<std::string> args{effect, photos[0], photos[1], broken, photos[2], photos[3], photos[4],
                                  "-o", "out", "--jobs", "2", "--format", "png"};
    const CliRun run = exportCli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("« " + broken + " » : Erreur JPEG #"), std::string::npos) << run.err;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "p" + std::to_string(i) + "-Chaud.png";
        const ReadBack decoded = readJpeg(fileBytes(photos[std::size_t(i)]));
        EXPECT_EQ(readPng(folder.path("out/" + name)).pixels, graded(decoded.pixels, decoded.width, decoded.height))
            << name;
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path("out")))
        ++files;
    EXPECT_EQ(files, 5u); // nothing for the broken photo, no temporary
}

// A pipe named as a photo of the platform's formats: nothing waits for a
// writer that never comes, the photo fails with its reason.
TEST_F(ExportCommand, APipeNamedAsAPhotoFailsWithoutWaiting)
{
    const std::string tube = folder.path("tube.png");
    ASSERT_EQ(::mkfifo(tube.c_str(), 0644), 0);
    const CliRun run = runCli(folder.top(), {"export", effect, tube, "-o", "out.png"}, {}, {"timeout", "20"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("« " + tube + " » : Erreur de lecture du flux"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path("out.png")));
}

TEST_F(ExportCommand, ExistingFilesAreKeptUnlessForced)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({64, 48, JpegKind::Rgb444}));
    folder.write("out.jpg", {'o', 'l', 'd'});
    CliRun run = exportCli({effect, photo, "-o", "out.jpg"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("existe déjà"), std::string::npos) << run.err;
    EXPECT_EQ(fileBytes(folder.path("out.jpg")), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    run = exportCli({effect, photo, "-o", "out.jpg", "--force"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fileBytes(folder.path("out.jpg")), engineExport(photo, {}, "out.jpg"));
    run = exportCli({effect, photo, "-o", photo, "--force"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("elle-même"), std::string::npos) << run.err;
}

TEST_F(ExportCommand, AnUnreadableEffectWritesNothing)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({64, 48, JpegKind::Rgb420}));
    folder.write("empty.cube", {'#', '\n'});
    for (const char* cube : {"empty.cube", "absent.cube"}) {
        SCOPED_TRACE(cube);
        const CliRun run = exportCli({cube, photo, "-o", "out.jpg"});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(cube), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.path("out.jpg")));
    }
}

TEST_F(ExportCommand, UsageErrors)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({64, 48, JpegKind::Rgb420}));
    const std::vector<std::vector<std::string>> cases = {
        {effect, photo},
        {effect, "-o", "a.jpg"},
        {effect, photo, "-o", "a.jpg", "--strength", "1.5"},
        {effect, photo, "-o", "a.jpg", "--strength", "x"},
        {effect, photo, "-o", "a.jpg", "--quality", "0"},
        {effect, photo, "-o", "a.jpg", "--jobs", "0"},
        {effect, photo, "-o", "a.jpg", "--format", "gif"},
        {effect, photo, "-o", "a.gif"},
        {effect, photo, photo, "-o", "a.jpg"},
    };
    for (const auto& args : cases) {
        const CliRun run = exportCli(args);
        EXPECT_EQ(run.status, 64) << args.back();
        EXPECT_NE(run.err.find("usage: teintelle-cli export"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(folder.path("a.jpg")));
    }
    const CliRun help = exportCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Example:"), std::string::npos);
}

#if defined(TEINTELLE_CLI_HAS_QT_GUI)
// Formats the engine leaves to the platform's readers, read on several threads.
TEST_F(ExportCommand, PlatformFormatsAreRead)
{
    std::filesystem::create_directory(folder.path("out"));
    const std::string bmp = folder.write("b24.bmp", bmp24(33, 21));
    std::vector<std::uint32_t> bmpPixels;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 33; ++x)
            bmpPixels.push_back(bmpPixel(x, y) | 0xFF000000u);
    // A PNG made by the engine from a 32-bit BMP it reads itself.
    const std::string direct = folder.write("direct.bmp", bmp32(25, 19, false));
    ExportOptions keep;
    keep.strength = 0;
    keep.format = ExportFormat::Png;
    exportPhoto(direct, folder.path("p.png"), table, taille, keep, {});
    const ReadBack png = readPng(folder.path("p.png"));

    const CliRun run = exportCli({effect, bmp, folder.path("p.png"), "-o", "out", "--format", "png", "--jobs", "2"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readPng(folder.path("out/b24-Chaud.png")).pixels, graded(bmpPixels, 33, 21));
    EXPECT_EQ(readPng(folder.path("out/p-Chaud.png")).pixels, graded(png.pixels, 25, 19));
}
#endif
