#include "table_status.h"

#include "table/table_data.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A reset table's one row is a place to start typing, not a signal.
int signalCount(const TableData &table)
{
    const int rows = table.rows() - 1;
    if (rows != 1)
        return qMax(rows, 0);
    for (int col = 0; col < TableData::cols(); ++col) {
        if (!table.isEmpty(1, col))
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
    // A ";" would start another cell, a CR or LF another line, and any other control
    // character (NUL above all) is something no reader of the file expects in a cell.
    const auto breaks = [](unsigned c) { return (c == u';') | (c < 0x20); }; // no branch: the loop vectorises
    QList<int> rows;
    for (int row = 0; rows.size() < limit; ++row) {
        row = table.nextRowHoldingAscii(row, Col::Number + 1, Col::Count - 1, breaks);
        if (row == table.rows())
            break;
        rows.append(row);
    }
    return rows;
}

namespace {

// The first rows named by the warning about cells that would break the results CSV.
constexpr int separatorRowsNamed = 5;

} // namespace

QString rowName(const TableData &table, int row)
{
    if (row == 0)
        return QStringLiteral("the heading row");
    const QString number = table.text(row, Col::Number);
    return number.isEmpty() ? QString::number(row) : u'#' + number;
}

QString rowsHold(const TableData &table, const QList<int> &rows, int named)
{
    QStringList names;
    for (qsizetype i = 0; i < qMin(rows.size(), qsizetype(named)); ++i)
        names.append(rowName(table, rows[i]));
    if (rows.size() > named)
        names.append(QStringLiteral("more"));
    return (rows.size() == 1 ? QStringLiteral("Row %1 holds") : QStringLiteral("Rows %1 hold"))
            .arg(names.join(QStringLiteral(", ")));
}

namespace {

bool isWhole(QStringView t)
{
    return !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A number as DBC and receiver files write one ("-40", "0.125", "1E-005"), told
// without parsing it; anything else is left to toDouble().
bool isPlainNumber(QStringView t)
{
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype from = i;
        while (i < t.size() && t[i] >= u'0' && t[i] <= u'9')
            ++i;
        return i > from;
    };
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    if (!digits())
        return false;
    if (i < t.size() && t[i] == u'.') {
        ++i;
        digits();
    }
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        ++i;
        if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
            ++i;
        if (!digits())
            return false;
    }
    return i == t.size();
}

// Whether `text` has the form of its column; true for any column without one.
bool hasForm(QStringView text, int col)
{
    switch (col) {
    case Col::Signed:
        return text == u"0" || text == u"1";
    case Col::LittleEndian:
        return text == u"0" || text == u"1" || text == u"LE" || text == u"BE";
    case Col::Scale:
    case Col::Offset: {
        if (isPlainNumber(text))
            return true;
        bool ok = false;
        const double value = text.toDouble(&ok);
        return ok && std::isfinite(value);
    }
    case Col::Position: {
        const qsizetype bar = text.indexOf(u'|');
        return bar < 0 ? isWhole(text) : isWhole(text.first(bar)) && isWhole(text.sliced(bar + 1));
    }
    default:
        return true;
    }
}

QString formOf(int col)
{
    switch (col) {
    case Col::Signed:
        return QStringLiteral("0 or 1");
    case Col::LittleEndian:
        return QStringLiteral("0 or 1 (LE or BE from a receiver file)");
    case Col::Scale:
    case Col::Offset:
        return QStringLiteral("a number");
    default:
        return QStringLiteral("a start bit and length (\"24|16\") or a start byte");
    }
}

} // namespace

QString cellFormProblem(const TableData &table, int row, int col)
{
    QVarLengthArray<char16_t, 64> buffer;
    const QStringView text = table.cell(row, col, buffer);
    if (text.isEmpty() || row < table.fixedRows() || hasForm(text, col))
        return {};
    return QStringLiteral("%1 holds \"%2\"; the channel list reads %3 here.")
            .arg(headingLiteral.split(u';')[col].toString(), text.toString(), formOf(col));
}

QString cellFormWarning(const TableData &table)
{
    constexpr std::array checked = {Col::Position, Col::Signed, Col::Scale, Col::Offset, Col::LittleEndian};
    QList<int> rows;
    QString first;
    for (int row = table.fixedRows(); row < table.rows() && rows.size() <= separatorRowsNamed; ++row) {
        for (const int col : checked) {
            const QString problem = cellFormProblem(table, row, col);
            if (problem.isEmpty())
                continue;
            if (first.isEmpty())
                first = problem;
            rows.append(row);
            break;
        }
    }
    if (rows.isEmpty())
        return {};
    return rowsHold(table, rows, separatorRowsNamed)
            + (rows.size() == 1 ? QStringLiteral(" a cell") : QStringLiteral(" cells"))
            + QStringLiteral(" that the data-acquisition application cannot read (the first: %1) They are saved as "
                             "they are.")
                      .arg(first);
}

QString csvSeparatorWarning(const TableData &table)
{
    const QList<int> rows = rowsBreakingCsv(table, separatorRowsNamed + 1);
    if (rows.isEmpty())
        return {};
    return rowsHold(table, rows, separatorRowsNamed)
            + QStringLiteral(" a \";\", a tab or another control character in a cell. The results CSV separates its "
                             "cells with \";\" and its lines with CR LF, so such a row does not load back as it was.");
}

namespace {

// The other rows named in a shared key's tooltip; the rest are counted.
constexpr int sharedRowsNamed = 10;

QString rowNumber(const TableData &table, int row)
{
    const QString number = table.text(row, Col::Number);
    return number.isEmpty() ? QString::number(row) : number;
}

} // namespace

QString sharedKeyText(const TableData &table, int row)
{
    if (row < table.fixedRows() || row >= table.rows())
        return {};
    const QString key = table.text(row, Col::Key);
    QList<int> others = table.keyIndex().rows(key);
    others.removeAll(row);
    if (others.isEmpty())
        return {};
    std::sort(others.begin(), others.end());
    QStringList named;
    for (qsizetype i = 0; i < qMin(others.size(), qsizetype(sharedRowsNamed)); ++i)
        named.append(rowNumber(table, others[i]));
    QString list;
    if (others.size() > sharedRowsNamed)
        list = named.join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(others.size() - sharedRowsNamed);
    else if (named.size() == 1)
        list = named.first();
    else
        list = named.mid(0, named.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + named.last();
    return QStringLiteral("%1 is also in %2 %3").arg(key, others.size() == 1 ? QStringLiteral("row") : QStringLiteral("rows"), list);
}
