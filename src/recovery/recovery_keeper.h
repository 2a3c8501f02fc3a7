#pragma once

#include "recovery/recovery_store.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>

class SignalTable;

// Keeps a recovery copy of a signal table while it holds unsaved work: a few seconds
// after the last change, or at the latest a while after the first change not yet in
// a copy while changes go on, never more often than every few seconds, and written on
// a worker thread from a copy of the table, so that editing never waits for it. When
// the table is saved or reset the copy goes.
//
// The schedule runs on a clock of its own, which a test sets; the keeper's timer only
// wakes it up, and writeIfDue() asks the clock whether the time has come.
class RecoveryKeeper : public QObject
{
    Q_OBJECT

public:
    RecoveryKeeper(SignalTable &table, const QString &folder, QObject *parent = nullptr);
    ~RecoveryKeeper() override;

    // How long the table must rest before a copy is written, how long a copy may
    // wait while the user keeps on changing things, and the least time between two
    // writes, in milliseconds.
    void setDelays(int quietMs, int longestWaitMs, int leastIntervalMs)
    {
        m_quietMs = quietMs;
        m_longestWaitMs = longestWaitMs;
        m_leastIntervalMs = leastIntervalMs;
    }

    // The time in milliseconds, from any start on; by default since the keeper's start.
    using Clock = std::function<qint64()>;
    void setClock(Clock now) { m_now = std::move(now); }

    // When the next copy is due on the clock, -1 while none is.
    qint64 nextWrite() const;
    // Starts writing a copy when one is due; true when it did.
    bool writeIfDue();
    // Whether a copy is being written.
    bool writing() const { return m_writing; }

    RecoveryStore &store() { return m_store; }

    // Drops this run's copy: the work was saved, or the user gave it up.
    void discardCopy();
    // Takes over a copy of an earlier run whose table is now in this one's: it stays
    // until this run's own copy of the table stands, so a crash in between loses
    // nothing.
    void adopt(const RecoveryCopy &copy);

signals:
    // Writing a copy failed; said once per run.
    void writeFailed(const QString &reason);
    // A copy was written (for whoever waits for one).
    void written();

private:
    void tableChanged();
    void schedule();
    void writeFinished(quint64 ticket, const QString &error);
    void dropAdopted();

    SignalTable &m_table;
    RecoveryStore m_store;
    QList<RecoveryCopy> m_adopted;
    QTimer m_timer;
    QThreadPool m_worker;
    QElapsedTimer m_elapsed;
    Clock m_now;
    int m_quietMs = 2000;
    int m_longestWaitMs = 10000;
    int m_leastIntervalMs = 5000;
    qint64 m_firstChange = -1; // the first change not yet in a copy, -1 for none
    qint64 m_lastChange = -1;
    qint64 m_lastWrite = -1; // when the last write ended, -1 for none yet
    quint64 m_ticket = 0;                 // counts discards, so a late result is known
    bool m_writing = false;
    bool m_warned = false;
};
