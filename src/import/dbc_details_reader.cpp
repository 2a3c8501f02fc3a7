#include "dbc_details_reader.h"

#include "import/dbc_import.h"
#include "table/table_data.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QHash>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using Text = DbcDetails::Text;

namespace {

// Equality of short texts, without a call per comparison.
bool same(QStringView a, QStringView b)
{
    return a.size() == b.size() && std::equal(a.utf16(), a.utf16() + a.size(), b.utf16());
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The first word of a line, up to a blank, a quote or a ";".
QStringView firstWord(QStringView line)
{
    qsizetype from = 0;
    while (from < line.size() && (line[from] == u' ' || line[from] == u'\t'))
        ++from;
    qsizetype to = from;
    while (to < line.size() && !isBlank(line[to]) && line[to] != u'"' && line[to] != u';')
        ++to;
    return line.sliced(from, to - from);
}

enum class Keyword { None, Comment, Values, ValueTable, Attribute, ValueType, Multiplexing };

Keyword keywordOf(QStringView word)
{
    static constexpr std::array<std::pair<QStringView, Keyword>, 6> read = {{
        {u"CM_", Keyword::Comment},
        {u"VAL_", Keyword::Values},
        {u"VAL_TABLE_", Keyword::ValueTable},
        {u"BA_", Keyword::Attribute},
        {u"SIG_VALTYPE_", Keyword::ValueType},
        {u"SG_MUL_VAL_", Keyword::Multiplexing},
    }};
    // Most lines the reader sees begin otherwise; one comparison tells them.
    if (word.size() < 3 || !(word[0] == u'C' || word[0] == u'V' || word[0] == u'B' || word[0] == u'S'))
        return Keyword::None;
    for (const auto &[text, keyword] : read) {
        if (same(word, text))
            return keyword;
    }
    return Keyword::None;
}

// Where the signals of a message are looked up by name rather than one by one.
constexpr int manySignals = 32;

// Whether a line begins a section or a statement of a DBC file, so that a statement
// still open before it was not closed: a comment's own lines hardly begin so.
bool beginsSection(QStringView line)
{
    QStringView keyword = firstWord(line);
    if (keyword.endsWith(u':'))
        keyword.chop(1);
    if (keyword.size() < 3 || !keyword.endsWith(u'_') || keyword.front() < u'A' || keyword.front() > u'Z')
        return false;
    static constexpr std::array<QStringView, 30> keywords = {
        u"CM_",          u"BA_",          u"BA_DEF_",     u"BA_DEF_DEF_",  u"BA_DEF_REL_",  u"BA_REL_",
        u"BA_DEF_DEF_REL_", u"BA_DEF_SGTYPE_", u"BA_SGTYPE_", u"VAL_",   u"VAL_TABLE_",   u"SIG_VALTYPE_",
        u"SG_MUL_VAL_",  u"BU_",          u"BO_",         u"SG_",          u"BO_TX_BU_",    u"EV_",
        u"ENVVAR_DATA_", u"SGTYPE_",      u"SGTYPE_VAL_", u"SIG_GROUP_",   u"SIG_TYPE_REF_", u"NS_",
        u"BS_",          u"CAT_DEF_",     u"CAT_",        u"BU_SG_REL_",   u"BU_EV_REL_",   u"BU_BO_REL_",
    };
    return std::find(keywords.begin(), keywords.end(), keyword) != keywords.end();
}

// Where the first of `a`, `b` and `c` stands in chars[pos, size), or `size`. Statements
// are long comments mostly, so this passes over eight characters at a time.
qsizetype findAny(const char16_t *chars, qsizetype pos, qsizetype size, char16_t a, char16_t b, char16_t c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(short(a));
    const __m128i vb = _mm_set1_epi16(short(b));
    const __m128i vc = _mm_set1_epi16(short(c));
    for (; pos + 8 <= size; pos += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + pos));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(block, va), _mm_cmpeq_epi16(block, vb)),
                                          _mm_cmpeq_epi16(block, vc));
        if (const int mask = _mm_movemask_epi8(hits))
            return pos + std::countr_zero(unsigned(mask)) / 2;
    }
