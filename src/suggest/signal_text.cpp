#include "signal_text.h"

#include "import/dbc_details.h"
#include "table/table_data.h"
#include "table/text_helpers.h"

namespace {

int lengthInBits(QStringView position, QStringView bytes)
{
    const qsizetype bar = position.indexOf(u'|');
    if (bar >= 0)
        return position.mid(bar + 1).trimmed().toInt();
    return bytes.trimmed().toInt() * 8;
}

void readRange(QStringView range, SignalText &signal)
{
    QStringView text = range.trimmed();
    if (text.startsWith(u'[') && text.endsWith(u']')) {
        text = text.mid(1, text.size() - 2);
        const qsizetype bar = text.indexOf(u'|');
        if (bar < 0)
            return;
        signal.minimum = text.left(bar).trimmed().toString();
        signal.maximum = text.mid(bar + 1).trimmed().toString();
        return;
    }
    const qsizetype dots = text.indexOf(u"..");
    if (dots < 0)
        return;
    signal.minimum = text.left(dots).trimmed().toString();
    signal.maximum = text.mid(dots + 2).trimmed().toString();
}

// What the DBC file says of the row's signal beyond its cells.
void readDetails(const TableData &table, int row, SignalText &signal)
{
    const DbcDetails *details = table.details().get();
    const int index = details ? table.detailsSignal(row) : -1;
    if (index < 0 || index >= details->signalCount())
        return;
    const DbcDetails::Signal &detail = details->signal(index);
    signal.longName = details->text(detail.longName).toString();
    signal.comment = details->text(detail.comment).toString();
    if (detail.message >= 0 && detail.message < details->messageCount())
        signal.messageName = details->text(details->message(detail.message).name).toString();
    for (const auto &[value, description] : details->values(detail)) {
        if (!description.trimmed().isEmpty())
            signal.valueDescriptions.append(description.trimmed().toString());
    }
}

} // namespace

// The columns signalText() reads below.
bool readsColumn(int col)
{
    switch (col) {
    case Col::Name:
    case Col::Unit:
    case Col::Scale:
    case Col::Position:
    case Col::Bytes:
    case Col::MinMax:
        return true;
    default:
        return false;
    }
}

SignalText signalText(const TableData &table, int row)
{
    SignalText signal;
    if (table.fixedRows() == 0 || row < table.fixedRows() || row >= table.rows())
        return signal;
    // Read through buffers: a view would keep a UTF-16 copy of every chunk looked at.
    QVarLengthArray<char16_t, 64> buffer;
    const QStringView name = trimSpaces(table.cell(row, Col::Name, buffer));
    if (name.isEmpty())
        return signal;
    signal.row = row;
    signal.name = name.toString();
    signal.unit = table.text(row, Col::Unit);
    signal.scale = table.text(row, Col::Scale);
    QVarLengthArray<char16_t, 64> bytes;
    signal.bits = lengthInBits(table.cell(row, Col::Position, buffer), table.cell(row, Col::Bytes, bytes));
    readRange(table.cell(row, Col::MinMax, buffer), signal);
    readDetails(table, row, signal);
    return signal;
}

std::vector<SignalText> signalTexts(const TableData &table)
{
    std::vector<SignalText> texts;
    texts.reserve(std::size_t(table.rows()));
    for (int row = table.fixedRows(); row < table.rows(); ++row) {
        SignalText signal = signalText(table, row);
        if (!signal.name.isEmpty())
            texts.push_back(std::move(signal));
    }
    return texts;
}
