#include "dbc_details.h"

#include "table/table_data.h"

#include <QtEndian>

#include <algorithm>

QStringView DbcDetails::nodeComment(QStringView node) const
{
    for (const Node &n : m_nodes) {
        if (text(n.name) == node)
            return text(n.comment);
    }
    return {};
}

std::vector<std::pair<QStringView, QStringView>> DbcDetails::values(const Signal &signal) const
{
    std::vector<std::pair<QStringView, QStringView>> pairs;
    if (signal.valueNumbers.size == 0 && signal.valueLabels.size == 0)
        return pairs;
    QStringView numbers = text(signal.valueNumbers);
    QStringView labels = text(signal.valueLabels);
    for (;;) {
        const qsizetype numberEnd = numbers.indexOf(u'\0');
        const qsizetype labelEnd = labels.indexOf(u'\0');
        pairs.emplace_back(numbers.left(numberEnd < 0 ? numbers.size() : numberEnd),
                           labels.left(labelEnd < 0 ? labels.size() : labelEnd));
        if (numberEnd < 0 || labelEnd < 0)
            break;
        numbers = numbers.sliced(numberEnd + 1);
        labels = labels.sliced(labelEnd + 1);
    }
    return pairs;
}

int DbcDetails::floatSignalCount() const
{
    return int(std::count_if(m_described.begin(), m_described.end(),
                             [](const Signal &s) { return s.valueType != ValueType::Integer; }));
}

bool DbcDetails::isValid() const
{
    const auto message = [this](const Message &m) {
        return m.dlc >= none && m.cycleTimeMs >= none && holds(m.name) && holds(m.transmitter) && holds(m.comment);
    };
    const auto signal = [this](const Signal &s) {
        return s.message >= none && s.message < messageCount() && s.valueType <= ValueType::Double
                && holds(s.comment) && holds(s.longName) && holds(s.valueNumbers) && holds(s.valueLabels)
                && holds(s.multiplexing)
                && text(s.valueNumbers).count(u'\0') == text(s.valueLabels).count(u'\0');
    };
    const auto node = [this](const Node &n) { return holds(n.name) && holds(n.comment); };
    const auto messageIndex = [this](qint32 m) { return m >= none && m < messageCount(); };
    const auto record = [this](qint32 at) { return at >= none && at < qint32(m_described.size()); };
    return holds(m_networkComment) && std::all_of(m_messages.begin(), m_messages.end(), message)
            && m_describedAt.size() == m_signalMessage.size()
            && std::all_of(m_signalMessage.begin(), m_signalMessage.end(), messageIndex)
            && std::all_of(m_describedAt.begin(), m_describedAt.end(), record)
            && std::all_of(m_described.begin(), m_described.end(), signal)
            && std::all_of(m_nodes.begin(), m_nodes.end(), node);
}

void DbcDetails::addSignal(qint32 message)
{
    m_signalMessage.push_back(message);
    m_describedAt.push_back(none);
}

DbcDetails::Signal &DbcDetails::describe(int index)
{
    qint32 &at = m_describedAt[std::size_t(index)];
    if (at == none) {
        at = qint32(m_described.size());
        m_described.emplace_back().message = m_signalMessage[std::size_t(index)];
    }
    return m_described[std::size_t(at)];
}

namespace {

constexpr quint32 formatVersion = 1;
// Far beyond any DBC file, and small enough that a damaged count is found out.
constexpr quint32 largestPool = DbcDetails::largestPool;
constexpr quint32 mostRecords = 1u << 24;
// What is read at once, so that a false size costs no more memory than this.
constexpr qsizetype readStep = 1 << 20;

QDataStream &operator<<(QDataStream &out, DbcDetails::Text text)
{
    return out << text.start << text.size;
}

QDataStream &operator>>(QDataStream &in, DbcDetails::Text &text)
{
    return in >> text.start >> text.size;
}

QDataStream &operator<<(QDataStream &out, const DbcDetails::Message &m)
{
    return out << m.id << m.dlc << m.cycleTimeMs << m.name << m.transmitter << m.comment;
}

QDataStream &operator>>(QDataStream &in, DbcDetails::Message &m)
{
    return in >> m.id >> m.dlc >> m.cycleTimeMs >> m.name >> m.transmitter >> m.comment;
}

QDataStream &operator<<(QDataStream &out, const DbcDetails::Signal &s)
{
    return out << s.message << quint8(s.valueType) << s.comment << s.longName << s.valueNumbers << s.valueLabels
               << s.multiplexing;
}

QDataStream &operator>>(QDataStream &in, DbcDetails::Signal &s)
{
    quint8 type = 0;
    in >> s.message >> type >> s.comment >> s.longName >> s.valueNumbers >> s.valueLabels >> s.multiplexing;
    s.valueType = DbcDetails::ValueType(type);
    return in;
}

QDataStream &operator<<(QDataStream &out, const DbcDetails::Node &n)
{
    return out << n.name << n.comment;
}

QDataStream &operator>>(QDataStream &in, DbcDetails::Node &n)
{
    return in >> n.name >> n.comment;
}

template<typename Record>
void writeRecords(QDataStream &out, const std::vector<Record> &records)
{
    out << quint32(records.size());
    for (const Record &record : records)
        out << record;
}

template<typename Record>
bool readRecords(QDataStream &in, std::vector<Record> &records)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > mostRecords)
        return false;
    records.clear();
    records.reserve(std::min<std::size_t>(count, readStep / sizeof(Record)));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
        in >> records.emplace_back();
    return in.status() == QDataStream::Ok;
}