#endif
    for (; pos < size; ++pos) {
        if (chars[pos] == a || chars[pos] == b || chars[pos] == c)
            return pos;
    }
    return size;
}

// Looks for the ";" that ends a statement, from `pos` on, outside quotes; inside a
// quote a backslash takes the next character as it is. True with `pos` on the ";".
bool findStatementEnd(QStringView text, qsizetype &pos, bool &inQuote)
{
    const char16_t *const chars = text.utf16();
    const qsizetype size = text.size();
    while (pos < size) {
        if (inQuote) {
            pos = findAny(chars, pos, size, u'"', u'\\', u'"');
            if (pos == size)
                break;
            if (chars[pos] == u'\\') {
                pos += 2;
                continue;
            }
            inQuote = false;
        } else {
            pos = findAny(chars, pos, size, u'"', u';', u';');
            if (pos == size)
                break;
            if (chars[pos] == u';')
                return true;
            inQuote = true;
        }
        ++pos;
    }
    return false;
}

// A token of a statement: a word, or a quoted text without its quotes.
struct Token
{
    QStringView text;
    bool quoted = false;
};

bool nextToken(QStringView &rest, Token &token)
{
    qsizetype i = 0;
    while (i < rest.size() && isBlank(rest[i]))
        ++i;
    if (i == rest.size()) {
        rest = {};
        return false;
    }
    if (rest[i] == u'"') {
        const char16_t *const chars = rest.utf16();
        qsizetype j = findAny(chars, i + 1, rest.size(), u'"', u'\\', u'"');
        while (j < rest.size() && chars[j] == u'\\')
            j = j + 2 < rest.size() ? findAny(chars, j + 2, rest.size(), u'"', u'\\', u'"') : rest.size();
        if (j >= rest.size())
            return false;
        token = {rest.sliced(i + 1, j - i - 1), true};
        rest = rest.sliced(j + 1);
        return true;
    }
    qsizetype j = i;
    while (j < rest.size() && !isBlank(rest[j]) && rest[j] != u'"')
        ++j;
    token = {rest.sliced(i, j - i), false};
    rest = rest.sliced(j);
    return true;
}

bool word(QStringView &rest, QStringView &text)
{
    Token token;
    if (!nextToken(rest, token) || token.quoted)
        return false;
    text = token.text;
    return true;
}

bool keyword(QStringView &rest, QStringView expected)
{
    QStringView text;
    return word(rest, text) && same(text, expected);
}

bool quoted(QStringView &rest, QStringView &text)
{
    Token token;
    if (!nextToken(rest, token) || !token.quoted)
        return false;
    text = token.text;
    return true;
}

bool atEnd(QStringView rest)
{
    return trimBlanks(rest).isEmpty();
}

bool identifier(QStringView &rest, double &id)
{
    QStringView text;
    if (!word(rest, text))
        return false;
    const std::optional<double> value = wholeDbcIdentifier(text);
    id = value.value_or(0);
    return value.has_value();
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A decimal number: sign, digits with an optional fraction, optional exponent.
bool isNumber(QStringView text)
{
    if (text.startsWith(u'-') || text.startsWith(u'+'))
        text = text.sliced(1);
    const qsizetype e = std::max(text.indexOf(u'e'), text.indexOf(u'E'));
    if (e >= 0) {
        QStringView exponent = text.sliced(e + 1);
        if (exponent.startsWith(u'-') || exponent.startsWith(u'+'))
            exponent = exponent.sliced(1);
        if (!isDigits(exponent))
            return false;
        text = text.first(e);
    }
    const qsizetype point = text.indexOf(u'.');
    if (point < 0)
        return isDigits(text);
    const QStringView whole = text.first(point);
    const QStringView fraction = text.sliced(point + 1);
    return (isDigits(whole) || whole.isEmpty()) && (isDigits(fraction) || fraction.isEmpty())
            && !(whole.isEmpty() && fraction.isEmpty());
}

// A quoted text as it reads: \" is a quote and \\ a backslash.
void appendUnescaped(QString &out, QStringView raw)
{
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'\\' && i + 1 < raw.size() && (raw[i + 1] == u'"' || raw[i + 1] == u'\\'))
            ++i;
        out += raw[i];
    }
}

