#pragma once

#include "import/import_result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class QLockFile;

// A recovery copy left behind by a run of the program that ended without saving.
struct RecoveryCopy
{
    QString id;
    QString file;   // the document's file, as the caption named it
    QDateTime time; // when the copy was written
    int rows = 0;   // grid rows, the heading row included

    int signalCount() const { return rows > 0 ? rows - 1 : 0; }
};

// The recovery copies in one folder. Every run of the program keeps at most one copy
// of its own there, one file that holds the whole table exactly (see writeTable), the
// document's name and the time, sealed by a checksum, and beside it a lock file that
// tells the copies of running programs from those of runs that ended; only the
// latter are offered.
//
// A copy is replaced atomically (QSaveFile), so a write cut short leaves the copy
// before it. A copy is read as the untrusted file it is: one that does not pass its
// checksum, or whose content is not whole, is never offered.
class RecoveryStore
{
public:
    // The folder where the copies of this user are kept.
    static QString defaultFolder();

    explicit RecoveryStore(const QString &folder);
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    QString folder() const { return m_folder; }
    QString ownId() const { return m_id; }
    // The file of a copy.
    QString copyPath(const QString &id) const;
    QString lockPath(const QString &id) const;

    // Writes this run's copy of `table`. Returns an empty text on success, else the
    // reason. May run on a worker thread, provided no other member runs meanwhile.
    QString write(const TableData &table, const QString &file, const QDateTime &time);
    // Deletes this run's copy, if any.
    void removeOwn();

    // The sound copies of runs that no longer run, newest first. Each stays locked
    // by this store until it is discarded or released, so that no other starting
    // program offers it at the same time. `notes` receives a line for every file of
    // the folder that was passed over, and why.
    QList<RecoveryCopy> orphans(QStringList &notes);
    // The table of a copy, exactly as it was written.
    ImportResult load(const RecoveryCopy &copy) const;
    // Deletes a copy this store holds.
    void discard(const RecoveryCopy &copy);
    // Keeps a copy for a later start and lets other programs offer it again.
    void release(const RecoveryCopy &copy);

private:
    QString path(const QString &name) const;
    bool takeLock(const QString &id, QString &why);

    QString m_folder;
    QString m_id;
    std::unique_ptr<QLockFile> m_ownLock;
    std::map<QString, std::unique_ptr<QLockFile>> m_locks; // copies this store holds
};
