#pragma once

class QTableView;
class TableData;

// Makes the view's column `section` as wide as its widest cell in the whole table
// (not only the rows in view) and its heading, and no wider than two thirds of the
// screen, so that one very long cell cannot push the others out of sight.
void fitColumnToContents(QTableView *view, const TableData &table, int section);
