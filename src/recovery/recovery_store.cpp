#include "recovery_store.h"

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "keys/key_marking.h"
#include "table/file_writing.h"
#include "table/table_data.h"
#include "table/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr auto formatName = "tessaly-recovery";
constexpr int formatVersion = 1;
// A header is small; anything far larger is not one of ours.
constexpr qint64 maxHeaderBytes = 64 * 1024 * 1024;

const QRegularExpression &idPattern()
{
    static const QRegularExpression pattern(
            QStringLiteral("^([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})\\."));
    return pattern;
}

// The id a file name of the folder belongs to, or an empty text for a foreign file.
QString idOf(const QString &fileName)
{
    const QRegularExpressionMatch match = idPattern().match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString headerName(const QString &id)
{
    return id + QStringLiteral(".json");
}

// Whether a results CSV carries the cell's text through a save and a load unchanged:
// separators and line ends would split it, the loader takes "//" out of the heading
// line, and characters outside the code page are written as "?".
bool csvCarries(QStringView text, bool heading)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u';' || u == u'\t' || u == u'\r' || u == u'\n' || (heading && u == u'/'))
            return false;
        if (u >= 0x80 && (u < 0xA0 || u > 0xFF)) {
            char byte = 0;
            encodeCp1252(QStringView(&c, 1), &byte);
            if (decodeCp1252(&byte, 1) != QStringView(&c, 1))
                return false;
        }
    }
    return true;
}

// The colour a cell has after a load of the results CSV; `shared` marks the rows
// whose key another row holds too.
CellColour loadedColour(const std::vector<bool> &shared, int row, int col)
{
    if (col != Col::Key || row < 1)
        return CellColour::Default;
    return shared[std::size_t(row)] ? CellColour::DuplicateKey : CellColour::KeyCell;
}

// What of `table` a results CSV cannot carry, and `csv` the table to write as CSV:
// texts it would change stand blank there and are kept in the header instead.
QJsonObject extras(const TableData &table, TableData &csv)
{
    QJsonArray cells;
    QJsonArray colours;
    QJsonArray icons;
    int iconsFrom = -1;
    std::vector<bool> shared(std::size_t(table.rows()));
    for (const int row : table.keyIndex().sharedRows())
        shared[std::size_t(row)] = true;
    for (int row = 0; row < table.rows(); ++row) {
        if (table.cell(row, Col::Number) != QString::number(row))
            cells.append(QJsonArray{row, int(Col::Number), table.text(row, Col::Number)});
        for (int col = 0; col < TableData::cols(); ++col) {
            if (col > 0 && !csvCarries(table.cell(row, col), row == 0)) {
                cells.append(QJsonArray{row, col, table.text(row, col)});
                csv.setText(row, col, QString());
            }
            if (table.colour(row, col) != loadedColour(shared, row, col))
                colours.append(QJsonArray{row, col, int(table.colour(row, col))});
        }
        if (table.rowIcon(row) && iconsFrom < 0)
            iconsFrom = row;
        if (iconsFrom >= 0 && (!table.rowIcon(row) || row == table.rows() - 1)) {
            icons.append(QJsonArray{iconsFrom, table.rowIcon(row) ? row : row - 1});
            iconsFrom = -1;
        }
    }
    return {{QStringLiteral("cells"), cells},
            {QStringLiteral("colours"), colours},
            {QStringLiteral("icons"), icons},
            {QStringLiteral("fixedRows"), table.fixedRows()}};
}

struct Header
{
    QJsonObject json;
    QString file;
    QDateTime time;
    qint64 rows = -1;
    qint64 generation = 0;
    qint64 bytes = -1;
};

// Reads and checks a header; an empty text on success, else why it is not usable.
QString readHeader(const QString &path, Header &header)
{
    QFile file(path);
    if (file.size() > maxHeaderBytes)
        return QStringLiteral("it is too large to be a recovery header");
    QString error;
    if (!openForReading(file, error))
        return error;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject())
        return QStringLiteral("it is not a recovery header");
    header.json = document.object();
    header.file = header.json.value(QStringLiteral("file")).toString();
    header.time = QDateTime::fromString(header.json.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    header.rows = header.json.value(QStringLiteral("rows")).toInteger(-1);
    header.generation = header.json.value(QStringLiteral("generation")).toInteger(0);
    header.bytes = header.json.value(QStringLiteral("bytes")).toInteger(-1);
    if (header.json.value(QStringLiteral("format")).toString() != QLatin1StringView(formatName)
        || header.json.value(QStringLiteral("version")).toInteger() != formatVersion)
        return QStringLiteral("it is not a recovery header of this version");
    if (!header.time.isValid() || header.rows < 0 || header.rows > std::numeric_limits<int>::max()
        || header.generation < 1 || header.bytes < 0)
        return QStringLiteral("its header is damaged");
    return {};
}

