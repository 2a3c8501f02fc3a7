#pragma once

#include "table/table_data.h"

#include <QString>

#include <compare>
#include <vector>

// A cell of the grid: row 0 is the heading row, column 0 the "#" column.
struct GridCell
{
    int row = -1;
    int col = -1;
    auto operator<=>(const GridCell &) const = default;
};

// What the user looks for in the signal table, and which rows the view shows.
struct FindCriteria
{
    static constexpr int allColumns = -1;

    QString text;                 // found as a part of a cell's text; empty finds nothing
    int column = allColumns;      // every column but "#", or one Col value
    Qt::CaseSensitivity caseSensitivity = Qt::CaseInsensitive;
    bool onlyMatching = false;    // show only the rows that pass the filters below
    bool withoutKey = false;      // with onlyMatching: rows whose Key is empty
    bool sharedKey = false;       // with onlyMatching: rows whose key another row holds too

    bool operator==(const FindCriteria &) const = default;

    // Whether the cell holds the text, in a searched column.
    bool cellMatches(const TableData &grid, int row, int col) const;
    // Appends the matching cells of a row, left to right.
    void appendMatches(const TableData &grid, int row, std::vector<GridCell> &matches) const;
    // Whether the row passes the quick filters (always true while they are off).
    bool passesQuickFilters(const TableData &grid, int row) const;
    // Whether the view shows the row: every row unless onlyMatching, else the rows
    // that pass the quick filters and, with a text, hold a match.
    bool showsRow(const TableData &grid, int row) const;
};
