#pragma once

#include "import/import_result.h"

#include <QString>
#include <QStringView>

#include <optional>

class QIODevice;
class TableData;

// Import of a DBC file: every "BO_" line sets the identifier of the message that
// follows, every "SG_" line becomes one row of the signal table. What the file says
// beyond the table's columns (comments, value descriptions, attributes, value types)
// goes into the table's details (DbcDetailsReader) and changes no row.

// True when `fileName` ends in ".dbc", in any letter case.
bool isDbcFileName(QStringView fileName);

// A message identifier as a DBC file writes it: a whole decimal number of 32 bits
// (bit 31 marks an extended frame); nothing for any other text.
std::optional<double> wholeDbcIdentifier(QStringView text);

// The CAN ID cell of a message identifier: the upper and the lower 16 bits in
// upper-case hexadecimal, separated by one space ("0 123", "8CF0 4FE"). Bit 31 of an
// extended frame identifier stays in the upper half. A fraction is rounded to the
// nearest whole number, ties to even. An upper half below zero shows as its 32-bit
// pattern; values beyond what a 32-bit upper half can hold are clamped to the
// nearest one it can, and NaN shows as "0 0".
QString FormatCanId(double id);

// Reads the identifier of a message line into `currentMessageId` and consumes the
// line. False when the identifier is not a whole decimal number from 0 to
// 4294967295; its leading number (0 without one) is then used.
bool ParseMessageLine(QString &line, double &currentMessageId);

// Appends the row of one signal line to `table`: row number `signalCount`, the CAN ID
// of `currentMessageId`, the pieces of the line in their columns and the Key cell in
// its colour; then counts the row. Consumes the line. False when the line lacks one
// of its parts (the colon, the "@" of the position, the factor and offset in
// parentheses with one comma, the range in brackets, the unit in quotes); the row is
// then filled as far as the line goes, every piece still in its own column.
bool ParseSignalLine(QString &line, TableData &table, int &signalCount, double currentMessageId);

// Reads a DBC file into a new table whose heading row is a copy of row 0 of `current`
// (an empty row when `current` has none). `currentMessageId` is the identifier of the
// message read last; a signal before the file's first message line gets it. It is
// updated only when the whole file could be read. Lines that could not be read
// completely are named in one warning. A file without any signal line is an error.
ImportResult ReadDBC(const QString &fileName, const TableData &current, double &currentMessageId);
// The same from an open (or openable) device; `fileName` names it in messages.
ImportResult ReadDBC(QIODevice &device, const QString &fileName, const TableData &current,
                     double &currentMessageId);
