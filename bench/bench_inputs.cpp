#include "bench_inputs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <array>
#include <cmath>

namespace {

constexpr int signalsPerMessage = 8;

// Writes a file through a buffer of about 1 MiB, so generating stays cheap in memory.
class ChunkedWriter
{
public:
    explicit ChunkedWriter(const QString &fileName) : m_file(fileName)
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            m_error = QStringLiteral("Cannot write %1: %2").arg(fileName, m_file.errorString());
        m_buffer.reserve(chunk + 4096);
    }

    ChunkedWriter &operator<<(const QByteArray &text) { m_buffer += text; return flushIfFull(); }
    ChunkedWriter &operator<<(const char *text) { m_buffer += text; return flushIfFull(); }
    ChunkedWriter &operator<<(char c) { m_buffer += c; return flushIfFull(); }
    ChunkedWriter &operator<<(qint64 number) { m_buffer += QByteArray::number(number); return flushIfFull(); }

    QString finish()
    {
        flush();
        m_file.close();
        return m_error;
    }

private:
    static constexpr qsizetype chunk = 1 << 20;

    ChunkedWriter &flushIfFull()
    {
        if (m_buffer.size() >= chunk)
            flush();
        return *this;
    }
    void flush()
    {
        if (m_error.isEmpty() && m_file.write(m_buffer) != m_buffer.size())
            m_error = QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        m_buffer.clear();
    }

    QFile m_file;
    QByteArray m_buffer;
    QString m_error;
};

// One signal of the generated bus, from its message and its place in the message.
struct Signal
{
    quint32 id = 0;          // with bit 31 set for an extended frame
    QByteArray name;
    QByteArray mode;         // "", "M" or "m0".."m2"
    int startBit = 0;
    int length = 0;
    bool littleEndian = true;
    bool isSigned = false;
    QByteArray scale;
    QByteArray offset;
    double scaleValue = 1.0;
    double offsetValue = 0.0;
    QByteArray unit;
    QByteArray receivers;
};

struct Conversion
{
    const char *scale;
    const char *offset;
    const char *unit;
};

constexpr std::array<Conversion, 8> conversions = {{
    {"0.125", "-40", "deg C"},
    {"1", "0", "rpm"},
    {"0.1", "0", "km/h"},
    {"0.4", "0", "%"},
    {"0.01", "-327.68", "Nm"},
    {"0.001", "0", "V"},
    {"0.05", "-1600", "A"},
    {"1", "0", ""},
}};
constexpr std::array<int, 4> lengths = {16, 8, 12, 4};
constexpr std::array<const char *, 3> receiverLists = {"ECU1,ECU2", "Vector__XXX", "ECU2,ECU3,Gateway"};

bool isExtended(int message) { return message % 8 == 3; }
bool isMultiplexed(int message) { return message % 20 == 7; }

quint32 messageId(int message)
{
    return isExtended(message) ? 0x80000000u | (0x18F00000u + quint32(message)) : quint32(256 + message);
}

Signal signalOf(int message, int index)
{
    Signal s;
    s.id = messageId(message);
    s.name = "Sig_" + QByteArray::number(message) + '_' + QByteArray::number(index);
    if (isMultiplexed(message))
        s.mode = index == 0 ? QByteArray("M") : "m" + QByteArray::number(index % 3);
    const int mix = message * 7 + index * 3;
    s.startBit = index * 8;
    s.length = lengths[std::size_t(mix) % lengths.size()];
    s.littleEndian = mix % 5 != 0;
    s.isSigned = mix % 7 == 0;
    const Conversion &c = conversions[std::size_t(mix) % conversions.size()];
    s.scale = c.scale;
    s.offset = c.offset;
    s.scaleValue = QByteArray(c.scale).toDouble();
    s.offsetValue = QByteArray(c.offset).toDouble();
    s.unit = c.unit;
    s.receivers = receiverLists[std::size_t(message + index) % receiverLists.size()];
    return s;
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 10);
}

// "[min|max]" of the raw range of the signal.
QByteArray rangeOf(const Signal &s)
{
    const double steps = std::ldexp(1.0, s.length) - 1.0;
    const double low = s.isSigned ? -std::ldexp(1.0, s.length - 1) : 0.0;
    const double high = s.isSigned ? std::ldexp(1.0, s.length - 1) - 1.0 : steps;
    return '[' + number(low * s.scaleValue + s.offsetValue) + '|' + number(high * s.scaleValue + s.offsetValue)
            + ']';
}

