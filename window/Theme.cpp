#include "window/Theme.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QStyleFactory>

// The themes are compiled into a static library: their resources must be
// registered by hand before the first look-up.
static void registerThemeResources() { Q_INIT_RESOURCE(resources); }

namespace teintelle {

namespace {

QString themeResource(const QString& name) { return QStringLiteral(":/themes/%1.qss").arg(name); }

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2B, 0x2B, 0x2B);
    const QColor base(0x1E, 0x1E, 0x1E);
    const QColor text(0xF0, 0xF0, 0xF0);
    const QColor disabledText(0x7A, 0x7A, 0x7A);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x33, 0x33, 0x33));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Light, QColor(0x4A, 0x4A, 0x4A));
    palette.setColor(QPalette::Midlight, QColor(0x3C, 0x3C, 0x3C));
    palette.setColor(QPalette::Mid, QColor(0x24, 0x24, 0x24));
    palette.setColor(QPalette::Dark, QColor(0x19, 0x19, 0x19));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x00, 0x78, 0xD7));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x3A, 0x96, 0xDD));
    palette.setColor(QPalette::PlaceholderText, disabledText);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    return palette;
}

} // namespace

bool activateTheme(QApplication& application, const QString& name)
{
    registerThemeResources();
    QFile sheet(themeResource(name));
    if (!sheet.open(QIODevice::ReadOnly))
        return false;
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    application.setPalette(darkPalette());
    application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    return true;
}

QString themeNotFoundText(const QString& name) { return QStringLiteral("Style '%1' non trouvé").arg(name); }

} // namespace teintelle
