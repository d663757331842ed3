#include "export/PhotoExport.h"

#include "common/Error.h"
#include "export/ExportFixtures.h"
#include "imaging/PhotoLoading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>

#include <sys/resource.h>
#include <unistd.h>

namespace teintelle {
namespace {

using namespace fixtures;

class PhotoExport : public ::testing::Test {
protected:
    void SetUp() override { loadTestEffect(table, taille); }

    // What the window's mapping gives for every pixel of the decoded photo.
    std::vector<std::uint32_t> graded(const std::vector<std::uint32_t>& pixels, int width, int height) const
    {
        return gradedPixels(pixels, width, height, table, taille);
    }

    std::string exportTo(const std::string& photo, const std::string& name, ExportOptions options = {},
                         const PhotoDecoders& decoders = {})
    {
        std::string out = folder.path(name);
        if (options.format == ExportFormat::Jpeg)
            options.format = exportFormatForName(name).value();
        exportPhoto(photo, out, table, taille, options, decoders);
        return out;
    }

    std::vector<std::string> folderContent() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.top()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder;
    LutTable table;
    std::int32_t taille = 0;
};

ReadBack readOutput(const std::string& path)
{
    const auto format = exportFormatForName(path).value();
    return format == ExportFormat::Png ? readPng(path) : format == ExportFormat::Tiff ? readTiff(path)
                                                                                      : readJpeg(fileBytes(path));
}

// Every kind of JPEG through both lossless outputs: each pixel is the
// window's mapping of the accurately decoded pixel, bit for bit.
TEST_F(PhotoExport, EveryPixelIsTheWindowsMappingOfTheFullSizePicture)
{
    const JpegSpec shapes[] = {
        {203, 101, JpegKind::Rgb420}, {67, 45, JpegKind::Rgb444},          {150, 97, JpegKind::Rgb420, true},
        {40, 33, JpegKind::Gray},     {36, 20, JpegKind::Cmyk},
    };
    for (const JpegSpec& shape : shapes) {
        const auto bytes = encodeJpeg(shape);
        const std::string photo = folder.write("photo.jpg", bytes);
        const ReadBack decoded = readJpeg(bytes);
        const auto expected = graded(decoded.pixels, decoded.width, decoded.height);
        for (const char* name : {"out.png", "out.tif"}) {
            SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height) + " kind "
                         + std::to_string(int(shape.kind)) + " to " + name);
            std::filesystem::remove(folder.path(name));
            const ReadBack out = readOutput(exportTo(photo, name));
            ASSERT_EQ(out.width, shape.width);
            ASSERT_EQ(out.height, shape.height);
            EXPECT_EQ(out.pixels, expected);
        }
    }
}

// A JPEG output keeps the source's chroma subsampling, or 4:4:4 when there
// is none, and decodes close to the graded picture.
TEST_F(PhotoExport, JpegOutputKeepsTheChromaSubsampling)
{
    struct Case {
        JpegSpec shape;
        int horizontal, vertical;
    };
    const Case cases[] = {
        {{96, 64, JpegKind::Rgb420}, 2, 2},
        {{96, 64, JpegKind::Rgb420, true}, 2, 2},
        {{96, 64, JpegKind::Rgb444}, 1, 1},
        {{96, 64, JpegKind::Gray}, 1, 1},
    };
    for (const Case& c : cases) {
        const auto bytes = encodeJpeg(c.shape);
        const std::string photo = folder.write("photo.jpg", bytes);
        std::filesystem::remove(folder.path("out.jpg"));
        const ReadBack out = readOutput(exportTo(photo, "out.jpg"));
        EXPECT_EQ(out.lumaHorizontal, c.horizontal);
        EXPECT_EQ(out.lumaVertical, c.vertical);
        EXPECT_FALSE(out.progressive);
        const ReadBack decoded = readJpeg(bytes);
        const auto expected = graded(decoded.pixels, decoded.width, decoded.height);
        double error = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            for (int shift = 0; shift <= 16; shift += 8)
                error += std::abs(int((out.pixels[i] >> shift) & 0xFF) - int((expected[i] >> shift) & 0xFF));
        // Quality 95; the fixture's noise loses most in 4:2:0 (6.6 on average),
        // a mix-up of channels or rows would cost several times more.
        EXPECT_LT(error / double(expected.size() * 3), c.horizontal == 2 ? 8.0 : 4.0);
    }
}

