#include "table_stream.h"

#include "import/dbc_details.h"
#include "table/table_data.h"

#include <QDataStream>
#include <QtEndian>
#include <QIODevice>

#include <array>
#include <limits>

namespace {

// What follows a row's text: the cell lengths, colours, the hand-made bits and the
// icon flag, big-endian as the rest of the stream. They go in one piece, which makes
// writing and reading a large table several times faster than field by field.
constexpr int rowTailBytes = 4 * Col::Count + Col::Count + 2 + 1;
constexpr qint64 leastRowBytes = 4 + rowTailBytes;
// One mark: its row, its kind and an empty note.
constexpr qint64 leastMarkBytes = 4 + 1 + 4;

// How many more entries of `size` bytes the rest of the input can hold at most, so
// that a damaged count never makes room for more than the file holds.
qint64 roomFor(const QDataStream &in, qint64 size)
{
    const QIODevice *device = in.device();
    return device ? device->bytesAvailable() / size : std::numeric_limits<qint64>::max();
}

} // namespace

void writeTable(QDataStream &out, const TableData &table)
{
    out << quint32(table.rows());
    for (int row = 0; row < table.rows(); ++row) {
        out << table.text(row, 0, Col::Count - 1);
        std::array<char, rowTailBytes> tail;
        char *at = tail.data();
        for (int col = 0; col < Col::Count; ++col, at += 4)
            qToBigEndian(quint32(table.cellSize(row, col)), at);
        for (int col = 0; col < Col::Count; ++col)
            *at++ = char(table.colour(row, col));
        qToBigEndian(quint16(table.handMade(row)), at);
        at[2] = char(table.rowIcon(row));
        out.writeRawData(tail.data(), rowTailBytes);
    }
    out << qint32(table.fixedRows());

    quint32 marks = 0;
    for (int row = 0; row < table.rows(); ++row)
        marks += table.rowMark(row) != RowMark::None;
    out << marks;
    for (int row = 0; row < table.rows(); ++row) {
        if (table.rowMark(row) != RowMark::None)
            out << quint32(row) << quint8(table.rowMark(row)) << table.rowNote(row);
    }
    writeTableDetails(out, table);
}

QString readTable(QDataStream &in, TableData &table)
{
    const auto cutShort = [&in] { return in.status() != QDataStream::Ok; };
    quint32 rows = 0;
    in >> rows;
    if (cutShort() || rows > quint32(std::numeric_limits<int>::max()) || rows > roomFor(in, leastRowBytes))
        return QStringLiteral("its row count is damaged");
    table = TableData();
    table.reserve(int(rows));

    QString text;
    std::array<quint32, Col::Count> lengths{};
    std::array<quint8, Col::Count> colours{};
    std::array<QStringView, Col::Count> cells;
    for (quint32 row = 0; row < rows; ++row) {
        std::array<char, rowTailBytes> tail;
        in >> text;
        if (cutShort() || in.readRawData(tail.data(), rowTailBytes) != rowTailBytes)
            return QStringLiteral("row %1 is cut short").arg(row);
        const char *field = tail.data();
        for (quint32 &length : lengths) {
            length = qFromBigEndian<quint32>(field);
            field += 4;
        }
        for (quint8 &colour : colours)
            colour = quint8(*field++);
        const quint16 handMade = qFromBigEndian<quint16>(field);
        const quint8 icon = quint8(field[2]);
        qint64 at = 0;
        for (int col = 0; col < Col::Count; ++col) {
            if (lengths[col] > text.size() - at || colours[col] > quint8(CellColour::DuplicateKey))
                return QStringLiteral("row %1 is damaged").arg(row);
            cells[col] = QStringView(text).sliced(at, lengths[col]);
            at += lengths[col];
        }
        if (at != text.size() || (handMade >> Col::Count) != 0 || icon > 1)
            return QStringLiteral("row %1 is damaged").arg(row);
        const int r = table.appendRow(std::span<const QStringView>(cells));
        for (int col = 0; col < Col::Count; ++col)
            table.setColour(r, col, CellColour(colours[col]));
        table.setHandMade(r, handMade);
        table.setRowIcon(r, icon != 0);
    }

    qint32 fixedRows = -1;
    quint32 marks = 0;
    in >> fixedRows >> marks;
    if (cutShort() || fixedRows < 0 || fixedRows > 1 || (fixedRows > 0 && quint32(fixedRows) >= rows))
        return QStringLiteral("its heading row is damaged");
    table.setFixedRows(fixedRows);
    if (marks > rows || marks > roomFor(in, leastMarkBytes))
        return QStringLiteral("its count of row marks is damaged");
    qint64 previous = -1;
    for (quint32 i = 0; i < marks; ++i) {
        quint32 row = 0;
        quint8 mark = 0;
        QString note;
        in >> row >> mark >> note;
        // Rows stand in order and once each, so a mark cannot quietly replace another.
        if (cutShort() || row >= rows || qint64(row) <= previous || mark < quint8(RowMark::Added)
            || mark > quint8(RowMark::Changed))
            return QStringLiteral("row mark %1 is damaged").arg(i);
        table.setRowMark(int(row), RowMark(mark), note);
        previous = row;
    }
    if (!readTableDetails(in, table))
        return QStringLiteral("its DBC details are damaged");
    return {};
}
