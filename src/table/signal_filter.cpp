#include "signal_filter.h"

#include "table/signal_table.h"

#include <algorithm>
#include <utility>

SignalFilterModel::SignalFilterModel(SignalTable &table, QObject *parent)
    : QAbstractProxyModel(parent), m_table(table)
{
    QAbstractProxyModel::setSourceModel(&table);
    connect(&table, &QAbstractItemModel::modelAboutToBeReset, this, &SignalFilterModel::beginResetModel);
    connect(&table, &QAbstractItemModel::modelReset, this, [this] {
        m_rows.clear();
        m_matches.clear();
        choose(m_rows, m_matches);
        endResetModel();
    });
    connect(&table, &QAbstractItemModel::dataChanged, this, &SignalFilterModel::sourceDataChanged);
    connect(&table, &QAbstractItemModel::headerDataChanged, this, &SignalFilterModel::sourceHeaderChanged);
    choose(m_rows, m_matches);
}

void SignalFilterModel::setCriteria(const FindCriteria &criteria)
{
    m_criteria = criteria;
    refilter();
}

void SignalFilterModel::refilter()
{
    std::vector<int> rows;
    std::vector<GridCell> matches;
    choose(rows, matches);
    apply(std::move(rows), std::move(matches));
}

// One pass over the table: the rows to show and their matches.
void SignalFilterModel::choose(std::vector<int> &rows, std::vector<GridCell> &matches)
{
    const TableData &grid = m_table.grid();
    const RowMatcher &matcher = m_matcher.emplace(m_criteria, grid);
    const int fixed = grid.fixedRows();
    const int count = grid.rows() - fixed;
    const bool byText = m_criteria.onlyMatching && !m_criteria.text.isEmpty();
    rows.reserve(std::size_t(m_criteria.onlyMatching ? count / 8 : count));
    matches.reserve(m_matches.size()); // typing seldom changes the number much
    m_hiddenMatches = 0;
    std::vector<GridCell> hidden;
    for (int modelRow = 0; modelRow < count; ++modelRow) {
        const int row = modelRow + fixed;
        if (m_criteria.onlyMatching && !matcher.passesQuickFilters(row)) {
            if (!m_criteria.text.isEmpty()) {
                matcher.appendMatches(row, hidden);
                m_hiddenMatches += qsizetype(hidden.size());
                hidden.clear();
            }
            continue;
        }
        const std::size_t before = matches.size();
        matcher.appendMatches(row, matches);
        if (!byText || matches.size() > before)
            rows.push_back(modelRow);
    }
}

// A new set of rows resets the view; the same rows only repaint their match marks.
void SignalFilterModel::apply(std::vector<int> rows, std::vector<GridCell> matches)
{
    if (rows != m_rows) {
        beginResetModel();
        m_rows = std::move(rows);
        m_matches = std::move(matches);
        endResetModel();
    } else {
        m_matches = std::move(matches);
        if (!m_rows.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {MatchRole});
    }
}

int SignalFilterModel::gridRow(const QModelIndex &viewIndex) const
{
    if (!viewIndex.isValid())
        return -1;
    return mapToSource(viewIndex).row() + m_table.grid().fixedRows();
}

QModelIndex SignalFilterModel::viewIndex(int row, int col) const
{
    return mapFromSource(m_table.modelIndex(row, col));
}

std::optional<GridCell> SignalFilterModel::firstMatchFrom(GridCell from) const
{
    if (m_matches.empty())
        return std::nullopt;
    const auto at = std::lower_bound(m_matches.begin(), m_matches.end(), from);
    return at == m_matches.end() ? m_matches.front() : *at;
}

std::optional<GridCell> SignalFilterModel::nextMatch(GridCell from) const
{
    if (m_matches.empty())
        return std::nullopt;
    const auto after = std::upper_bound(m_matches.begin(), m_matches.end(), from);
    return after == m_matches.end() ? m_matches.front() : *after;
}

