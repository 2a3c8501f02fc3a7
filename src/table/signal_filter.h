#pragma once

#include "table/find_criteria.h"

#include <QAbstractProxyModel>

#include <optional>
#include <vector>

class SignalTable;

// What the view shows of the signal table: every row, or with "show only matching
// rows" the rows that pass the find criteria, in the table's order. It also keeps
// the matches of the find text, for next and previous and "n of m".
//
// This is the one mapping between the three kinds of row: grid rows (row 0 the
// heading row, as TableData and the commands count them), the table model's rows,
// and the view's rows. The window goes through it whether a filter is on or not.
//
// The rows shown are chosen anew when the criteria change, on refilter() and when
// the table is replaced; an edit does not hide or show its row, so the row the user
// works on stays in place. The "#" header keeps the numbers of the whole table.
// The table changes its set of rows only by a model reset, which this follows.
class SignalFilterModel : public QAbstractProxyModel
{
    Q_OBJECT

public:
    // data() of this role is true for a cell that holds the find text.
    static constexpr int MatchRole = Qt::UserRole + 1;

    explicit SignalFilterModel(SignalTable &table, QObject *parent = nullptr);

    const FindCriteria &criteria() const { return m_criteria; }
    // Takes the criteria and chooses the rows and matches in one pass over the table.
    void setCriteria(const FindCriteria &criteria);
    // Chooses the rows again with the same criteria (after edits, say).
    void refilter();

    // The mapping. Grid cells of rows the view does not show have no view index; an
    // invalid view index has grid row -1.
    int gridRow(const QModelIndex &viewIndex) const;
    static int gridCol(const QModelIndex &viewIndex) { return viewIndex.column() + 1; }
    QModelIndex viewIndex(int row, int col) const;
    bool showsRow(int row) const { return viewIndex(row, Col::Number + 1).isValid(); }

    // The matching cells of the shown rows, in table order (row by row, left to right).
    const std::vector<GridCell> &matches() const { return m_matches; }
    // The first match at or after `from`, or after/before it; each wraps around the
    // table. Nothing while there is no match.
    std::optional<GridCell> firstMatchFrom(GridCell from) const;
    std::optional<GridCell> nextMatch(GridCell from) const;
    std::optional<GridCell> previousMatch(GridCell from) const;
    // The matches of the text in rows that the quick filters hide.
    qsizetype hiddenMatches() const { return m_hiddenMatches; }
    // "n of m": n counts from 1 when `current` is a match, else it is 0; with the
    // matches the quick filters hide, if any, so an empty count has its reason.
    QString matchText(GridCell current) const;
    // "showing k of n signals" while only matching rows are shown, else empty.
    QString statusText() const;

    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void choose(std::vector<int> &rows, std::vector<GridCell> &matches);
    void apply(std::vector<int> rows, std::vector<GridCell> matches);
    int viewRowOf(int modelRow) const;
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);
    void sourceHeaderChanged(Qt::Orientation orientation, int first, int last);
    void rematchRow(int row);

    SignalTable &m_table;
    FindCriteria m_criteria;
    std::optional<RowMatcher> m_matcher;
    std::vector<int> m_rows; // the table model's row of each view row, ascending
    std::vector<GridCell> m_matches;
    qsizetype m_hiddenMatches = 0;
};
