#pragma once

#include "import/dbc_details.h"
#include "import/text_index.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVarLengthArray>

#include <vector>

class TableData;

// Reads the details of a DBC file while the DBC import reads its lines: the message
// lines and signal rows the import makes, and the lines it skips (comments "CM_",
// value descriptions "VAL_" and "VAL_TABLE_", the attributes "GenMsgCycleTime" and
// "SystemSignalLongSymbol" of "BA_", "SIG_VALTYPE_" and "SG_MUL_VAL_").
//
// Those statements end at a ";" outside quotes and may run over several lines. One
// that is still open when a message or signal line or another statement begins, or
// at the end of the file, is skipped: a quote left open never swallows the signals
// after it. Statements that cannot be read, or that name no message or signal of the
// file, are skipped and their lines named in one warning; none of them changes a row.
// Signals are found by message identifier and name, at once or, for a statement
// that stands before its signal, once the whole file is read.
class DbcDetailsReader
{
    Q_DISABLE_COPY_MOVE(DbcDetailsReader)

public:
    // The longest statement read, in characters; a longer one is skipped.
    static constexpr qsizetype maxStatement = 16 * 1024 * 1024;

    // `table` is the table the import builds; its signal rows are looked up by name.
    explicit DbcDetailsReader(const TableData &table) : m_table(table) {}

    // Room for the texts of a file of `fileSize` bytes, before reading it.
    void reserve(qint64 fileSize);
    // A message line: its identifier, and the rest of the line after the identifier
    // ("EngineData: 8 Engine").
    void addMessage(double id, QStringView rest);
    // The row a signal line added, under the message `id` read last.
    void addSignal(int row, double id);
    // Any other line of the file.
    void readLine(QStringView line, qint64 lineNumber);

    // Gives `table` (the table of the constructor) the details and each signal row
    // its signal. Appends the warnings about skipped lines and about floating-point
    // signals, naming `fileName`.
    void finish(TableData &table, const QString &fileName, QStringList &warnings);

private:
    enum class Kind : quint8 {
        MessageComment,
        SignalComment,
        Values,
        ValueTableUse,
        CycleTime,
        LongName,
        ValueType,
        Multiplexing
    };
    // A statement about a message or a signal.
    struct Statement
    {
        qint64 line = 0;
        double id = 0;
        DbcDetails::Text name;   // of the signal, once the statement waits for the end
        DbcDetails::Text text;   // the comment, long name, values, value table or multiplexing
        DbcDetails::Text labels; // the value descriptions
        qint32 number = 0;       // the cycle time or the value type
        Kind kind = Kind::MessageComment;
    };
    struct ValueTable
    {
        DbcDetails::Text numbers;
        DbcDetails::Text labels;
    };
    // The signals of a message with many, by name, as far as they have been looked at.
    struct NamedSignals
    {
        QHash<QString, int> byName;
        int covered = 0;
    };

    void breakOpenStatement();
    void continueStatement(QStringView line, qint64 lineNumber);
    void readStatements(QStringView text, qint64 lineNumber);
    bool parse(QStringView statement, QStringView keyword, qint64 lineNumber);
    bool parseComment(QStringView rest, qint64 lineNumber);
    bool parseValues(QStringView rest, qint64 lineNumber);
    bool parseValueTable(QStringView rest);
    bool parseAttribute(QStringView rest, qint64 lineNumber);
    bool parseValueType(QStringView rest, qint64 lineNumber);
    bool parseMultiplexing(QStringView rest, qint64 lineNumber);
    bool readValuePairs(QStringView rest, ValueTable &table);
    bool sharedValuePairs(QStringView rest, ValueTable &table);
    DbcDetails::Text store(QStringView text);
    DbcDetails::Text intern(QStringView text);
    DbcDetails::Text storeQuoted(QStringView raw, bool shared);
    int findMessage(double id);
    int findSignal(double id, QStringView name);
    int findInMessage(int message, QStringView name);
    void toMessage(const Statement &statement);
    void toSignal(Statement &statement, QStringView name);
    bool apply(const Statement &statement, int index);
    void skip(qint64 lineNumber);
    QString skippedWarning(const QString &fileName) const;

    const TableData &m_table;
    DbcDetails m_details;
    std::vector<double> m_messageIds;    // the identifier of each message as the file gives it
    std::vector<int> m_firstSignal;      // the first signal of each message
    std::vector<int> m_nextSameId;       // the next message of the same identifier, or -1
    std::vector<int> m_signalRows;       // the row of each signal
    QHash<double, int> m_messageOf;      // the first message of an identifier
    QHash<int, NamedSignals> m_manySignals;
    int m_lastMessage = -1;
    double m_lastId = -1;
    int m_lastSignal = -1;
    std::vector<Statement> m_waiting;    // statements about what comes later in the file
    QHash<QString, ValueTable> m_valueTables;
    TextIndex m_interned;                // texts of the pool that are shared
    QString m_bodies;                    // the value descriptions as the file writes them
    TextIndex m_bodyIndex;               // and what they read as, in m_bodyTables
    std::vector<ValueTable> m_bodyTables;
    QString m_scratch;
    QVarLengthArray<char16_t, 64> m_nameBuffer;
    QString m_scratchLabels;
    QString m_unescaped;

    // The statement that runs over several lines.
    QString m_statement;
    qint64 m_statementLine = 0;
    qsizetype m_scanned = 0; // how far m_statement was looked through for its end
    bool m_inQuote = false;
    bool m_open = false;

    static constexpr int listed = 20;
    QList<qint64> m_skipped; // the first lines skipped
    qint64 m_skippedCount = 0;
};
