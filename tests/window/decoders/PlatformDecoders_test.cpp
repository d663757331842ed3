// The platform's decoders of the full-size path (Qt image readers, metafiles
// through SVG), reached through LoadFromFile as the window reaches them.
#include "window/decoders/PlatformDecoders.h"

#include "common/Error.h"
#include "common/LeasedFile.h"
#include "imaging/PhotoLoading.h"
#include "window/decoders/MetafileFixtures.h"
#include "imaging/PhotoFixtures.h"
#include "window/WindowFixture.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace teintelle;
using namespace teintelle::fixtures;
using teintelle::testing::asByteArray;
using teintelle::testing::asBytes;

namespace {

std::vector<std::uint8_t> encoded(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        qFatal("cannot write %s: %s", format, qPrintable(writer.errorString()));
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

QImage pattern(int width, int height, bool withAlpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            QRgb p = bmpPixel(x, y);
            if (!withAlpha)
                p |= 0xFF000000u;
            image.setPixel(x, y, p);
        }
    return image;
}

// A 32-bit BMP with a version 5 header and an alpha mask: not one the
// engine reads directly (compression 3), so the platform decodes it.
std::vector<std::uint8_t> bmp32WithAlphaMask(int width, int height)
{
    std::vector<std::uint8_t> b(14 + 124, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 14 + 124);
    put32(b, 14, 124);
    put32(b, 18, std::uint32_t(width));
    put32(b, 22, std::uint32_t(-height)); // top row first
    put16(b, 26, 1);
    put16(b, 28, 32);
    put32(b, 30, 3);
    put32(b, 54, 0x00FF0000u);
    put32(b, 58, 0x0000FF00u);
    put32(b, 62, 0x000000FFu);
    put32(b, 66, 0xFF000000u);
    put32(b, 70, 0x73524742u); // 'sRGB'
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 4; ++k)
                b.push_back(std::uint8_t(bmpPixel(x, y) >> (8 * k)));
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// An uncompressed BMP of 8 or 1 bits per pixel, stored top row first: the
// reader's picture is narrower than the surface. Each pixel's palette index
// and that entry's colour are the two functions below.
int paletteIndex(int x, int y, int bitCount) { return bitCount == 1 ? (x ^ y) & 1 : (x * 7 + y * 13) % 251; }

TColor32 paletteColour(int i)
{
    return 0xFF000000u | (std::uint32_t(i) << 16) | (std::uint32_t(255 - i) << 8) | std::uint32_t(i / 2);
}

std::vector<std::uint8_t> paletteBmp(int width, int height, int bitCount)
{
    const int colours = 1 << bitCount;
    auto b = bmpHeader(width, -height, bitCount);
    put32(b, 10, std::uint32_t(54 + 4 * colours));
    put32(b, 46, std::uint32_t(colours));
    for (int i = 0; i < colours; ++i)
        for (int k = 0; k < 4; ++k)
            b.push_back(k == 3 ? 0 : std::uint8_t(paletteColour(i) >> (8 * k)));
    const int rowBytes = (width * bitCount + 31) / 32 * 4;
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> row(std::size_t(rowBytes), 0);
        for (int x = 0; x < width; ++x) {
            if (bitCount == 8)
                row[std::size_t(x)] = std::uint8_t(paletteIndex(x, y, 8));
            else
                row[std::size_t(x / 8)] |= std::uint8_t(paletteIndex(x, y, 1) << (7 - x % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// An 8-bit run-length BMP of side x side pixels whose data ends at once:
// about a kilobyte for a picture as large as a surface.
std::vector<std::uint8_t> emptyRle8Bmp(std::int32_t side)
{
    auto b = bmpHeader(side, side, 8, 1);
    put32(b, 10, 54 + 1024);
    put32(b, 46, 256); // colours used
    for (int i = 0; i < 256; ++i)
        for (int k = 0; k < 4; ++k)
            b.push_back(std::uint8_t(k == 3 ? 0 : i));
    b.push_back(0); // end of bitmap
    b.push_back(1);
    put32(b, 34, 2);
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// A black RGB TIFF of side x side pixels in deflate strips of 64 rows.
std::vector<std::uint8_t> blackDeflateTiff(std::uint32_t side)
{
    constexpr std::uint32_t kRows = 64;
    const std::uint32_t strips = (side + kRows - 1) / kRows;
    auto deflated = [&](std::uint32_t rows) {
        // qCompress gives a zlib stream after a 4-byte length.
        const QByteArray z = qCompress(QByteArray(qsizetype(side) * 3 * rows, '\0'), 9);
        return std::vector<std::uint8_t>(z.begin() + 4, z.end());
    };
    const auto full = deflated(kRows);
    const auto last = deflated(side - (strips - 1) * kRows);
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    const std::uint32_t entries = 11;
    const std::uint32_t bitsAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t offsetsAt = bitsAt + 6, countsAt = offsetsAt + 4 * strips, dataAt = countsAt + 4 * strips;
    const Entry ifd[entries] = {{256, 4, 1, side},     {257, 4, 1, side},  {258, 3, 3, bitsAt},
                                {259, 3, 1, 8},        {262, 3, 1, 2},     {273, 4, strips, offsetsAt},
                                {277, 3, 1, 3},        {278, 4, 1, kRows}, {279, 4, strips, countsAt},
                                {284, 3, 1, 1},        {339, 3, 1, 1}};
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto add16 = [&](std::uint32_t v) { b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8)); };
    auto add32 = [&](std::uint32_t v) { add16(v & 0xFFFF), add16(v >> 16); };
    add16(entries);
    for (const Entry& e : ifd) {
        add16(e.tag), add16(e.type), add32(e.count);
        add32(e.type == 3 && e.count == 1 ? e.value & 0xFFFF : e.value);
    }
    add32(0);
    add16(8), add16(8), add16(8);
    for (std::uint32_t i = 0, at = dataAt; i < strips; at += std::uint32_t(full.size()), ++i)
        add32(at);
    for (std::uint32_t i = 0; i < strips; ++i)
        add32(std::uint32_t(i + 1 < strips ? full.size() : last.size()));
    for (std::uint32_t i = 0; i < strips; ++i) {
        const auto& strip = i + 1 < strips ? full : last;
        b.insert(b.end(), strip.begin(), strip.end());
    }
    return b;
}

// The set under test, as the window holds it.
const PhotoDecoders& platform()
{
    static const PhotoDecoders decoders = platformPhotoDecoders();
    return decoders;
}

#if !defined(__SANITIZE_ADDRESS__)
// LoadFromFile in a child process held to `limit` bytes of address space:
// the error it ended with, "" for none, or what else became of it.
QString loadUnderAddressLimit(const std::string& path, rlim_t limit, QSize& size)
{
    const std::string outcome = test::inChildWithin(120, [&] { // a child stuck for want of memory ends too
        const rlimit cap{limit, limit};
        ::setrlimit(RLIMIT_AS, &cap);
        TBitmap32 surface;
        try {
            LoadFromFile(path, surface, platform());
            return std::to_string(surface.Width()) + " " + std::to_string(surface.Height());
        } catch (const Error& e) {
            return std::string("error ") + e.what();
        }
    });
    const std::string returned = "returned ";
    if (outcome.rfind(returned, 0) != 0)
        return QString::fromStdString(outcome);
    const QByteArray text = QByteArray::fromStdString(outcome.substr(returned.size()));
    if (text.startsWith("error "))
        return QString::fromUtf8(text.mid(6));
    const auto sides = text.split(' ');
    if (sides.size() != 2)
        return "no outcome";
    size = QSize(sides[0].toInt(), sides[1].toInt());
    return {};
}
#endif

QString loadError(const std::string& path, TBitmap32& surface)
{
    try {
        LoadFromFile(path, surface, platform());
    } catch (const Error& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class PlatformDecodersTest : public QObject {
    Q_OBJECT

private slots:
    void rasterFormats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("keepsAlpha");
        QTest::addColumn<bool>("overWhite");
        QTest::addColumn<bool>("translucent");
        auto row = [](const char* tag, const char* name, const std::vector<std::uint8_t>& b, bool keeps, bool white,
                      bool translucent = false) {
            QTest::newRow(tag) << QString(name) << asByteArray(b) << keeps << white << translucent;
        };
        // BMP: opaque unless 32 bits per pixel; found by content whatever the name.
        row("bmp 24-bit", "p.bmp", bmp24(7, 5), false, false);
        row("bmp 24-bit named .jpg", "p.jpg", bmp24(7, 5), false, false);
        row("bmp 32-bit with alpha mask", "p.bmp", bmp32WithAlphaMask(7, 5), true, false, true);
        // Icons keep their alpha.
        row("ico", "p.ico", encoded(pattern(16, 16, true), "ico"), true, false, true);
        // TIFF: composited over white, then opaque.
        row("tiff", "p.tif", encoded(pattern(7, 5, false), "tiff"), false, true);
        row("tiff with alpha", "p.TIFF", encoded(pattern(7, 5, true), "tiff"), false, true, true);
    }

    void rasterFormats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, keepsAlpha);
        QFETCH(bool, overWhite);
        QFETCH(bool, translucent);
        TempFolder folder;
        const std::string path = folder.write(name.toStdString(), asBytes(bytes));
        TBitmap32 surface;
        QCOMPARE(loadError(path, surface), QString());
        QVERIFY(surface.Width() > 0);
        for (int y = 0; y < surface.Height(); ++y)
            for (int x = 0; x < surface.Width(); ++x) {
                const unsigned a = translucent ? bmpPixel(x, y) >> 24 : 255;
                const TColor32 stored = (bmpPixel(x, y) & 0x00FFFFFFu) | (a << 24);
                TColor32 expected;
                if (keepsAlpha) {
                    expected = stored;
                } else if (overWhite) {
                    auto mix = [&](int shift) {
                        return ((((stored >> shift) & 255) * a + 255 * (255 - a) + 127) / 255) << shift;
                    };
                    expected = 0xFF000000u | mix(16) | mix(8) | mix(0);
                } else {
                    expected = stored | 0xFF000000u;
                }
                const TColor32 got = surface.pixel(x, y);
                if (keepsAlpha && a < 255) {
                    // Translucent colours pass through premultiplied forms
                    // on their way: exact alpha, colours within the loss.
                    QCOMPARE(got >> 24, a);
                    const int tolerance = a == 0 ? 255 : 255 / int(a) + 1;
                    for (int shift : {0, 8, 16})
                        QVERIFY(std::abs(int((got >> shift) & 255) - int((expected >> shift) & 255)) <= tolerance);
                } else {
                    QCOMPARE(got, expected);
                }
            }
    }

    void narrowBitmapsBecomeTheirColours_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bitCount");
        // Rows padded to whole words, in one band or in several.
        QTest::newRow("8-bit small") << 7 << 5 << 8;
        QTest::newRow("8-bit, several bands") << 301 << 500 << 8;
        QTest::newRow("1-bit small") << 9 << 3 << 1;
        QTest::newRow("1-bit, several bands") << 333 << 401 << 1;
    }

    void narrowBitmapsBecomeTheirColours()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bitCount);
        TempFolder folder;
        TBitmap32 surface;
        QCOMPARE(loadError(folder.write("p.bmp", paletteBmp(width, height, bitCount)), surface), QString());
        QCOMPARE(surface.Width(), width);
        QCOMPARE(surface.Height(), height);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                wrong += surface.pixel(x, y) != paletteColour(paletteIndex(x, y, bitCount));
        QCOMPARE(wrong, 0);
    }

