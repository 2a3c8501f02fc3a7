#include "recovery_store.h"

#include "recovery/table_stream.h"
#include "table/file_writing.h"
#include "table/table_data.h"
#include "table/text_file.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <cstdlib>

namespace {

// A copy file: the magic, the format version, the size of the payload and its
// SHA-256, then the payload (the document's file, the time and the table).
constexpr QByteArrayView magic = "TSLYRCV1";
constexpr qint64 hashBytes = 32;
constexpr qint64 headerBytes = 8 + 4 + 8 + hashBytes;
// Far above the copy of the largest table the program handles (100,000 rows take
// some 20 MB), and a bound on what a damaged or foreign file makes it read.
constexpr qint64 maxPayloadBytes = qint64(1) << 30;
constexpr auto streamVersion = QDataStream::Qt_6_4;
// QLockFile writes who holds a lock right after creating the file; a lock file
// still empty or unreadable after this long was left by a crash or a power cut.
constexpr qint64 unnamedLockMs = 30 * 1000;

const QString copySuffix = QStringLiteral(".recovery");
const QString lockSuffix = QStringLiteral(".lock");

// The id a file name of the folder belongs to, or an empty text for a foreign file.
QString idOf(const QString &fileName)
{
    static const QRegularExpression pattern(
            QStringLiteral("^([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12})\\."));
    const QRegularExpressionMatch match = pattern.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

struct Content
{
    QString file;
    QDateTime time;
    TableData table;
};

// Reads and checks a whole copy. Returns an empty text on success, else why it is not
// usable.
QString readCopy(const QString &path, Content &content)
{
    QFile file(path);
    QString error;
    if (!openForReading(file, error))
        return error;
    if (file.size() > headerBytes + maxPayloadBytes)
        return QStringLiteral("it is too large to be a recovery copy");
    const QByteArray bytes = file.read(headerBytes + maxPayloadBytes);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("it cannot be read (%1)").arg(file.errorString());
    if (bytes.size() < headerBytes || !bytes.startsWith(magic))
        return QStringLiteral("it is not a recovery copy");

    QDataStream header(bytes);
    header.skipRawData(int(magic.size()));
    quint32 version = 0;
    quint64 payloadBytes = 0;
    header >> version >> payloadBytes;
    if (version != tableStreamVersion)
        return QStringLiteral("it is a recovery copy of another version of the program");
    const QByteArrayView payload = QByteArrayView(bytes).sliced(headerBytes);
    if (payloadBytes != quint64(payload.size()))
        return QStringLiteral("its size is wrong: it was not completely written");
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256)
        != QByteArrayView(bytes).sliced(headerBytes - hashBytes, hashBytes))
        return QStringLiteral("its checksum does not match its content: it is damaged");

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(headerBytes);
    QDataStream in(&buffer);
    in.setVersion(streamVersion);
    qint64 msecs = 0;
    in >> content.file >> msecs;
    content.time = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    if (in.status() != QDataStream::Ok || !content.time.isValid())
        return QStringLiteral("its header is damaged");
    const QString reason = readTable(in, content.table);
    if (!reason.isEmpty())
        return QStringLiteral("its table is damaged: %1").arg(reason);
    if (!in.atEnd())
        return QStringLiteral("it holds more than its table");
    return {};
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

QString RecoveryStore::copyPath(const QString &id) const
{
    return path(id + copySuffix);
}

QString RecoveryStore::lockPath(const QString &id) const
{
    return path(id + lockSuffix);
}

bool RecoveryStore::takeLock(const QString &id, QString &why)
{
    auto lock = std::make_unique<QLockFile>(lockPath(id));
    // A lock is stale only when its program no longer runs, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            why = QStringLiteral("its lock file cannot be created");
            return false;
        }
        if (lock->getLockInfo(nullptr, nullptr, nullptr))
            return false; // a program that runs holds it
        // Without the name of its holder QLockFile never counts a lock stale. Its
        // holder would have written it long ago; removing it succeeds only where no
        // running program holds the file open.
        const QDateTime modified = QFileInfo(lockPath(id)).lastModified();
        if (std::abs(modified.msecsTo(QDateTime::currentDateTimeUtc())) < unnamedLockMs)
            return false; // a program may be starting this very moment
        if (!lock->removeStaleLockFile() || !lock->tryLock(0)) {
            why = QStringLiteral("its lock file %1 names no program and cannot be removed")
                          .arg(displayName(lockPath(id)));
            return false;
        }
    }
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
    QString why;
    if (!m_ownLock && !takeLock(m_id, why))
        return failed(QStringLiteral("the lock file cannot be created."));

    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(streamVersion);
        out << file << time.toMSecsSinceEpoch();
        writeTable(out, table);
    }
    if (payload.size() > maxPayloadBytes)
        return failed(QStringLiteral("the table is too large for a recovery copy."));
    QByteArray header;
    {
        QDataStream out(&header, QIODevice::WriteOnly);
        out.writeRawData(magic.data(), int(magic.size()));
        out << tableStreamVersion << quint64(payload.size());
    }
    header += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);

    QSaveFile copy(copyPath(m_id));
    QString error = copy.open(writeMode) ? writeAll(copy, header) : copy.errorString();
    if (error.isEmpty())
        error = writeAll(copy, payload);
    if (error.isEmpty())
        error = commitFile(copy);
    if (!error.isEmpty())
        return failed(error);
    return {};
}

