#include "frm_dbc.h"

#include "app/dialogs.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

// The commands that replace the table with the contents of a file.

namespace {

// The one local file a drag carries, or nothing.
QString droppedFile(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile())
        return {};
    return urls.constFirst().toLocalFile();
}

} // namespace

void frmDBC::mnImportDBC_Click()
{
    const QString fileName = m_dialogs->openFile(QStringLiteral("Select one DBC file"),
                                                 QStringLiteral("DBC Files (*.dbc);;All Files (*)"));
    if (!fileName.isEmpty() && showResult([&] { return m_document.ReadDBC(fileName); }))
        rememberFile(fileName);
}

void frmDBC::mnImportXML_Click()
{
    const QString fileName = m_dialogs->openFile(
            QStringLiteral("Select one PlexCanRXConfig or XML file"),
            QStringLiteral("PlexCanRXConfig Files (*.PlexCanRXConfig);;XML Files (*.xml);;All Files (*)"));
    if (!fileName.isEmpty() && showResult([&] { return m_document.ReadXML(fileName); }))
        rememberFile(fileName);
}

void frmDBC::mnLoadCSV_Click()
{
    const QString fileName = m_dialogs->openFile(QStringLiteral("Select one CSV file"),
                                                 QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (!fileName.isEmpty() && showResult([&] { return m_document.LoadCSV(fileName); }))
        rememberFile(fileName);
}

void frmDBC::openFile(const QString &fileName)
{
    if (showResult([&] { return m_document.open(fileName); }))
        rememberFile(fileName);
}

void frmDBC::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmDBC::dropEvent(QDropEvent *event)
{
    const QString fileName = droppedFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    if (beforeCommand(Before::AskSaveChanges))
        openFile(fileName);
}
