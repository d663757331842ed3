// Writes the program's icon as the PNG files of the desktop's icon theme:
//
//   teintelle-icons FOLDER NAME SIZE...   ->   FOLDER/SIZExSIZE/apps/NAME.png
//
// Drawn by the code that draws the window's icon, so both are the same.
#include "window/ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: teintelle-icons FOLDER NAME SIZE...\n");
        return 64;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString theme = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(theme, name);
        if (size <= 0 || !QDir().mkpath(theme) || !teintelle::programIconPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "teintelle-icons: impossible d'écrire « %s »\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
