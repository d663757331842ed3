// teintelle-cli decode, run as a separate process.
#include "cli/PhotoCli.h"

#include "imaging/PhotoFixtures.h"
#include "imaging/PhotoLoading.h"

#include <gtest/gtest.h>

using namespace teintelle;
using namespace teintelle::clitest;
using namespace teintelle::fixtures;

namespace {

class DecodeCommand : public ::testing::Test {
protected:
    CliRun decode(std::vector<std::string> args)
    {
        args.insert(args.begin(), "decode");
        return runCli(folder.top(), args);
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(folder.path(name)); }
    std::string read(const std::string& name) const { return slurp(folder.path(name)); }

    TempFolder folder;
};

} // namespace

TEST_F(DecodeCommand, WritesTheQuarterPictureOfTheSmallView)
{
    for (const auto& shape : {JpegSpec{203, 101, JpegKind::Rgb420, true}, JpegSpec{64, 64, JpegKind::Gray},
                             JpegSpec{40, 40, JpegKind::Cmyk}}) {
        const std::string photo = folder.write("p.jfif", encodeJpeg(shape)); // any extension
        const auto run = decode({photo, "-o", "out.ppm"});
        EXPECT_EQ(run.status, 0) << run.err;
        TBitmap32 expected;
        ASSERT_EQ(ChargePhotoReduite(photo, expected), 4);
        const Ppm ppm = readPpm(read("out.ppm"));
        EXPECT_EQ(ppm.width, (shape.width + 3) / 4);
        EXPECT_EQ(ppm.height, (shape.height + 3) / 4);
        EXPECT_EQ(ppm.pixels, opaquePixels(expected));
    }
}

TEST_F(DecodeCommand, FullWritesThePictureOfTheFullSizePath)
{
    const std::string jpeg = folder.write("p.JPG", encodeJpeg({61, 33, JpegKind::Rgb444}));
    const std::string bmp = folder.write("p.bmp", bmp32(9, 4, true));
    for (const auto& photo : {jpeg, bmp}) {
        SCOPED_TRACE(photo);
        const auto run = decode({"--full", photo, "-o", "full.ppm"});
        EXPECT_EQ(run.status, 0) << run.err;
        TBitmap32 expected;
        LoadFromFile(photo, expected, PhotoDecoders{});
        const Ppm ppm = readPpm(read("full.ppm"));
        EXPECT_EQ(ppm.width, expected.Width());
        EXPECT_EQ(ppm.height, expected.Height());
        EXPECT_EQ(ppm.pixels, opaquePixels(expected));
    }
}

TEST_F(DecodeCommand, AFailedQuarterDecodeStillWritesWhatTheSmallViewHolds)
{
    const std::string bmp = folder.write("p.bmp", bmp32(9, 4, true));
    const std::string twoComponents = folder.write("two.jpg", encodeJpeg({40, 21, JpegKind::TwoComponents}));

    auto run = decode({bmp, "-o", "empty.ppm"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err, "");
    EXPECT_EQ(read("empty.ppm"), "P6\n0 0\n255\n");

    run = decode({bmp, "-o", "empty.png"});
    EXPECT_EQ(run.status, 4);
    EXPECT_FALSE(exists("empty.png")) << "PNG has no empty picture";

    run = decode({twoComponents, "-o", "white.ppm"});
    EXPECT_EQ(run.status, 4);
    const Ppm ppm = readPpm(read("white.ppm"));
    EXPECT_EQ(ppm.width, 10);
    EXPECT_EQ(ppm.height, 6);
    EXPECT_EQ(ppm.pixels, std::vector<TColor32>(60, 0xFFFFFFFFu));
}

TEST_F(DecodeCommand, PngOutputWhenTheNameSaysSo)
{
    const std::string photo = folder.write("p.jpg", encodeJpeg({80, 40}));
    const auto run = decode({photo, "-o", "out.PNG"});
    if (run.status == 0) {
        EXPECT_EQ(read("out.PNG").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    } else { // a build without Qt's GUI module cannot write PNG, and says so
        EXPECT_EQ(run.status, 73);
        EXPECT_NE(run.err.find("PNG"), std::string::npos);
    }
}

TEST_F(DecodeCommand, StatusesOfTheOtherOutcomes)
{
    const std::string jpeg = folder.write("p.jpg", encodeJpeg({16, 16}));
    const std::string jfif = folder.write("p.jfif", encodeJpeg({16, 16}));
    std::filesystem::create_directory(folder.path("dir.jpg"));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err; // exact, when not empty
    } cases[] = {
        {{folder.path("missing.jpg"), "-o", "x.ppm"}, 3, ""},
        {{folder.path("dir.jpg"), "-o", "x.ppm"}, 3, ""},
        {{"--full", jfif, "-o", "x.ppm"}, 2, "Extension de fichier image inconnue (.jfif)\n"},
        {{jpeg}, 64, ""},
        {{jpeg, jpeg, "-o", "x.ppm"}, 64, ""},
        {{jpeg, "-o"}, 64, ""},
        {{jpeg, "-o", "x.ppm", "--fast"}, 64, ""},
        {{jpeg, "-o", folder.path("no/such/folder.ppm")}, 73, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " ... status " + std::to_string(c.status));
        const auto run = decode(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (!c.err.empty()) {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
        EXPECT_FALSE(exists("x.ppm")) << "nothing written";
    }
}