quint32 clampedId(double id)
{
    if (!(id > 0))
        return 0;
    return id >= 4294967295.0 ? 4294967295u : quint32(std::llround(id));
}

} // namespace

// Appends a text to the pool.
Text DbcDetailsReader::store(QStringView text)
{
    QString &pool = m_details.m_pool;
    if (text.isEmpty() || quint64(pool.size()) + quint64(text.size()) > DbcDetails::largestPool)
        return {};
    const Text added{quint32(pool.size()), quint32(text.size())};
    pool.append(text);
    return added;
}

// The same for a text that many statements repeat (names, value descriptions): a
// text stored already is shared.
Text DbcDetailsReader::intern(QStringView text)
{
    if (text.isEmpty())
        return {};
    TextIndex::Slot &slot = m_interned.slot(m_details.m_pool, text);
    if (slot.text.size == 0) {
        slot.text = store(text);
        if (slot.text.size > 0)
            m_interned.taken();
    }
    return slot.text;
}

// A quoted text of the file as it reads: \" is a quote and \\ a backslash.
Text DbcDetailsReader::storeQuoted(QStringView raw, bool shared)
{
    if (raw.contains(u'\\')) {
        m_unescaped.truncate(0);
        appendUnescaped(m_unescaped, raw);
        raw = m_unescaped;
    }
    return shared ? intern(raw) : store(raw);
}

void DbcDetailsReader::reserve(qint64 fileSize)
{
    // The texts are a part of the file; memory reserved and never written costs no
    // page, and what is left over goes at the end.
    m_details.m_pool.reserve(qsizetype(std::clamp<qint64>(fileSize, 0, DbcDetails::largestPool)));
}

void DbcDetailsReader::skip(qint64 lineNumber)
{
    if (m_skipped.size() < listed)
        m_skipped.append(lineNumber);
    ++m_skippedCount;
}

void DbcDetailsReader::addMessage(double id, QStringView rest)
{
    breakOpenStatement();
    DbcDetails::Message message;
    message.id = clampedId(id);
    const qsizetype colon = findChar(rest, u':');
    QStringView name = trimBlanks(colon < 0 ? rest : rest.first(colon));
    rest = colon < 0 ? QStringView() : rest.sliced(colon + 1);
    QStringView dlc;
    QStringView transmitter;
    if (word(rest, dlc) && isDigits(dlc) && dlc.size() <= 5)
        message.dlc = dlc.toInt();
    word(rest, transmitter);
    message.name = intern(name);
    message.transmitter = intern(transmitter);
    const int index = int(m_details.m_messages.size());
    m_details.m_messages.push_back(message);
    m_messageIds.push_back(id);
    m_firstSignal.push_back(m_details.signalCount());
    m_nextSameId.push_back(-1);
    const auto first = m_messageOf.constFind(id);
    if (first == m_messageOf.cend()) {
        m_messageOf.insert(id, index);
        return;
    }
    int last = first.value();
    while (m_nextSameId[std::size_t(last)] >= 0)
        last = m_nextSameId[std::size_t(last)];
    m_nextSameId[std::size_t(last)] = index;
}

void DbcDetailsReader::addSignal(int row, double id)
{
    breakOpenStatement();
    if (m_details.m_messages.empty())
        addMessage(id, {}); // a signal before the file's first message keeps the message read before
    m_details.addSignal(qint32(m_details.m_messages.size() - 1));
    m_signalRows.push_back(row);
}

int DbcDetailsReader::findMessage(double id)
{
    // Statements about one message mostly follow each other.
    if (m_lastMessage < 0 || m_lastId != id) {
        m_lastMessage = m_messageOf.value(id, -1);
        m_lastId = id;
    }
    return m_lastMessage;
}

