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
    // Besides the table's columns: all of them, and what the DBC file says of a row's
    // message and signal (see RowMatcher).
    static constexpr int allColumns = -1;
    static constexpr int messageColumn = -2; // the name of the row's message
    static constexpr int commentColumn = -3; // the comments of the row's signal and message

    QString text;                 // found as a part of a cell's text; empty finds nothing
    int column = allColumns;      // every column but "#", one Col value, or one of the above
    Qt::CaseSensitivity caseSensitivity = Qt::CaseInsensitive;
    bool onlyMatching = false;    // show only the rows that pass the filters below
    bool withoutKey = false;      // with onlyMatching: rows whose Key is empty
    bool sharedKey = false;       // with onlyMatching: rows whose key another row holds too
    // With onlyMatching: rows the last update added, or changed (moved ones among
    // them); with both, rows of either kind.
    bool addedByUpdate = false;
    bool changedByUpdate = false;

    bool operator==(const FindCriteria &) const = default;
};

class DbcDetails;

// The criteria made ready for passes over one table: the text case folded once, the
// rows of shared keys found once.
//
// Where the table has DBC details, "all columns" also looks in the name and the
// comment of the row's message and in the signal's comment, long name and value
// descriptions; a match there counts as a match of the row's Name cell, as does one
// in the message or the comments alone.
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
    enum class InDetails { No, All, Message, Comment };

    bool detailsHold(int row) const;
    void appendCellMatches(int row, std::vector<GridCell> &matches) const;
    bool beginsMatch(char16_t c) const;
    qsizetype nextStart(QStringView text, qsizetype from) const;
    bool matchesAt(QStringView text, qsizetype at) const;
    bool holds(QStringView text) const;

    const TableData &m_grid;
    const DbcDetails *m_details;
    InDetails m_inDetails;
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
    bool m_added;
    bool m_changed;
    std::vector<bool> m_shared; // per grid row, while only rows of shared keys are shown
};