// The pool as little-endian UTF-16, whatever the machine.
void writePool(QDataStream &out, const QString &pool)
{
    out << quint32(pool.size());
    QByteArray bytes(std::min(pool.size(), readStep) * 2, Qt::Uninitialized);
    for (qsizetype from = 0; from < pool.size(); from += readStep) {
        const qsizetype count = std::min(readStep, pool.size() - from);
        qToLittleEndian<quint16>(pool.utf16() + from, count, bytes.data());
        out.writeRawData(bytes.constData(), int(count * 2));
    }
}

bool readPool(QDataStream &in, QString &pool)
{
    quint32 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok || size > largestPool)
        return false;
    pool.clear();
    QByteArray bytes;
    for (qsizetype from = 0; from < qsizetype(size); from += readStep) {
        const qsizetype count = std::min(readStep, qsizetype(size) - from);
        bytes.resize(count * 2);
        if (in.readRawData(bytes.data(), int(bytes.size())) != bytes.size())
            return false;
        pool.resize(from + count);
        qFromLittleEndian<quint16>(bytes.constData(), count, pool.data() + from);
    }
    return true;
}

} // namespace

bool DbcDetails::readSignals(QDataStream &in, DbcDetails &details)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > mostRecords)
        return false;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        Signal signal;
        in >> signal;
        details.addSignal(signal.message);
        Signal plain;
        plain.message = signal.message;
        if (signal != plain)
            details.describe(int(i)) = signal;
    }
    return in.status() == QDataStream::Ok;
}

QDataStream &operator<<(QDataStream &out, const DbcDetails &details)
{
    out << formatVersion;
    writePool(out, details.m_pool);
    out << details.m_networkComment;
    writeRecords(out, details.m_messages);
    // Every signal as a whole record, as a copy has always stored them.
    out << quint32(details.signalCount());
    for (int i = 0; i < details.signalCount(); ++i)
        out << details.signal(i);
    writeRecords(out, details.m_nodes);
    return out;
}

QDataStream &operator>>(QDataStream &in, DbcDetails &details)
{
    DbcDetails read;
    quint32 version = 0;
    in >> version;
    const bool whole = in.status() == QDataStream::Ok && version == formatVersion && readPool(in, read.m_pool)
            && (in >> read.m_networkComment).status() == QDataStream::Ok && readRecords(in, read.m_messages)
            && DbcDetails::readSignals(in, read) && readRecords(in, read.m_nodes) && read.isValid();
    if (!whole) {
        if (in.status() == QDataStream::Ok)
            in.setStatus(QDataStream::ReadCorruptData);
        details = DbcDetails();
        return in;
    }
    details = std::move(read);
    return in;
}

void writeTableDetails(QDataStream &out, const TableData &table)
{
    const DbcDetails *details = table.details().get();
    out << quint8(details ? 1 : 0);
    if (!details)
        return;
    out << *details << quint32(table.rows());
    for (int row = 0; row < table.rows(); ++row)
        out << qint32(table.detailsSignal(row));
}

bool readTableDetails(QDataStream &in, TableData &table)
{
    table.setDetails(nullptr);
    for (int row = 0; row < table.rows(); ++row)
        table.setDetailsSignal(row, -1);
    quint8 present = 0;
    in >> present;
    if (in.status() != QDataStream::Ok || present > 1) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    if (present == 0)
        return true;
    auto details = std::make_shared<DbcDetails>();
    quint32 rows = 0;
    in >> *details >> rows;
    if (in.status() != QDataStream::Ok || rows != quint32(table.rows())) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    std::vector<qint32> signalOfRow(rows, -1);
    for (qint32 &signal : signalOfRow) {
        in >> signal;
        if (in.status() != QDataStream::Ok || signal < -1 || signal >= details->signalCount()) {
            in.setStatus(QDataStream::ReadCorruptData);
            return false;
        }
    }
    for (int row = 0; row < table.rows(); ++row)
        table.setDetailsSignal(row, signalOfRow[std::size_t(row)]);
    table.setDetails(std::move(details));
    return true;
}
