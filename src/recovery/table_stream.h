#pragma once

#include <QString>

class QDataStream;
class TableData;

// A table as the recovery copy keeps it: every cell text exactly (any character,
// line ends and separators included), the cell colours, row icons, the hand-made
// columns, the marks and notes of an update, the fixed heading row and the DBC details
// of the rows (writeTableDetails). Whatever the table holds besides belongs here too,
// so the copy carries all of it in one place.

// The version of what writeTable writes; it goes up with every change, and a copy of
// another version is not read.
inline constexpr quint32 tableStreamVersion = 2;

void writeTable(QDataStream &out, const TableData &table);

// Reads what writeTable wrote into `table`. The input is not trusted: a count larger
// than the bytes left, an entry that is not whole or a value out of range stops the
// read. Returns an empty text on success, else what was wrong.
QString readTable(QDataStream &in, TableData &table);
