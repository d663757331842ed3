#pragma once

#include <QIcon>

namespace teintelle {

// The program's icon, drawn at 256, 48, 24 and 16 pixels.
QIcon programIcon();

} // namespace teintelle
