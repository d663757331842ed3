// The photo commands' pieces that need Qt: its GUI module started on the
// offscreen platform, the platform decoders, PNG through Qt's writer.
#include "cli/PhotoOutput.h"

#include "window/QtTexts.h"
#include "window/decoders/PlatformDecoders.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTranslator>
#include <QImage>

namespace teintelle::cli {

void startOffscreenGui()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "teintelle-cli";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication application(argc, argv);
        static QTranslator qtTexts; // Qt's messages in French, as the tool's own
        installQtFrenchTexts(qtTexts);
    }
}

PhotoDecoders photoDecoders()
{
    startOffscreenGui();
    return platformPhotoDecoders();
}

std::string writePng(const TBitmap32& surface, const std::string& path)
{
    startOffscreenGui();
    const QImage image(reinterpret_cast<const uchar*>(surface.Bits()), surface.Width(), surface.Height(),
                       qsizetype(surface.Width()) * 4, QImage::Format_RGB32);
    // Encoded in memory first: the file is only touched once the PNG is whole.
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return "impossible de coder « " + path + " » en PNG";
    return replaceFile(path, [&](OutputFile& out) { out.write(png.constData(), std::size_t(png.size())); });
}

} // namespace teintelle::cli
