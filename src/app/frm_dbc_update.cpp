#include "frm_dbc.h"

#include "app/dialogs.h"
#include "app/cell_editors.h"
#include "update/same_signal.h"
#include "update/update_report.h"

#include <QDir>
#include <QFileInfo>

// File > Update from DBC/XML: reads a new revision of the table's DBC or receiver
// file and carries the keys and hand-typed cells over to it.

void frmDBC::mnUpdate_Click()
{
    const QString fileName = m_dialogs->openFile(
            QStringLiteral("Select the new DBC or XML file"),
            QStringLiteral("DBC and XML Files (*.dbc *.PlexCanRXConfig *.xml);;DBC Files (*.dbc);;"
                           "PlexCanRXConfig Files (*.PlexCanRXConfig);;XML Files (*.xml);;All Files (*)"));
    if (fileName.isEmpty())
        return;
    // The current cell stays on its signal, wherever the new revision puts it.
    const TableData before = m_table.grid();
    const GridMap::Cell current = m_editors->map().current();
    if (!showResult([&] { return m_document.UpdateFrom(fileName); }) || !current.isValid())
        return;
    const int row = sameSignalRow(before, current.row, m_table.grid());
    if (row >= 0)
        showCell(row, current.col);
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
