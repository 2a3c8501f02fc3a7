#include "row_chunk.h"

#include "table/text_file.h"

#include <QHashFunctions>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

// Whether every character has a byte of its own in Windows-1252.
bool fitsCp1252(QStringView text)
{
    std::array<char, 256> bytes;
    for (qsizetype at = 0; at < text.size(); at += qsizetype(bytes.size())) {
        if (!encodeCp1252Exactly(text.sliced(at, std::min(text.size() - at, qsizetype(bytes.size()))), bytes.data()))
            return false;
    }
    return true;
}

} // namespace

RowChunk::RowChunk(const RowChunk &other)
    : QSharedData(other), m_rows(other.m_rows), m_long(other.m_long), m_bytes(other.m_bytes), m_used(other.m_used),
      m_text(other.m_text), m_wide(other.m_wide), m_unused(other.m_unused)
{
    // The copy is made to be changed; a text made for the original would only go stale.
}

RowChunk::~RowChunk()
{
    delete m_decoded.load(std::memory_order_acquire);
}

void RowChunk::reserveText(qsizetype chars)
{
    if (m_wide)
        m_text.reserve(chars);
    else
        m_bytes.reserve(chars);
}

void RowChunk::squeeze()
{
    m_rows.shrink_to_fit();
    if (m_wide) {
        m_text.squeeze();
    } else {
        m_bytes.resize(m_used);
        m_bytes.squeeze();
    }
}

RowChunk::Lengths RowChunk::lengths(int row) const
{
    if (isLong(row)) {
        const auto found = std::lower_bound(m_long.begin(), m_long.end(), row,
                                            [](const auto &entry, int r) { return entry.first < r; });
        return found->second;
    }
    Lengths lengths;
    const Row &r = m_rows[std::size_t(row)];
    std::copy(r.length.begin(), r.length.end(), lengths.begin());
    return lengths;
}

void RowChunk::setLengths(int row, const Lengths &lengths)
{
    Row &r = m_rows[std::size_t(row)];
    const bool fits = std::all_of(lengths.begin(), lengths.end(), [](quint32 n) { return n < longCell; });
    const auto found = std::lower_bound(m_long.begin(), m_long.end(), row,
                                        [](const auto &entry, int r) { return entry.first < r; });
    const bool listed = found != m_long.end() && found->first == row;
    if (fits) {
        if (listed)
            m_long.erase(found);
        std::copy(lengths.begin(), lengths.end(), r.length.begin());
        return;
    }
    if (listed)
        found->second = lengths;
    else
        m_long.insert(found, {row, lengths});
    r.length.fill(longCell);
}

std::pair<qsizetype, qsizetype> RowChunk::span(int row, int first, int last) const
{
    const Row &r = m_rows[std::size_t(row)];
    qsizetype start = rowStart(row);
    qsizetype size = 0;
    if (isLong(row)) {
        const Lengths all = lengths(row);
        for (int col = 0; col < first; ++col)
            start += all[std::size_t(col)];
        for (int col = first; col <= last; ++col)
            size += all[std::size_t(col)];
        return {start, size};
    }
    for (int col = 0; col < first; ++col)
        start += r.length[std::size_t(col)];
    for (int col = first; col <= last; ++col)
        size += r.length[std::size_t(col)];
    return {start, size};
}

void RowChunk::appendRow(std::span<const QStringView> cells)
{
    changed();
    Lengths lengths{};
    qsizetype total = 0;
    for (std::size_t col = 0; col < cells.size(); ++col) {
        lengths[col] = quint32(cells[col].size());
        total += cells[col].size();
    }
    if (textSize() + total > maxText)
        pack();
    const qsizetype start = textSize();
    bool stored = false;
    if (!m_wide) {
        ensureBytes(start + total);
        m_used = start + total;
        // Nearly every text is ASCII: copied in one loop without a call per cell, and
        // only a row with another character is encoded again with a look-up.
        char *out = m_bytes.data() + start;
        char16_t any = 0;
        for (const QStringView cell : cells) {
            const char16_t *const chars = cell.utf16();
            for (qsizetype i = 0; i < cell.size(); ++i) {
                out[i] = char(chars[i]);
                any |= chars[i];
            }
            out += cell.size();
        }
        stored = true;
        out = m_bytes.data() + start;
        for (std::size_t col = 0; any >= 0x80 && col < cells.size(); ++col) {
            if (!encodeCp1252Exactly(cells[col], out)) {
                stored = false;
                break;
            }
            out += cells[col].size();
        }
        if (!stored) {
            m_used = start;
            widen();
        }
    }
    if (!stored) {
        for (const QStringView cell : cells)
            m_text.append(cell);
    }
    m_rows.push_back(Row());
    setRowStart(rows() - 1, start);
    if (total < longCell) { // no cell can be long
        std::copy(lengths.begin(), lengths.end(), m_rows.back().length.begin());
        return;
    }
    setLengths(rows() - 1, lengths);
}

