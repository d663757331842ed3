#pragma once

#include "window/UserDialogs.h"

#include <QStringList>

#include <optional>

namespace teintelle::testing {

// Records every box the window shows and answers the file dialogs with what
// the test prepared, so that no test ever blocks on a modal dialog.
class FakeDialogs : public UserDialogs {
public:
    QStringList notices;
    QStringList errors;
    QStringList themeErrors;
    QString lastTitle;
    std::optional<QString> folderAnswer;
    QString lastFolderStart;
    int folderDialogs = 0;
    std::optional<QString> fileAnswer;
    QString lastFileTitle, lastFileFilter, lastFileStart, lastFilePreselected;
    int fileDialogs = 0;
    std::optional<QString> saveAnswer;
    QString lastSaveStart, lastSaveProposed;
    int saveDialogs = 0;

    void showNotice(const QString& title, const QString& text) override
    {
        lastTitle = title;
        notices << text;
    }
    void showError(const QString& title, const QString& text) override
    {
        lastTitle = title;
        errors << text;
    }
    void showThemeError(const QString& text) override { themeErrors << text; }
    std::optional<QString> chooseFolder(QWidget*, const QString& startFolder) override
    {
        ++folderDialogs;
        lastFolderStart = startFolder;
        return folderAnswer;
    }
    std::optional<QString> chooseFile(QWidget*, const QString& title, const QString& filter,
                                      const QString& startFolder, const QString& preselected) override
    {
        ++fileDialogs;
        lastFileTitle = title;
        lastFileFilter = filter;
        lastFileStart = startFolder;
        lastFilePreselected = preselected;
        return fileAnswer;
    }
    std::optional<QString> chooseSaveFile(QWidget*, const QString& startFolder, const QString& proposedName) override
    {
        ++saveDialogs;
        lastSaveStart = startFolder;
        lastSaveProposed = proposedName;
        return saveAnswer;
    }
};

} // namespace teintelle::testing
