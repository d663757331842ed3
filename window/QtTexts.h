#pragma once
// Qt's own texts in French, like the program's: the buttons and labels of the
// file dialogs, the edits' context menus, Qt's messages. They come from
// Debian's qt6-translations-l10n; without it they stay in English.

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace teintelle {

// Loads Qt's French texts into TRANSLATOR, which must outlive their use, and
// installs it in the application. False when the translation is not there.
inline bool installQtFrenchTexts(QTranslator& translator)
{
    return translator.load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(&translator);
}

} // namespace teintelle
