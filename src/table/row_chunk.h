#pragma once

#include "table/table_layout.h"

#include <QByteArray>
#include <QSharedData>
#include <QString>
#include <QStringView>

#include <array>
#include <atomic>
#include <span>
#include <utility>
#include <vector>

// A run of up to `capacity` consecutive rows of the signal table. The texts of its
// rows lie in one buffer, each row's cells back to back in column order, beside a
// record of 24 bytes per row, so a table costs two allocations per chunk rather than
// one or more per row. The buffer holds one Windows-1252 byte per character while every
// character of the chunk has one (all text read from a file has); the first character
// without one turns it into UTF-16 for good.
//
// A changed row is written anew at the end of the buffer; the buffer is packed again
// once more than a quarter of it is left over, so changes cost a row, not a chunk.
class RowChunk : public QSharedData
{
public:
    static constexpr int capacity = 256;

    RowChunk() = default;
    RowChunk(const RowChunk &other);
    RowChunk &operator=(const RowChunk &) = delete;
    ~RowChunk();

    int rows() const { return int(m_rows.size()); }
    // Appends a row whose cells are `cells` from column 0 on; at most Col::Count.
    void appendRow(std::span<const QStringView> cells);
    void truncate(int rows);
    // Room for `chars` characters of text before the buffer grows.
    void reserveText(qsizetype chars);
    // Gives back the room the buffer was left to grow into.
    void squeeze();
    qsizetype textSize() const { return m_wide ? m_text.size() : m_used; }
    // Whether the chunk keeps its text as UTF-16: only then may it hold a character
    // that Windows-1252 lacks.
    bool isWide() const { return m_wide; }

    qsizetype cellSize(int row, int col) const { return span(row, col, col).second; }
    qsizetype cellsSize(int row, int first, int last) const { return span(row, first, last).second; }
    // The texts of columns `first` to `last` of a row, back to back. A view into the
    // chunk's text as UTF-16 (made once for a chunk held in bytes); it stays valid until
    // the chunk changes.
    QStringView cells(int row, int first, int last) const;
    // A copy of the texts of columns `first` to `last`, back to back; makes no UTF-16
    // view.
    QString text(int row, int first, int last) const;
    // Copies the characters of columns `first` to `last` to `out`, which has room for
    // cellsSize() of them; returns where they end.
    char16_t *copyChars(int row, int first, int last, char16_t *out) const;
    // Writes columns `first` to `last` as Windows-1252, each followed by `separator`,
    // to `out`, which has room for cellsSize() + last - first + 1 bytes; returns where
    // they end.
    char *encodeCells(int row, int first, int last, char separator, char *out) const;
    // Calls visit(col, text) for columns `first` to `last` of a row, `text` the cell as
    // the chunk keeps it: a std::span<const char> of Windows-1252 bytes or a
    // std::span<const char16_t> of UTF-16, so that reading cells copies nothing.
    template<typename Visit>
    void visitCells(int row, int first, int last, Visit &&visit) const;
    // Whether the row's texts from `first` to `last` hold an ASCII character for which
    // test(c) is true, in one pass over them. `test` gets every code unit (a byte or a
    // UTF-16 unit) as an unsigned number and must be false for 0x80 and above.
    template<typename Test>
    bool holdsAscii(int row, int first, int last, Test &&test) const;
    // The same over the chunk's whole buffer, texts no row uses any more included: false
    // means that no row of the chunk holds such a character.
    template<typename Test>
    bool mayHoldAscii(Test &&test) const;
    // Whether the cell holds the same text as a cell of another chunk.
    bool sameText(int row, int col, const RowChunk &other, int otherRow, int otherCol) const;
    // A hash of the cell's text that is the same whichever way a chunk keeps it.
    size_t hash(int row, int col, size_t seed) const;
    void setText(int row, int col, QStringView text);

    CellColour colour(int row, int col) const
    {
        return CellColour((m_rows[std::size_t(row)].flags >> (2 * col)) & 3u);
    }
    void setColour(int row, int col, CellColour colour);
    bool icon(int row) const { return (m_rows[std::size_t(row)].flags & iconFlag) != 0; }
    void setIcon(int row, bool on);
    quint16 handMade(int row) const { return m_rows[std::size_t(row)].handMade; }
    void setHandMade(int row, quint16 columns) { m_rows[std::size_t(row)].handMade = columns; }

