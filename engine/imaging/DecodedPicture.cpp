#include "imaging/DecodedPicture.h"

#include <algorithm>
#include <array>

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

void drawOver(TBitmap32& canvas, const DecodedPicture& picture)
{
    if (picture.render) {
        picture.render(canvas);
        return;
    }
    const std::size_t n = std::min(pixelCount(canvas), picture.pixels.size());
    for (std::size_t i = 0; i < n; ++i)
        canvas.Bits()[i] = over(picture.pixels[i], canvas.Bits()[i]);
}

void copyPixels(TBitmap32& canvas, const DecodedPicture& picture)
{
    const std::size_t n = std::min(pixelCount(canvas), picture.pixels.size());
    std::copy_n(picture.pixels.begin(), n, canvas.Bits());
}

void setOpaque(TBitmap32& surface)
{
    TColor32* p = surface.Bits();
    for (std::size_t i = 0, n = pixelCount(surface); i < n; ++i)
        p[i] |= kAlphaMask;
}

// Drawn on white and on red: what shows the background is transparent.
void assignAsMetafile(TBitmap32& surface, const DecodedPicture& picture)
{
    fill(surface, kWhite);
    drawOver(surface, picture);
    TBitmap32 onRed;
    onRed.SetSize(surface.Width(), surface.Height());
    fill(onRed, kOpaqueRed);
    drawOver(onRed, picture);
    TColor32* p = surface.Bits();
    const TColor32* q = onRed.Bits();
    for (std::size_t i = 0, n = pixelCount(surface); i < n; ++i) {
        const bool same = ((p[i] ^ q[i]) & 0x00FFFFFFu) == 0;
        p[i] = (p[i] & 0x00FFFFFFu) | (same ? kAlphaMask : 0u);
    }
}

bool everyAlphaZero(const TBitmap32& surface)
{
    const TColor32* p = surface.Bits();
    return std::all_of(p, p + pixelCount(surface), [](TColor32 c) { return (c & kAlphaMask) == 0; });
}

std::array<PictureDecoder, 5>& decoders()
{
    static std::array<PictureDecoder, 5> all;
    return all;
}

} // namespace

void Assign(TBitmap32& surface, const DecodedPicture& picture)
{
    struct NotifyOnExit {
        const TBitmap32& surface;
        ~NotifyOnExit() { surface.notifyChange(); }
    } notify{surface};

    surface.SetSize(picture.width, picture.height);
    if (surface.Empty())
        return;
    switch (picture.kind) {
    case PictureKind::Jpeg:
    case PictureKind::Tiff:
        fill(surface, kWhite);
        drawOver(surface, picture);
        setOpaque(surface);
        break;
    case PictureKind::Bitmap:
        fill(surface, 0);
        copyPixels(surface, picture);
        if (!picture.thirtyTwoBitsPerPixel)
            setOpaque(surface);
        break;
    case PictureKind::Icon:
        fill(surface, 0);
        copyPixels(surface, picture);
        if (everyAlphaZero(surface))
            assignAsMetafile(surface, picture);
        break;
    case PictureKind::Metafile:
        assignAsMetafile(surface, picture);
        break;
    }
}

void setPictureDecoder(PictureFormat format, PictureDecoder decoder)
{
    decoders()[std::size_t(format)] = std::move(decoder);
}

const PictureDecoder& pictureDecoder(PictureFormat format) { return decoders()[std::size_t(format)]; }

} // namespace teintelle
