#include "signal_details.h"

#include "import/dbc_details.h"
#include "table/table_data.h"

#include <QStringList>

#include <optional>

bool isExtendedId(quint32 id)
{
    return (id & 0x80000000u) != 0 || id > 0x7FFu;
}

J1939Id j1939Of(quint32 id)
{
    id &= 0x1FFFFFFFu;
    J1939Id j1939;
    j1939.priority = int(id >> 26);
    j1939.sourceAddress = int(id & 0xFFu);
    const quint32 format = (id >> 16) & 0xFFu;
    j1939.pgn = (id >> 8) & 0x3FFFFu;
    if (format < 240) {
        // PDU1: the specific byte is the destination, not part of the group.
        j1939.destinationAddress = int(j1939.pgn & 0xFFu);
        j1939.pgn &= ~0xFFu;
    }
    return j1939;
}

namespace {

std::optional<DbcDetails::Signal> signalOf(const TableData &table, int row)
{
    const DbcDetails *details = table.details().get();
    const int index = table.detailsSignal(row);
    if (!details || index < 0 || index >= details->signalCount())
        return std::nullopt;
    return details->signal(index);
}

QString valueTypeName(DbcDetails::ValueType type)
{
    switch (type) {
    case DbcDetails::ValueType::Float: return QStringLiteral("IEEE float (32 bit)");
    case DbcDetails::ValueType::Double: return QStringLiteral("IEEE double (64 bit)");
    case DbcDetails::ValueType::Integer: break;
    }
    return QStringLiteral("integer");
}

QString hex(quint32 value, int digits)
{
    return QStringLiteral("0x%1").arg(value, digits, 16, QLatin1Char('0')).toUpper().replace(u'X', u'x');
}

QString identifierText(const SignalDetails &d)
{
    const quint32 id = d.extended ? d.id & 0x1FFFFFFFu : d.id;
    QString text = QStringLiteral("%1 (%2), %3 frame")
                           .arg(hex(id, d.extended ? 8 : 3))
                           .arg(id)
                           .arg(d.extended ? QStringLiteral("extended") : QStringLiteral("standard"));
    if (id != d.id)
        text += QStringLiteral("; the file writes %1").arg(d.id);
    return text;
}

QString j1939Text(const J1939Id &j)
{
    QString text = QStringLiteral("PGN %1 (%2), priority %3, source address %4 (%5)")
                           .arg(hex(j.pgn, 4))
                           .arg(j.pgn)
                           .arg(j.priority)
                           .arg(hex(quint32(j.sourceAddress), 2))
                           .arg(j.sourceAddress);
    if (j.destinationAddress >= 0)
        text += QStringLiteral(", destination address %1").arg(hex(quint32(j.destinationAddress), 2));
    return text;
}

void addLine(QStringList &lines, const QString &field, const QString &value)
{
    if (!value.isEmpty())
        lines.append(field + QStringLiteral(": ") + value);
}

} // namespace

std::optional<SignalDetails> signalDetails(const TableData &table, int row)
{
    const std::optional<DbcDetails::Signal> signal = signalOf(table, row);
    if (!signal)
        return std::nullopt;
    const DbcDetails &details = *table.details();
    SignalDetails d;
    d.longName = details.text(signal->longName).toString();
    d.valueType = valueTypeName(signal->valueType);
    d.comment = details.text(signal->comment).toString();
    QStringList values;
    for (const auto &[value, label] : details.values(*signal))
        values.append(value.toString() + QStringLiteral(" = ") + label.toString());
    d.values = values.join(u'\n');
    d.multiplexing = details.text(signal->multiplexing).toString();
    if (signal->message < 0)
        return d;
    const DbcDetails::Message &message = details.message(signal->message);
    d.messageName = details.text(message.name).toString();
    d.id = message.id;
    d.extended = isExtendedId(message.id);
    if (d.extended)
        d.j1939 = j1939Of(message.id);
    d.dlc = message.dlc;
    d.cycleTimeMs = message.cycleTimeMs;
    d.transmitter = details.text(message.transmitter).toString();
    d.transmitterComment = details.nodeComment(details.text(message.transmitter)).toString();
    d.messageComment = details.text(message.comment).toString();
    return d;
}

QString detailsText(const TableData &table, int row)
{
    if (!table.details())
        return QStringLiteral("No DBC details: the rows do not come from a DBC file (a results CSV or a receiver "
                              "file holds none).");
    const std::optional<SignalDetails> found = signalDetails(table, row);
    if (!found)
        return QStringLiteral("No DBC details for this row.");
    const SignalDetails &d = *found;
    QStringList lines;
    addLine(lines, QStringLiteral("Message"), d.messageName);
    lines.append(QStringLiteral("Identifier: ") + identifierText(d));
    if (d.j1939)
        lines.append(QStringLiteral("J1939: ") + j1939Text(*d.j1939));
    if (d.dlc >= 0)
        lines.append(QStringLiteral("Length: %1 bytes").arg(d.dlc));
    if (d.cycleTimeMs >= 0)
        lines.append(QStringLiteral("Cycle time: %1 ms").arg(d.cycleTimeMs));
    addLine(lines, QStringLiteral("Transmitter"),
            d.transmitterComment.isEmpty() ? d.transmitter : d.transmitter + QStringLiteral(" (") + d.transmitterComment + u')');
    addLine(lines, QStringLiteral("Message comment"), d.messageComment);
    addLine(lines, QStringLiteral("Long name"), d.longName);
    addLine(lines, QStringLiteral("Value type"), d.valueType);
    addLine(lines, QStringLiteral("Comment"), d.comment);
    if (!d.values.isEmpty())
        lines.append(QStringLiteral("Values:\n") + d.values);
    addLine(lines, QStringLiteral("Multiplexed by"), d.multiplexing);
    return lines.join(u'\n');
}

QString detailsToolTip(const TableData &table, int row, int col)
{
    const std::optional<SignalDetails> d = signalDetails(table, row);
    if (!d)
        return {};
    QStringList lines;
    if (col == Col::Name) {
        addLine(lines, QStringLiteral("Long name"), d->longName);
        if (!d->comment.isEmpty())
            lines.append(d->comment);
    } else if (col == Col::CanId) {
        addLine(lines, QStringLiteral("Message"), d->messageName);
        if (!d->messageComment.isEmpty())
            lines.append(d->messageComment);
    }
    return lines.join(u'\n');
}

bool isFloatRow(const TableData &table, int row)
{
    const std::optional<DbcDetails::Signal> signal = signalOf(table, row);
    return signal && signal->valueType != DbcDetails::ValueType::Integer;
}
