#include "table_data.h"

#include "table/text_helpers.h"

#include <algorithm>

TableData TableData::standard()
{
    TableData table;
    QString headings = headingLiteral.toString();
    headings.replace(u';', u'\t');
    table.addItem(headings);
    table.addItem(u"");
    table.setFixedRows(1);
    return table;
}

void TableData::setRows(int count)
{
    count = std::max(count, 0);
    for (int row = count; row < rows(); ++row)
        indexKey(row, false);
    m_rows.resize(std::size_t(count));
    if (m_detailsSignal.size() > std::size_t(count))
        m_detailsSignal.resize(std::size_t(count));
    m_marks.removeIf([count](const auto &mark) { return mark.key() >= count; });
    if (m_fixedRows >= count)
        m_fixedRows = 0;
}

void TableData::setRowMark(int row, RowMark mark, const QString &note)
{
    if (mark == RowMark::None)
        m_marks.remove(row);
    else
        m_marks.insert(row, {mark, note});
}

void TableData::setDetailsSignal(int row, int signal)
{
    const auto at = std::size_t(row);
    if (at >= m_detailsSignal.size()) {
        if (signal < 0)
            return;
        // Rows come in order, so this grows like the rows do.
        m_detailsSignal.resize(at + 1, -1);
    }
    m_detailsSignal[at] = signal;
}

QStringView TableData::cell(int row, int col) const
{
    const Row &r = m_rows[std::size_t(row)];
    const quint32 start = col == 0 ? 0 : r.end[std::size_t(col - 1)];
    return QStringView(r.text).mid(start, r.end[std::size_t(col)] - start);
}

QStringView TableData::cells(int row, int first, int last) const
{
    const Row &r = m_rows[std::size_t(row)];
    const quint32 start = first == 0 ? 0 : r.end[std::size_t(first - 1)];
    return QStringView(r.text).mid(start, r.end[std::size_t(last)] - start);
}

void TableData::setText(int row, int col, const QString &text)
{
    const bool isKey = col == Col::Key;
    if (isKey)
        indexKey(row, false);
    Row &r = m_rows[std::size_t(row)];
    const quint32 start = col == 0 ? 0 : r.end[std::size_t(col - 1)];
    const quint32 oldLength = r.end[std::size_t(col)] - start;
    r.text.replace(start, oldLength, text);
    const qint64 delta = qint64(text.size()) - qint64(oldLength);
    for (int c = col; c < Col::Count; ++c)
        r.end[std::size_t(c)] = quint32(qint64(r.end[std::size_t(c)]) + delta);
    if (isKey)
        indexKey(row, true);
}

template<typename Cells>
int TableData::appendCells(const Cells &cells)
{
    Row r;
    qsizetype total = 0;
    int col = 0;
    for (const QStringView cell : cells) {
        if (col == Col::Count)
            break;
        total += cell.size();
        ++col;
    }
    // One allocation of the exact size per row (resize() would leave room to grow),
    // filled in place; a row of empty cells needs none.
    if (total > 0)
        r.text = QString(total, Qt::Uninitialized);
    char16_t *const text = total > 0 ? reinterpret_cast<char16_t *>(r.text.data()) : nullptr;
    quint32 end = 0;
    col = 0;
    for (const QStringView cell : cells) {
        if (col == Col::Count)
            break;
        std::copy(cell.utf16(), cell.utf16() + cell.size(), text + end);
        end += quint32(cell.size());
        r.end[std::size_t(col++)] = end;
    }
    for (; col < Col::Count; ++col)
        r.end[std::size_t(col)] = end;
    m_rows.push_back(std::move(r));
    const int row = rows() - 1;
    indexKey(row, true);
    return row;
}

int TableData::appendRow(std::initializer_list<QStringView> cells)
{
    return appendCells(cells);
}

int TableData::appendRow(std::span<const QStringView> cells)
{
    return appendCells(cells);
}

int TableData::addItem(QStringView tabSeparated)
{
    std::array<QStringView, Col::Count> cells;
    std::size_t count = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype tab = findChar(tabSeparated, u'\t', from);
        const qsizetype to = tab < 0 ? tabSeparated.size() : tab;
        cells[count++] = tabSeparated.sliced(from, to - from);
        if (tab < 0 || count == cells.size())
            break;
        from = tab + 1;
    }
    return appendRow(std::span<const QStringView>(cells.data(), count));
}

void TableData::indexKey(int row, bool add)
{
    if (row < 1)
        return; // the heading row holds no key
    const QStringView key = cell(row, Col::Key);
    if (key.isEmpty())
        return;
    if (add)
        m_keys.add(key.toString(), row);
    else
        m_keys.remove(key.toString(), row);
}
