#include "window/FolderDialogStart.h"

#include <QFileInfo>

namespace teintelle {

QString dialogStartFolder(const QString& fieldText, const QString& lastChosenFolder)
{
    const QString rootFolder = QStringLiteral("/");
    const QString start = !fieldText.isEmpty() ? fieldText : !lastChosenFolder.isEmpty() ? lastChosenFolder : rootFolder;
    return QFileInfo(start).isDir() ? start : rootFolder;
}

} // namespace teintelle
