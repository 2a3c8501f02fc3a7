#pragma once

#include "table/find_criteria.h"

#include <QModelIndex>

#include <vector>

class QAbstractItemView;
class SignalTable;

// The one place where a cell of the signal table (grid row and column, heading row
// and "#" column included in the count) meets an index of the view that shows it.
// Models that sit between the table and the view (QAbstractProxyModel) are mapped
// through, so a filtered or sorted view needs nothing more here.
class GridMap
{
public:
    struct Cell
    {
        int row = -1;
        int col = -1;
        bool isValid() const { return row >= 0; }
    };

    GridMap(const SignalTable &table, const QAbstractItemView &view) : m_table(table), m_view(view) {}

    // The view's index of a grid cell; invalid when the view does not show it.
    QModelIndex viewIndex(int row, int col) const;
    // The grid cell of a view index; invalid for an invalid index.
    Cell cell(const QModelIndex &viewIndex) const;
    // The grid cell of the view's current index.
    Cell current() const;
    // The grid cells the view has selected, in table order; the current cell when
    // nothing is selected.
    std::vector<GridCell> selected() const;

private:
    const SignalTable &m_table;
    const QAbstractItemView &m_view;
};
