#include "window/decoders/PlatformDecoders.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "imaging/DecodedPicture.h"
#include "window/decoders/MetafileToSvg.h"
#include "imaging/PhotoFile.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
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
        throw Error(kReadError);
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

// A raster file held in memory, read again when the surface is ready for it.
struct RasterFile {
    std::vector<std::uint8_t> bytes;
    const char* format = nullptr;
    int imageNumber = 0; // of a file that holds several (icons)
};

// The reader as each read of the file sets it up.
void prepare(QImageReader& reader, const RasterFile& file)
{
    reader.setAutoTransform(false);
    // The named format's reader only: a PNG named .bmp is not a bitmap.
    reader.setAutoDetectImageFormat(false);
    // Qt never allocates more than a surface may hold.
    reader.setAllocationLimit(int(TBitmap32::kMaxPixels * 4 / (std::int64_t(1024) * 1024)));
    if (file.imageNumber != 0)
        reader.jumpToImage(file.imageNumber);
}

// The rows of a picture widened to straight 32-bit pixels a band at a time,
// so that no second picture of the whole size is made. Bands this small
// also keep Qt's conversion on this thread (it shares larger ones out to its
// thread pool).
constexpr int kBandPixels = 1 << 16;

void widenInto(const QImage& image, std::uint8_t* block)
{
    const int width = image.width();
    const std::size_t rowBytes = std::size_t(width) * 4;
    const int bandRows = std::max(1, kBandPixels / std::max(width, 1));
    for (int top = 0; top < image.height(); top += bandRows) {
        const int rows = std::min(bandRows, image.height() - top);
        QImage band(image.constScanLine(top), width, rows, image.bytesPerLine(), image.format());
        band.setColorTable(image.colorTable());
        // The same memory again when the rows were ARGB32 in the block already.
        const QImage argb = band.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < rows; ++y)
            std::memmove(block + std::size_t(top + y) * rowBytes, argb.constScanLine(y), rowBytes);
    }
}

// Decodes the file into the canvas's own pixel block. A reader that delivers
// 32 bits per pixel writes into the block itself; a narrower one (8-bit
// indexed, 1-bit) into its end, from where each band of rows is widened
// into the front: row y ends at 4w(y + 1), before the narrower row y + 1
// starts, so nothing is overwritten before it is read. A reader that makes
// a picture of its own is widened from there.
void decodeRasterInto(TBitmap32& canvas, const RasterFile& file)
{
    QBuffer buffer;
    buffer.setData(asByteArray(file.bytes));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, file.format);
    prepare(reader, file);
    const QImage::Format native = reader.imageFormat();
    const int width = canvas.Width(), height = canvas.Height();
    auto* block = reinterpret_cast<std::uint8_t*>(canvas.Bits());
    QImage image;
    const int depth = native == QImage::Format_Invalid ? 0 : QImage::toPixelFormat(native).bitsPerPixel();
    if (depth > 0 && depth <= 32) {
        const qsizetype rowBytes = (qsizetype(width) * depth + 31) / 32 * 4;
        const qsizetype blockBytes = qsizetype(width) * height * 4;
        image = QImage(block + (blockBytes - rowBytes * height), width, height, rowBytes, native);
    }
    if (!reader.read(&image))
        throwUnreadable(reader);
    if (image.width() != width || image.height() != height)
        throw Error("Impossible de décoder l'image (taille inattendue)");
    widenInto(image, block);
}