    // About the heap the chunk holds, for keeping a history within bounds.
    qsizetype memoryBytes() const;

private:
    // A cell length that does not fit the row's record: the row's lengths are in m_long.
    static constexpr quint8 longCell = 255;
    static constexpr quint32 iconFlag = 1u << (2 * Col::Count);
    // The flags' top bits hold the bits of a row's start above the 32 of Row::start.
    static constexpr int startHighShift = 2 * Col::Count + 1;
    static constexpr qsizetype maxText = (qsizetype(1) << (32 + 32 - startHighShift)) - 1;

    struct Row
    {
        quint32 start = 0; // where the row's text begins in the buffer (its low 32 bits)
        quint32 flags = 0; // two bits of colour per column, the icon, the start's high bits
        quint16 handMade = 0;
        std::array<quint8, Col::Count> length{}; // longCell for every cell of a long row
    };
    using Lengths = std::array<quint32, Col::Count>;

    bool isLong(int row) const { return m_rows[std::size_t(row)].length[0] == longCell; }
    qsizetype rowStart(int row) const
    {
        const Row &r = m_rows[std::size_t(row)];
        return qsizetype(r.start) | (qsizetype(r.flags >> startHighShift) << 32);
    }
    void setRowStart(int row, qsizetype start)
    {
        Row &r = m_rows[std::size_t(row)];
        r.start = quint32(start);
        r.flags = (r.flags & ((1u << startHighShift) - 1)) | (quint32(start >> 32) << startHighShift);
    }
    Lengths lengths(int row) const;
    void setLengths(int row, const Lengths &lengths);
    // Where columns `first` to `last` begin in the buffer, and how long they are.
    std::pair<qsizetype, qsizetype> span(int row, int first, int last) const;
    template<typename Test>
    bool holdsAscii(qsizetype start, qsizetype size, Test &&test) const;
    const QString &decoded() const;
    // Makes m_bytes hold at least `size` bytes, growing it by a quarter when it must.
    void ensureBytes(qsizetype size);
    void changed();
    void widen();
    void pack();

    std::vector<Row> m_rows;
    std::vector<std::pair<int, Lengths>> m_long; // by row, for rows with a cell of 255 or more
    QByteArray m_bytes; // the text as Windows-1252 in its first m_used bytes, while m_wide is false
    qsizetype m_used = 0;
    QString m_text;     // the text as UTF-16, once m_wide is true
    bool m_wide = false;
    qsizetype m_unused = 0; // characters of the buffer that no row uses any more
    mutable std::atomic<QString *> m_decoded{nullptr}; // m_bytes as UTF-16, made when first asked for
};

template<typename Visit>
void RowChunk::visitCells(int row, int first, int last, Visit &&visit) const
{
    const Lengths all = lengths(row);
    qsizetype at = span(row, first, first).first;
    for (int col = first; col <= last; ++col) {
        const std::size_t size = all[std::size_t(col)];
        if (m_wide)
            visit(col, std::span<const char16_t>(reinterpret_cast<const char16_t *>(m_text.constData()) + at, size));
        else
            visit(col, std::span<const char>(m_bytes.constData() + at, size));
        at += qsizetype(size);
    }
}

template<typename Test>
bool RowChunk::mayHoldAscii(Test &&test) const
{
    return holdsAscii(0, textSize(), test);
}

template<typename Test>
bool RowChunk::holdsAscii(int row, int first, int last, Test &&test) const
{
    const auto [start, size] = span(row, first, last);
    return holdsAscii(start, size, test);
}

template<typename Test>
bool RowChunk::holdsAscii(qsizetype start, qsizetype size, Test &&test) const
{
    // No early exit, and the answer gathered in a number rather than a bool: so the
    // loop is vectorised, and most rows hold nothing.
    unsigned found = 0;
    if (m_wide) {
        const char16_t *const text = reinterpret_cast<const char16_t *>(m_text.constData()) + start;
        for (qsizetype i = 0; i < size; ++i)
            found |= unsigned(test(unsigned(text[i])));
    } else {
        // A byte below 0x80 is the character of the same code, and one above stands
        // for a character above.
        const unsigned char *const text = reinterpret_cast<const unsigned char *>(m_bytes.constData()) + start;
        for (qsizetype i = 0; i < size; ++i)
            found |= unsigned(test(unsigned(text[i])));
    }
    return found != 0;
}
