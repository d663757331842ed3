#pragma once
// What the photo commands (decode, apply) share: the test of the photo path,
// the platform decoders, and writing a surface as PPM or PNG.

#include "cli/Commands.h"
#include "common/Error.h"
#include "common/InputFile.h"
#include "common/OutputFile.h"
#include "imaging/DecodedPicture.h"
#include "imaging/TBitmap32.h"

#include <cstdio>
#include <string>
#include <vector>

#if defined(TEINTELLE_CLI_HAS_QT_GUI)
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#endif
#if defined(TEINTELLE_HAS_PLATFORM_DECODERS)
#include "window/decoders/PlatformDecoders.h"
#endif

namespace teintelle::cli {

inline bool endsWithPng(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".png";
}

// Qt's GUI module on its offscreen platform: fonts for metafiles, PNG.
inline void startOffscreenGui()
{
#if defined(TEINTELLE_CLI_HAS_QT_GUI)
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "teintelle-cli";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication application(argc, argv);
    }
#endif
}

// The full-size path's decoders: the platform's too when teintelle-cli
// links them.
inline PhotoDecoders photoDecoders()
{
#if defined(TEINTELLE_HAS_PLATFORM_DECODERS)
    startOffscreenGui();
    return platformPhotoDecoders();
#else
    return {};
#endif
}

// Replaces the file at path with what `fill` writes into an OutputFile:
// the old file stays as it was unless every byte is on disk. Returns an
// error message, empty on success.
template <class Fill>
std::string replaceFile(const std::string& path, Fill&& fill)
{
    try {
        OutputFile out(path);
        fill(out);
        out.commit();
        return "";
    } catch (const Error& error) {
        return error.what();
    }
}

// Binary PPM: P6, maxval 255, red, green, blue; alpha dropped. An empty
// surface gives the header "P6 0 0 255" and no pixels.
inline void writePpm(const TBitmap32& surface, OutputFile& out)
{
    const int width = surface.Empty() ? 0 : surface.Width();
    const int height = surface.Empty() ? 0 : surface.Height();
    const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    out.write(header.data(), header.size());
    std::vector<unsigned char> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor32 p = surface.pixel(x, y);
            row[std::size_t(x) * 3] = static_cast<unsigned char>(p >> 16);
            row[std::size_t(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[std::size_t(x) * 3 + 2] = static_cast<unsigned char>(p);
        }
        out.write(row.data(), row.size());
    }
}

// Writes OUT as PNG when its name ends in .png (not for an empty surface:
// PNG has no empty picture, so no file is written), as PPM otherwise.
// Returns an error message, empty on success.
inline std::string writePicture(const TBitmap32& surface, const std::string& path)
{
    if (!endsWithPng(path))
        return replaceFile(path, [&](OutputFile& out) { writePpm(surface, out); });
    if (surface.Empty())
        return "";
#if defined(TEINTELLE_CLI_HAS_QT_GUI)
    startOffscreenGui();
    const QImage image(reinterpret_cast<const uchar*>(surface.Bits()), surface.Width(), surface.Height(),
                       qsizetype(surface.Width()) * 4, QImage::Format_RGB32);
    // Encoded in memory first: the file is only touched once the PNG is whole.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return "impossible de coder « " + path + " » en PNG";
    return replaceFile(path, [&](OutputFile& out) { out.write(png.constData(), std::size_t(png.size())); });
#else
    return "PNG indisponible dans cette version de teintelle-cli (sans Qt)";
#endif
}

// writePicture for a command: its problem on standard error, the exit status.
inline int writePictureOf(const char* command, const TBitmap32& surface, const std::string& out)
{
    const std::string problem = writePicture(surface, out);
    if (problem.empty())
        return kDone;
    std::fprintf(stderr, "teintelle-cli %s: %s\n", command, problem.c_str());
    return kCannotWrite;
}

} // namespace teintelle::cli
