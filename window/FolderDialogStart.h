#pragma once

#include <QString>

namespace teintelle {

// The folder the effect folder dialog opens on: the field's text; when it is
// empty, the folder last chosen in the dialog; when there is none, "/". A
// start folder that names no existing folder becomes "/".
QString dialogStartFolder(const QString& fieldText, const QString& lastChosenFolder);

} // namespace teintelle
