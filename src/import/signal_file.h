#pragma once

#include "import/import_result.h"

#include <QString>
#include <QStringView>

// The kinds of file the program opens, told apart by the file name's extension.
enum class FileKind { Dbc, Xml, ResultsCsv, Unknown };

// ".dbc" a DBC file, ".xml" or ".plexcanrxconfig" a receiver configuration, ".csv" a
// results CSV; any letter case.
FileKind fileKindOf(QStringView fileName);

// Reads a file of a known kind as the matching File command does. `current` gives
// the heading row that imports keep; `currentMessageId` is the DBC message read last
// (see ReadDBC).
ImportResult readSignalFile(FileKind kind, const QString &fileName, const TableData &current,
                            double &currentMessageId);
