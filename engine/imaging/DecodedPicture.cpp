#include "imaging/DecodedPicture.h"

#include <algorithm>

namespace teintelle {

namespace {

constexpr TColor32 kWhite = 0xFFFFFFFFu;
constexpr TColor32 kOpaqueRed = 0xFFFF0000u;
constexpr TColor32 kAlphaMask = 0xFF000000u;

std::uint8_t channel(TColor32 c, int shift) { return std::uint8_t(c >> shift); }

// Source-over of one straight-alpha pixel on an opaque background.
TColor32 over(TColor32 source, TColor32 background)
{
    const unsigned a = channel(source, 24);
    if (a == 255)
        return source;
    auto mix = [&](int shift) {
        return std::uint8_t((channel(source, shift) * a + channel(background, shift) * (255 - a) + 127) / 255);
    };
    return couleur32(255, mix(16), mix(8), mix(0));
}

void fill(TBitmap32& surface, TColor32 value)
{
    std::fill(surface.Bits(), surface.Bits() + std::size_t(surface.Width()) * surface.Height(), value);
}

std::size_t pixelCount(const TBitmap32& surface)
{
    return std::size_t(surface.Width()) * std::size_t(surface.Height());
}

// Draws the picture's rows from `top` on over the canvas.
void drawOver(TBitmap32& canvas, const DecodedPicture& picture, std::int32_t top = 0)
{
    if (picture.render) {
        picture.render(canvas, top);
        return;
    }
    const std::size_t first = std::size_t(top) * std::size_t(canvas.Width());
    const std::size_t n =
        picture.pixels.size() > first ? std::min(pixelCount(canvas), picture.pixels.size() - first) : 0;
    for (std::size_t i = 0; i < n; ++i)
        canvas.Bits()[i] = over(picture.pixels[first + i], canvas.Bits()[i]);
}

// The picture's pixels as they are, over the fill value; a decode that fails
// leaves the fill value everywhere.
void copyPixels(TBitmap32& canvas, const DecodedPicture& picture, TColor32 fillValue)
{
    if (picture.decodeInto) {
        try {
            picture.decodeInto(canvas);
        } catch (...) {
            fill(canvas, fillValue);
            throw;
        }
        return;
    }
    const std::size_t n = std::min(pixelCount(canvas), picture.pixels.size());
    std::copy_n(picture.pixels.begin(), n, canvas.Bits());
}

// The picture over the background the canvas is filled with; one decoded
// into the canvas is composited there, pixel by pixel.
void compositeOver(TBitmap32& canvas, const DecodedPicture& picture, TColor32 background)
{
    if (!picture.decodeInto) {
        drawOver(canvas, picture);
        return;
    }
    copyPixels(canvas, picture, background);
    TColor32* p = canvas.Bits();
    for (std::size_t i = 0, n = pixelCount(canvas); i < n; ++i)
        p[i] = over(p[i], background);
}

void setOpaque(TBitmap32& surface)
{
    TColor32* p = surface.Bits();
    for (std::size_t i = 0, n = pixelCount(surface); i < n; ++i)
        p[i] |= kAlphaMask;
}

// The drawing on red is made a band of rows at a time, so that a picture as
// large as a surface never needs a second one.
constexpr std::int64_t kBandPixels = std::int64_t(1) << 22;

// Drawn on white and on red: what shows the background is transparent.
void assignAsMetafile(TBitmap32& surface, const DecodedPicture& picture)
{
    fill(surface, kWhite);
    drawOver(surface, picture);
    const std::int32_t width = surface.Width();
    const std::int32_t bandRows = std::int32_t(std::max<std::int64_t>(1, kBandPixels / width));
    TBitmap32 onRed;
    for (std::int32_t top = 0; top < surface.Height(); top += bandRows) {
        onRed.SetSize(width, std::min(bandRows, surface.Height() - top));
        fill(onRed, kOpaqueRed);
        drawOver(onRed, picture, top);
        TColor32* p = surface.Bits() + std::size_t(top) * std::size_t(width);
        const TColor32* q = onRed.Bits();
        for (std::size_t i = 0, n = pixelCount(onRed); i < n; ++i) {
            const bool same = ((p[i] ^ q[i]) & 0x00FFFFFFu) == 0;
            p[i] = (p[i] & 0x00FFFFFFu) | (same ? kAlphaMask : 0u);
        }
    }
}

bool everyAlphaZero(const TBitmap32& surface)
{
    const TColor32* p = surface.Bits();
    return std::all_of(p, p + pixelCount(surface), [](TColor32 c) { return (c & kAlphaMask) == 0; });
}

} // namespace

void Assign(TBitmap32& surface, const DecodedPicture& picture)
{
    const NotifyOnExit notify(surface);

    surface.SetSize(picture.width, picture.height);
    if (surface.Empty())
        return;
    switch (picture.format) {
    case PictureFormat::Jpeg:
    case PictureFormat::Tiff:
        fill(surface, kWhite);
        compositeOver(surface, picture, kWhite);
        setOpaque(surface);
        break;
    case PictureFormat::Bitmap:
        fill(surface, 0);
        copyPixels(surface, picture, 0);
        if (!picture.thirtyTwoBitsPerPixel)
            setOpaque(surface);
        break;
    case PictureFormat::Icon:
        fill(surface, 0);
        copyPixels(surface, picture, 0);
        if (!everyAlphaZero(surface))
            break;
        if (picture.decodeInto && !picture.render)
            fill(surface, kWhite & 0x00FFFFFFu); // every pixel lets both backgrounds through
        else
            assignAsMetafile(surface, picture);
        break;
    case PictureFormat::WindowsMetafile:
    case PictureFormat::EnhancedMetafile:
        assignAsMetafile(surface, picture);
        break;
    }
}

const PictureDecoder* PhotoDecoders::platformDecoder(PictureFormat format) const
{
    switch (format) {
    case PictureFormat::Bitmap:
        return &bitmap;
    case PictureFormat::Icon:
        return &icon;
    case PictureFormat::Tiff:
        return &tiff;
    case PictureFormat::WindowsMetafile:
        return &windowsMetafile;
    case PictureFormat::EnhancedMetafile:
        return &enhancedMetafile;
    case PictureFormat::Jpeg:
        break;
    }
    return nullptr;
}

} // namespace teintelle