void RowChunk::truncate(int count)
{
    if (count >= rows())
        return;
    changed();
    for (int row = count; row < rows(); ++row)
        m_unused += span(row, 0, Col::Count - 1).second;
    m_rows.resize(std::size_t(count));
    std::erase_if(m_long, [count](const auto &entry) { return entry.first >= count; });
    pack();
}

QStringView RowChunk::cells(int row, int first, int last) const
{
    const auto [start, size] = span(row, first, last);
    return QStringView(m_wide ? m_text : decoded()).sliced(start, size);
}

QString RowChunk::text(int row, int first, int last) const
{
    const auto [start, size] = span(row, first, last);
    if (m_wide)
        return m_text.sliced(start, size);
    return decodeCp1252(m_bytes.constData() + start, size);
}

char16_t *RowChunk::copyChars(int row, int first, int last, char16_t *out) const
{
    const auto [start, size] = span(row, first, last);
    if (m_wide) {
        const char16_t *const text = reinterpret_cast<const char16_t *>(m_text.constData()) + start;
        return std::copy(text, text + size, out);
    }
    decodeCp1252(m_bytes.constData() + start, size, out);
    return out + size;
}

char *RowChunk::encodeCells(int row, int first, int last, char separator, char *out) const
{
    const Lengths all = lengths(row);
    qsizetype at = span(row, first, first).first;
    for (int col = first; col <= last; ++col) {
        const qsizetype size = all[std::size_t(col)];
        if (m_wide) {
            out = encodeCp1252(QStringView(m_text).sliced(at, size), out);
        } else {
            std::memcpy(out, m_bytes.constData() + at, std::size_t(size));
            out += size;
        }
        *out++ = separator;
        at += size;
    }
    return out;
}

void RowChunk::setText(int row, int col, QStringView text)
{
    changed();
    if (!m_wide && !fitsCp1252(text))
        widen();
    Lengths all = lengths(row);
    const qsizetype start = rowStart(row);
    qsizetype before = 0;
    for (int c = 0; c < col; ++c)
        before += all[std::size_t(c)];
    const qsizetype oldSize = all[std::size_t(col)];
    qsizetype total = before;
    for (int c = col; c < Col::Count; ++c)
        total += all[std::size_t(c)];
    const qsizetype after = total - before - oldSize;
    if (text.size() == oldSize) {
        // The same length: written in place.
        if (m_wide)
            std::copy(text.begin(), text.end(), m_text.data() + start + before);
        else
            encodeCp1252(text, m_bytes.data() + start + before);
        return;
    }
    // The row is written anew at the end; what it used before is left over.
    const qsizetype newTotal = total - oldSize + text.size();
    if (textSize() + newTotal > maxText)
        pack();
    const qsizetype oldStart = rowStart(row);
    const qsizetype newStart = textSize();
    // The buffer grows by a quarter, not the half or more a plain resize gives: an
    // update rewrites every row of a table, and the room left over is packed away.
    const qsizetype needed = newStart + newTotal;
    if (m_wide && needed > m_text.capacity())
        m_text.reserve(needed + needed / 4);
    if (m_wide) {
        m_text.resize(newStart + newTotal);
        QChar *const buffer = m_text.data();
        std::copy(buffer + oldStart, buffer + oldStart + before, buffer + newStart);
        std::copy(text.begin(), text.end(), buffer + newStart + before);
        std::copy(buffer + oldStart + before + oldSize, buffer + oldStart + total,
                  buffer + newStart + before + text.size());
    } else {
        ensureBytes(needed);
        m_used = needed;
        char *const buffer = m_bytes.data();
        std::memcpy(buffer + newStart, buffer + oldStart, std::size_t(before));
        encodeCp1252(text, buffer + newStart + before);
        std::memcpy(buffer + newStart + before + text.size(), buffer + oldStart + before + oldSize,
                    std::size_t(after));
    }
    m_unused += total;
    setRowStart(row, newStart);
    all[std::size_t(col)] = quint32(text.size());
    setLengths(row, all);
    if (m_unused > 1024 && m_unused > textSize() / 4)
        pack();
}