// Reads the file's size; the pixels are decoded only once the surface is
// there to take them (decodeInto).
DecodedPicture rasterPicture(std::vector<std::uint8_t> bytes, const char* format, PictureFormat pictureFormat,
                             bool largestImage)
{
    auto file = std::make_shared<RasterFile>();
    file->bytes = std::move(bytes);
    file->format = format;
    QBuffer buffer;
    buffer.setData(asByteArray(file->bytes));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    prepare(reader, *file);
    if (largestImage) {
        // An icon file holds several sizes: the largest one is shown.
        std::int64_t bestArea = -1;
        for (int i = 0; i < reader.imageCount(); ++i) {
            if (!reader.jumpToImage(i))
                break;
            const QSize s = reader.size();
            if (std::int64_t(s.width()) * s.height() > bestArea) {
                bestArea = std::int64_t(s.width()) * s.height();
                file->imageNumber = i;
            }
        }
        reader.jumpToImage(file->imageNumber);
    }
    checkSize(reader);
    DecodedPicture picture;
    picture.format = pictureFormat;
    const QSize size = reader.size();
    if (size.isValid()) {
        picture.width = size.width();
        picture.height = size.height();
        picture.decodeInto = [file](TBitmap32& canvas) { decodeRasterInto(canvas, *file); };
        return picture;
    }
    // A reader that cannot tell the size before decoding (a BMP with a
    // version 5 header) decodes now, within Qt's allocation limit.
    auto image = std::make_shared<QImage>(reader.read());
    if (image->isNull())
        throwUnreadable(reader);
    picture.width = image->width();
    picture.height = image->height();
    picture.decodeInto = [image](TBitmap32& canvas) {
        widenInto(*image, reinterpret_cast<std::uint8_t*>(canvas.Bits()));
    };
    return picture;
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

// Only a file that starts as a BMP has these fields; any other file named
// .bmp is left for the reader to reject.
BmpFacts bmpFacts(const std::vector<std::uint8_t>& bytes)
{
    BmpFacts facts;
    if (bytes.size() < 30 || bytes[0] != 'B' || bytes[1] != 'M')
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
    auto bytes = readPictureFile(path);
    const BmpFacts facts = bmpFacts(bytes);
    if (std::abs(facts.width) * std::abs(facts.height) > TBitmap32::kMaxPixels)
        throw Error(TBitmap32::kMemoryError);
    DecodedPicture picture = rasterPicture(std::move(bytes), "bmp", PictureFormat::Bitmap, false);
    picture.thirtyTwoBitsPerPixel = facts.bitCount == 32;
    return picture;
}

DecodedPicture decodeIcon(const std::string& path)
{
    return rasterPicture(readPictureFile(path), "ico", PictureFormat::Icon, true);
}

DecodedPicture decodeTiff(const std::string& path)
{
    return rasterPicture(readPictureFile(path), "tiff", PictureFormat::Tiff, false);
}

DecodedPicture fromSvg(const MetafileSvg& metafile, PictureFormat format)
{
    auto renderer = std::make_shared<QSvgRenderer>(QByteArray::fromStdString(metafile.svg));
    if (!renderer->isValid())
        throw Error("Métafichier non valide");
    DecodedPicture picture;
    picture.format = format;
    picture.width = metafile.width;
    picture.height = metafile.height;
    const QRectF bounds(0, 0, metafile.width, metafile.height);
    picture.render = [renderer, bounds](TBitmap32& canvas, std::int32_t top) {
        // The canvas is opaque, so its straight and premultiplied forms agree.
        QImage target(reinterpret_cast<uchar*>(canvas.Bits()), canvas.Width(), canvas.Height(),
                      qsizetype(canvas.Width()) * 4, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(0, -top);
        renderer->render(&painter, bounds);
    };
    return picture;
}

DecodedPicture decodeWindowsMetafile(const std::string& path)
{
    return fromSvg(windowsMetafileToSvg(readPictureFile(path)), PictureFormat::WindowsMetafile);
}

DecodedPicture decodeEnhancedMetafile(const std::string& path)
{
    return fromSvg(enhancedMetafileToSvg(readPictureFile(path)), PictureFormat::EnhancedMetafile);
}

DecodedPicture decodePng(const std::string& path)
{
    return rasterPicture(readPictureFile(path), "png", PictureFormat::Tiff, false);
}

DecodedPicture decodeWebp(const std::string& path)
{
    return rasterPicture(readPictureFile(path), "webp", PictureFormat::Tiff, false);
}

std::mutex& metafileLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

// A metafile's conversion and every drawing of it under the one lock.
PictureDecoder oneAtATime(PictureDecoder decode)
{
    return [decode = std::move(decode)](const std::string& path) {
        std::unique_lock<std::mutex> hold(metafileLock());
        DecodedPicture picture = decode(path);
        hold.unlock();
        if (picture.render) {
            picture.render = [render = std::move(picture.render)](TBitmap32& canvas, std::int32_t top) {
                const std::lock_guard<std::mutex> drawing(metafileLock());
                render(canvas, top);
            };
        }
        return picture;
    };
}

PhotoDecoders platformPhotoDecoders()
{
    PhotoDecoders decoders;
    decoders.bitmap = decodeBitmap;
    decoders.icon = decodeIcon;
    decoders.tiff = decodeTiff;
    decoders.windowsMetafile = oneAtATime(decodeWindowsMetafile);
    decoders.enhancedMetafile = oneAtATime(decodeEnhancedMetafile);
    // Photos with transparency are composited over white, as a TIFF is.
    decoders.png = decodePng;
    decoders.webp = decodeWebp;
    return decoders;
}

} // namespace teintelle
