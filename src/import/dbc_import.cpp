#include "dbc_import.h"

#include "import/dbc_details_reader.h"
#include "table/table_data.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFile>
#include <QIODevice>
#include <QList>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

std::optional<double> wholeDbcIdentifier(QStringView text)
{
    constexpr quint64 largest = 4294967295u;
    if (text.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > largest)
            return std::nullopt;
    }
    return double(value);
}

bool isDbcFileName(QStringView fileName)
{
    return hasExtension(fileName, u".dbc");
}

namespace {

constexpr double halfRange = 65536.0;

double roundHalfEven(double value)
{
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return std::round(value);
}

// Writes the upper-case hexadecimal digits of the 32-bit pattern of `value`, without
// leading zeros, and returns where they end.
char16_t *writeHex32(char16_t *out, double value)
{
    quint32 bits = quint32(qint32(value));
    std::array<char16_t, 8> digits;
    std::size_t count = 0;
    do {
        digits[count++] = u"0123456789ABCDEF"[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    return std::reverse_copy(digits.begin(), digits.begin() + count, out);
}

} // namespace

namespace {

// The CAN ID cell's text written into `text`, for a caller that copies it at once.
QStringView canIdText(double id, std::array<char16_t, 17> &text)
{
    constexpr double lowest = double(std::numeric_limits<qint32>::min()) * halfRange;
    constexpr double highest = double(std::numeric_limits<qint32>::max()) * halfRange + (halfRange - 1.0);
    if (std::isnan(id))
        id = 0.0;
    id = std::clamp(id, lowest, highest);
    const double high = std::floor(id / halfRange);
    const double low = roundHalfEven(id - high * halfRange);
    char16_t *end = writeHex32(text.data(), high);
    *end++ = u' ';
    end = writeHex32(end, low);
    return QStringView(text.data(), end);
}

} // namespace

QString FormatCanId(double id)
{
    std::array<char16_t, 17> text;
    return canIdText(id, text).toString();
}

namespace {

enum class LineKind { Other, Message, Signal };

// A line's kind is its first word; a longer keyword such as "BO_TX_BU_" or
// "SG_MUL_VAL_" is another kind of line. Only spaces are skipped, so a line indented
// with a tab is no message or signal line.
LineKind lineKind(QStringView line)
{
    const QStringView trimmed = trimSpaces(line);
    const qsizetype space = findChar(trimmed, u' ');
    const QStringView keyword = space < 0 ? trimmed : trimmed.left(space);
    if (keyword == u"BO_")
        return LineKind::Message;
    if (keyword == u"SG_")
        return LineKind::Signal;
    return LineKind::Other;
}

QStringView dropLeadingSpaces(QStringView text)
{
    qsizetype count = 0;
    while (count < text.size() && text[count] == u' ')
        ++count;
    return text.sliced(count);
}

// The next space-separated token; any number of spaces may stand before it.
QStringView nextToken(QStringView &line)
{
    line = dropLeadingSpaces(line);
    return NextField(line, u" ");
}

// Leaves `line` holding only `rest`, a view of its own characters, as a line is
// left after its pieces have been cut off one by one. The rest moves to the front,
// so the line's memory serves the next line read into it.
void keepRest(QString &line, QStringView rest)
{
    if (!rest.isEmpty()) {
        const qsizetype start = rest.data() - line.constData();
        QChar *const text = line.data(); // a shared line is copied first, at the same positions
        std::copy(text + start, text + start + rest.size(), text);
    }
    line.truncate(rest.size());
}

bool isEnclosed(QStringView token, QChar open, QChar close)
{
    return token.size() >= 2 && token.front() == open && token.back() == close;
}

// The unit, a quoted text that may hold spaces ("deg C"): it runs to its closing
// quote. Without a closing quote it is the next space-separated token.
QStringView nextUnit(QStringView &line)
{
    const QStringView token = nextToken(line);
    if (!token.startsWith(u'"') || isEnclosed(token, u'"', u'"'))
        return token;
    const qsizetype close = findChar(line, u'"');
    if (close < 0)
        return token;
    // The token and the rest of the line are views of the same text.
    const QStringView unit(token.data(), line.data() + close + 1);
    line = line.sliced(close + 1);
    if (line.startsWith(u' '))
        line = line.sliced(1); // the space before the receivers, as after any token
    return unit;
}

// The position token "24|16@1+": start bit and length, byte order, sign.
struct Position
{
    QStringView bits;
    QStringView littleEndian;
    bool isSigned = false;
    bool complete = false;
};

Position splitPosition(QStringView token)
{
    Position position;
    position.complete = containsChar(token, u'@');
    position.bits = NextField(token, u"@");
    const QChar order = token.isEmpty() ? QChar() : token.front();
    position.littleEndian = (order >= u'0' && order <= u'9') ? token.first(1) : QStringView(u"0");
    position.isSigned = token.size() > 1 && token[1] == u'-';
    return position;
}

// `token` without any `open` or `close` character. In a well-formed line they stand
// only at its ends, and the result is a view; otherwise it is built in `storage`.
QStringView withoutEnclosing(QStringView token, QChar open, QChar close, QString &storage)
{
    QStringView inner = token;
    if (!inner.isEmpty() && inner.front() == open)
        inner = inner.sliced(1);
    if (!inner.isEmpty() && inner.back() == close)
        inner.chop(1);
    if (!containsChar(inner, open) && !containsChar(inner, close))
        return inner;
    storage = token.toString();
    storage.remove(open);
    storage.remove(close);
    return storage;
}

// The factor-and-offset token "(0.125,0)". Without a comma the offset stays empty;
// with several, the offset is everything after the first.
struct Factor
{
    QStringView scale;
    QStringView offset;
    bool complete = false;
};

Factor splitFactor(QStringView token, QString &storage)
{
    Factor factor;
    factor.complete = isEnclosed(token, u'(', u')') && token.count(u',') == 1;
    QStringView inner = withoutEnclosing(token, u'(', u')', storage);
    factor.scale = NextField(inner, u",");
    factor.offset = inner;
    return factor;
}

} // namespace

bool ParseMessageLine(QString &line, double &currentMessageId)
{
    QStringView rest = trimSpaces(line);
    NextField(rest, u" "); // the keyword
    const QStringView identifier = nextToken(rest);
    const std::optional<double> whole = wholeDbcIdentifier(identifier);
    currentMessageId = whole ? *whole : readNumber(identifier);
    keepRest(line, rest);
    return whole.has_value();
}

bool ParseSignalLine(QString &line, TableData &table, int &signalCount, double currentMessageId)
{
    // The pieces are views of the line; the line changes only at the end.
    QStringView rest = trimSpaces(line);
    NextField(rest, u" "); // the keyword
    const QStringView name = nextToken(rest);
    rest = dropLeadingSpaces(rest);
    const bool hasColon = containsChar(rest, u':');
    // The multiplexer indicator keeps the spaces before the colon ("m2 ").
    const QStringView mode = NextField(rest, u":");
    const Position position = splitPosition(nextToken(rest));
    QString factorStorage;
    const Factor factor = splitFactor(nextToken(rest), factorStorage);
    const QStringView range = nextToken(rest);
    const QStringView quotedUnit = nextUnit(rest);
    const bool unitComplete = isEnclosed(quotedUnit, u'"', u'"');
    QString unitStorage;
    const QStringView unit = withoutEnclosing(quotedUnit, u'"', u'"', unitStorage);
    // What is left of the line, the receivers, is the description as written.

    // Cells in column order, Col::Number to Col::MinMax.
    DecimalText number;
    std::array<char16_t, 17> canId;
    const int row = table.appendRow({
            writeDecimal(signalCount, number),
            canIdText(currentMessageId, canId),
            position.bits,
            u"0",
            position.isSigned ? u"1" : u"0",
            name,
            unit,
            factor.scale,
            factor.offset,
            rest,
            mode,
            QStringView(),
            position.littleEndian,
            range,
    });
    table.setColour(row, Col::Key, CellColour::KeyCell);
    ++signalCount;
    const bool complete = hasColon && position.complete && factor.complete && isEnclosed(range, u'[', u']')
            && unitComplete;
    keepRest(line, rest); // the pieces are views of the line: this comes last
    return complete;
}

namespace {

// The lines that could not be read completely: the first few numbers for the
// message, and how many there were.
struct IncompleteLines
{
    static constexpr int listed = 20;
    QList<qint64> first;
    qint64 count = 0;
};

void addIncomplete(IncompleteLines &lines, qint64 lineNumber)
{
    if (lines.first.size() < IncompleteLines::listed)
        lines.first.append(lineNumber);
    ++lines.count;
}

QString incompleteWarning(const QString &fileName, const IncompleteLines &lines)
{
    if (lines.count == 1) {
        return QStringLiteral("%1: line %2 could not be read completely and was imported as far as it goes.")
                .arg(displayName(fileName))
                .arg(lines.first.front());
    }
    QString numbers;
    for (const qint64 number : lines.first) {
        if (!numbers.isEmpty())
            numbers += QStringLiteral(", ");
        numbers += QString::number(number);
    }
    if (lines.count > lines.first.size())
        numbers += QStringLiteral(" and %1 more").arg(lines.count - lines.first.size());
    return QStringLiteral("%1: %2 lines could not be read completely and were imported as far as they go: lines %3.")
            .arg(displayName(fileName))
            .arg(lines.count)
            .arg(numbers);
}

// Copying into the same text again and again reuses its memory.
void copyInto(QString &text, QStringView line)
{
    text.resize(line.size());
    std::copy(line.begin(), line.end(), text.data());
}

void copyHeading(const TableData &current, TableData &table)
{
    table.appendRow({});
    if (current.rows() == 0)
        return;
    for (int col = 0; col < Col::Count; ++col) {
        table.setText(0, col, current.text(0, col));
        table.setColour(0, col, current.colour(0, col));
    }
    table.setRowIcon(0, current.rowIcon(0));
}

} // namespace

ImportResult ReadDBC(const QString &fileName, const TableData &current, double &currentMessageId)
{
    QFile file(fileName);
    ImportResult result;
    if (!openForReading(file, result.error))
        return result;
    return ReadDBC(file, fileName, current, currentMessageId);
}

ImportResult ReadDBC(QIODevice &device, const QString &fileName, const TableData &current,
                     double &currentMessageId)
{
    ImportResult result;
    TableData &table = result.table;
    copyHeading(current, table);
    double messageId = currentMessageId;
    int signalCount = 0;
    IncompleteLines incomplete;
    DbcDetailsReader details(table);
    if (!device.isSequential())
        details.reserve(device.size());
    QString parsed; // a message or signal line, taken apart in place

    const auto readLine = [&](QStringView line, qint64 lineNumber) {
        bool complete = true;
        switch (lineKind(line)) {
        case LineKind::Message:
            copyInto(parsed, line);
            complete = ParseMessageLine(parsed, messageId);
            details.addMessage(messageId, parsed); // it holds what followed the identifier
            break;
        case LineKind::Signal:
            copyInto(parsed, line);
            complete = ParseSignalLine(parsed, table, signalCount, messageId);
            table.setRowIcon(table.rows() - 1, true);
            details.addSignal(table.rows() - 1, messageId);
            break;
        case LineKind::Other:
            details.readLine(line, lineNumber);
            break;
        }
        if (!complete)
            addIncomplete(incomplete, lineNumber);
    };
    QString error = readLines<QStringView>(device, fileName, readLine, &result.encoding);
    if (error.isEmpty() && signalCount == 0) {
        error = QStringLiteral("Cannot import %1: it holds no signal line (\"SG_\"), so there is nothing to import.")
                        .arg(displayName(fileName));
    }
    if (!error.isEmpty()) {
        ImportResult failed;
        failed.error = error;
        return failed;
    }

    table.setFixedRows(1);
    currentMessageId = messageId;
    if (incomplete.count > 0)
        result.warnings.append(incompleteWarning(fileName, incomplete));
    details.finish(table, fileName, result.warnings);
    return result;
}
