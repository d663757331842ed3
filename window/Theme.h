#pragma once

#include <QString>

class QApplication;

namespace teintelle {

inline const QString kThemeName = QStringLiteral("Windows10 Dark");

// Activates the named theme from the program's resources: the Fusion style,
// the theme's palette and its style sheet. False, with the look unchanged,
// when the program carries no theme of that name.
bool activateTheme(QApplication& application, const QString& name);

// "Style '%s' non trouvé" for the given name.
QString themeNotFoundText(const QString& name);

} // namespace teintelle
