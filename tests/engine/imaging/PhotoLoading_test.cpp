#include "imaging/PhotoLoading.h"

#include "common/Error.h"
#include "common/LeasedFile.h"
#include "imaging/DecodedPicture.h"
#include "imaging/PhotoFile.h"
#include "imaging/PhotoFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace teintelle;
using namespace teintelle::fixtures;

namespace {

std::string loadError(const std::string& path, TBitmap32& surface)
{
    try {
        LoadFromFile(path, surface, PhotoDecoders{});
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// A set of decoders whose one platform decoder is a stand-in that notes the
// path it was asked for.
class FakeDecoder {
public:
    FakeDecoder(PictureFormat format, PictureFormat pictureFormat)
    {
        *decoders.platformDecoder(format) = [this, pictureFormat](const std::string& path) {
            seen = path;
            DecodedPicture picture;
            picture.format = pictureFormat;
            picture.width = 2;
            picture.height = 1;
            picture.pixels = {0x10203040u, 0x80FF0000u};
            return picture;
        };
    }
    FakeDecoder(const FakeDecoder&) = delete;
    FakeDecoder& operator=(const FakeDecoder&) = delete;

    PhotoDecoders decoders;
    std::string seen;
};

} // namespace

TEST(LoadFromFile, ReadsA32BitBmpInBothRowOrdersWithItsAlpha)
{
    TempFolder folder;
    for (const bool bottomUp : {true, false}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        // Any extension: a BMP is recognised by its first bytes.
        const std::string path = folder.write("p.data", bmp32(5, 3, bottomUp));
        TBitmap32 surface;
        LoadFromFile(path, surface, PhotoDecoders{});
        ASSERT_EQ(surface.Width(), 5);
        ASSERT_EQ(surface.Height(), 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(surface.pixel(x, y), bmpPixel(x, y)) << x << "," << y;
    }
}

TEST(LoadFromFile, ZeroHeightIsTopDownAndThePixelOffsetIsIgnored)
{
    TempFolder folder;
    auto bytes = bmp32(4, 2, false);
    put32(bytes, 10, 1000); // a pixel-data offset that would lie past the end
    TBitmap32 surface;
    LoadFromFile(folder.write("p.bmp", bytes), surface, PhotoDecoders{});
    ASSERT_EQ(surface.Width(), 4);
    EXPECT_EQ(surface.pixel(3, 1), bmpPixel(3, 1));

    auto flat = bmpHeader(7, 0, 32);
    LoadFromFile(folder.write("flat.bmp", flat), surface, PhotoDecoders{});
    EXPECT_EQ(surface.Width(), 7);
    EXPECT_TRUE(surface.Empty());
}

TEST(LoadFromFile, ShortBmpDataKeepsTheNewSizeWithUnreadPixelsZero)
{
    TempFolder folder;
    struct Case {
        bool bottomUp;
        long bytes; // pixel bytes present
    } cases[] = {{true, 4 * 4 * 2 + 6}, {false, 4 * 4 * 2 + 6}, {false, 0}, {true, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + (c.bottomUp ? " bottom-up" : " top-down"));
        TBitmap32 surface;
        surface.SetSize(4, 4);
        std::fill(surface.Bits(), surface.Bits() + 16, 0xDEADBEEFu); // same size: kept by SetSize
        int notifications = 0;
        surface.setChangeHandler([&] { ++notifications; });
        EXPECT_EQ(loadError(folder.write("short.bmp", bmp32(4, 4, c.bottomUp, c.bytes)), surface),
                  "Erreur de lecture du flux");
        ASSERT_EQ(surface.Width(), 4);
        ASSERT_EQ(surface.Height(), 4);
        EXPECT_GE(notifications, 1);
        const long wholePixels = c.bytes / 4;
        for (int i = 0; i < 16; ++i) {
            const int y = c.bottomUp ? 3 - i / 4 : i / 4;
            const int x = i % 4;
            EXPECT_EQ(surface.pixel(x, y), i < wholePixels ? bmpPixel(x, y) : 0u) << x << "," << y;
        }
    }
}

TEST(LoadFromFile, HostileBmpSizes)
{
    TempFolder folder;
    struct Case {
        const char* name;
        std::int32_t width, height;
        const char* error;
        int w, h;
    } cases[] = {
        {"both sides at their maximum", 0x7FFFFFFF, 0x7FFFFFFF, "Can't allocate the DIB handle", 0, 0},
        {"most negative height", 1, INT32_MIN, "Can't allocate the DIB handle", 0, 0},
        {"product overflowing 32 bits", 65536, 65537, "Can't allocate the DIB handle", 0, 0},
        {"negative width", -5, 3, "", 0, 3},
        {"strip 1 x 100000 with no data", 1, 100000, "Erreur de lecture du flux", 1, 100000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 surface;
        EXPECT_EQ(loadError(folder.write("h.bmp", bmpHeader(c.width, c.height, 32)), surface), c.error);
        EXPECT_EQ(surface.Width(), c.w);
        EXPECT_EQ(surface.Height(), c.h);
    }
    TBitmap32 strip;
    LoadFromFile(folder.write("strip.bmp", bmp32(1, 100000, true)), strip, PhotoDecoders{});
    EXPECT_EQ(strip.pixel(0, 99999), bmpPixel(0, 99999));
}

TEST(LoadFromFile, FilesShorterThanTheHeaderAreAReadError)
{
    TempFolder folder;
    for (const std::size_t size : {0, 2, 53}) {
        auto bytes = bmp32(2, 2, true);
        bytes.resize(size);
        TBitmap32 surface;
        EXPECT_EQ(loadError(folder.write("s.bmp", bytes), surface), "Erreur de lecture du flux") << size;
    }
    TBitmap32 surface;
    EXPECT_EQ(loadError(folder.top(), surface), "Erreur de lecture du flux") << "a folder";
}

TEST(LoadFromFile, ExtensionsAreComparedWithoutCaseAndReportedInTheirOwn)
{
    TempFolder folder;
    const auto jpeg = encodeJpeg({20, 12});
    std::filesystem::create_directory(folder.path("with.dot"));
    struct Case {
        const char* name;
        const char* error; // empty: decoded
    } cases[] = {
        {"a.jpg", ""},
        {"b.JPG", ""},
        {"c.JpEg", ""},
        {"d.jpe", "Extension de fichier image inconnue (.jpe)"},
        {"e.JFIF", "Extension de fichier image inconnue (.JFIF)"},
        {"f.Png", "Extension de fichier image inconnue (.Png)"},
        {"noextension", "Extension de fichier image inconnue (.)"},
        {"with.dot/noextension", "Extension de fichier image inconnue (.)"},
        {"g.jpg.gif", "Extension de fichier image inconnue (.gif)"},
        {"h.", "Extension de fichier image inconnue (.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 surface;
        EXPECT_EQ(loadError(folder.write(c.name, jpeg), surface), c.error);
        if (*c.error == '\0')
            EXPECT_EQ(surface.Width(), 20);
        else
            EXPECT_TRUE(surface.Empty());
    }
}

TEST(LoadFromFile, NonJpegContentNamedJpgGivesTheDecoderError)
{
    TempFolder folder;
    std::vector<std::uint8_t> text(200, 'x');
    TBitmap32 surface;
    const std::string error = loadError(folder.write("fake.jpg", text), surface);
    EXPECT_EQ(error.rfind("Erreur JPEG #", 0), 0u) << error;
    EXPECT_TRUE(surface.Empty());
}

TEST(LoadFromFile, OtherFormatsGoToThePlatformDecoderOfTheSet)
{
    TempFolder folder;
    const std::vector<std::uint8_t> content(100, 'z');
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        PictureFormat format;
    } cases[] = {
        {"a.bmp", bmp24(3, 3), PictureFormat::Bitmap},
        {"bmp named .ico", bmp24(3, 3), PictureFormat::Bitmap}, // content decides
        {"b.BMP", content, PictureFormat::Bitmap},
        {"c.ico", content, PictureFormat::Icon},
        {"d.TIF", content, PictureFormat::Tiff},
        {"e.tiff", content, PictureFormat::Tiff},
        {"f.wmf", content, PictureFormat::WindowsMetafile},
        {"g.Emf", content, PictureFormat::EnhancedMetafile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write(std::string(c.name) == "bmp named .ico" ? "x.ico" : c.name, c.bytes);
        TBitmap32 surface;
        {
            FakeDecoder fake(c.format, PictureFormat::Bitmap);
            LoadFromFile(path, surface, fake.decoders);
            EXPECT_EQ(fake.seen, path);
        }
        ASSERT_EQ(surface.Width(), 2);
        EXPECT_EQ(surface.pixel(0, 0), 0xFF203040u) << "a platform bitmap is made opaque";
        // Without a decoder the format is known but cannot be read here.
        const std::string error = loadError(path, surface);
        EXPECT_EQ(error.rfind("Aucun décodeur d'image installé pour l'extension .", 0), 0u) << error;
    }
}

TEST(LoadFromFile, EachLoadReadsWithTheSetItIsGiven)
{
    // Two sets side by side: neither load sees the other set's decoder, and
    // a set made later changes nothing for a load with an earlier one.
    TempFolder folder;
    const std::string path = folder.write("p.tif", std::vector<std::uint8_t>(100, 'z'));
    FakeDecoder first(PictureFormat::Tiff, PictureFormat::Tiff);
    FakeDecoder second(PictureFormat::Tiff, PictureFormat::Bitmap);
    TBitmap32 surface;
    LoadFromFile(path, surface, first.decoders);
    EXPECT_EQ(first.seen, path);
    EXPECT_EQ(second.seen, "");
    EXPECT_EQ(surface.pixel(0, 0), 0xFFF1F2F3u) << "composited over white as a TIFF";
    LoadFromFile(path, surface, second.decoders);
    EXPECT_EQ(second.seen, path);
    EXPECT_EQ(surface.pixel(0, 0), 0xFF203040u) << "copied as a bitmap";
    const std::string error = loadError(path, surface);
    EXPECT_EQ(error, "Aucun décodeur d'image installé pour l'extension .tif");
}

TEST(LoadFromFile, TheExportsOwnFormatsStayUnknownWithTheirDecodersInTheSet)
{
    // The set carries the export's PNG and WebP decoders too; the full-size
    // path never asks them.
    TempFolder folder;
    PhotoDecoders decoders;
    int calls = 0;
    decoders.png = decoders.webp = [&calls](const std::string&) {
        ++calls;
        return DecodedPicture{};
    };
    for (const char* name : {"a.png", "b.WebP", "c.PNG"}) {
        SCOPED_TRACE(name);
        TBitmap32 surface;
        try {
            LoadFromFile(folder.write(name, encodeJpeg({8, 8})), surface, decoders);
            ADD_FAILURE() << "loaded";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Extension de fichier image inconnue (." + photoExtension(name) + ")");
        }
        EXPECT_TRUE(surface.Empty());
    }
    EXPECT_EQ(calls, 0);
}

TEST(LoadFromFile, AFileThatCannotBeOpenedNamesItselfAndTheReason)
{
    TempFolder folder;
    const std::string missing = folder.path("absent.jpg");
    TBitmap32 surface;
    EXPECT_EQ(loadError(missing, surface),
              "Impossible d'ouvrir le fichier \"" + missing + "\". No such file or directory");

    // A file its reader may not open: checked as an unprivileged user, since
    // root opens anything.
    const std::string locked = folder.write("locked.jpg", encodeJpeg({8, 8}));
    ::chmod(locked.c_str(), 0);
    ::chmod(folder.top().c_str(), 0755);
    const std::string expected = "Impossible d'ouvrir le fichier \"" + locked + "\". Permission denied";
    const std::string message = test::inChildWithin(10, [&] {
        if (!test::becomeUnprivileged())
            return std::string("could not become an unprivileged user");
        TBitmap32 s;
        return loadError(locked, s);
    });
    EXPECT_EQ(message, "returned " + expected);
}

// Nothing about a photo file may make the load wait: not the open (another
// program's lease on the file), not a read (a file that looks regular but
// gives its bytes only as they come, as /proc/kmsg does, which only root can
// read: the descriptor is checked to stay non-blocking instead).
TEST(LoadFromFile, NoPhotoFileMakesTheLoadWait)
{
    TempFolder folder;
    const std::string path = folder.write("leased.jpg", encodeJpeg({8, 8}));
    {
        const test::LeasedFile lease(path);
        ASSERT_TRUE(lease.held());
        EXPECT_EQ(test::inChildWithin(10, [&] {
                      TBitmap32 surface;
                      return loadError(path, surface);
                  }),
                  "returned Impossible d'ouvrir le fichier \"" + path + "\". Resource temporarily unavailable");
        EXPECT_EQ(test::inChildWithin(10, [&] {
                      TBitmap32 surface;
                      return std::to_string(ChargePhotoReduite(path, surface));
                  }),
                  "returned 1");
    }
    const PhotoFileHandle file = openPhotoFile(folder.write("plain.jpg", encodeJpeg({8, 8})));
    EXPECT_NE(::fcntl(::fileno(file.get()), F_GETFL) & O_NONBLOCK, 0);
}

TEST(photoExtension, IsTheTextAfterTheLastDotOfTheName)
{
    EXPECT_EQ(photoExtension("/a/b.c/photo.JPG"), "JPG");
    EXPECT_EQ(photoExtension("/a/b.c/photo"), "");
    EXPECT_EQ(photoExtension("photo.tar.gz"), "gz");
    EXPECT_EQ(photoExtension(".hidden"), "hidden");
    EXPECT_EQ(photoExtension("/a/trailing."), "");
}
