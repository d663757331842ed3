#pragma once

#include <QIcon>
#include <QPixmap>

namespace teintelle {

// The program's icon, drawn at 256, 48, 24 and 16 pixels.
QIcon programIcon();

// The same drawing at any size: the installed icons of the desktop's theme.
QPixmap programIconPixmap(int size);

} // namespace teintelle