int DbcDetailsReader::findInMessage(int message, QStringView name)
{
    const int first = m_firstSignal[std::size_t(message)];
    const int end = std::size_t(message) + 1 < m_firstSignal.size() ? m_firstSignal[std::size_t(message) + 1]
                                                                     : int(m_signalRows.size());
    // Read through a buffer: a view would keep a UTF-16 copy of every chunk looked at.
    const auto named = [&](int signal) {
        return same(m_table.cell(m_signalRows[std::size_t(signal)], Col::Name, m_nameBuffer), name);
    };
    // The statements about a message's signals mostly follow them in order.
    for (const int guess : {m_lastSignal, m_lastSignal + 1}) {
        if (guess >= first && guess < end && named(guess))
            return m_lastSignal = guess;
    }
    if (end - first <= manySignals) {
        for (int signal = first; signal < end; ++signal) {
            if (named(signal))
                return m_lastSignal = signal;
        }
        return -1;
    }
    // A message with many signals gets an index of their names, grown as they come.
    NamedSignals &index = m_manySignals[message];
    for (; first + index.covered < end; ++index.covered) {
        const int signal = first + index.covered;
        const QString signalName = m_table.text(m_signalRows[std::size_t(signal)], Col::Name);
        if (!index.byName.contains(signalName))
            index.byName.insert(signalName, signal);
    }
    const int signal = index.byName.value(name.toString(), -1);
    return signal >= 0 ? (m_lastSignal = signal) : -1;
}

// The first signal of that name in a message of that identifier.
int DbcDetailsReader::findSignal(double id, QStringView name)
{
    for (int message = findMessage(id); message >= 0; message = m_nextSameId[std::size_t(message)]) {
        if (const int signal = findInMessage(message, name); signal >= 0)
            return signal;
    }
    return -1;
}

void DbcDetailsReader::toMessage(const Statement &statement)
{
    const int message = findMessage(statement.id);
    if (message >= 0)
        apply(statement, message);
    else
        m_waiting.push_back(statement);
}

void DbcDetailsReader::toSignal(Statement &statement, QStringView name)
{
    const int signal = findSignal(statement.id, name);
    if (signal >= 0 && apply(statement, signal))
        return;
    statement.name = intern(name);
    m_waiting.push_back(statement);
}

// Gives a statement to its message or signal; false while a value table it uses
// has not come yet.
bool DbcDetailsReader::apply(const Statement &statement, int index)
{
    if (statement.kind == Kind::MessageComment || statement.kind == Kind::CycleTime) {
        DbcDetails::Message &message = m_details.m_messages[std::size_t(index)];
        if (statement.kind == Kind::MessageComment)
            message.comment = statement.text;
        else
            message.cycleTimeMs = statement.number;
        return true;
    }
    DbcDetails::Signal &signal = m_details.describe(index);
    switch (statement.kind) {
    case Kind::SignalComment: signal.comment = statement.text; break;
    case Kind::LongName: signal.longName = statement.text; break;
    case Kind::ValueType: signal.valueType = DbcDetails::ValueType(statement.number); break;
    case Kind::Values:
        signal.valueNumbers = statement.text;
        signal.valueLabels = statement.labels;
        break;
    case Kind::ValueTableUse: {
        const auto table = m_valueTables.constFind(m_details.text(statement.text).toString());
        if (table == m_valueTables.cend())
            return false;
        signal.valueNumbers = table->numbers;
        signal.valueLabels = table->labels;
        break;
    }
    case Kind::Multiplexing:
        // A signal multiplexed by several multiplexors has a line for each.
        if (signal.multiplexing.size == 0) {
            signal.multiplexing = statement.text;
        } else {
            m_scratch = m_details.text(signal.multiplexing).toString();
            m_scratch += u"; ";
            m_scratch += m_details.text(statement.text);
            signal.multiplexing = intern(m_scratch);
        }
        break;
    case Kind::MessageComment:
    case Kind::CycleTime: break;
    }
    return true;
}

void DbcDetailsReader::breakOpenStatement()
{
    if (!m_open)
        return;
    skip(m_statementLine);
    m_open = false;
    m_statement.clear();
}

void DbcDetailsReader::readLine(QStringView line, qint64 lineNumber)
{
    if (m_open) {
        if (!beginsSection(line)) {
            continueStatement(line, lineNumber);
            return;
        }
        breakOpenStatement();
    }
    readStatements(line, lineNumber);
}