// The number of lines of a CSV the results CSV writer wrote: every line ends in
// CR LF, and no cell of a recovery copy holds a line end.
qint64 countLines(QFile &file)
{
    qint64 lines = 0;
    QByteArray chunk;
    while (!(chunk = file.read(1 << 20)).isEmpty())
        lines += chunk.count('\n');
    return lines;
}

// Whether every entry of `array` is an array of `size` integers, each in its range.
bool entriesValid(const QJsonArray &array, std::initializer_list<std::pair<qint64, qint64>> ranges)
{
    for (const QJsonValue &entry : array) {
        const QJsonArray values = entry.toArray();
        if (!entry.isArray() || values.size() < qsizetype(ranges.size()))
            return false;
        qsizetype i = 0;
        for (const auto &[low, high] : ranges) {
            const qint64 value = values.at(i++).toInteger(low - 1);
            if (value < low || value > high)
                return false;
        }
    }
    return true;
}

// Puts back what the CSV could not carry. False when the header does not fit the
// table.
bool applyExtras(const QJsonObject &json, TableData &table)
{
    const qint64 last = table.rows() - 1;
    const QJsonArray cells = json.value(QStringLiteral("cells")).toArray();
    const QJsonArray colours = json.value(QStringLiteral("colours")).toArray();
    const QJsonArray icons = json.value(QStringLiteral("icons")).toArray();
    const qint64 fixedRows = json.value(QStringLiteral("fixedRows")).toInteger(-1);
    if (!entriesValid(cells, {{0, last}, {0, Col::Count - 1}})
        || !entriesValid(colours, {{0, last}, {0, Col::Count - 1}, {0, int(CellColour::DuplicateKey)}})
        || !entriesValid(icons, {{0, last}, {0, last}}) || fixedRows < 0 || fixedRows > std::clamp<qint64>(last, 0, 1))
        return false;
    for (const QJsonValue &cell : cells) {
        const QJsonArray c = cell.toArray();
        table.setText(c[0].toInt(), c[1].toInt(), c[2].toString());
    }
    markAllKeys(table);
    for (const QJsonValue &colour : colours) {
        const QJsonArray c = colour.toArray();
        table.setColour(c[0].toInt(), c[1].toInt(), CellColour(c[2].toInt()));
    }
    for (const QJsonValue &run : icons) {
        const QJsonArray r = run.toArray();
        for (int row = r[0].toInt(); row <= r[1].toInt(); ++row)
            table.setRowIcon(row, true);
    }
    table.setFixedRows(int(fixedRows));
    return true;
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/recovery");
}

