#pragma once

#include <QList>
#include <QString>

class TableData;

// What the window's status bar says about a table: how many signals it holds, how
// many of them have a key and how many keys several signals share.
QString tableStatusText(const TableData &table);

// The next signal row after `row` whose key another row holds too, going round to
// the first row after the last; -1 when no key is shared.
int nextSharedKeyRow(const TableData &table, int row);

// A row as a message names it: "#17" by its "#" text where it has one, "the heading
// row" for row 0, else its number.
QString rowName(const TableData &table, int row);

// The start of a warning about rows: "Row #7 holds", or "Rows #1, #2, more hold"
// naming the first `named` of `rows` and "more" for the rest.
QString rowsHold(const TableData &table, const QList<int> &rows, int named);

// Rows (the heading row included) with a ";", a tab or another control character
// (CR and LF among them) in a cell that the results CSV writes: such a row would not
// read back as it was. At most `limit` rows, in order.
QList<int> rowsBreakingCsv(const TableData &table, int limit);

// The warning about such rows, naming the first few by their "#"; empty when the
// table has none.
QString csvSeparatorWarning(const TableData &table);

// Why the data-acquisition application cannot read a cell of a signal row in the form
// its column has: Signed 0 or 1, LITTLE_ENDIAN 0 or 1 (LE or BE from a receiver
// file), Scale and Offset numbers, the position "start|length" or a start byte. Empty
// when the cell has its form; an empty cell has every form. Nothing is changed.
QString cellFormProblem(const TableData &table, int row, int col);

// The warning before a save about cells not in their column's form, naming the first
// few rows by their "#"; empty when every cell has its form.
QString cellFormWarning(const TableData &table);

// What a Key cell says beside its colour when other rows hold its key too: those
// rows by their "#", the first few of them ("ENSP is also in rows 17 and 230"). Empty
// when the key is empty or no other row holds it.
QString sharedKeyText(const TableData &table, int row);
