#include "imaging/DecodedPicture.h"

#include <algorithm>

#include <gtest/gtest.h>

using namespace teintelle;

namespace {

DecodedPicture raster(PictureFormat format, std::vector<TColor32> pixels, bool thirtyTwo = false)
{
    DecodedPicture p;
    p.format = format;
    p.width = std::int32_t(pixels.size());
    p.height = 1;
    p.thirtyTwoBitsPerPixel = thirtyTwo;
    p.pixels = std::move(pixels);
    return p;
}

std::vector<TColor32> pixelsOf(const TBitmap32& s)
{
    return std::vector<TColor32>(s.Bits(), s.Bits() + std::size_t(s.Width()) * s.Height());
}

} // namespace

TEST(AssignDecodedPicture, FillAndFinishFollowThePictureFormat)
{
    const TColor32 half = 0x80FF0000u;        // red at half alpha
    const TColor32 clear = 0x00123456u;       // transparent with a colour
    const TColor32 solid = 0xFF0000FFu;       // opaque blue
    struct Case {
        const char* name;
        DecodedPicture picture;
        std::vector<TColor32> expected;
    } cases[] = {
        // JPEG and TIFF: over white, then opaque.
        {"tiff", raster(PictureFormat::Tiff, {half, clear, solid}), {0xFFFF7F7Fu, 0xFFFFFFFFu, solid}},
        // A platform bitmap: copied; opaque unless 32 bits per pixel.
        {"bitmap 24", raster(PictureFormat::Bitmap, {half, clear, solid}), {0xFFFF0000u, 0xFF123456u, solid}},
        {"bitmap 32", raster(PictureFormat::Bitmap, {half, clear, solid}, true), {half, clear, solid}},
        // An icon keeps its alpha...
        {"icon", raster(PictureFormat::Icon, {half, clear, solid}), {half, clear, solid}},
        // ... unless every alpha is 0: redone on white and red, all transparent.
        {"icon without alpha", raster(PictureFormat::Icon, {clear, 0x00FFFFFFu}), {0x00FFFFFFu, 0x00FFFFFFu}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 surface;
        int notifications = 0;
        surface.setChangeHandler([&] { ++notifications; });
        Assign(surface, c.picture);
        EXPECT_EQ(pixelsOf(surface), c.expected);
        EXPECT_GE(notifications, 1);
    }
}

TEST(AssignDecodedPicture, MetafileAlphaComesFromTheTwoBackgrounds)
{
    // Pixel 0 left as background, 1 opaque green, 2 opaque red (the same in
    // both drawings although the second background is red too), 3 a
    // half-transparent black that lets each background through.
    for (const PictureFormat format : {PictureFormat::WindowsMetafile, PictureFormat::EnhancedMetafile}) {
        SCOPED_TRACE(int(format));
        DecodedPicture picture;
        picture.format = format;
        picture.width = 4;
        picture.height = 1;
        picture.render = [](TBitmap32& canvas, std::int32_t) {
            canvas.pixel(1, 0) = 0xFF00FF00u;
            canvas.pixel(2, 0) = 0xFFFF0000u;
            const TColor32 under = canvas.pixel(3, 0);
            canvas.pixel(3, 0) = 0xFF000000u | ((under & 0x00FEFEFEu) >> 1);
        };
        TBitmap32 surface;
        Assign(surface, picture);
        EXPECT_EQ(pixelsOf(surface), (std::vector<TColor32>{0x00FFFFFFu, 0xFF00FF00u, 0xFFFF0000u, 0x007F7F7Fu}));
    }
}

TEST(AssignDecodedPicture, AMetafileOfManyBandsIsDrawnOnRedBandByBand)
{
    // Opaque green from row 1500 down, nothing above: the drawing on red is
    // made in bands of rows, each drawn from its own first row.
    DecodedPicture picture;
    picture.format = PictureFormat::EnhancedMetafile;
    picture.width = 4096;
    picture.height = 2048;
    picture.render = [](TBitmap32& canvas, std::int32_t top) {
        for (std::int32_t y = std::max(0, 1500 - top); y < canvas.Height(); ++y)
            for (std::int32_t x = 0; x < canvas.Width(); ++x)
                canvas.pixel(x, y) = 0xFF00FF00u;
    };
    TBitmap32 surface;
    Assign(surface, picture);
    int wrong = 0;
    for (std::int32_t y = 0; y < surface.Height(); ++y)
        for (std::int32_t x = 0; x < surface.Width(); x += 97)
            wrong += surface.pixel(x, y) != (y >= 1500 ? 0xFF00FF00u : 0x00FFFFFFu);
    EXPECT_EQ(wrong, 0);
}

TEST(AssignDecodedPicture, AnEmptyPictureEmptiesTheSurface)
{
    TBitmap32 surface;
    surface.SetSize(2, 2);
    DecodedPicture picture;
    picture.format = PictureFormat::Tiff;
    Assign(surface, picture);
    EXPECT_TRUE(surface.Empty());
}
