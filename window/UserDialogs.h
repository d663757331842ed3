#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace teintelle {

// Every modal box and file dialog the window shows goes through this
// interface, so that tests can answer them without blocking.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // The notice box: caption = application title, the text word-wrapped, no
    // icon, one "OK" button (default, also answers Escape).
    virtual void showNotice(const QString& title, const QString& text) = 0;
    // The error box: caption = application title, error icon, one OK button.
    virtual void showError(const QString& title, const QString& text) = 0;
    // The theme error dialog: caption "Erreur", error icon, one button "Fer&mer".
    virtual void showThemeError(const QString& text) = 0;
    // The folder dialog; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) = 0;
    // The file-open dialog; nothing when cancelled.
    virtual std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                              const QString& startFolder, const QString& preselected) = 0;
    // The save dialog of the export: French title and buttons, JPEG, PNG and
    // TIFF; asks before replacing a file. Nothing when cancelled.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, const QString& startFolder,
                                                  const QString& proposedName) = 0;
};

// The real boxes and dialogs, through QMessageBox and QFileDialog.
class QtUserDialogs : public UserDialogs {
public:
    void showNotice(const QString& title, const QString& text) override;
    void showError(const QString& title, const QString& text) override;
    void showThemeError(const QString& text) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& startFolder, const QString& preselected) override;
    std::optional<QString> chooseSaveFile(QWidget* parent, const QString& startFolder,
                                          const QString& proposedName) override;
};

} // namespace teintelle
