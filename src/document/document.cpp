#include "document.h"

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/signal_file.h"
#include "import/xml_import.h"
#include "recovery/recovery_store.h"
#include "table/table_status.h"

namespace {

DocumentResult wrongFormat()
{
    DocumentResult result;
    result.error = QStringLiteral("Wrong File Format");
    result.wrongFormat = true;
    return result;
}

} // namespace

DocumentResult Document::open(const QString &fileName)
{
    switch (fileKindOf(fileName)) {
    case FileKind::Dbc:
        return ReadDBC(fileName);
    case FileKind::Xml:
        return ReadXML(fileName);
    case FileKind::ResultsCsv:
        return LoadCSV(fileName);
    case FileKind::Unknown:
        break;
    }
    return wrongFormat();
}

DocumentResult Document::ReadDBC(const QString &fileName)
{
    if (!isDbcFileName(fileName))
        return wrongFormat();
    // The message read last counts only once the whole file is in the table.
    double messageId = m_currentMessageId;
    DocumentResult result = import(fileName, ::ReadDBC(fileName, grid(), messageId));
    if (result.ok())
        m_currentMessageId = messageId;
    return result;
}

DocumentResult Document::ReadXML(const QString &fileName)
{
    if (!isXmlFileName(fileName))
        return wrongFormat();
    return import(fileName, ::ReadXML(fileName, grid()));
}

DocumentResult Document::LoadCSV(const QString &fileName)
{
    DocumentResult result = replaceTable(::LoadCSV(fileName));
    if (result.ok()) {
        // The loaded list is the one the user works on: a save goes back into it.
        m_table.setCurrentFile(fileName);
        m_table.setUnsavedChanges(false);
    }
    return result;
}

DocumentResult Document::UpdateFrom(const QString &fileName)
{
    const FileKind kind = fileKindOf(fileName);
    if (kind != FileKind::Dbc && kind != FileKind::Xml)
        return wrongFormat();
    if (!hasSignalRows(grid())) {
        // Nothing to carry over: the file is imported, and the report lists its rows.
        const TableData before = grid();
        DocumentResult result = kind == FileKind::Dbc ? ReadDBC(fileName) : ReadXML(fileName);
        if (result.ok())
            result.report = updateTable(before, grid(), fileName).report;
        return result;
    }
    double messageId = m_currentMessageId;
    ImportResult read = readSignalFile(kind, fileName, grid(), messageId);
    DocumentResult result;
    result.error = std::move(read.error);
    result.warnings = std::move(read.warnings);
    result.encoding = std::move(read.encoding);
    if (!result.ok())
        return result;
    TableUpdate update = updateTable(grid(), std::move(read.table), fileName);
    m_table.applyUpdate(std::move(update.table), fileName);
    m_currentMessageId = messageId;
    result.report = std::move(update.report);
    return result;
}

DocumentResult Document::recover(const RecoveryStore &store, const RecoveryCopy &copy)
{
    return import(copy.file, store.load(copy));
}

QStringList Document::saveWarnings() const
{
    QStringList warnings = {csvSeparatorWarning(grid()), csvEncodingWarning(grid()), cellFormWarning(grid())};
    warnings.removeAll(QString());
    return warnings;
}

QString Document::proposeSaveName()
{
    m_table.setCurrentFile(proposeCsvPath(m_table.currentFile()));
    return csvDialogName(m_table.currentFile());
}

QString Document::WriteCSV(const QString &fileName)
{
    QString error = writeResultsCsv(grid(), fileName);
    if (error.isEmpty())
        m_table.setUnsavedChanges(false);
    return error;
}

QString Document::saveAsProposal() const
{
    // A results CSV the table came from or went to is proposed as it is.
    if (fileKindOf(m_table.currentFile()) == FileKind::ResultsCsv)
        return m_table.currentFile();
    return csvDialogName(proposeCsvPath(m_table.currentFile()));
}

QString Document::SaveAs(const QString &fileName)
{
    QString error = WriteCSV(fileName);
    if (error.isEmpty())
        m_table.setCurrentFile(fileName);
    return error;
}

DocumentResult Document::replaceTable(ImportResult &&read)
{
    DocumentResult result;
    result.error = std::move(read.error);
    result.warnings = std::move(read.warnings);
    result.encoding = std::move(read.encoding);
    if (result.ok())
        m_table.replace(std::move(read.table));
    return result;
}

DocumentResult Document::import(const QString &fileName, ImportResult &&read)
{
    DocumentResult result = replaceTable(std::move(read));
    if (result.ok()) {
        m_table.setCurrentFile(fileName);
        m_table.setUnsavedChanges(true);
    }
    return result;
}