QByteArray signalLine(const Signal &s)
{
    QByteArray line = " SG_ " + s.name + ' ';
    if (!s.mode.isEmpty())
        line += s.mode + ' ';
    line += ": " + QByteArray::number(s.startBit) + '|' + QByteArray::number(s.length) + '@'
            + (s.littleEndian ? '1' : '0') + (s.isSigned ? '-' : '+') + " (" + s.scale + ',' + s.offset + ") "
            + rangeOf(s) + " \"" + s.unit + "\" " + s.receivers + "\r\n";
    return line;
}

// What the next revision of the bus does to a signal.
enum class Revision { Same, Renamed, Moved, Removed, Rescaled };

Revision revisionOf(int signal)
{
    switch (signal % 300) {
    case 17:
        return Revision::Renamed;
    case 117:
        return Revision::Moved;
    case 217:
        return Revision::Removed;
    default:
        return signal % 1000 == 500 ? Revision::Rescaled : Revision::Same;
    }
}

// The signals of message m in the revision; the moved ones go to a message of their own.
void writeRevisedMessage(ChunkedWriter &out, int m)
{
    QByteArray moved;
    for (int i = 0; i < signalsPerMessage; ++i) {
        Signal s = signalOf(m, i);
        switch (revisionOf(m * signalsPerMessage + i)) {
        case Revision::Removed:
            continue;
        case Revision::Moved:
            moved += signalLine(s);
            continue;
        case Revision::Renamed:
            s.name += "_v2";
            break;
        case Revision::Rescaled:
            s.scale = "0.5";
            break;
        case Revision::Same:
            break;
        }
        out << signalLine(s);
    }
    if (!moved.isEmpty())
        out << "\r\nBO_ " << qint64(messageId(m) + 20'000) << " Moved_" << qint64(m) << ": 8 ECU1\r\n" << moved;
}

// Value descriptions as real files have them: a few lists, each used by many signals.
constexpr std::array<const char *, 5> valueLists = {
    R"(0 "Off" 1 "On")",
    R"(0 "Off" 1 "On" 2 "Error" 3 "Not available")",
    R"(0 "P" 1 "R" 2 "N" 3 "D")",
    R"(0 "Inactive" 1 "Active" 2 "Reserved" 3 "Signal not available")",
    R"(0 "No fault" 1 "Warning" 2 "Fault" 7 "Init")",
};

// A comment and value descriptions for every signal, as the details of a large bus.
void writeSignalDetails(ChunkedWriter &out, int messages)
{
    for (int m = 0; m < messages; ++m) {
        for (int i = 0; i < signalsPerMessage; ++i) {
            const QByteArray id = QByteArray::number(messageId(m));
            const QByteArray name = "Sig_" + QByteArray::number(m) + '_' + QByteArray::number(i);
            out << "CM_ SG_ " << id << ' ' << name << " \"Measured value " << qint64(i) << " of message " << qint64(m)
                << ", sent by ECU" << qint64(m % 3 + 1) << "\";\r\n";
            out << "VAL_ " << id << ' ' << name << ' ' << valueLists[std::size_t(m + i) % valueLists.size()]
                << " ;\r\n";
        }
    }
}

QString writeDbc(const QString &fileName, int messages, bool revised = false, bool detailed = false)
{
    ChunkedWriter out(fileName);
    out << "VERSION \"\"\r\n\r\nNS_ :\r\n\tNS_DESC_\r\n\tCM_\r\n\tBA_DEF_\r\n\tBA_\r\n\tVAL_\r\n\r\nBS_:\r\n\r\n"
           "BU_: ECU1 ECU2 ECU3 Gateway\r\n\r\n";
    for (int m = 0; m < messages; ++m) {
        out << "BO_ " << qint64(messageId(m)) << " Msg_" << qint64(m) << ": 8 ECU" << qint64(m % 3 + 1) << "\r\n";
        if (revised) {
            writeRevisedMessage(out, m);
        } else {
            for (int i = 0; i < signalsPerMessage; ++i)
                out << signalLine(signalOf(m, i));
        }
        out << "\r\n";
    }
    // Comments and attributes follow the messages in a real file; the import skips them.
    for (int m = 0; m < messages; m += 10) {
        out << "CM_ SG_ " << qint64(messageId(m)) << " Sig_" << qint64(m) << "_0 \"Signal comment of message "
            << qint64(m) << "\";\r\n";
    }
    out << "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\r\n";
    for (int m = 0; m < messages; m += 5)
        out << "BA_ \"GenMsgCycleTime\" BO_ " << qint64(messageId(m)) << " 100;\r\n";
    if (detailed)
        writeSignalDetails(out, messages);
    return out.finish();
}

void element(ChunkedWriter &out, const char *tag, const QByteArray &value)
{
    out << "        <" << tag << '>' << value << "</" << tag << ">\r\n";
}

QString writeXml(const QString &fileName, int messages)
{
    ChunkedWriter out(fileName);
    out << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<PlexCanRXConfig version=\"3\">\r\n"
           "  <device>\r\n    <name>Bench logger</name>\r\n  </device>\r\n  <CAN_Bus index=\"1\">\r\n"
           "    <bitrate>500000</bitrate>\r\n    <CAN_Data_Items>\r\n";
    for (int m = 0; m < messages; ++m) {
        for (int i = 0; i < signalsPerMessage; ++i) {
            const Signal s = signalOf(m, i);
            const int bytes = (s.length + 7) / 8;
            out << "      <CAN_Data_Item>\r\n";
            element(out, "id", QByteArray::number(s.id & 0x1FFFFFFFu));
            element(out, "start_byte", QByteArray::number(i));
            element(out, "length", QByteArray::number(bytes));
            element(out, "limit_low", s.isSigned ? QByteArray("-40") : QByteArray("0"));
            element(out, "label", "Signal " + QByteArray::number(m) + '.' + QByteArray::number(i));
            element(out, "internal_units", s.unit);
            element(out, "multiplier", s.scale);
            element(out, "divisor", i % 4 == 1 ? QByteArray("10") : QByteArray("1"));
            element(out, "offset", s.offset);
            element(out, "little_endian", s.littleEndian ? QByteArray("true") : QByteArray("false"));
            element(out, "gauge_low", s.offset);
            element(out, "gauge_high", number(std::ldexp(1.0, 8 * bytes) * s.scaleValue + s.offsetValue));
            out << "      </CAN_Data_Item>\r\n";
        }
    }
    out << "    </CAN_Data_Items>\r\n  </CAN_Bus>\r\n</PlexCanRXConfig>\r\n";
    return out.finish();
}

QByteArray key(int n)
{
    static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QByteArray text(4, '0');
    for (int i = 3; i >= 0; --i, n /= 36)
        text[i] = digits[n % 36];
    return text;
}

// Every tenth signal row holds a shared key: the first hundred of them one key
// together, the others in pairs. All other rows hold keys of their own.
QByteArray keyOfSignal(int signal, int signalCount)
{
    if (signal % 10 != 9)
        return key(signal);
    const int shared = signal / 10;
    return shared < 100 ? key(signalCount + signalCount / 10) : key(signalCount + shared / 2);
}

QByteArray canIdCell(quint32 id)
{
    return QByteArray::number(id >> 16, 16).toUpper() + ' ' + QByteArray::number(id & 0xFFFFu, 16).toUpper();
}

} // namespace