TEST_F(PhotoExport, StrengthMixesOriginalAndGradedRoundingHalfUp)
{
    const auto bytes = encodeJpeg({80, 60, JpegKind::Rgb420});
    const std::string photo = folder.write("photo.jpg", bytes);
    const ReadBack decoded = readJpeg(bytes);
    const auto full = graded(decoded.pixels, decoded.width, decoded.height);
    for (const double s : {0.0, 0.35, 0.5, 1.0}) {
        SCOPED_TRACE(s);
        ExportOptions options;
        options.strength = s;
        std::filesystem::remove(folder.path("out.png"));
        const ReadBack out = readPng(exportTo(photo, "out.png", options));
        for (std::size_t i = 0; i < full.size(); ++i) {
            for (int shift = 0; shift <= 16; shift += 8) {
                const int o = int((decoded.pixels[i] >> shift) & 0xFF), g = int((full[i] >> shift) & 0xFF);
                const int want = o + int(std::floor((g - o) * s + 0.5));
                ASSERT_EQ(int((out.pixels[i] >> shift) & 0xFF), want) << "pixel " << i;
            }
        }
    }
}

TEST_F(PhotoExport, BandsOfAnyHeightOverlappedOrNotGiveTheWholePictureExport)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({77, 61, JpegKind::Rgb420}));
    ExportOptions whole;
    whole.bandRows = 61;
    const auto expected = readPng(exportTo(photo, "whole.png", whole)).pixels;
    for (const std::int32_t rows : {1, 7, 16, 64, -1, -7}) { // negative: overlapped
        ExportOptions banded;
        banded.bandRows = std::abs(rows);
        banded.overlap = rows < 0;
        std::vector<double> progress;
        banded.progress = [&](double f) { progress.push_back(f); };
        const std::string name = "band" + std::to_string(rows) + ".png";
        EXPECT_EQ(readPng(exportTo(photo, name, banded)).pixels, expected) << rows;
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 1.0);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    }
}

// The pictures the engine does not decode as JPEG: the window's full-size
// surface (LoadFromFile), mapped.
TEST_F(PhotoExport, OtherPicturesAreTheWindowsFullSizeSurfaceMapped)
{
    const std::string bmp = folder.write("direct.bmp", bmp32(31, 17, true));
    TBitmap32 surface;
    LoadFromFile(bmp, surface, PhotoDecoders{});
    const std::vector<std::uint32_t> bmpPixels(surface.Bits(), surface.Bits() + std::size_t(31) * 17);
    auto expected = graded(bmpPixels, 31, 17);
    EXPECT_EQ(readPng(exportTo(bmp, "bmp.png")).pixels.size(), expected.size());
    const auto opaque = [](std::vector<std::uint32_t> p) {
        for (auto& c : p)
            c |= 0xFF000000u;
        return p;
    };
    EXPECT_EQ(readPng(folder.path("bmp.png")).pixels, opaque(expected));

    // A format of the platform: its decoder's picture assigned as the window does.
    PhotoDecoders decoders;
    int calls = 0;
    decoders.png = [&](const std::string& path) {
        ++calls;
        EXPECT_EQ(path, folder.path("given.png"));
        DecodedPicture picture;
        picture.format = PictureFormat::Tiff; // composited over white, alpha 255
        picture.width = 5;
        picture.height = 3;
        for (int i = 0; i < 15; ++i)
            picture.pixels.push_back(couleur32(std::uint8_t(i * 17), std::uint8_t(i * 40), std::uint8_t(255 - i), 9));
        return picture;
    };
    const std::string given = folder.write("given.png", {1, 2, 3});
    const ReadBack out = readPng(exportTo(given, "given-out.png", {}, decoders));
    EXPECT_EQ(calls, 1);
    TBitmap32 assigned;
    Assign(assigned, decoders.png(given));
    EXPECT_EQ(out.pixels, graded({assigned.Bits(), assigned.Bits() + 15}, 5, 3));

    EXPECT_THROW(
        {
            try {
                exportTo(folder.write("photo.webp", {1, 2, 3}), "webp.png", {}, decoders);
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), "Aucun décodeur d'image installé pour l'extension .webp");
                throw;
            }
        },
        Error);
}

