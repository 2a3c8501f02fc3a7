#include "cell_transfer.h"

#include <algorithm>

namespace {

// The refused cells named one by one; the rest only counted.
constexpr int refusedNamed = 8;

void sortUnique(std::vector<int> &values)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

qsizetype indexIn(const std::vector<int> &values, int value)
{
    return std::lower_bound(values.begin(), values.end(), value) - values.begin();
}

QString quotedIfNeeded(const QString &text)
{
    if (!text.startsWith(u'"') && !text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

QString rowName(const TableData &table, int row)
{
    const QString number = table.text(row, Col::Number);
    return number.isEmpty() ? QString::number(row) : number;
}

QString columnName(int col)
{
    return headingLiteral.split(u';')[col].toString();
}

} // namespace

CellBlock cellBlock(const std::vector<GridCell> &cells)
{
    CellBlock block;
    for (const GridCell &cell : cells) {
        block.rows.push_back(cell.row);
        block.cols.push_back(cell.col);
    }
    sortUnique(block.rows);
    sortUnique(block.cols);
    block.chosen.assign(block.rows.size() * block.cols.size(), false);
    for (const GridCell &cell : cells)
        block.chosen[std::size_t(indexIn(block.rows, cell.row)) * block.cols.size() + std::size_t(indexIn(block.cols, cell.col))] = true;
    return block;
}

namespace {

template<typename Cell>
QString joinBlock(const TableData &table, const CellBlock &block, QStringView rowStart, QStringView rowEnd,
                  QStringView separator, Cell &&cellText)
{
    QString out;
    for (std::size_t r = 0; r < block.rows.size(); ++r) {
        out += rowStart;
        for (std::size_t c = 0; c < block.cols.size(); ++c) {
            if (c > 0)
                out += separator;
            const bool chosen = block.chosen[r * block.cols.size() + c];
            out += cellText(chosen ? table.text(block.rows[r], block.cols[c]) : QString());
        }
        out += rowEnd;
    }
    return out;
}

} // namespace

QString blockAsText(const TableData &table, const CellBlock &block)
{
    QString text = joinBlock(table, block, {}, u"\n", u"\t", quotedIfNeeded);
    // One cell goes into a text field as it is, without a line end.
    if (block.rows.size() == 1 && block.cols.size() == 1)
        text.chop(1);
    return text;
}

QString blockAsHtml(const TableData &table, const CellBlock &block)
{
    return QStringLiteral("<table>\n")
            + joinBlock(table, block, u"<tr><td>", u"</td></tr>\n", u"</td><td>",
                        [](const QString &text) { return text.toHtmlEscaped(); })
            + QStringLiteral("</table>\n");
}

TextCells readTextCells(QStringView text, qsizetype maxRows, qsizetype maxCols)
{
    TextCells cells;
    QStringList row;
    QString cell;
    bool rowOpen = false;
    qsizetype i = 0;
    const qsizetype size = text.size();
    const auto endCell = [&] {
        if (row.size() < maxCols)
            row.append(cell);
        else
            cells.cutCols = true;
        cell.clear();
    };
    while (i < size) {
        if (qsizetype(cells.rows.size()) == maxRows) {
            cells.cutRows = true;
            break;
        }
        rowOpen = true;
        const QChar c = text[i];
        if (cell.isEmpty() && c == u'"') {
            // A quoted cell runs to the quote that no second quote follows.
            qsizetype j = i + 1;
            while (j < size) {
                if (text[j] == u'"') {
                    if (j + 1 < size && text[j + 1] == u'"') {
                        cell += u'"';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                cell += text[j++];
            }
            i = j;
            continue;
        }
        if (c == u'\t') {
            endCell();
            ++i;
        } else if (c == u'\n' || c == u'\r') {
            endCell();
            cells.rows.push_back(std::exchange(row, {}));
            rowOpen = false;
            i += (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ? 2 : 1;
        } else {
            cell += c;
            ++i;
        }
    }
    if (rowOpen && !cells.cutRows) {
        endCell();
        cells.rows.push_back(row);
    }
    return cells;
}

PastePlan planPaste(const TableData &table, const std::vector<int> &rows, int firstCol, QStringView text,
                    const QSet<QString> &keys)
{
    PastePlan plan;
    if (firstCol <= Col::Number || firstCol >= Col::Count)
        return plan;
    const TextCells cells = readTextCells(text, qsizetype(rows.size()), Col::Count - firstCol);
    plan.cut = cells.cutRows || cells.cutCols;
    const auto refuse = [&](int row, int col, const QString &why) {
        if (plan.refusedCount++ < refusedNamed)
            plan.refused.append(QStringLiteral("row #%1, %2: %3").arg(rowName(table, row), columnName(col), why));
    };
    for (std::size_t r = 0; r < cells.rows.size(); ++r) {
        const int row = rows[r];
        const QStringList &line = cells.rows[r];
        for (qsizetype c = 0; c < line.size(); ++c) {
            const int col = firstCol + int(c);
            const QString &value = line[c];
            if (col == Col::Key && !value.isEmpty() && !keys.contains(value))
                refuse(row, col, QStringLiteral("\"%1\" is not a key of the key list").arg(value));
            else if (value.contains(u';') || value.contains(u'\t') || value.contains(u'\n') || value.contains(u'\r'))
                refuse(row, col, QStringLiteral("a cell cannot hold \";\", a tab or a line break"));
            else
                plan.writes.push_back({row, col, value});
        }
    }
    if (plan.refusedCount > refusedNamed)
        plan.refused.append(QStringLiteral("and %1 more").arg(plan.refusedCount - refusedNamed));
    return plan;
}

std::vector<CellWrite> clearedKeys(const TableData &table, const std::vector<GridCell> &cells)
{
    std::vector<CellWrite> writes;
    for (const GridCell &cell : cells) {
        if (cell.col == Col::Key && cell.row >= table.fixedRows() && !table.isEmpty(cell.row, Col::Key))
            writes.push_back({cell.row, Col::Key, {}});
    }
    return writes;
}
