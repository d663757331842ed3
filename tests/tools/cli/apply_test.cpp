// teintelle-cli apply, run as a separate process.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"
#include "imaging/PhotoLoading.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <gtest/gtest.h>

using namespace teintelle;
using namespace teintelle::clitest;
using namespace teintelle::fixtures;

namespace {


std::string thirtyLines()
{
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "0.0 0.0 0.0\n";
    return text;
}

class ApplyCommand : public ::testing::Test {
protected:
    CliRun apply(std::vector<std::string> args)
    {
        args.insert(args.begin(), "apply");
        return runCli(folder.top(), args);
    }
    std::string writeText(const std::string& name, const std::string& text)
    {
        return folder.write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(folder.path(name)); }

    TempFolder folder;
};

} // namespace

TEST_F(ApplyCommand, WritesTheEffectAppliedToTheQuarterPicture)
{
    const std::string effect = writeText("swap.cube", kSwap);
    const std::string photo = folder.write("p.jpg", encodeJpeg({150, 90, JpegKind::Rgb420, true}));
    const auto run = apply({effect, photo, "-o", "out.ppm"});
    ASSERT_EQ(run.status, 0) << run.err;

    TBitmap32 source, expected;
    ASSERT_EQ(ChargePhotoReduite(photo, source), 4);
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(loadCubeFile(effect, table, taille), CubeStatus::Loaded);
    float coef = 0;
    AppliqueLut(source, expected, table, taille, coef);
    const Ppm ppm = readPpm(slurp(folder.path("out.ppm")));
    EXPECT_EQ(ppm.width, 38);
    EXPECT_EQ(ppm.height, 23);
    EXPECT_EQ(ppm.pixels, opaquePixels(expected));
    // The effect did something: blue and red are swapped.
    EXPECT_NE(ppm.pixels, opaquePixels(source));
}

TEST_F(ApplyCommand, AnEffectThatCannotBeReadStopsBeforeThePhoto)
{
    const std::string photo = folder.write("p.jpg", encodeJpeg({16, 16}));
    const struct {
        const char* name;
        std::string effect;
        int status;
        std::string err;
    } cases[] = {
        {"missing", folder.path("missing.cube"), 3, ""},
        {"no size", writeText("nosize.cube", "LUT_1D_SIZE 4\n" + thirtyLines()),
         1, "Erreur dans la structure du fichier. Impossible de déterminer la taille de la table.\n"},
        {"range", writeText("negative.cube", "LUT_3D_SIZE -2\n0.0 0.0 0.0\n"), 2,
         "Erreur de vérification d'étendue\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& target : {photo, folder.path("no-photo.jpg")}) {
            const auto run = apply({c.effect, target, "-o", "x.ppm"});
            EXPECT_EQ(run.status, c.status);
            if (!c.err.empty()) {
                EXPECT_EQ(run.err, c.err);
            }
            EXPECT_FALSE(exists("x.ppm"));
        }
    }
}

TEST_F(ApplyCommand, PhotoOutcomes)
{
    const std::string effect = writeText("swap.cube", kSwap);
    const std::string bmp = folder.write("p.bmp", bmp32(4, 4, true));

    auto run = apply({effect, folder.path("missing.jpg"), "-o", "x.ppm"});
    EXPECT_EQ(run.status, 3);
    EXPECT_FALSE(exists("x.ppm"));

    run = apply({effect, bmp, "-o", "x.ppm"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err, "");
    EXPECT_EQ(slurp(folder.path("x.ppm")), "P6\n0 0\n255\n");

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {effect, bmp}, {effect, "-o", "y.ppm"}, {effect, bmp, bmp, "-o", "y.ppm"}, {"--full", effect, bmp, "-o", "y.ppm"}}) {
        run = apply(args);
        EXPECT_EQ(run.status, 64);
        EXPECT_FALSE(exists("y.ppm"));
    }
}

// After a failed quarter-size decode the window still applies a selected
// effect to what the small view holds: nothing after a file that is no
// JPEG, white at the quarter size after a decode that failed past the header.
TEST_F(ApplyCommand, AFailedQuarterDecodeGivesTheEffectOnWhatTheSmallViewHolds)
{
    const std::string effect = writeText("swap.cube", kSwap);
    LutTable table;
    std::int32_t taille = 0;
    ASSERT_EQ(loadCubeFile(effect, table, taille), CubeStatus::Loaded);
    const struct {
        const char* name;
        std::string photo;
        int width, height;
    } cases[] = {
        {"no JPEG", folder.write("p.bmp", bmp32(9, 4, true)), 0, 0},
        {"fails after the header", folder.write("two.jpg", encodeJpeg({40, 21, JpegKind::TwoComponents})), 10, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = apply({effect, c.photo, "-o", "out.ppm"});
        EXPECT_EQ(run.status, 4);
        EXPECT_EQ(run.err, "teintelle-cli apply: « " + c.photo + " » ne se décode pas en JPEG au quart de sa taille\n");

        TBitmap32 held, expected;
        ASSERT_NE(ChargePhotoReduite(c.photo, held), 4);
        float coef = 0;
        AppliqueLut(held, expected, table, taille, coef);
        const Ppm ppm = readPpm(slurp(folder.path("out.ppm")));
        EXPECT_EQ(ppm.width, c.width);
        EXPECT_EQ(ppm.height, c.height);
        EXPECT_EQ(ppm.pixels, opaquePixels(expected));
        if (!held.Empty()) {
            EXPECT_NE(ppm.pixels, opaquePixels(held)) << "the effect changes white";
        }
    }
}
