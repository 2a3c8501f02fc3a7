#pragma once

#include "table/find_criteria.h"
#include "table/signal_table.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// Cells of the signal table to and from the clipboard, as spreadsheets exchange them:
// tab-separated text (a row a line) and an HTML table.

// The block that `cells` span: every row and column that holds one of them, in table
// order. A cell of the block that is not one of `cells` stays empty.
struct CellBlock
{
    std::vector<int> rows;
    std::vector<int> cols;
    std::vector<bool> chosen; // rows.size() x cols.size(), row by row
};
CellBlock cellBlock(const std::vector<GridCell> &cells);

// The block as tab-separated lines. A text that holds a tab, a line break or begins
// with a double quote is quoted ("" for a quote inside), as spreadsheets do.
QString blockAsText(const TableData &table, const CellBlock &block);
// The block as an HTML table, for programs that keep the columns.
QString blockAsHtml(const TableData &table, const CellBlock &block);

// Tab-separated text cut into its rows and cells: lines end at LF, CR LF or CR (a
// last line end adds no row), a cell in double quotes may hold tabs and line breaks.
// Stops after `maxRows` rows and `maxCols` cells a row; `cutRows` and `cutCols` then
// say that more came.
struct TextCells
{
    std::vector<QStringList> rows;
    bool cutRows = false;
    bool cutCols = false;
};
TextCells readTextCells(QStringView text, qsizetype maxRows, qsizetype maxCols);

// What pasting `text` gives: the cells to write from column `firstCol` of the rows
// `rows` on (the rows the view shows from the current one, in order), and what is
// refused. A Key takes only a key of `keys` (or nothing, which clears it), any other
// cell only a text without ";", tab or line break: the results CSV separates its cells
// with ";" and its lines with line breaks. Marks follow from the written keys.
struct PastePlan
{
    std::vector<CellWrite> writes;
    QStringList refused; // one line per refused cell, naming its row by "#" and column
    int refusedCount = 0;
    bool cut = false;    // the text had more rows or columns than the table from there
};
PastePlan planPaste(const TableData &table, const std::vector<int> &rows, int firstCol, QStringView text,
                    const QSet<QString> &keys);

// Clears the keys of the Key cells among `cells` that hold one.
std::vector<CellWrite> clearedKeys(const TableData &table, const std::vector<GridCell> &cells);
