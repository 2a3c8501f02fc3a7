#pragma once

#include "table/table_data.h"

#include <QList>
#include <QString>

// Carrying a channel list over to a new revision of its DBC or receiver file: the rows
// of the current table are matched with the rows the new file gives, and each signal
// that is still there keeps its key and the cells the user typed by hand.
//
// A new row and a current row are the same signal when their CAN ID and Name texts
// are equal (exactly, as the table shows them); rows that share both are paired in
// the order they stand, one to one. A new row left over is the same signal as a
// current row left over when they are the only two left with their (non-empty) Name:
// the signal moved to another message. Every other new row is added, every other
// current row removed.

// A field of a signal that the new file gives another value.
struct FieldChange
{
    int col = 0;
    QString before;            // the table's value before the update
    QString after;             // the new file's value
    bool keptHandMade = false; // `before` was typed by hand and stays in the table
};

// A signal of both tables that moved to another message or whose fields changed.
struct ChangedSignal
{
    int row = 0; // its row in the updated table
    QString name;
    QString canId;    // in the new file
    QString oldCanId; // in the table before the update
    QString key;
    QList<FieldChange> fields;
    QString number; // its "#" in the updated table

    bool moved() const { return canId != oldCanId; }
};

// A signal that only one of the two tables holds.
struct LoneSignal
{
    int row = 0; // in the table that holds it
    QString canId;
    QString name;
    QString key;
    QString number; // its "#" in the table that holds it
};

// What an update did, for the user to read.
struct UpdateReport
{
    QString newFile;
    int kept = 0;    // matched by CAN ID and Name
    int moved = 0;   // matched by Name alone
    int added = 0;
    int removed = 0;
    QList<LoneSignal> removedSignals;    // with the keys they held, now free
    QList<LoneSignal> addedSignals;
    QList<ChangedSignal> changedSignals; // in the order of the updated table
};

struct TableUpdate
{
    TableData table;
    UpdateReport report;
};

// The fields whose changes the report lists: position, bytes, signed, scale, offset,
// unit and byte order.
bool isComparedField(int col);

// True when some row below the heading row holds any text besides its number.
bool hasSignalRows(const TableData &table);

// Builds the table that replaces `current` when `imported` (the new file, read as
// its import command reads it) comes in: the imported rows in the file's order, each
// matched one with the Key of its current row and the cells typed by hand into that
// row, the duplicate marks made again over the whole table, and the added and
// changed rows marked. `newFile` names the file in the report and the marks.
TableUpdate updateTable(const TableData &current, TableData imported, const QString &newFile);
