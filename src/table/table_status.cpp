#include "table_status.h"

#include "table/table_data.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>
#include <type_traits>

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

// The checks below read a cell as its chunk keeps it, bytes or UTF-16: the forms are
// ASCII, and a character beyond it fits none of them either way.
template<typename Char>
unsigned unit(std::span<const Char> t, std::size_t i)
{
    return std::make_unsigned_t<Char>(t[i]);
}

template<typename Char>
bool is(std::span<const Char> t, std::string_view text)
{
    return t.size() == text.size() && std::equal(t.begin(), t.end(), text.begin(), [](Char a, char b) {
               return std::make_unsigned_t<Char>(a) == unsigned(b);
           });
}

template<typename Char>
bool isWhole(std::span<const Char> t)
{
    return !t.empty() && std::all_of(t.begin(), t.end(), [](Char c) {
               return std::make_unsigned_t<Char>(c) >= '0' && std::make_unsigned_t<Char>(c) <= '9';
           });
}

// A number as DBC and receiver files write one ("-40", "0.125", "1E-005"), told
// without parsing it; anything else is left to toDouble().
template<typename Char>
bool isPlainNumber(std::span<const Char> t)
{
    std::size_t i = 0;
    const auto at = [&](char c) { return i < t.size() && unit(t, i) == unsigned(c); };
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && unit(t, i) >= '0' && unit(t, i) <= '9')
            ++i;
        return i > from;
    };
    if (at('-') || at('+'))
        ++i;
    if (!digits())
        return false;
    if (at('.')) {
        ++i;
        digits();
    }
    if (at('e') || at('E')) {
        ++i;
        if (at('-') || at('+'))
            ++i;
        if (!digits())
            return false;
    }
    return i == t.size();
}

bool isFiniteNumber(std::span<const char16_t> t)
{
    bool ok = false;
    const double value = QStringView(t.data(), qsizetype(t.size())).toDouble(&ok);
    return ok && std::isfinite(value);
}

bool isFiniteNumber(std::span<const char> t)
{
    // A byte beyond ASCII makes no number, whichever character it stands for.
    bool ok = false;
    const double value = QLatin1StringView(t.data(), qsizetype(t.size())).toString().toDouble(&ok);
    return ok && std::isfinite(value);
}

// Whether `text` has the form of its column; true for any column without one.
template<typename Char>
bool hasForm(std::span<const Char> text, int col)
{
    switch (col) {
    case Col::Signed:
        return is(text, "0") || is(text, "1");
    case Col::LittleEndian:
        return is(text, "0") || is(text, "1") || is(text, "LE") || is(text, "BE");
    case Col::Scale:
    case Col::Offset:
        return isPlainNumber(text) || isFiniteNumber(text);
    case Col::Position: {
        const auto bar = std::find_if(text.begin(), text.end(), [](Char c) { return c == Char('|'); });
        if (bar == text.end())
            return isWhole(text);
        const std::size_t at = std::size_t(bar - text.begin());
        return isWhole(text.first(at)) && isWhole(text.subspan(at + 1));
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

bool hasCellForm(const TableData &table, int row, int col)
{
    bool fits = true;
    table.visitCells(row, col, col, [&](int, auto text) { fits = text.empty() || hasForm(text, col); });
    return fits;
}

} // namespace

QString cellFormProblem(const TableData &table, int row, int col)
{
    if (row < table.fixedRows() || hasCellForm(table, row, col))
        return {};
    return QStringLiteral("%1 holds \"%2\"; the channel list reads %3 here.")
            .arg(headingLiteral.split(u';')[col].toString(), table.text(row, col), formOf(col));
}

QString cellFormWarning(const TableData &table)
{
    QList<int> rows;
    QString first;
    for (int row = table.fixedRows(); row < table.rows() && rows.size() <= separatorRowsNamed; ++row) {
        // The columns with a form lie from Position to LITTLE_ENDIAN: one visit a row.
        int bad = -1;
        table.visitCells(row, Col::Position, Col::LittleEndian, [&](int col, auto text) {
            if (bad < 0 && !text.empty() && !hasForm(text, col))
                bad = col;
        });
        if (bad < 0)
            continue;
        if (first.isEmpty())
            first = cellFormProblem(table, row, bad);
        rows.append(row);
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
