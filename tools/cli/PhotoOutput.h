#pragma once
// What the photo commands (decode, apply) share: the test of the photo path,
// the platform decoders, and writing a surface as PPM or PNG.

#include "imaging/TBitmap32.h"

#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#if defined(TEINTELLE_CLI_HAS_QT_GUI)
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QTranslator>

#include "window/QtTexts.h"
#endif
#if defined(TEINTELLE_HAS_PLATFORM_DECODERS)
#include "window/decoders/PlatformDecoders.h"
#endif

namespace teintelle::cli {

enum PhotoExit {
    kPhotoWritten = 0,
    kPhotoRaised = 2,         // --full: LoadFromFile raised its error
    kPhotoMissing = 3,        // the photo path names no file
    kPhotoNotDecoded = 4,     // the quarter-size decode failed
    kPhotoCannotWrite = 73,   // the output file could not be written
};

// The window's test before loading: an existing file, a folder does not count.
inline bool namesAFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

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
        static QTranslator qtTexts; // Qt's messages in French, as the tool's own
        installQtFrenchTexts(qtTexts);
    }
#endif
}

inline void installDecoders()
{
#if defined(TEINTELLE_HAS_PLATFORM_DECODERS)
    startOffscreenGui();
    installPlatformDecoders();
#endif
}

// Binary PPM: P6, maxval 255, red, green, blue; alpha dropped. An empty
// surface gives the header "P6 0 0 255" and no pixels.
inline bool writePpm(const TBitmap32& surface, const std::string& path)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    const int width = surface.Empty() ? 0 : surface.Width();
    const int height = surface.Empty() ? 0 : surface.Height();
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor32 p = surface.pixel(x, y);
            row[std::size_t(x) * 3] = static_cast<unsigned char>(p >> 16);
            row[std::size_t(x) * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[std::size_t(x) * 3 + 2] = static_cast<unsigned char>(p);
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    const bool ok = !std::ferror(out);
    return std::fclose(out) == 0 && ok;
}

// Writes OUT as PNG when its name ends in .png (not for an empty surface:
// PNG has no empty picture, so no file is written), as PPM otherwise.
// Returns an error message, empty on success.
inline std::string writePicture(const TBitmap32& surface, const std::string& path)
{
    if (!endsWithPng(path))
        return writePpm(surface, path) ? "" : "impossible d'écrire « " + path + " »";
    if (surface.Empty())
        return "";
#if defined(TEINTELLE_CLI_HAS_QT_GUI)
    startOffscreenGui();
    const QImage image(reinterpret_cast<const uchar*>(surface.Bits()), surface.Width(), surface.Height(),
                       qsizetype(surface.Width()) * 4, QImage::Format_RGB32);
    return image.save(QString::fromStdString(path), "PNG") ? "" : "impossible d'écrire « " + path + " »";
#else
    return "PNG indisponible dans cette version de teintelle-cli (sans Qt)";
#endif
}

// writePicture for a command: its problem on standard error, the exit status.
inline int writePictureOf(const char* command, const TBitmap32& surface, const std::string& out)
{
    const std::string problem = writePicture(surface, out);
    if (problem.empty())
        return kPhotoWritten;
    std::fprintf(stderr, "teintelle-cli %s: %s\n", command, problem.c_str());
    return kPhotoCannotWrite;
}

} // namespace teintelle::cli