void RecoveryStore::removeOwn()
{
    if (!m_ownLock)
        return;
    QFile::remove(copyPath(m_id));
    m_ownLock.reset();
}

QList<RecoveryCopy> RecoveryStore::orphans(QStringList &notes)
{
    std::map<QString, QStringList> ids;
    const QStringList names = QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QString id = idOf(name);
        if (id.isEmpty())
            notes.append(QStringLiteral("%1: not a recovery file, left alone.").arg(displayName(path(name))));
        else
            ids[id].append(name);
    }

    QList<RecoveryCopy> copies;
    for (const auto &[id, files] : ids) {
        if (id == m_id || m_locks.count(id) > 0)
            continue;
        QString why;
        if (!takeLock(id, why)) {
            if (!why.isEmpty())
                notes.append(QStringLiteral("%1: %2; not offered.").arg(displayName(copyPath(id)), why));
            continue; // else the copy of a program still running
        }
        const QString copyName = id + copySuffix;
        // What a save cut short leaves beside the copy; its program is gone.
        for (const QString &name : files) {
            if (name.startsWith(copyName + u'.'))
                QFile::remove(path(name));
        }
        if (!files.contains(copyName)) {
            m_locks.erase(id); // a lock without a copy, gone with it
            continue;
        }
        Content content;
        why = readCopy(copyPath(id), content);
        if (!why.isEmpty()) {
            notes.append(QStringLiteral("%1: %2; not offered.").arg(displayName(copyPath(id)), why));
            m_locks.erase(id);
            continue;
        }
        copies.append({id, content.file, content.time, content.table.rows()});
    }
    std::stable_sort(copies.begin(), copies.end(),
                     [](const RecoveryCopy &a, const RecoveryCopy &b) { return a.time > b.time; });
    return copies;
}

ImportResult RecoveryStore::load(const RecoveryCopy &copy) const
{
    ImportResult result;
    Content content;
    const QString reason = readCopy(copyPath(copy.id), content);
    if (reason.isEmpty())
        result.table = std::move(content.table);
    else
        result.error = QStringLiteral("Cannot recover %1: %2.").arg(displayName(copyPath(copy.id)), reason);
    return result;
}

void RecoveryStore::discard(const RecoveryCopy &copy)
{
    if (m_locks.count(copy.id) == 0)
        return; // not a copy this store holds
    QFile::remove(copyPath(copy.id));
    release(copy);
}

void RecoveryStore::release(const RecoveryCopy &copy)
{
    m_locks.erase(copy.id);
}