    void iconWithoutAlphaIsRedoneAsAMetafile()
    {
        TempFolder folder;
        QImage clear(8, 8, QImage::Format_ARGB32);
        clear.fill(0x00336699u);
        const std::string path = folder.write("clear.ico", encoded(clear, "ico"));
        TBitmap32 surface;
        QCOMPARE(loadError(path, surface), QString());
        QCOMPARE(surface.Width(), 8);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(surface.Bits()[i], 0x00FFFFFFu); // white where transparent, alpha 0
    }

    void metafiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const auto wmf = blueRectangleWmf();
        const auto emf = blueRectangleEmf();
        QTest::newRow("wmf") << "m.wmf" << asByteArray(wmf);
        QTest::newRow("emf") << "m.EMF" << asByteArray(emf);
    }

    void metafiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        TempFolder folder;
        const std::string path = folder.write(name.toStdString(), asBytes(bytes));
        TBitmap32 surface;
        QCOMPARE(loadError(path, surface), QString());
        QCOMPARE(surface.Width(), 100);
        QCOMPARE(surface.Height(), 50);
        QCOMPARE(surface.pixel(35, 25), 0xFF0000FFu); // inside the rectangle: blue, opaque
        QCOMPARE(surface.pixel(2, 2), 0x00FFFFFFu);   // outside: white, transparent
        QCOMPARE(surface.pixel(90, 45), 0x00FFFFFFu);
    }

    // The export reads with the same set from its own threads, while the
    // window may load a metafile: every load gives the picture a lone load gives.
    void metafilesLoadOnSeveralThreadsAtOnce()
    {
        TempFolder folder;
        const std::string paths[] = {folder.write("m.wmf", blueRectangleWmf(64, 48)),
                                     folder.write("m.emf", blueRectangleEmf(64, 48))};
        std::vector<std::vector<TColor32>> alone;
        for (const std::string& path : paths) {
            TBitmap32 surface;
            QCOMPARE(loadError(path, surface), QString());
            alone.emplace_back(surface.Bits(), surface.Bits() + std::size_t(64) * 48);
        }
        constexpr int kThreads = 4, kLoads = 40;
        std::atomic<int> differing{0};
        std::vector<std::thread> threads;
        threads.reserve(kThreads);
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kLoads; ++i) {
                    const std::size_t which = std::size_t(t + i) % 2;
                    TBitmap32 surface;
                    const bool same = loadError(paths[which], surface).isEmpty() && surface.Width() == 64
                                      && std::equal(alone[which].begin(), alone[which].end(), surface.Bits());
                    differing += same ? 0 : 1;
                }
            });
        for (auto& thread : threads)
            thread.join();
        QCOMPARE(differing.load(), 0);
    }

    // Decoders under the metafile lock exclude each other, and so do the
    // drawings of their pictures: two stand-ins, each noting how many calls
    // are inside the lock at once, called from several threads.
    void metafileLockLetsOneDecoderOrDrawingRunAtATime()
    {
        std::atomic<int> inside{0}, overlaps{0};
        const auto occupy = [&] {
            if (++inside > 1)
                ++overlaps;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            --inside;
        };
        const auto standIn = [&](const std::string&) {
            occupy();
            DecodedPicture picture;
            picture.render = [&](TBitmap32&, std::int32_t) { occupy(); };
            return picture;
        };
        const PictureDecoder first = oneAtATime(standIn), second = oneAtATime(standIn);
        std::vector<std::thread> threads;
        threads.reserve(4);
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                TBitmap32 canvas;
                for (int i = 0; i < 10; ++i)
                    ((t + i) % 2 ? first : second)("m.wmf").render(canvas, 0);
            });
        for (auto& thread : threads)
            thread.join();
        QCOMPARE(overlaps.load(), 0);
    }

    void decoderErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("tiff") << "x.tif" << "Impossible de décoder l'image (";
        QTest::newRow("icon") << "x.ico" << "Impossible de décoder l'image (";
        QTest::newRow("wmf") << "x.wmf" << "Métafichier non valide";
        QTest::newRow("emf") << "x.emf" << "Métafichier non valide";
        QTest::newRow("bmp") << "x.bmp" << "Impossible de décoder l'image (";
    }

    void decoderErrors()
    {
        QFETCH(QString, name);
        QFETCH(QString, prefix);
        TempFolder folder;
        std::vector<std::uint8_t> junk(300);
        for (std::size_t i = 0; i < junk.size(); ++i)
            junk[i] = std::uint8_t(i * 37 + 11);
        if (name == "x.bmp") { // a BMP header over nonsense
            const auto header = bmpHeader(10, 10, 8, 7);
            std::copy(header.begin(), header.end(), junk.begin());
        }
        TBitmap32 surface;
        const QString error = loadError(folder.write(name.toStdString(), junk), surface);
        QVERIFY2(error.startsWith(prefix), qPrintable(error));
    }

    void aFileNamedBmpThatIsNoBmpGivesTheReaderError()
    {
        TempFolder folder;
        TBitmap32 surface;
        const QString error = loadError(folder.write("photo.bmp", encoded(pattern(64, 64, true), "png")), surface);
        QVERIFY2(error.startsWith("Impossible de décoder l'image ("), qPrintable(error));
    }

    void tinyFilesOfHugePictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        auto row = [](const char* tag, const char* name, const std::vector<std::uint8_t>& b, const char* error) {
            QTest::newRow(tag) << QString(name) << asByteArray(b) << QString(error);
        };
        // 11585 x 11585 is the largest square a surface holds; one more
        // column and row is beyond it.
        row("wmf", "m.wmf", blueRectangleWmf(11585, 11585), "");
        row("emf", "m.emf", blueRectangleEmf(11585, 11585), "");
        row("rle8 bmp", "p.bmp", emptyRle8Bmp(11585), "");
        row("deflate tiff", "p.tif", blackDeflateTiff(11585), "");
        row("wmf beyond", "m.wmf", blueRectangleWmf(11586, 11586), "Can't allocate the DIB handle");
        row("emf beyond", "m.emf", blueRectangleEmf(11586, 11586), "Can't allocate the DIB handle");
        row("rle8 bmp beyond", "p.bmp", emptyRle8Bmp(11586), "Can't allocate the DIB handle");
        row("deflate tiff beyond", "p.tif", blackDeflateTiff(11586), "Can't allocate the DIB handle");
    }

    void tinyFilesOfHugePictures()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer reserves more address space than the limit");