// Reads the statements that begin in `text`; one that runs on is kept open.
void DbcDetailsReader::readStatements(QStringView text, qint64 lineNumber)
{
    for (;;) {
        const QStringView keyword = firstWord(text);
        if (keywordOf(keyword) == Keyword::None)
            return;
        const QStringView afterKeyword = text.sliced(keyword.data() - text.data() + keyword.size());
        if (atEnd(afterKeyword))
            return; // a keyword alone, as the list of new symbols writes them
        qsizetype pos = 0;
        bool inQuote = false;
        if (!findStatementEnd(text, pos, inQuote)) {
            m_open = true;
            m_statement = text.toString();
            m_statementLine = lineNumber;
            m_scanned = pos;
            m_inQuote = inQuote;
            return;
        }
        if (!parse(text.first(pos), keyword, lineNumber))
            skip(lineNumber);
        text = text.sliced(pos + 1);
    }
}

void DbcDetailsReader::continueStatement(QStringView line, qint64 lineNumber)
{
    if (m_statement.size() + line.size() + 1 > maxStatement) {
        breakOpenStatement();
        return;
    }
    m_statement += u'\n';
    m_statement += line;
    qsizetype pos = m_scanned;
    if (!findStatementEnd(m_statement, pos, m_inQuote)) {
        m_scanned = pos;
        return;
    }
    m_open = false;
    const QString statement = std::exchange(m_statement, QString());
    const QStringView whole = QStringView(statement).first(pos);
    if (!parse(whole, firstWord(whole), m_statementLine))
        skip(m_statementLine);
    // What follows the ";" stands on the line just read.
    readStatements(QStringView(statement).sliced(pos + 1), lineNumber);
}

// `keyword` is the statement's first word, a view of it.
bool DbcDetailsReader::parse(QStringView statement, QStringView keyword, qint64 lineNumber)
{
    if (quint64(m_details.m_pool.size()) + quint64(statement.size()) > DbcDetails::largestPool)
        return false;
    const QStringView rest = statement.sliced(keyword.data() - statement.data() + keyword.size());
    switch (keywordOf(keyword)) {
    case Keyword::Comment: return parseComment(rest, lineNumber);
    case Keyword::Values: return parseValues(rest, lineNumber);
    case Keyword::ValueTable: return parseValueTable(rest);
    case Keyword::Attribute: return parseAttribute(rest, lineNumber);
    case Keyword::ValueType: return parseValueType(rest, lineNumber);
    case Keyword::Multiplexing: return parseMultiplexing(rest, lineNumber);
    case Keyword::None: break;
    }
    return false;
}

// CM_ "network"; CM_ BU_ node "..."; CM_ BO_ id "..."; CM_ SG_ id signal "...";
// CM_ EV_ variable "..." (not kept).
bool DbcDetailsReader::parseComment(QStringView rest, qint64 lineNumber)
{
    Token first;
    if (!nextToken(rest, first))
        return false;
    QStringView text;
    if (first.quoted) {
        if (!atEnd(rest))
            return false;
        m_details.m_networkComment = storeQuoted(first.text, false);
        return true;
    }
    QStringView name;
    if (same(first.text, u"BU_") || same(first.text, u"EV_")) {
        if (!word(rest, name) || !quoted(rest, text) || !atEnd(rest))
            return false;
        if (same(first.text, u"BU_"))
            m_details.m_nodes.push_back({intern(name), storeQuoted(text, false)});
        return true;
    }
    Statement statement;
    statement.line = lineNumber;
    if (same(first.text, u"BO_"))
        statement.kind = Kind::MessageComment;
    else if (same(first.text, u"SG_"))
        statement.kind = Kind::SignalComment;
    else
        return false;
    if (!identifier(rest, statement.id) || (statement.kind == Kind::SignalComment && !word(rest, name))
        || !quoted(rest, text) || !atEnd(rest))
        return false;
    // Comments are seldom the same twice; looking each up would cost more than it saves.
    statement.text = storeQuoted(text, false);
    if (statement.kind == Kind::MessageComment)
        toMessage(statement);
    else
        toSignal(statement, name);
    return true;
}

