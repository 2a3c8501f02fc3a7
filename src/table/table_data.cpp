#include "table_data.h"

#include "table/text_helpers.h"

#include <QVarLengthArray>

#include <algorithm>

namespace {

// A cell's characters, copied out of the table's chunk for a moment.
class CellChars
{
public:
    CellChars(const RowChunk &chunk, int row, int col) : m_chars(chunk.cellSize(row, col))
    {
        chunk.copyChars(row, col, col, m_chars.data());
    }
    QStringView view() const { return QStringView(m_chars.data(), m_chars.size()); }

private:
    QVarLengthArray<char16_t, 128> m_chars;
};

} // namespace

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
    while (rows() > count) {
        const int inLast = std::as_const(m_chunks).back()->rows();
        const int keep = std::max(0, inLast - (rows() - count));
        m_rowCount -= inLast - keep;
        if (keep == 0)
            m_chunks.pop_back();
        else
            m_chunks.back()->truncate(keep);
    }
    while (rows() < count)
        appendRow({});
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

bool TableData::sameText(int row, int col, QStringView text) const
{
    const RowChunk &c = chunk(row);
    if (c.cellSize(inChunk(row), col) != text.size())
        return false;
    return CellChars(c, inChunk(row), col).view() == text;
}

bool TableData::sameText(int row, int col, const TableData &other, int otherRow) const
{
    return chunk(row).sameText(inChunk(row), col, other.chunk(otherRow), other.inChunk(otherRow), col);
}

size_t TableData::cellHash(int row, int col, size_t seed) const
{
    return chunk(row).hash(inChunk(row), col, seed);
}

void TableData::setText(int row, int col, QStringView text)
{
    const bool isKey = col == Col::Key;
    if (isKey)
        indexKey(row, false);
    writable(row).setText(inChunk(row), col, text);
    if (isKey)
        indexKey(row, true);
}

int TableData::appendRow(std::initializer_list<QStringView> cells)
{
    return appendRow(std::span<const QStringView>(cells.begin(), cells.size()));
}

int TableData::appendRow(std::span<const QStringView> cells)
{
    if (m_chunks.empty() || std::as_const(m_chunks).back()->rows() == RowChunk::capacity) {
        // A full chunk gives back what it had to grow into (unless a copy of the table
        // shares it); the next one starts with room for as much text, so it seldom grows.
        qsizetype text = 0;
        if (!m_chunks.empty()) {
            const RowChunk &last = *std::as_const(m_chunks).back();
            if (last.ref.loadRelaxed() == 1)
                m_chunks.back()->squeeze();
            text = last.textSize();
        }
        m_chunks.emplace_back(new RowChunk);
        if (text > 0)
            m_chunks.back()->reserveText(text + text / 8);
    }
    m_chunks.back()->appendRow(cells.first(std::min(cells.size(), std::size_t(Col::Count))));
    const int row = m_rowCount++;
    indexKey(row, true);
    return row;
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

qsizetype TableData::memoryBytes() const
{
    qsizetype bytes = qsizetype(sizeof(TableData) + m_chunks.capacity() * sizeof(m_chunks.front()));
    for (const auto &c : m_chunks)
        bytes += c->memoryBytes();
    bytes += m_keys.memoryBytes();
    for (auto it = m_marks.cbegin(); it != m_marks.cend(); ++it)
        bytes += qsizetype(sizeof(Mark) + 32) + it->note.capacity() * 2;
    return bytes;
}

void TableData::indexKey(int row, bool add)
{
    if (row < 1)
        return; // the heading row holds no key
    const RowChunk &c = chunk(row);
    if (c.cellSize(inChunk(row), Col::Key) == 0)
        return;
    const CellChars key(c, inChunk(row), Col::Key);
    if (add)
        m_keys.add(key.view(), row);
    else
        m_keys.remove(key.view(), row);
}