#else
        // A surface of 11585 x 11585 takes 512 MiB; under 1 GiB of address
        // space no picture of the decoder's own may come on top of it.
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        TempFolder folder;
        const std::string path = folder.write(name.toStdString(), asBytes(bytes));
        QSize size;
        QCOMPARE(loadUnderAddressLimit(path, rlim_t(1) << 30, size), error);
        if (error.isEmpty())
            QCOMPARE(size, QSize(11585, 11585));
#endif
    }

    void aMetafileClaimingAHugeRecordStaysSmall()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer reserves more address space than the limit");
#else
        // The header's largest record, in 16-bit words, is what the library
        // allocates before it reads any record: 4 GiB asked by 120 bytes.
        std::vector<std::uint8_t> bytes = blueRectangleWmf();
        constexpr std::size_t kLargestRecord = 22 + 12;
        for (std::size_t i = 0; i < 4; ++i)
            bytes[kLargestRecord + i] = i < 3 ? 0xFF : 0x7F;
        TempFolder folder;
        QSize size;
        QCOMPARE(loadUnderAddressLimit(folder.write("m.wmf", bytes), rlim_t(1) << 30, size), QString());
        QCOMPARE(size, QSize(100, 50));
#endif
    }

    void hugeBmpGivesTheSurfaceMemoryError()
    {
        TempFolder folder;
        auto header = bmpHeader(60000, 60000, 24);
        TBitmap32 surface;
        QCOMPARE(loadError(folder.write("huge.bmp", header), surface), QString("Can't allocate the DIB handle"));
        QVERIFY(surface.Empty());
    }
};

QTEST_MAIN(PlatformDecodersTest)
#include "PlatformDecoders_test.moc"
