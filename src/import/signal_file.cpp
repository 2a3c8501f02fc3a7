#include "signal_file.h"

#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/xml_import.h"
#include "table/text_helpers.h"

FileKind fileKindOf(QStringView fileName)
{
    if (isDbcFileName(fileName))
        return FileKind::Dbc;
    if (isXmlFileName(fileName))
        return FileKind::Xml;
    if (hasExtension(fileName, u".csv"))
        return FileKind::ResultsCsv;
    return FileKind::Unknown;
}

ImportResult readSignalFile(FileKind kind, const QString &fileName, const TableData &current,
                            double &currentMessageId)
{
    switch (kind) {
    case FileKind::Dbc:
        return ReadDBC(fileName, current, currentMessageId);
    case FileKind::Xml:
        return ReadXML(fileName, current);
    case FileKind::ResultsCsv:
        return LoadCSV(fileName);
    case FileKind::Unknown:
        break;
    }
    ImportResult result;
    result.error = QStringLiteral("Wrong File Format");
    return result;
}
