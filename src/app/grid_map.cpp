#include "grid_map.h"

#include "table/signal_table.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QItemSelectionModel>

#include <algorithm>

namespace {

QModelIndex fromTable(const QAbstractItemModel *model, const QModelIndex &tableIndex)
{
    if (!model || model == tableIndex.model())
        return tableIndex;
    const auto *proxy = qobject_cast<const QAbstractProxyModel *>(model);
    if (!proxy)
        return {};
    return proxy->mapFromSource(fromTable(proxy->sourceModel(), tableIndex));
}

} // namespace

QModelIndex GridMap::viewIndex(int row, int col) const
{
    return fromTable(m_view.model(), m_table.modelIndex(row, col));
}

GridMap::Cell GridMap::cell(const QModelIndex &viewIndex) const
{
    QModelIndex index = viewIndex;
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        index = proxy->mapToSource(index);
    if (!index.isValid() || index.model() != &m_table)
        return {};
    return {m_table.gridRow(index), SignalTable::gridCol(index)};
}

GridMap::Cell GridMap::current() const
{
    return cell(m_view.currentIndex());
}

std::vector<GridCell> GridMap::selected() const
{
    std::vector<GridCell> cells;
    const QItemSelectionModel *selection = m_view.selectionModel();
    const QModelIndexList indexes = selection ? selection->selectedIndexes() : QModelIndexList();
    cells.reserve(std::size_t(indexes.size()));
    for (const QModelIndex &index : indexes) {
        if (const Cell c = cell(index); c.isValid())
            cells.push_back({c.row, c.col});
    }
    if (cells.empty()) {
        if (const Cell c = current(); c.isValid())
            cells.push_back({c.row, c.col});
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}