// Each format left to the set goes to its own decoder there, its extension
// compared without regard to letter case; a BMP by its content.
TEST_F(PhotoExport, EachExtensionGoesToItsDecoderOfTheSet)
{
    std::string asked;
    const auto standIn = [&asked](const char* which) {
        return [&asked, which](const std::string&) {
            asked = which;
            DecodedPicture picture;
            picture.format = PictureFormat::Tiff;
            picture.width = 2;
            picture.height = 1;
            picture.pixels = {0xFF102030u, 0xFF405060u};
            return picture;
        };
    };
    PhotoDecoders decoders;
    decoders.bitmap = standIn("bitmap");
    decoders.icon = standIn("icon");
    decoders.tiff = standIn("tiff");
    decoders.windowsMetafile = standIn("windowsMetafile");
    decoders.enhancedMetafile = standIn("enhancedMetafile");
    decoders.png = standIn("png");
    decoders.webp = standIn("webp");
    const std::vector<std::uint8_t> content(100, 'z');
    const struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* decoder;
    } cases[] = {
        {"a.bmp", content, "bitmap"},
        {"b.Ico", content, "icon"},
        {"c.tif", content, "tiff"},
        {"d.TIFF", content, "tiff"},
        {"e.wmf", content, "windowsMetafile"},
        {"f.EMF", content, "enhancedMetafile"},
        {"g.png", content, "png"},
        {"h.WebP", content, "webp"},
        {"i.png", bmp24(3, 3), "bitmap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        const ReadBack out =
            readPng(exportTo(folder.write(c.name, c.bytes), std::string(c.name) + "-out.png", {}, decoders));
        EXPECT_EQ(asked, c.decoder);
        EXPECT_EQ(out.width, 2);
    }
}

TEST_F(PhotoExport, OrientationAndProfileAreCarriedIntoEveryFormat)
{
    JpegSpec shape{64, 48, JpegKind::Rgb420};
    shape.exif = orientationExif(6);
    shape.icc = smallIccProfile();
    const std::string photo = folder.write("photo.jpg", encodeJpeg(shape));
    const ReadBack jpeg = readOutput(exportTo(photo, "out.jpg"));
    EXPECT_EQ(jpeg.exif, shape.exif);
    EXPECT_EQ(jpeg.icc, shape.icc);
    EXPECT_EQ(jpeg.width, 64); // pixels as stored: the tag stays true
    const ReadBack png = readOutput(exportTo(photo, "out.png"));
    EXPECT_EQ(png.icc, shape.icc);
    EXPECT_EQ(png.exif, shape.exif);
    EXPECT_EQ(readOutput(exportTo(photo, "out.tif")).icc, shape.icc);

    // A profile larger than one segment goes whole into the JPEG output.
    shape.icc.resize(150000, 0x5A);
    shape.icc[3] = 0; // its own length field is not checked by JPEG readers
    const std::string large = folder.write("large.jpg", encodeJpeg(shape));
    EXPECT_EQ(readOutput(exportTo(large, "large-out.jpg")).icc, shape.icc);
}

// A photo the platform reads: its metadata comes from the file itself.
TEST_F(PhotoExport, MetadataOfOtherFormatsIsReadFromTheFile)
{
    const std::string xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";
    const std::string photo = folder.path("photo.tif");
    writeTiff(photo, 24, 16, smallIccProfile(), xmp, 8);
    PhotoDecoders decoders;
    decoders.tiff = [](const std::string&) {
        DecodedPicture picture;
        picture.format = PictureFormat::Tiff;
        picture.width = 24;
        picture.height = 16;
        picture.pixels.assign(std::size_t(24) * 16, 0xFF336699u);
        return picture;
    };
    const ReadBack jpeg = readOutput(exportTo(photo, "out.jpg", {}, decoders));
    EXPECT_EQ(jpeg.icc, smallIccProfile());
    // The orientation goes with the EXIF; the TIFF's layout tags do not.
    ASSERT_FALSE(jpeg.exif.empty());
    // Tag 0x0112, SHORT, count 1, value 8, in the block's byte order.
    const bool little = jpeg.exif[0] == 'I';
    const std::vector<std::uint8_t> tag = little ? std::vector<std::uint8_t>{0x12, 0x01, 3, 0, 1, 0, 0, 0, 8, 0}
                                                 : std::vector<std::uint8_t>{0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 8};
    EXPECT_NE(std::search(jpeg.exif.begin(), jpeg.exif.end(), tag.begin(), tag.end()), jpeg.exif.end());
    const ReadBack png = readOutput(exportTo(photo, "out.png", {}, decoders));
    EXPECT_EQ(png.icc, smallIccProfile());
    EXPECT_EQ(png.xmp, xmp);
}

