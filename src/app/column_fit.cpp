#include "column_fit.h"

#include "table/table_data.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QAbstractItemDelegate>
#include <QTableView>

#include <vector>

namespace {

// Beyond this many characters a cell is wider than any column may be anyway.
constexpr qsizetype measuredLength = 1000;

// The widest text of the column in pixels. Texts are measured longest first, and
// only while a text of that length could still be wider than the widest so far,
// so a column of 100,000 cells measures a few of them.
int widestText(const TableData &table, int col, const QFontMetrics &metrics, int limit)
{
    std::vector<std::vector<int>> byLength(std::size_t(measuredLength) + 1);
    for (int row = table.fixedRows(); row < table.rows(); ++row) {
        const qsizetype length = qMin(table.text(row, col).size(), measuredLength);
        if (length > 0)
            byLength[std::size_t(length)].push_back(row);
    }
    const int widestChar = qMax(1, metrics.maxWidth());
    int widest = 0;
    for (qsizetype length = measuredLength; length > 0; --length) {
        if (widest >= limit || length * widestChar <= widest)
            break;
        for (const int row : byLength[std::size_t(length)])
            widest = qMax(widest, metrics.horizontalAdvance(table.text(row, col).left(measuredLength)));
    }
    return widest;
}

// What a cell needs beside its text, as its delegate and the style lay it out, and
// the grid line.
int padding(QTableView *view, int section, const QFontMetrics &metrics)
{
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    int pad = 2 * margin;
    const QModelIndex index = view->model()->index(0, section);
    if (index.isValid()) {
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.font = view->font();
        option.fontMetrics = metrics;
        const int hint = view->itemDelegateForIndex(index)->sizeHint(option, index).width();
        pad = qMax(pad, hint - metrics.horizontalAdvance(index.data().toString()));
    }
    return pad + (view->showGrid() ? 1 : 0) + 1;
}

} // namespace

void fitColumnToContents(QTableView *view, const TableData &table, int section)
{
    const int col = section + 1;
    if (section < 0 || col >= TableData::cols())
        return;
    const QScreen *screen = view->screen();
    const int limit = screen ? screen->availableGeometry().width() * 2 / 3 : 1000;
    const QFontMetrics metrics(view->font());
    const int cells = widestText(table, col, metrics, limit) + padding(view, section, metrics);
    const int heading = view->horizontalHeader()->sectionSizeHint(section);
    view->setColumnWidth(section, qMin(qMax(cells, heading), qMax(limit, heading)));
}