RecoveryStore::RecoveryStore(const QString &folder)
    : m_folder(folder), m_id(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::path(const QString &name) const
{
    return m_folder + u'/' + name;
}

QString RecoveryStore::csvName(const QString &id, qint64 generation) const
{
    return path(QStringLiteral("%1.%2.csv").arg(id).arg(generation));
}

bool RecoveryStore::takeLock(const QString &id)
{
    auto lock = std::make_unique<QLockFile>(path(id + QStringLiteral(".lock")));
    // A lock is stale only when its program no longer runs, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    (id == m_id ? m_ownLock : m_locks[id]) = std::move(lock);
    return true;
}

QString RecoveryStore::write(const TableData &table, const QString &file, const QDateTime &time)
{
    const auto failed = [this](const QString &reason) {
        return QStringLiteral("Cannot keep a recovery copy in %1: %2")
                .arg(QDir::toNativeSeparators(m_folder), reason);
    };
    if (!QDir().mkpath(m_folder))
        return failed(QStringLiteral("the folder cannot be created."));
    if (!m_ownLock && !takeLock(m_id))
        return failed(QStringLiteral("the lock file cannot be created."));

    TableData csv = table;
    QJsonObject json = extras(table, csv);
    const qint64 generation = m_generation + 1;
    const QString csvPath = csvName(m_id, generation);
    QString error = writeResultsCsv(csv, csvPath);
    if (!error.isEmpty()) {
        QFile::remove(csvPath);
        return failed(error);
    }
    json.insert(QStringLiteral("format"), QLatin1StringView(formatName));
    json.insert(QStringLiteral("version"), formatVersion);
    json.insert(QStringLiteral("file"), file);
    json.insert(QStringLiteral("time"), time.toString(Qt::ISODateWithMs));
    json.insert(QStringLiteral("rows"), table.rows());
    json.insert(QStringLiteral("generation"), generation);
    json.insert(QStringLiteral("bytes"), QFileInfo(csvPath).size());

    QSaveFile header(path(headerName(m_id)));
    error = header.open(writeMode) ? writeAll(header, QJsonDocument(json).toJson(QJsonDocument::Compact))
                                   : header.errorString();
    if (error.isEmpty())
        error = commitFile(header);
    if (!error.isEmpty()) {
        QFile::remove(csvPath);
        return failed(error);
    }
    // The new copy stands complete; the CSV of the one before it is no longer named.
    if (m_generation > 0)
        QFile::remove(csvName(m_id, m_generation));
    m_generation = generation;
    return {};
}

void RecoveryStore::removeFiles(const QString &id, qint64 generation)
{
    // The header goes first: without it, no CSV is ever offered.
    QFile::remove(path(headerName(id)));
    if (generation > 0)
        QFile::remove(csvName(id, generation));
}

void RecoveryStore::removeOwn()
{
    if (m_generation > 0)
        removeFiles(m_id, m_generation);
    m_generation = 0;
    m_ownLock.reset();
}

void RecoveryStore::removeUnnamedCsv(const QString &id, const QString &name)
{
    // A CSV without a header is left of a first write cut short; once its program
    // is gone, nobody finishes it.
    if (!name.endsWith(QStringLiteral(".csv")) || QFile::exists(path(headerName(id))) || !takeLock(id))
        return;
    QFile::remove(path(name));
    m_locks.erase(id);
}

QList<RecoveryCopy> RecoveryStore::orphans(QStringList &notes)
{
    QList<RecoveryCopy> copies;
    const QDir dir(m_folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QString id = idOf(name);
        if (id.isEmpty()) {
            notes.append(QStringLiteral("%1: not a recovery file, left alone.").arg(displayName(path(name))));
            continue;
        }
        if (id == m_id || m_locks.count(id) > 0)
            continue;
        if (name != headerName(id)) {
            removeUnnamedCsv(id, name);
            continue;
        }
        if (!takeLock(id))
            continue; // the copy of a program still running
        Header header;
        QString reason = readHeader(path(name), header);
        QFile csv(csvName(id, header.generation));
        if (reason.isEmpty() && !csv.open(QIODevice::ReadOnly))
            reason = QStringLiteral("its table cannot be read (%1)").arg(csv.errorString());
        else if (reason.isEmpty() && (csv.size() != header.bytes || countLines(csv) != header.rows))
            reason = QStringLiteral("its table was not completely written");
        if (!reason.isEmpty()) {
            notes.append(QStringLiteral("%1: %2; not offered.").arg(displayName(path(name)), reason));
            m_locks.erase(id);
            continue;
        }
        m_generations[id] = header.generation;
        for (const QString &other : dir.entryList({id + QStringLiteral(".*.csv")}, QDir::Files)) {
            if (path(other) != csv.fileName())
                QFile::remove(path(other));
        }
        copies.append({id, header.file, header.time, int(header.rows)});
    }
    std::stable_sort(copies.begin(), copies.end(),
                     [](const RecoveryCopy &a, const RecoveryCopy &b) { return a.time > b.time; });
    return copies;
}

ImportResult RecoveryStore::load(const RecoveryCopy &copy) const
{
    ImportResult result;
    Header header;
    const QString headerPath = path(headerName(copy.id));
    result.error = readHeader(headerPath, header);
    if (result.error.isEmpty()) {
        const QString csvPath = csvName(copy.id, header.generation);
        result = LoadCSV(csvPath);
        if (result.ok() && (result.table.rows() != header.rows || !applyExtras(header.json, result.table)))
            result.error = QStringLiteral("its table does not match its header");
    }
    if (!result.ok())
        result.error = QStringLiteral("Cannot recover %1: %2").arg(displayName(headerPath), result.error);
    return result;
}

void RecoveryStore::discard(const RecoveryCopy &copy)
{
    const auto generation = m_generations.find(copy.id);
    if (m_locks.count(copy.id) == 0 || generation == m_generations.end())
        return; // not a copy this store holds
    removeFiles(copy.id, generation->second);
    release(copy);
}

void RecoveryStore::release(const RecoveryCopy &copy)
{
    m_locks.erase(copy.id);
    m_generations.erase(copy.id);
}
