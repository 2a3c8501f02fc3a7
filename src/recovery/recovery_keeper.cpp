#include "recovery_keeper.h"

#include "table/signal_table.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

RecoveryKeeper::RecoveryKeeper(SignalTable &table, const QString &folder, QObject *parent)
    : QObject(parent), m_table(table), m_store(folder)
{
    m_elapsed.start();
    m_now = [this] { return m_elapsed.elapsed(); };
    m_timer.setSingleShot(true);
    m_worker.setMaxThreadCount(1);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::writeIfDue);
    connect(&table, &SignalTable::unsavedChangesChanged, this, [this](bool unsaved) {
        if (unsaved)
            tableChanged();
        else
            discardCopy();
    });
    connect(&table, &QAbstractItemModel::dataChanged, this, &RecoveryKeeper::tableChanged);
    connect(&table, &QAbstractItemModel::headerDataChanged, this, &RecoveryKeeper::tableChanged);
    connect(&table, &QAbstractItemModel::modelReset, this, &RecoveryKeeper::tableChanged);
}

RecoveryKeeper::~RecoveryKeeper()
{
    m_worker.waitForDone();
}

qint64 RecoveryKeeper::nextWrite() const
{
    if (m_firstChange < 0)
        return -1;
    qint64 due = std::min(m_lastChange + m_quietMs, m_firstChange + m_longestWaitMs);
    if (m_lastWrite >= 0)
        due = std::max(due, m_lastWrite + m_leastIntervalMs);
    return due;
}

void RecoveryKeeper::tableChanged()
{
    if (!m_table.unsavedChanges())
        return;
    const qint64 now = m_now();
    if (m_firstChange < 0)
        m_firstChange = now;
    m_lastChange = now;
    schedule();
}

void RecoveryKeeper::schedule()
{
    const qint64 due = nextWrite();
    if (due < 0 || m_writing) {
        m_timer.stop(); // a write under way schedules the next one when it ends
        return;
    }
    m_timer.start(int(std::clamp<qint64>(due - m_now(), 0, std::numeric_limits<int>::max())));
}

bool RecoveryKeeper::writeIfDue()
{
    if (!m_table.unsavedChanges() || m_writing || nextWrite() < 0 || m_now() < nextWrite()) {
        schedule();
        return false;
    }
    m_writing = true;
    m_firstChange = -1;
    // A copy of the table costs little (its texts are shared); encoding and writing
    // it happen on the worker, while the user goes on.
    const quint64 ticket = m_ticket;
    m_worker.start([this, ticket, table = m_table.grid(), file = m_table.currentFile(),
                    time = QDateTime::currentDateTimeUtc()] {
        const QString error = m_store.write(table, file, time);
        QMetaObject::invokeMethod(this, [this, ticket, error] { writeFinished(ticket, error); },
                                  Qt::QueuedConnection);
    });
    return true;
}

void RecoveryKeeper::writeFinished(quint64 ticket, const QString &error)
{
    if (ticket != m_ticket)
        return; // the copy was discarded meanwhile; so is this result
    m_writing = false;
    m_lastWrite = m_now();
    if (!error.isEmpty()) {
        if (!std::exchange(m_warned, true)) {
            std::fprintf(stderr, "tessaly: %s\n", qPrintable(error));
            emit writeFailed(error + QStringLiteral("\n\nYour work goes on, but is not protected against a crash."));
        }
    } else {
        dropAdopted();
        emit written();
    }
    schedule();
}

void RecoveryKeeper::discardCopy()
{
    m_timer.stop();
    m_worker.waitForDone();
    ++m_ticket;
    m_writing = false;
    m_firstChange = -1;
    m_store.removeOwn();
    dropAdopted();
}

void RecoveryKeeper::adopt(const RecoveryCopy &copy)
{
    m_adopted.append(copy);
}

void RecoveryKeeper::dropAdopted()
{
    for (const RecoveryCopy &copy : std::as_const(m_adopted))
        m_store.discard(copy);
    m_adopted.clear();
}
