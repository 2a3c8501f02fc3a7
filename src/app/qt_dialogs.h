#pragma once

#include "app/dialog_folder.h"
#include "app/dialogs.h"

class QFileDialog;
class QWidget;

// The message boxes and file dialogs of Qt, parented to the main window.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer askYesNoCancel(const QString &title, const QString &text) override;
    RecoveryAnswer askRecovery(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
    void inform(const QString &title, const QString &text) override;
    void warn(const QString &title, const QString &text) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &proposal, const QString &filter,
                     const QString &defaultSuffix) override;
    void showReport(const QString &title, const QString &text, const std::function<void()> &save,
                    const std::function<void(const QString &line)> &lineChosen) override;
    void setInitialDirectory(const QString &folder) override { m_folder = folder; }
    bool showFolder(const QString &folder) override;

private:
    QString chosenFile(QFileDialog &dialog);

    QWidget *m_parent;
    QString m_folder;
    DialogFolder m_folders = DialogFolder::standard();
};
