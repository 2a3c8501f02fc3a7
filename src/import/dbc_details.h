#pragma once

#include <QDataStream>
#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

class TableData;

// What a DBC file says about its messages and signals beyond the columns of the
// signal table: message names, lengths, senders and cycle times, comments, value
// descriptions, long names, value types and extended multiplexing. The DBC import
// builds it once (DbcDetailsReader) and nothing changes it afterwards, so every copy
// of a table (undo steps, the recovery copy) shares the one instance.
//
// Its texts lie back to back in one pool and are named by their place; equal texts
// (value descriptions, node names, a comment given to many signals) are kept once.
class DbcDetails
{
public:
    static constexpr qint32 none = -1;
    // The most text the details hold, in UTF-16 units: far beyond any DBC file.
    static constexpr quint32 largestPool = 1u << 28;

    // A text of the pool.
    struct Text
    {
        quint32 start = 0;
        quint32 size = 0;
        bool operator==(const Text &) const = default;
    };

    enum class ValueType : quint8 { Integer, Float, Double };

    struct Message
    {
        quint32 id = 0; // as the BO_ line writes it: bit 31 set for an extended frame
        qint32 dlc = none;
        qint32 cycleTimeMs = none;
        Text name;
        Text transmitter;
        Text comment;
    };

    struct Signal
    {
        qint32 message = none;
        ValueType valueType = ValueType::Integer;
        Text comment;
        Text longName;     // the whole name of a signal whose name the file cut
        Text valueNumbers; // the values of its value descriptions, a NUL after each but the last
        Text valueLabels;  // their descriptions, in the same order and the same way
        Text multiplexing; // "Mux 3-3, 5-7": the multiplexor and the values it is sent at
        bool operator==(const Signal &) const = default;
    };

    // A node of the network and its comment.
    struct Node
    {
        Text name;
        Text comment;
    };

    int messageCount() const { return int(m_messages.size()); }
    const Message &message(int index) const { return m_messages[std::size_t(index)]; }
    int signalCount() const { return int(m_signalMessage.size()); }
    Signal signal(int index) const
    {
        const qint32 at = m_describedAt[std::size_t(index)];
        Signal signal = at == none ? Signal() : m_described[std::size_t(at)];
        signal.message = m_signalMessage[std::size_t(index)];
        return signal;
    }
    QStringView text(Text text) const { return QStringView(m_pool).mid(text.start, text.size); }
    QStringView networkComment() const { return text(m_networkComment); }
    // The comment the file gives a node, empty when none.
    QStringView nodeComment(QStringView node) const;
    // The value descriptions of a signal: (value, description), in file order.
    std::vector<std::pair<QStringView, QStringView>> values(const Signal &signal) const;
    // Signals sent as IEEE floating point numbers, single or double.
    int floatSignalCount() const;

    // The details as a table copy stores them. Reading takes untrusted input: sizes
    // are bounded, memory grows only with what is really there, and every text and
    // index is checked; anything wrong sets the stream's status to ReadCorruptData and
    // leaves `details` empty.
    friend QDataStream &operator<<(QDataStream &out, const DbcDetails &details);
    friend QDataStream &operator>>(QDataStream &in, DbcDetails &details);

private:
    friend class DbcDetailsReader;
    bool holds(Text text) const { return quint64(text.start) + text.size <= quint64(m_pool.size()); }
    bool isValid() const;
    void addSignal(qint32 message);
    // The details of a signal, to be filled in.
    Signal &describe(int index);
    // Signals as a copy stores them, each a whole record.
    static bool readSignals(QDataStream &in, DbcDetails &details);

    QString m_pool;
    Text m_networkComment;
    std::vector<Message> m_messages;
    // Most signals of a large file have nothing beyond their message: only those that
    // have get a whole record.
    std::vector<qint32> m_signalMessage;
    std::vector<qint32> m_describedAt; // per signal, its record in m_described, or none
    std::vector<Signal> m_described;
    std::vector<Node> m_nodes;
};

// A table's details and the signal of each of its rows, for a copy of the table:
// written after the table, read into the table read back. False (and the stream's
// status set) when what is read does not fit the table; the table then has none.
void writeTableDetails(QDataStream &out, const TableData &table);
bool readTableDetails(QDataStream &in, TableData &table);
