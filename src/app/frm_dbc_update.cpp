#include "frm_dbc.h"

#include "app/dialogs.h"
#include "app/cell_editors.h"
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
    showResult([&] { return m_document.UpdateFrom(fileName); }, true);
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
    }, [this](const QString &line) {
        // A signal's line begins with its "#" in the table.
        const QString number = line.trimmed().section(u' ', 0, 0);
        if (!number.startsWith(u'#'))
            return;
        const TableData &grid = m_table.grid();
        for (int row = grid.fixedRows(); row < grid.rows(); ++row) {
            if (grid.sameText(row, Col::Number, QStringView(number).sliced(1))) {
                showCell(row, Col::Name);
                return;
            }
        }
    });
}