// The refusals leave everything as it was, and no file half written.
TEST_F(PhotoExport, RefusalsAndFailuresLeaveNoFileBehind)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({64, 48, JpegKind::Rgb420}));
    const std::string existing = folder.write("existing.jpg", {'o', 'l', 'd'});
    std::filesystem::create_hard_link(photo, folder.path("link.jpg"));
    std::filesystem::create_directory(folder.path("sub"));
    const auto before = folderContent();

    struct Case {
        const char* what;
        std::string photo, output;
        bool overwrite;
        std::string message;
    };
    const Case cases[] = {
        {"not a JPEG named .jpg", folder.write("bad.jpg", std::vector<std::uint8_t>(100, 'x')), folder.path("a.png"),
         false, "Erreur JPEG #"},
        {"unknown extension", folder.write("notes.txt", std::vector<std::uint8_t>(100, 'x')), folder.path("a.png"),
         false, "Extension de fichier image inconnue (.txt)"},
        {"no photo", folder.path("absent.jpg"), folder.path("a.png"), false, "Impossible d'ouvrir le fichier"},
        {"output is the photo", photo, photo, true, "La photo ne peut pas être écrite sur elle-même"},
        {"output is a link to the photo", photo, folder.path("link.jpg"), true,
         "La photo ne peut pas être écrite sur elle-même"},
        {"existing output", photo, existing, false, "existe déjà"},
        {"folder that cannot be", photo, existing + "/a.jpg", false, "Impossible d'écrire le fichier"},
        {"output is a folder", photo, folder.path("sub"), true, "Impossible d'écrire le fichier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto content = folderContent();
        ExportOptions options;
        options.format = exportFormatForName(c.output).value_or(ExportFormat::Jpeg);
        options.overwrite = c.overwrite;
        try {
            exportPhoto(c.photo, c.output, table, taille, options, {});
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(folderContent(), content);
    }
    EXPECT_EQ(fileBytes(existing), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    // Asked to, the existing file is replaced.
    ExportOptions overwrite;
    overwrite.overwrite = true;
    exportPhoto(photo, existing, table, taille, overwrite, {});
    EXPECT_EQ(readJpeg(fileBytes(existing)).width, 64);
}

// A write that fails part way (the file-size limit here, a full disk in
// life) leaves neither the output nor a temporary, in every format.
TEST_F(PhotoExport, FailedWriteLeavesNoFile)
{
    const std::string photo = folder.write("photo.jpg", encodeJpeg({300, 200, JpegKind::Rgb444, false, 100}));
    const auto before = folderContent();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    for (const char* name : {"out.jpg", "out.png", "out.tif", "overlapped.jpg"}) {
        SCOPED_TRACE(name);
        ExportOptions options;
        options.overlap = name[0] == 'o' && name[1] == 'v';
        options.bandRows = 8;
        rlimit small = saved;
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string message;
        try {
            exportTo(photo, name, options);
        } catch (const Error& e) {
            message = e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_NE(message.find("Impossible d'écrire le fichier"), std::string::npos) << message;
        EXPECT_NE(message.find(name), std::string::npos) << message;
        EXPECT_EQ(folderContent(), before);
    }
    std::signal(SIGXFSZ, previous);
}

TEST(ExportNames, NameAndFormatComeFromThePhotoTheEffectAndTheExtension)
{
    EXPECT_EQ(exportName("/photos/IMG_1.JPG", "/effets/Chaud.cube", ExportFormat::Jpeg), "IMG_1-Chaud.jpg");
    EXPECT_EQ(exportName("vue.d/plage", "a.b.cube", ExportFormat::Png), "plage-a.b.png");
    EXPECT_EQ(exportName(".cache", "x.cube", ExportFormat::Tiff), ".cache-x.tif");
    EXPECT_EQ(exportFormatForName("a/B.TIFF"), ExportFormat::Tiff);
    EXPECT_EQ(exportFormatForName("b.jpeg"), ExportFormat::Jpeg);
    EXPECT_EQ(exportFormatForName("c.Png"), ExportFormat::Png);
    EXPECT_EQ(exportFormatForName("d.webp"), std::nullopt);
    EXPECT_EQ(exportFormatForName("png"), std::nullopt);
}

} // namespace
} // namespace teintelle
