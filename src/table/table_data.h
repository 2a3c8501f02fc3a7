#pragma once

#include "keys/key_index.h"
#include "table/row_chunk.h"
#include "table/table_layout.h"

#include <QHash>
#include <QSharedDataPointer>
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

#include <array>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

class DbcDetails;

// The contents of the signal table as a grid: row 0 is the heading row, column 0
// the "#" column, every cell a text with an optional background colour, and a
// row-icon flag per row. Readers build a TableData of their own and hand it to the
// window's table in one piece, so a failed read leaves the user's table alone.
//
// The rows are kept in chunks (RowChunk) that copies of a table share until one of
// them changes a chunk, so a copy for the history or the recovery copy costs next to
// nothing, and a table of a million signals takes about a hundred bytes a row.
class TableData
{
public:
    // A reset table: the standard heading row (fixed) and one empty row.
    static TableData standard();

    int rows() const { return m_rowCount; }
    static constexpr int cols() { return Col::Count; }
    // Cuts rows off the end or adds empty rows.
    void setRows(int count);
    // 1 while the heading row is fixed (the table has signal rows), else 0.
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int count) { m_fixedRows = count; }

    // A cell's text as a view, valid until the table changes. Where a text is wanted
    // only for a moment, the calls below cost less: a view of a chunk kept in bytes makes
    // the chunk's text as UTF-16 once and keeps it.
    QStringView cell(int row, int col) const { return chunk(row).cells(inChunk(row), col, col); }
    QString text(int row, int col) const { return chunk(row).text(inChunk(row), col, col); }
    // A copy of the texts of columns `first` to `last` of a row, back to back.
    QString text(int row, int first, int last) const { return chunk(row).text(inChunk(row), first, last); }
    // The texts of columns `first` to `last` of a row, back to back.
    QStringView cells(int row, int first, int last) const { return chunk(row).cells(inChunk(row), first, last); }
    // The cell's text in `buffer`, without making its chunk's UTF-16 view (which a
    // chunk kept as bytes would hold from then on, as cells() does).
    QStringView cell(int row, int col, QVarLengthArray<char16_t, 64> &buffer) const
    {
        const RowChunk &c = chunk(row);
        buffer.resize(c.cellSize(inChunk(row), col));
        c.copyChars(inChunk(row), col, col, buffer.data());
        return QStringView(buffer.data(), buffer.size());
    }
    // The first row from `row` on whose chunk keeps its text as UTF-16 (see
    // RowChunk::isWide); rows() when there is none.
    int nextRowOfWideChunk(int row) const
    {
        while (row < rows() && !chunk(row).isWide())
            row += chunk(row).rows() - inChunk(row);
        return row;
    }
    void setText(int row, int col, QStringView text);
    void setText(int row, int col, const QString &text) { setText(row, col, QStringView(text)); }

    qsizetype cellSize(int row, int col) const { return chunk(row).cellSize(inChunk(row), col); }
    bool isEmpty(int row, int col) const { return cellSize(row, col) == 0; }
    // Whether the cell holds exactly `text`, or the text of the same cell of another
    // table's row.
    bool sameText(int row, int col, QStringView text) const;
    bool sameText(int row, int col, const TableData &other, int otherRow) const;
    // A hash of the cell's text: the same for the same text, in any table.
    size_t cellHash(int row, int col, size_t seed = 0) const;
    // Writes columns `first` to `last` of a row as Windows-1252, each followed by
    // `separator`, to `out` with room for cellsSize(row, first, last) + last - first + 1
    // bytes; returns where they end.
    qsizetype cellsSize(int row, int first, int last) const
    {
        return chunk(row).cellsSize(inChunk(row), first, last);
    }
    char *encodeCells(int row, int first, int last, char separator, char *out) const
    {
        return chunk(row).encodeCells(inChunk(row), first, last, separator, out);
    }
    // See RowChunk::visitCells.
    template<typename Visit>
    void visitCells(int row, int first, int last, Visit &&visit) const
    {
        chunk(row).visitCells(inChunk(row), first, last, visit);
    }
    // Whether columns `first` to `last` of a row hold an ASCII character for which
    // test(c) is true, looked for in one pass. `test` gets every code unit as an
    // unsigned number and must be false for 0x80 and above.
    template<typename Test>
    bool holdsAscii(int row, int first, int last, Test &&test) const
    {
        return chunk(row).holdsAscii(inChunk(row), first, last, test);
    }
    // The first row from `row` on that holdsAscii(); rows() when there is none. The
    // rows of a chunk whose whole text holds no such character are passed over at once.
    template<typename Test>
    int nextRowHoldingAscii(int row, int first, int last, Test &&test) const
    {
        while (row < rows()) {
            const RowChunk &c = chunk(row);
            const int chunkEnd = row - inChunk(row) + c.rows();
            if (!c.mayHoldAscii(test)) {
                row = chunkEnd;
                continue;
            }
            for (; row < chunkEnd; ++row) {
                if (c.holdsAscii(inChunk(row), first, last, test))
                    return row;
            }
        }
        return rows();
    }

    CellColour colour(int row, int col) const { return chunk(row).colour(inChunk(row), col); }
    void setColour(int row, int col, CellColour colour) { writable(row).setColour(inChunk(row), col, colour); }
    bool rowIcon(int row) const { return chunk(row).icon(inChunk(row)); }
    void setRowIcon(int row, bool on) { writable(row).setIcon(inChunk(row), on); }

    // The columns of a row that the user typed into since the row was read, one bit
    // per column (bit 1 << col).
    quint16 handMade(int row) const { return chunk(row).handMade(inChunk(row)); }
    void setHandMade(int row, quint16 columns) { writable(row).setHandMade(inChunk(row), columns); }

    // The mark an update from a new file revision left on a row, with the text that
    // says what happened to it. A new table starts without marks.
    RowMark rowMark(int row) const { return m_marks.value(row).mark; }
    QString rowNote(int row) const { return m_marks.value(row).note; }
    void setRowMark(int row, RowMark mark, const QString &note);

    // Appends a row whose cells are `cells` from column 0 on; missing cells stay
    // empty and cells beyond the last column are dropped. Returns the new row.
    int appendRow(std::initializer_list<QStringView> cells);
    int appendRow(std::span<const QStringView> cells);
    // The same for one text whose cells are separated by tab characters.
    int addItem(QStringView tabSeparated);

    // What the DBC file the rows were imported from says beyond the table's columns
    // (message names, comments, value descriptions and so on); null when the rows
    // come from elsewhere. It never changes once read, so copies of a table share it.
    const std::shared_ptr<const DbcDetails> &details() const { return m_details; }
    void setDetails(std::shared_ptr<const DbcDetails> details) { m_details = std::move(details); }
    // The signal of details() that a row shows, or -1 for none.
    int detailsSignal(int row) const
    {
        return std::size_t(row) < m_detailsSignal.size() ? m_detailsSignal[std::size_t(row)] : -1;
    }
    void setDetailsSignal(int row, int signal);

    // Signal rows (row 1 on) that hold each key.
    const KeyIndex &keyIndex() const { return m_keys; }

    void reserve(int rows) { m_chunks.reserve(std::size_t(rows / RowChunk::capacity + 1)); }
    // Room in the key index for `keys` different keys, before many are set.
    void reserveKeys(int keys) { m_keys.reserve(keys); }

    // About the heap the table holds, shared parts included, for keeping a history
    // within bounds.
    qsizetype memoryBytes() const;

private:
    struct Mark
    {
        RowMark mark = RowMark::None;
        QString note;
    };
    static int inChunk(int row) { return row % RowChunk::capacity; }
    const RowChunk &chunk(int row) const { return *m_chunks[std::size_t(row / RowChunk::capacity)]; }
    // The chunk of `row`, copied first while another table shares it.
    RowChunk &writable(int row) { return *m_chunks[std::size_t(row / RowChunk::capacity)]; }
    void indexKey(int row, bool add);

    std::vector<QSharedDataPointer<RowChunk>> m_chunks;
    int m_rowCount = 0;
    int m_fixedRows = 0;
    KeyIndex m_keys;
    QHash<int, Mark> m_marks; // few rows carry one, so they are kept apart
    std::shared_ptr<const DbcDetails> m_details;
    std::vector<qint32> m_detailsSignal; // per row, as far as a row has a signal
};