std::optional<GridCell> SignalFilterModel::previousMatch(GridCell from) const
{
    if (m_matches.empty())
        return std::nullopt;
    const auto at = std::lower_bound(m_matches.begin(), m_matches.end(), from);
    return at == m_matches.begin() ? m_matches.back() : *(at - 1);
}

QString SignalFilterModel::matchText(GridCell current) const
{
    const auto at = std::lower_bound(m_matches.begin(), m_matches.end(), current);
    const bool onMatch = at != m_matches.end() && *at == current;
    QString text = QStringLiteral("%1 of %2").arg(onMatch ? at - m_matches.begin() + 1 : 0).arg(m_matches.size());
    if (m_hiddenMatches > 0)
        text += QStringLiteral(", %1 hidden by the filters").arg(m_hiddenMatches);
    return text;
}

QString SignalFilterModel::statusText() const
{
    if (!m_criteria.onlyMatching)
        return {};
    return QStringLiteral("showing %1 of %2 signals").arg(rowCount()).arg(m_table.rowCount());
}

int SignalFilterModel::viewRowOf(int modelRow) const
{
    const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), modelRow);
    return at != m_rows.end() && *at == modelRow ? int(at - m_rows.begin()) : -1;
}

QModelIndex SignalFilterModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    return m_table.index(m_rows[std::size_t(proxyIndex.row())], proxyIndex.column());
}

QModelIndex SignalFilterModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != &m_table)
        return {};
    const int row = viewRowOf(sourceIndex.row());
    return row < 0 ? QModelIndex() : createIndex(row, sourceIndex.column());
}

QModelIndex SignalFilterModel::index(int row, int column, const QModelIndex &parent) const
{
    return hasIndex(row, column, parent) ? createIndex(row, column) : QModelIndex();
}

QModelIndex SignalFilterModel::parent(const QModelIndex &) const
{
    return {};
}

int SignalFilterModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SignalFilterModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant SignalFilterModel::data(const QModelIndex &index, int role) const
{
    if (role != MatchRole)
        return QAbstractProxyModel::data(index, role);
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return m_matcher->cellMatches(gridRow(index), gridCol(index));
}

QVariant SignalFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal)
        return m_table.headerData(section, orientation, role);
    if (section < 0 || section >= rowCount())
        return {};
    return m_table.headerData(m_rows[std::size_t(section)], orientation, role);
}

void SignalFilterModel::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                          const QList<int> &roles)
{
    const auto first = std::lower_bound(m_rows.begin(), m_rows.end(), topLeft.row());
    const auto last = std::upper_bound(first, m_rows.end(), bottomRight.row());
    if (first == last)
        return;
    for (auto it = first; it != last; ++it)
        rematchRow(*it + m_table.grid().fixedRows());
    emit dataChanged(index(int(first - m_rows.begin()), topLeft.column()),
                     index(int(last - m_rows.begin()) - 1, bottomRight.column()), roles);
}

void SignalFilterModel::sourceHeaderChanged(Qt::Orientation orientation, int first, int last)
{
    if (orientation == Qt::Horizontal) {
        emit headerDataChanged(orientation, first, last);
        return;
    }
    const auto from = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const auto to = std::upper_bound(from, m_rows.end(), last);
    if (from != to)
        emit headerDataChanged(orientation, int(from - m_rows.begin()), int(to - m_rows.begin()) - 1);
}

// The matches of a shown row after its cells changed.
void SignalFilterModel::rematchRow(int row)
{
    const auto range = std::equal_range(m_matches.begin(), m_matches.end(), GridCell{row, 0},
                                        [](const GridCell &a, const GridCell &b) { return a.row < b.row; });
    std::vector<GridCell> matches;
    m_matcher->appendMatches(row, matches);
    const auto at = m_matches.erase(range.first, range.second);
    m_matches.insert(at, matches.begin(), matches.end());
}
