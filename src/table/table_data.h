#pragma once

#include "keys/key_index.h"
#include "table/table_layout.h"

#include <QHash>
#include <QString>
#include <QStringView>

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
class TableData
{
public:
    // A reset table: the standard heading row (fixed) and one empty row.
    static TableData standard();

    int rows() const { return int(m_rows.size()); }
    static constexpr int cols() { return Col::Count; }
    // Cuts rows off the end or adds empty rows.
    void setRows(int count);
    // 1 while the heading row is fixed (the table has signal rows), else 0.
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int count) { m_fixedRows = count; }

    QStringView cell(int row, int col) const;
    QString text(int row, int col) const { return cell(row, col).toString(); }
    // The texts of columns `first` to `last` of a row, back to back.
    QStringView cells(int row, int first, int last) const;
    void setText(int row, int col, const QString &text);

    CellColour colour(int row, int col) const { return m_rows[row].colour[col]; }
    void setColour(int row, int col, CellColour colour) { m_rows[row].colour[col] = colour; }
    bool rowIcon(int row) const { return m_rows[row].icon; }
    void setRowIcon(int row, bool on) { m_rows[row].icon = on; }

    // The columns of a row that the user typed into since the row was read, one bit
    // per column (bit 1 << col).
    quint16 handMade(int row) const { return m_rows[std::size_t(row)].handMade; }
    void setHandMade(int row, quint16 columns) { m_rows[std::size_t(row)].handMade = columns; }

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

    void reserve(int rows) { m_rows.reserve(std::size_t(rows)); }
    // Room in the key index for `keys` different keys, before many are set.
    void reserveKeys(int keys) { m_keys.reserve(keys); }

private:
    struct Row
    {
        QString text;                               // every cell, back to back
        std::array<quint32, Col::Count> end{};      // where each cell ends in text
        std::array<CellColour, Col::Count> colour{};
        quint16 handMade = 0;
        bool icon = false;
    };
    struct Mark
    {
        RowMark mark = RowMark::None;
        QString note;
    };
    template<typename Cells>
    int appendCells(const Cells &cells);
    void indexKey(int row, bool add);

    std::vector<Row> m_rows;
    int m_fixedRows = 0;
    KeyIndex m_keys;
    QHash<int, Mark> m_marks; // few rows carry one, so they are kept apart
    std::shared_ptr<const DbcDetails> m_details;
    std::vector<qint32> m_detailsSignal; // per row, as far as a row has a signal
};
