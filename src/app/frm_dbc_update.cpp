#include "frm_dbc.h"

#include "app/artwork.h"
#include "app/cell_editors.h"
#include "app/dialogs.h"
#include "import/signal_file.h"
#include "update/table_update.h"
#include "update/update_report.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

// File > Update from DBC/XML: reads a new revision of the table's DBC or receiver
// file and carries the keys and hand-typed cells over to it.

void frmDBC::addUpdateCommand(QMenu *file)
{
    QAction *action = file->addAction(QStringLiteral("Update from DBC/XML"));
    action->setObjectName(QStringLiteral("mnUpdate"));
    connect(action, &QAction::triggered, this, &frmDBC::mnUpdate_Click);
    m_table.setRowMarkDecorations(QIcon(addedRowPixmap(32)), QIcon(changedRowPixmap(32)));
}

void frmDBC::mnUpdate_Click()
{
    writeBackEdit();
    const QString fileName = m_dialogs->openFile(
            QStringLiteral("Select the new DBC or XML file"),
            QStringLiteral("DBC and XML Files (*.dbc *.PlexCanRXConfig *.xml);;DBC Files (*.dbc);;"
                           "PlexCanRXConfig Files (*.PlexCanRXConfig);;XML Files (*.xml);;All Files (*)"));
    if (!fileName.isEmpty())
        UpdateFrom(fileName);
}

void frmDBC::UpdateFrom(const QString &fileName)
{
    const FileKind kind = fileKindOf(fileName);
    if (kind != FileKind::Dbc && kind != FileKind::Xml) {
        m_dialogs->warn(applicationTitle(), QStringLiteral("Wrong File Format"));
        return;
    }
    // With nothing to carry over, this is the plain import of the file.
    if (!hasSignalRows(m_table.grid())) {
        if (kind == FileKind::Dbc)
            ReadDBC(fileName);
        else
            ReadXML(fileName);
        return;
    }
    double messageId = m_currentMessageId;
    ImportResult result = readSignalFile(kind, fileName, m_table.grid(), messageId);
    if (!result.ok()) {
        m_dialogs->warn(applicationTitle(), result.error);
        return;
    }
    TableUpdate update = updateTable(m_table.grid(), std::move(result.table), fileName);
    showNewTable([&] { m_table.applyUpdate(std::move(update.table), fileName); });
    m_currentMessageId = messageId;
    UpdateCaption();
    for (const QString &warning : std::as_const(result.warnings))
        m_dialogs->warn(applicationTitle(), warning);
    showUpdateReport(update.report);
}

void frmDBC::showUpdateReport(const UpdateReport &report)
{
    const QFileInfo source(report.newFile);
    const QString proposal = source.dir().filePath(source.completeBaseName() + QStringLiteral("_update.txt"));
    m_dialogs->showReport(QStringLiteral("Update from DBC/XML"), reportText(report), [this, &report, proposal] {
        const QString fileName = m_dialogs->saveFile(QStringLiteral("Save report"), proposal,
                                                     QStringLiteral("Text Files (*.txt);;All Files (*)"),
                                                     QStringLiteral("txt"));
        if (fileName.isEmpty())
            return;
        const QString error = writeReport(report, fileName);
        if (!error.isEmpty())
            m_dialogs->warn(QStringLiteral("Save report"), error);
    });
}
