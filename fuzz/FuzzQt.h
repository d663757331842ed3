#pragma once
// What the Qt-backed targets share: the platform's decoders made once,
// under one QGuiApplication on the offscreen platform (a metafile that holds
// text needs its fonts), never a display.

#include "common/Error.h"
#include "imaging/PhotoLoading.h"
#include "imaging/TBitmap32.h"
#include "window/decoders/PlatformDecoders.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <sanitizer/lsan_interface.h>

#include <cstdlib>
#include <string>

namespace teintelle::fuzz {

inline void startQt()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // What Qt and fontconfig allocate once for the process (fontconfig
    // loses some of its configuration on the way) is not the inputs' doing.
    __lsan::ScopedDisabler startUp;
    // Qt keeps argc and argv for the application's life; the fuzzer's own
    // arguments are not Qt's business.
    static int argc = 1;
    static char name[] = "teintelle-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
    // Qt's readers warn about every malformed file, millions of lines in a
    // campaign; the decoders report a failure by their own messages.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // The font database is filled on the first text drawn: here, once.
    QImage warmUp(8, 8, QImage::Format_ARGB32_Premultiplied);
    QPainter(&warmUp).drawText(0, 8, "Ab");
}

// The set the window reads photos with.
inline const PhotoDecoders& platformDecoders()
{
    static const PhotoDecoders decoders = platformPhotoDecoders();
    return decoders;
}

// One input: the file loaded as the window's full-size path loads it.
inline void loadAsTheWindow(const std::string& path)
{
    TBitmap32 surface;
    try {
        LoadFromFile(path, surface, platformDecoders());
    } catch (const Error&) {
        // malformed files end with a message
    }
}

} // namespace teintelle::fuzz