bool RowChunk::sameText(int row, int col, const RowChunk &other, int otherRow, int otherCol) const
{
    const auto [start, size] = span(row, col, col);
    const auto [otherStart, otherSize] = other.span(otherRow, otherCol, otherCol);
    if (size != otherSize)
        return false;
    if (!m_wide && !other.m_wide) // one byte for each character, the same for the same
        return std::memcmp(m_bytes.constData() + start, other.m_bytes.constData() + otherStart, std::size_t(size)) == 0;
    QVarLengthArray<char16_t, 128> mine(size);
    QVarLengthArray<char16_t, 128> theirs(size);
    copyChars(row, col, col, mine.data());
    other.copyChars(otherRow, otherCol, otherCol, theirs.data());
    return std::equal(mine.begin(), mine.end(), theirs.begin());
}

size_t RowChunk::hash(int row, int col, size_t seed) const
{
    const auto [start, size] = span(row, col, col);
    if (!m_wide)
        return qHash(QByteArrayView(m_bytes.constData() + start, size), seed);
    // A text with a byte for every character hashes as those bytes, as in a chunk of
    // bytes; only a text without hashes as UTF-16, and it is never kept in bytes.
    const QStringView text = QStringView(m_text).sliced(start, size);
    QVarLengthArray<char, 128> bytes(size);
    if (encodeCp1252Exactly(text, bytes.data()))
        return qHash(QByteArrayView(bytes.data(), size), seed);
    return qHash(text, seed);
}

void RowChunk::setColour(int row, int col, CellColour colour)
{
    quint32 &flags = m_rows[std::size_t(row)].flags;
    flags = (flags & ~(3u << (2 * col))) | (quint32(colour) << (2 * col));
}

void RowChunk::setIcon(int row, bool on)
{
    quint32 &flags = m_rows[std::size_t(row)].flags;
    flags = on ? flags | iconFlag : flags & ~iconFlag;
}

qsizetype RowChunk::memoryBytes() const
{
    qsizetype bytes = qsizetype(sizeof(RowChunk) + m_rows.capacity() * sizeof(Row)
                                + m_long.capacity() * sizeof(m_long.front()));
    bytes += m_wide ? m_text.capacity() * 2 : m_bytes.capacity();
    if (const QString *decoded = m_decoded.load(std::memory_order_acquire))
        bytes += decoded->capacity() * 2;
    return bytes;
}

const QString &RowChunk::decoded() const
{
    QString *text = m_decoded.load(std::memory_order_acquire);
    if (text)
        return *text;
    // Copies of a table share their chunks, and another thread may read a copy (the
    // recovery copy does): the first text made is the one every reader gets.
    auto *made = new QString(decodeCp1252(m_bytes.constData(), m_used));
    if (m_decoded.compare_exchange_strong(text, made, std::memory_order_acq_rel))
        return *made;
    delete made;
    return *text;
}

void RowChunk::ensureBytes(qsizetype size)
{
    if (size <= m_bytes.size())
        return;
    // Growing within the capacity costs no allocation, and the size is kept apart in
    // m_used, so a row appended seldom calls into QByteArray at all.
    m_bytes.resize(size > m_bytes.capacity() ? size + size / 4 : m_bytes.capacity());
}

void RowChunk::changed()
{
    // Only a chunk of one table changes (a shared one is copied first), so no other
    // reader holds the decoded text.
    delete m_decoded.exchange(nullptr, std::memory_order_acq_rel);
}

void RowChunk::widen()
{
    m_text = decodeCp1252(m_bytes.constData(), m_used);
    m_bytes = QByteArray();
    m_used = 0;
    m_wide = true;
}

void RowChunk::pack()
{
    if (m_unused == 0)
        return;
    QByteArray bytes;
    QString text;
    const qsizetype used = textSize() - m_unused;
    if (m_wide)
        text.reserve(used);
    else
        bytes.reserve(used);
    for (int row = 0; row < rows(); ++row) {
        const auto [start, size] = span(row, 0, Col::Count - 1);
        setRowStart(row, m_wide ? text.size() : bytes.size());
        if (m_wide)
            text.append(QStringView(m_text).sliced(start, size));
        else
            bytes.append(m_bytes.constData() + start, size);
    }
    m_bytes = bytes;
    m_used = bytes.size();
    m_text = text;
    m_unused = 0;
}
