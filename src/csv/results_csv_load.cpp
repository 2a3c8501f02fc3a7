#include "results_csv_load.h"

#include "keys/key_marking.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFile>
#include <QIODevice>

#include <array>
#include <bit>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

ImportResult failed(const QString &error)
{
    ImportResult result;
    result.error = error;
    return result;
}

// Cuts `line` into at most `max` fields at every ";" and tab, in one pass over it
// that looks at eight characters at a time; returns how many there are.
std::size_t splitFields(QStringView line, QStringView *fields, std::size_t max)
{
    std::size_t count = 0;
    qsizetype from = 0;
    // Takes the field that ends at `at`; true once there are `max`.
    const auto cut = [&](qsizetype at) {
        fields[count++] = line.sliced(from, at - from);
        from = at + 1;
        return count == max;
    };
    const char16_t *const chars = line.utf16();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i semicolon = _mm_set1_epi16(short(u';'));
    const __m128i tab = _mm_set1_epi16(short(u'\t'));
    for (; i + 8 <= line.size(); i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + i));
        unsigned hits = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(block, semicolon), _mm_cmpeq_epi16(block, tab))));
        while (hits != 0) {
            const int bit = std::countr_zero(hits);
            hits &= ~(3u << bit); // a character is two bits of the mask
            if (cut(i + bit / 2))
                return count;
        }
    }
#endif
    for (; i < line.size(); ++i) {
        if ((chars[i] == u';' || chars[i] == u'\t') && cut(i))
            return count;
    }
    fields[count++] = line.sliced(from);
    return count;
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
    DecimalText number;
    std::array<QStringView, Col::Count> cells{writeDecimal(table.rows(), number)};
    const std::size_t count = 1 + splitFields(line, cells.data() + 1, cells.size() - 1);
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