// Pairs of a number and a quoted description, to the end of the statement.
bool DbcDetailsReader::readValuePairs(QStringView rest, ValueTable &table)
{
    m_scratch.truncate(0);
    m_scratchLabels.truncate(0);
    Token number;
    bool first = true;
    while (nextToken(rest, number)) {
        QStringView label;
        if (number.quoted || !isNumber(number.text) || !quoted(rest, label))
            return false;
        if (!std::exchange(first, false)) {
            m_scratch += u'\0';
            m_scratchLabels += u'\0';
        }
        m_scratch += number.text;
        appendUnescaped(m_scratchLabels, label);
    }
    table.numbers = intern(m_scratch);
    table.labels = intern(m_scratchLabels);
    return true;
}

// The same for the value descriptions of a signal: many signals have the same ones,
// written the same way, and those are read once.
bool DbcDetailsReader::sharedValuePairs(QStringView rest, ValueTable &table)
{
    rest = trimBlanks(rest);
    TextIndex::Slot &slot = m_bodyIndex.slot(m_bodies, rest);
    if (slot.text.size > 0) {
        table = m_bodyTables[std::size_t(slot.value)];
        return true;
    }
    if (!readValuePairs(rest, table) || quint64(m_bodies.size()) + quint64(rest.size()) > DbcDetails::largestPool)
        return false;
    if (!rest.isEmpty()) {
        slot.text = {quint32(m_bodies.size()), quint32(rest.size())};
        slot.value = qint32(m_bodyTables.size());
        m_bodies += rest;
        m_bodyTables.push_back(table);
        m_bodyIndex.taken();
    }
    return true;
}

// VAL_ id signal 0 "Off" 1 "On" ; or VAL_ id signal TableName ; or the values of an
// environment variable, VAL_ variable 0 "Off" ; (not kept).
bool DbcDetailsReader::parseValues(QStringView rest, qint64 lineNumber)
{
    QStringView first;
    if (!word(rest, first))
        return false;
    ValueTable values;
    const std::optional<double> id = wholeDbcIdentifier(first);
    if (!id)
        return readValuePairs(rest, values);
    Statement statement;
    statement.line = lineNumber;
    statement.id = *id;
    QStringView signal;
    if (!word(rest, signal))
        return false;
    QStringView afterTable = rest;
    QStringView table;
    if (word(afterTable, table) && !isNumber(table) && atEnd(afterTable)) {
        statement.kind = Kind::ValueTableUse;
        statement.text = intern(table);
    } else if (sharedValuePairs(rest, values)) {
        statement.kind = Kind::Values;
        statement.text = values.numbers;
        statement.labels = values.labels;
    } else {
        return false;
    }
    toSignal(statement, signal);
    return true;
}

// VAL_TABLE_ name 0 "Off" 1 "On" ;
bool DbcDetailsReader::parseValueTable(QStringView rest)
{
    QStringView name;
    ValueTable table;
    if (!word(rest, name) || !readValuePairs(rest, table))
        return false;
    m_valueTables.insert(name.toString(), table);
    return true;
}

// BA_ "GenMsgCycleTime" BO_ id ms; BA_ "SystemSignalLongSymbol" SG_ id signal "name";
// other attributes are not read.
bool DbcDetailsReader::parseAttribute(QStringView rest, qint64 lineNumber)
{
    QStringView attribute;
    if (!quoted(rest, attribute))
        return false;
    Statement statement;
    statement.line = lineNumber;
    if (same(attribute, u"GenMsgCycleTime")) {
        QStringView value;
        if (!keyword(rest, u"BO_") || !identifier(rest, statement.id) || !word(rest, value) || !atEnd(rest)
            || !isNumber(value))
            return false;
        const double ms = readNumber(value);
        if (!(ms >= 0 && ms <= double(std::numeric_limits<qint32>::max())))
            return false;
        statement.kind = Kind::CycleTime;
        statement.number = qint32(std::lround(ms));
        toMessage(statement);
        return true;
    }
    if (same(attribute, u"SystemSignalLongSymbol")) {
        QStringView signal;
        QStringView name;
        if (!keyword(rest, u"SG_") || !identifier(rest, statement.id) || !word(rest, signal) || !quoted(rest, name)
            || !atEnd(rest))
            return false;
        statement.kind = Kind::LongName;
        statement.text = storeQuoted(name, false);
        toSignal(statement, signal);
    }
    return true;
}

