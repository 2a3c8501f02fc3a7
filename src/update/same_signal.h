#pragma once

class TableData;

// The row of `after` (a table an update made from `before`) that holds the signal of
// row `row` of `before`, paired as the update pairs them: the same CAN ID and Name,
// counted in order among the rows that share both; else the only row of `after`
// with that Name (a signal that moved to another message). -1 when the signal is gone
// or `row` is no signal row.
int sameSignalRow(const TableData &before, int row, const TableData &after);
