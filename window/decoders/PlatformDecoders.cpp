#include "window/decoders/PlatformDecoders.h"

#include "common/Error.h"
#include "imaging/DecodedPicture.h"
#include "window/decoders/MetafileToSvg.h"
#include "imaging/PhotoFile.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace teintelle {

namespace {

std::vector<std::uint8_t> readPictureFile(const std::string& path)
{
    PhotoFileHandle file = openPhotoFile(path);
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file.get())) > 0;) {
        if (bytes.size() + got > kMaxPhotoFileBytes)
            throw Error(TBitmap32::kMemoryError);
        bytes.insert(bytes.end(), block, block + got);
    }
    if (std::ferror(file.get()))
        throw Error("Erreur de lecture du flux");
    return bytes;
}

QByteArray asByteArray(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

[[noreturn]] void throwUnreadable(const QImageReader& reader)
{
    throw Error("Impossible de décoder l'image (" + reader.errorString().toStdString() + ")");
}

// Checked before Qt allocates anything: the surface could not hold more.
void checkSize(const QImageReader& reader)
{
    const QSize size = reader.size();
    if (size.isValid() && std::int64_t(size.width()) * size.height() > TBitmap32::kMaxPixels)
        throw Error(TBitmap32::kMemoryError);
}

DecodedPicture fromImage(const QImage& image, PictureKind kind)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    DecodedPicture picture;
    picture.kind = kind;
    picture.width = argb.width();
    picture.height = argb.height();
    picture.pixels.resize(std::size_t(argb.width()) * std::size_t(argb.height()));
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(picture.pixels.data() + std::size_t(y) * argb.width(), argb.constScanLine(y),
                    std::size_t(argb.width()) * 4);
    return picture;
}

QImage readRaster(const QByteArray& data, const char* format, bool largestImage)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(false);
    // Qt never allocates more than a surface may hold.
    reader.setAllocationLimit(int(TBitmap32::kMaxPixels * 4 / (1024 * 1024)));
    if (largestImage) {
        // An icon file holds several sizes: the largest one is shown.
        int best = 0;
        std::int64_t bestArea = -1;
        for (int i = 0; i < reader.imageCount(); ++i) {
            if (!reader.jumpToImage(i))
                break;
            const QSize s = reader.size();
            if (std::int64_t(s.width()) * s.height() > bestArea) {
                bestArea = std::int64_t(s.width()) * s.height();
                best = i;
            }
        }
        reader.jumpToImage(best);
    }
    checkSize(reader);
    QImage image = reader.read();
    if (image.isNull())
        throwUnreadable(reader);
    return image;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16)
         | (std::uint32_t(b[at + 3]) << 24);
}

std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// What the BMP's own header states (the old OS/2 header is the short one).
struct BmpFacts {
    std::int64_t width = 0, height = 0;
    int bitCount = 0;
};

BmpFacts bmpFacts(const std::vector<std::uint8_t>& bytes)
{
    BmpFacts facts;
    if (bytes.size() < 30)
        return facts;
    if (le32(bytes, 14) == 12) {
        facts.width = le16(bytes, 18);
        facts.height = le16(bytes, 20);
        facts.bitCount = int(le16(bytes, 24));
    } else {
        facts.width = std::int32_t(le32(bytes, 18));
        facts.height = std::int32_t(le32(bytes, 22));
        facts.bitCount = int(le16(bytes, 28));
    }
    return facts;
}

DecodedPicture decodeBitmap(const std::string& path)
{
    const auto bytes = readPictureFile(path);
    const BmpFacts facts = bmpFacts(bytes);
    if (std::abs(facts.width) * std::abs(facts.height) > TBitmap32::kMaxPixels)
        throw Error(TBitmap32::kMemoryError);
    DecodedPicture picture = fromImage(readRaster(asByteArray(bytes), "bmp", false), PictureKind::Bitmap);
    picture.thirtyTwoBitsPerPixel = facts.bitCount == 32;
    return picture;
}

DecodedPicture decodeIcon(const std::string& path)
{
    const auto bytes = readPictureFile(path);
    return fromImage(readRaster(asByteArray(bytes), "ico", true), PictureKind::Icon);
}

DecodedPicture decodeTiff(const std::string& path)
{
    const auto bytes = readPictureFile(path);
    return fromImage(readRaster(asByteArray(bytes), "tiff", false), PictureKind::Tiff);
}

DecodedPicture fromSvg(const MetafileSvg& metafile)
{
    auto renderer = std::make_shared<QSvgRenderer>(QByteArray::fromStdString(metafile.svg));
    if (!renderer->isValid())
        throw Error("Métafichier non valide");
    DecodedPicture picture;
    picture.kind = PictureKind::Metafile;
    picture.width = metafile.width;
    picture.height = metafile.height;
    picture.render = [renderer](TBitmap32& canvas) {
        // The canvas is opaque, so its straight and premultiplied forms agree.
        QImage target(reinterpret_cast<uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
                      qsizetype(canvas.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::Antialiasing, false);
        renderer->render(&painter, QRectF(0, 0, canvas.Width(), canvas.Height()));
    };
    return picture;
}

DecodedPicture decodeWindowsMetafile(const std::string& path)
{
    return fromSvg(windowsMetafileToSvg(readPictureFile(path)));
}

DecodedPicture decodeEnhancedMetafile(const std::string& path)
{
    return fromSvg(enhancedMetafileToSvg(readPictureFile(path)));
}

DecodedPicture decodePng(const std::string& path)
{
    return fromImage(readRaster(asByteArray(readPictureFile(path)), "png", false), PictureKind::Tiff);
}

DecodedPicture decodeWebp(const std::string& path)
{
    return fromImage(readRaster(asByteArray(readPictureFile(path)), "webp", false), PictureKind::Tiff);
}

std::mutex& metafileLock()
{
    static std::mutex lock;
    return lock;
}

// A metafile's conversion and every drawing of it under the one lock.
PictureDecoder oneAtATime(DecodedPicture (*decode)(const std::string&))
{
    return [decode](const std::string& path) {
        std::unique_lock<std::mutex> hold(metafileLock());
        DecodedPicture picture = decode(path);
        hold.unlock();
        if (picture.render) {
            picture.render = [render = std::move(picture.render)](TBitmap32& canvas) {
                const std::lock_guard<std::mutex> drawing(metafileLock());
                render(canvas);
            };
        }
        return picture;
    };
}

} // namespace

PhotoReaders platformPhotoReaders()
{
    PhotoReaders readers;
    readers.bitmap = decodeBitmap;
    readers.icon = decodeIcon;
    readers.tiff = decodeTiff;
    readers.windowsMetafile = oneAtATime(decodeWindowsMetafile);
    readers.enhancedMetafile = oneAtATime(decodeEnhancedMetafile);
    // Photos with transparency are composited over white, as a TIFF is.
    readers.png = decodePng;
    readers.webp = decodeWebp;
    return readers;
}

void installPlatformDecoders()
{
    setPictureDecoder(PictureFormat::Bitmap, decodeBitmap);
    setPictureDecoder(PictureFormat::Icon, decodeIcon);
    setPictureDecoder(PictureFormat::Tiff, decodeTiff);
    setPictureDecoder(PictureFormat::WindowsMetafile, decodeWindowsMetafile);
    setPictureDecoder(PictureFormat::EnhancedMetafile, decodeEnhancedMetafile);
}

} // namespace teintelle