// SIG_VALTYPE_ id signal : 1 ; with 0 integer, 1 IEEE float, 2 IEEE double.
bool DbcDetailsReader::parseValueType(QStringView rest, qint64 lineNumber)
{
    Statement statement;
    statement.line = lineNumber;
    if (!identifier(rest, statement.id))
        return false;
    const qsizetype colon = findChar(rest, u':');
    if (colon < 0)
        return false;
    const QStringView signal = trimBlanks(rest.first(colon));
    const QStringView type = trimBlanks(rest.sliced(colon + 1));
    if (signal.isEmpty() || std::any_of(signal.begin(), signal.end(), isBlank) || type.size() != 1
        || type[0] < u'0' || type[0] > u'2')
        return false;
    statement.kind = Kind::ValueType;
    statement.number = type[0].unicode() - u'0';
    toSignal(statement, signal);
    return true;
}

// SG_MUL_VAL_ id signal multiplexor 3-3, 5-7 ;
bool DbcDetailsReader::parseMultiplexing(QStringView rest, qint64 lineNumber)
{
    Statement statement;
    statement.line = lineNumber;
    QStringView signal;
    QStringView multiplexor;
    if (!identifier(rest, statement.id) || !word(rest, signal) || !word(rest, multiplexor))
        return false;
    m_scratch = multiplexor.toString();
    bool first = true;
    for (const QStringView range : rest.split(u',')) {
        const QStringView bounds = trimBlanks(range);
        const qsizetype dash = findChar(bounds, u'-');
        if (dash < 0 || !isDigits(bounds.first(dash)) || !isDigits(bounds.sliced(dash + 1)))
            return false;
        m_scratch += std::exchange(first, false) ? QStringView(u" ") : QStringView(u", ");
        m_scratch += bounds;
    }
    statement.kind = Kind::Multiplexing;
    statement.text = intern(m_scratch);
    toSignal(statement, signal);
    return true;
}

QString DbcDetailsReader::skippedWarning(const QString &fileName) const
{
    if (m_skippedCount == 1) {
        return QStringLiteral("%1: line %2 (a comment, value description or attribute) was skipped: it could not be "
                              "read or names no message or signal of the file.")
                .arg(displayName(fileName))
                .arg(m_skipped.front());
    }
    QStringList numbers;
    for (const qint64 number : m_skipped)
        numbers.append(QString::number(number));
    QString list = numbers.join(QStringLiteral(", "));
    if (m_skippedCount > m_skipped.size())
        list += QStringLiteral(" and %1 more").arg(m_skippedCount - m_skipped.size());
    return QStringLiteral("%1: %2 lines of comments, value descriptions or attributes were skipped: they could not "
                          "be read or name no message or signal of the file: lines %3.")
            .arg(displayName(fileName))
            .arg(m_skippedCount)
            .arg(list);
}

void DbcDetailsReader::finish(TableData &table, const QString &fileName, QStringList &warnings)
{
    breakOpenStatement();
    // The statements that came before their message or signal, in file order.
    for (const Statement &statement : std::exchange(m_waiting, {})) {
        const bool aboutMessage = statement.kind == Kind::MessageComment || statement.kind == Kind::CycleTime;
        const int index = aboutMessage ? findMessage(statement.id) : findSignal(statement.id, m_details.text(statement.name));
        if (index < 0 || !apply(statement, index))
            skip(statement.line);
    }
    std::sort(m_skipped.begin(), m_skipped.end());
    m_interned = {};
    m_details.m_pool.squeeze();
    m_details.m_described.shrink_to_fit(); // the details are kept as long as the table
    for (std::size_t i = 0; i < m_signalRows.size(); ++i)
        table.setDetailsSignal(m_signalRows[i], int(i));
    const int floats = m_details.floatSignalCount();
    table.setDetails(std::make_shared<const DbcDetails>(std::move(m_details)));
    if (m_skippedCount > 0)
        warnings.append(skippedWarning(fileName));
    if (floats > 0) {
        const QString count = floats == 1 ? QStringLiteral("1 signal is") : QStringLiteral("%1 signals are").arg(floats);
        warnings.append(QStringLiteral("%1: %2 IEEE floating point; the channel list has no column for it.")
                                .arg(displayName(fileName), count));
    }
}
