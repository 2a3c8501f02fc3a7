#include "find_criteria.h"

namespace {

int firstColumn(int column)
{
    return column == FindCriteria::allColumns ? Col::Number + 1 : column;
}

int lastColumn(int column)
{
    return column == FindCriteria::allColumns ? Col::Count - 1 : column;
}

} // namespace

bool FindCriteria::cellMatches(const TableData &grid, int row, int col) const
{
    if (text.isEmpty() || col < firstColumn(column) || col > lastColumn(column))
        return false;
    return grid.cell(row, col).contains(text, caseSensitivity);
}

void FindCriteria::appendMatches(const TableData &grid, int row, std::vector<GridCell> &matches) const
{
    if (text.isEmpty())
        return;
    const int first = firstColumn(column);
    const int last = lastColumn(column);
    // Most rows hold the text nowhere: one search over their cells back to back
    // rules them out at once.
    if (!grid.cells(row, first, last).contains(text, caseSensitivity))
        return;
    for (int col = first; col <= last; ++col) {
        if (grid.cell(row, col).contains(text, caseSensitivity))
            matches.push_back({row, col});
    }
}

bool FindCriteria::passesQuickFilters(const TableData &grid, int row) const
{
    const QStringView key = grid.cell(row, Col::Key);
    if (withoutKey && !key.isEmpty())
        return false;
    return !sharedKey || (!key.isEmpty() && grid.keyIndex().count(key.toString()) > 1);
}

bool FindCriteria::showsRow(const TableData &grid, int row) const
{
    if (!onlyMatching)
        return true;
    if (!passesQuickFilters(grid, row))
        return false;
    if (text.isEmpty())
        return true;
    std::vector<GridCell> matches;
    appendMatches(grid, row, matches);
    return !matches.empty();
}
