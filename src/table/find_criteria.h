#pragma once

#include "table/table_data.h"

#include <QString>

#include <array>
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
};

// The criteria made ready for passes over one table: the text case folded once, the
// rows of shared keys found once.
class RowMatcher
{
public:
    RowMatcher(const FindCriteria &criteria, const TableData &grid);

    // Whether the cell holds the text, in a searched column.
    bool cellMatches(int row, int col) const;
    // Appends the matching cells of a row, left to right.
    void appendMatches(int row, std::vector<GridCell> &matches) const;
    // Whether the row passes the quick filters (always true while they are off).
    bool passesQuickFilters(int row) const;
    // Whether the view shows the row: every row unless onlyMatching, else the rows
    // that pass the quick filters and, with a text, hold a match.
    bool showsRow(int row) const;

private:
    bool beginsMatch(char16_t c) const;
    qsizetype nextStart(QStringView text, qsizetype from) const;
    bool matchesAt(QStringView text, qsizetype at) const;
    bool holds(QStringView text) const;

    const TableData &m_grid;
    QString m_text;
    Qt::CaseSensitivity m_case;
    QString m_firsts;                  // every character that may begin a match
    std::array<bool, 0x80> m_asciiFirst{}; // the same for ASCII, looked up faster
    char16_t m_asciiFirsts[2] = {0x80, 0x80}; // at most two ASCII ones: a letter's cases
    bool m_wideFirsts = false;             // whether one is not ASCII
    int m_first;
    int m_last;
    bool m_onlyMatching;
    bool m_withoutKey;
    bool m_sharedKey;
    std::vector<bool> m_shared; // per grid row, while only rows of shared keys are shown
};