QString writeBenchCsv(const QString &fileName, int signalCount)
{
    const int messages = signalCount / signalsPerMessage;
    ChunkedWriter out(fileName);
    out << "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";
    for (int m = 0; m < messages; ++m) {
        for (int i = 0; i < signalsPerMessage; ++i) {
            const Signal s = signalOf(m, i);
            out << canIdCell(s.id) << ';' << QByteArray::number(s.startBit) + '|' + QByteArray::number(s.length)
                << ";0;" << (s.isSigned ? "1;" : "0;") << s.name << ';' << s.unit << ';' << s.scale << ';'
                << s.offset << ';' << s.receivers << ';' << s.mode << ';'
                << keyOfSignal(m * signalsPerMessage + i, signalCount) << ';' << (s.littleEndian ? "1;" : "0;") << rangeOf(s)
                << ";\r\n";
        }
    }
    return out.finish();
}

QString writeBenchInputs(const QString &folder, BenchInputs &inputs, int signalCount, bool withXml)
{
    const QDir dir(folder);
    const int messages = signalCount / signalsPerMessage;
    const QString suffix = signalCount == benchSignals ? QString() : QStringLiteral("_%1").arg(signalCount);
    inputs.dbc = dir.filePath(QStringLiteral("big%1.dbc").arg(suffix));
    inputs.xml = withXml ? dir.filePath(QStringLiteral("big%1.PlexCanRXConfig").arg(suffix)) : QString();
    inputs.csv = dir.filePath(QStringLiteral("big%1.csv").arg(suffix));
    inputs.dbcRevision = dir.filePath(QStringLiteral("big%1_revision.dbc").arg(suffix));
    inputs.dbcDetailed = dir.filePath(QStringLiteral("big%1_detailed.dbc").arg(suffix));
    QString error = writeDbc(inputs.dbc, messages);
    if (error.isEmpty())
        error = writeDbc(inputs.dbcDetailed, messages, false, true);
    if (error.isEmpty())
        error = writeDbc(inputs.dbcRevision, messages, true);
    if (error.isEmpty() && withXml)
        error = writeXml(inputs.xml, messages);
    if (error.isEmpty())
        error = writeBenchCsv(inputs.csv, signalCount);
    return error;
}
