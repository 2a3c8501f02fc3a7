#include "qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

Dialogs::Answer QtDialogs::askYesNoCancel(const QString &title, const QString &text)
{
    switch (QMessageBox::question(m_parent, title, text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool QtDialogs::askYesNo(const QString &title, const QString &text)
{
    return QMessageBox::warning(m_parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
}

void QtDialogs::inform(const QString &title, const QString &text)
{
    QMessageBox::information(m_parent, title, text);
}

void QtDialogs::warn(const QString &title, const QString &text)
{
    QMessageBox::warning(m_parent, title, text);
}

namespace {

// Qt's own dialog, whose name filters match any letter case on every platform.
void prepare(QFileDialog &dialog, const QString &title, const QString &filter)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setWindowTitle(title);
    dialog.setNameFilter(filter);
}

QString chosenFile(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

} // namespace

QString QtDialogs::openFile(const QString &title, const QString &filter)
{
    QFileDialog dialog(m_parent, title, m_folder);
    prepare(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return chosenFile(dialog);
}

QString QtDialogs::saveFile(const QString &title, const QString &proposal, const QString &filter,
                            const QString &defaultSuffix)
{
    QFileDialog dialog(m_parent, title, m_folder);
    prepare(dialog, title, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (!proposal.isEmpty())
        dialog.selectFile(proposal);
    return chosenFile(dialog);
}
