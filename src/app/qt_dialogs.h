#pragma once

#include "app/dialogs.h"

class QWidget;

// The message boxes and file dialogs of Qt, parented to the main window.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer askYesNoCancel(const QString &title, const QString &text) override;
    bool askYesNo(const QString &title, const QString &text) override;
    void inform(const QString &title, const QString &text) override;
    void warn(const QString &title, const QString &text) override;
    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &proposal, const QString &filter,
                     const QString &defaultSuffix) override;
    void setInitialDirectory(const QString &folder) override { m_folder = folder; }

private:
    QWidget *m_parent;
    QString m_folder;
};
