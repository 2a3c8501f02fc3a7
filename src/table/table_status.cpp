#include "table_status.h"

#include "table/table_data.h"

namespace {

// A reset table's one row is a place to start typing, not a signal.
int signalCount(const TableData &table)
{
    const int rows = table.rows() - 1;
    if (rows != 1)
        return qMax(rows, 0);
    for (int col = 0; col < TableData::cols(); ++col) {
        if (!table.cell(1, col).isEmpty())
            return 1;
    }
    return 0;
}

} // namespace

QString tableStatusText(const TableData &table)
{
    const KeyIndex &keys = table.keyIndex();
    const int count = signalCount(table);
    return QStringLiteral("%1 %2, %3 with a key, %4 shared %5")
            .arg(count)
            .arg(count == 1 ? QStringLiteral("signal") : QStringLiteral("signals"))
            .arg(keys.keyedRows())
            .arg(keys.sharedKeys())
            .arg(keys.sharedKeys() == 1 ? QStringLiteral("key") : QStringLiteral("keys"));
}

int nextSharedKeyRow(const TableData &table, int row)
{
    const KeyIndex &keys = table.keyIndex();
    const int signalRows = table.rows() - 1;
    if (keys.sharedKeys() == 0 || signalRows < 1)
        return -1;
    const int from = qBound(0, row, signalRows);
    for (int step = 1; step <= signalRows; ++step) {
        const int candidate = (from + step - 1) % signalRows + 1;
        if (keys.count(table.text(candidate, Col::Key)) > 1)
            return candidate;
    }
    return -1;
}

QList<int> rowsBreakingCsv(const TableData &table, int limit)
{
    QList<int> rows;
    for (int row = 0; row < table.rows() && rows.size() < limit; ++row) {
        for (int col = 1; col < TableData::cols(); ++col) {
            const QStringView cell = table.cell(row, col);
            if (cell.contains(u';') || cell.contains(u'\t')) {
                rows.append(row);
                break;
            }
        }
    }
    return rows;
}
