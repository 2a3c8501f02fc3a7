#include "frm_dbc.h"

#include "app/dialogs.h"
#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/signal_file.h"
#include "import/xml_import.h"

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
    writeBackEdit();
    if (AskSaveChanges())
        return;
    const QString fileName = m_dialogs->openFile(QStringLiteral("Select one DBC file"),
                                                 QStringLiteral("DBC Files (*.dbc);;All Files (*)"));
    if (!fileName.isEmpty())
        ReadDBC(fileName);
}

void frmDBC::mnImportXML_Click()
{
    writeBackEdit();
    if (AskSaveChanges())
        return;
    const QString fileName = m_dialogs->openFile(
            QStringLiteral("Select one PlexCanRXConfig or XML file"),
            QStringLiteral("PlexCanRXConfig Files (*.PlexCanRXConfig);;XML Files (*.xml);;All Files (*)"));
    if (!fileName.isEmpty())
        ReadXML(fileName);
}

void frmDBC::mnLoadCSV_Click()
{
    writeBackEdit();
    if (AskSaveChanges())
        return;
    const QString fileName = m_dialogs->openFile(QStringLiteral("Select one CSV file"),
                                                 QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (!fileName.isEmpty())
        LoadCSV(fileName);
}

void frmDBC::openFile(const QString &fileName)
{
    switch (fileKindOf(fileName)) {
    case FileKind::Dbc:
        ReadDBC(fileName);
        break;
    case FileKind::Xml:
        ReadXML(fileName);
        break;
    case FileKind::ResultsCsv:
        LoadCSV(fileName);
        break;
    case FileKind::Unknown:
        m_dialogs->warn(applicationTitle(), QStringLiteral("Wrong File Format"));
        break;
    }
}

void frmDBC::ReadDBC(const QString &fileName)
{
    if (!isDbcFileName(fileName)) {
        m_dialogs->warn(applicationTitle(), QStringLiteral("Wrong File Format"));
        return;
    }
    double messageId = m_currentMessageId;
    ImportResult result = ::ReadDBC(fileName, m_table.grid(), messageId);
    if (!rebuild(result))
        return;
    m_currentMessageId = messageId;
    finishImport(fileName);
}

void frmDBC::ReadXML(const QString &fileName)
{
    if (!isXmlFileName(fileName)) {
        m_dialogs->warn(applicationTitle(), QStringLiteral("Wrong File Format"));
        return;
    }
    ImportResult result = ::ReadXML(fileName, m_table.grid());
    if (rebuild(result))
        finishImport(fileName);
}

void frmDBC::LoadCSV(const QString &fileName)
{
    ImportResult result = ::LoadCSV(fileName);
    if (rebuild(result))
        m_table.setUnsavedChanges(false);
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
    writeBackEdit();
    if (!AskSaveChanges())
        openFile(fileName);
}
