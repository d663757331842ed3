#include "window/UserDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>

namespace teintelle {

void QtUserDialogs::showNotice(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtUserDialogs::showError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

void QtUserDialogs::showThemeError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur"), text);
    QPushButton* close = box.addButton(QStringLiteral("Fer&mer"), QMessageBox::RejectRole);
    box.setDefaultButton(close);
    box.setEscapeButton(close);
    box.exec();
}

std::optional<QString> QtUserDialogs::chooseFolder(QWidget* parent, const QString& startFolder)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtUserDialogs::chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                                 const QString& startFolder, const QString& preselected)
{
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    // "*.*" is the name of the "every file" filter; here a name needs no dot
    // to be a file, so the pattern itself must match every name.
    if (auto* model = dialog.findChild<QFileSystemModel*>())
        model->setNameFilters({QStringLiteral("*")});
    if (!startFolder.isEmpty())
        dialog.setDirectory(startFolder);
    if (!preselected.isEmpty())
        dialog.selectFile(preselected);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtUserDialogs::chooseSaveFile(QWidget* parent, const QString& startFolder,
                                                     const QString& proposedName)
{
    QFileDialog dialog(parent, QStringLiteral("Enregistrer la photo avec l'effet"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Qt's own dialog, whose texts can all be set here, in French whatever
    // translation is loaded.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Dossier :"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nom du fichier :"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Type :"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("&Enregistrer"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Annuler"));
    dialog.setNameFilters({QStringLiteral("Photo JPEG (*.jpg *.jpeg)"), QStringLiteral("Image PNG (*.png)"),
                           QStringLiteral("Image TIFF (*.tif *.tiff)")});
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.setDirectory(startFolder);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace teintelle
