// Teintelle: tries colour-grading effects (.cube tables) on a photo.
#include "common/Conventions.h"
#include "window/QtTexts.h"
#include "window/TFen_Teintelle.h"
#include "window/Theme.h"
#include "window/UserDialogs.h"
#include "window/Widgets.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString programFile = QApplication::applicationFilePath();
    QApplication::setApplicationName(
        QString::fromStdString(teintelle::applicationTitle(programFile.toStdString())));
    // The installed desktop entry, so the desktop shows the window with its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.teintelle.Teintelle"));
    QTranslator qtTexts;
    teintelle::installQtFrenchTexts(qtTexts);

    teintelle::QtUserDialogs dialogs;
    if (!teintelle::activateTheme(application, teintelle::kThemeName))
        dialogs.showThemeError(teintelle::themeNotFoundText(teintelle::kThemeName));

    teintelle::TFen_Teintelle Fen_Teintelle(dialogs, programFile);
    Fen_Teintelle.show();
    Fen_Teintelle.Bt_Fermer->setFocus();
    return application.exec();
}
