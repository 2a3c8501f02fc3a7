#pragma once

#include <QByteArray>
#include <QString>

class TableData;

// The results CSV: a heading line "//" + the headings of columns 1 to 13, then one
// line per signal row with the texts of columns 1 to 13, each followed by ";".
// Lines end in CR LF; nothing is quoted or escaped.

// The path a save proposes for the document's file `currentFile`. After an import: the
// same folder and the file name with "CAN_" in front, unless it already starts with
// "CAN_" in any letter case. A results CSV (".csv" in any letter case, a file loaded
// or saved before) is proposed as it is: saving goes back into the loaded file.
// Folders are separated by "/" or "\". Empty for an empty name.
QString proposeCsvPath(const QString &currentFile);

// The name the save dialog starts with: the proposal with a final ".dbc", ".xml" or
// ".plexcanrxconfig" (any letter case) replaced by ".CSV".
QString csvDialogName(const QString &proposal);

// The warning about rows with a character that Windows-1252, the code page of the
// file, does not have: such a character is saved as "?". Names the first few rows by
// their "#" and the first such character; empty when every character can be saved.
QString csvEncodingWarning(const TableData &table);

// The whole file as bytes.
QByteArray resultsCsvBytes(const TableData &table);

// Writes the file atomically: an existing file is replaced only after a complete
// write. Returns an empty text on success, else the reason naming the file.
QString writeResultsCsv(const TableData &table, const QString &fileName);
