#include "results_csv_load.h"

#include "keys/key_marking.h"
#include "table/text_file.h"

#include <QFile>
#include <QIODevice>

#include <array>
#include <span>

namespace {

ImportResult failed(const QString &error)
{
    ImportResult result;
    result.error = error;
    return result;
}

bool isSeparator(QChar c)
{
    return c == u';' || c == u'\t';
}

// One line as a row of the table: the row's index, then the line's fields, with
// ";" and tab alike as separators.
void addLine(TableData &table, QStringView line)
{
    QString heading; // the first line loses every "//"
    if (table.rows() == 0) {
        heading = line.toString();
        heading.remove(QStringLiteral("//"));
        line = heading;
    }
    const QString number = QString::number(table.rows());
    std::array<QStringView, Col::Count> cells{number};
    std::size_t count = 1;
    qsizetype from = 0;
    while (count < cells.size()) {
        qsizetype to = from;
        while (to < line.size() && !isSeparator(line[to]))
            ++to;
        cells[count++] = line.sliced(from, to - from);
        if (to == line.size())
            break;
        from = to + 1;
    }
    table.appendRow(std::span<const QStringView>(cells.data(), count));
}

} // namespace

ImportResult LoadCSV(QIODevice &device, const QString &fileName)
{
    ImportResult result;
    TableData &table = result.table;
    const QString error = readLines<QStringView>(
            device, fileName, [&](QStringView line, qint64) { addLine(table, line); }, &result.encoding);
    if (!error.isEmpty())
        return failed(error);

    // Marking once over the finished table gives the same marks as marking each row
    // while it comes in, without comparing every row with every other.
    markAllKeys(table);
    table.setFixedRows(table.rows() > 1 ? 1 : 0);
    return result;
}

ImportResult LoadCSV(const QString &fileName)
{
    QFile file(fileName);
    QString error;
    if (!openForReading(file, error))
        return failed(error);
    return LoadCSV(file, fileName);
}
