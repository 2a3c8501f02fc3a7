#include "recovery_keeper.h"

#include "table/signal_table.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <utility>

RecoveryKeeper::RecoveryKeeper(SignalTable &table, const QString &folder, QObject *parent)
    : QObject(parent), m_table(table), m_store(folder)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_worker.setMaxThreadCount(1);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::startWrite);
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

void RecoveryKeeper::tableChanged()
{
    if (!m_table.unsavedChanges())
        return;
    const qint64 now = m_clock.elapsed();
    if (m_changedSince < 0)
        m_changedSince = now;
    qint64 due = std::min(now + m_quietMs, m_changedSince + m_longestWaitMs);
    if (m_lastWrite >= 0)
        due = std::max(due, m_lastWrite + m_leastIntervalMs);
    m_timer.start(int(std::max<qint64>(0, due - now)));
}

void RecoveryKeeper::startWrite()
{
    if (!m_table.unsavedChanges())
        return;
    if (m_writing) {
        m_changedSince = m_clock.elapsed(); // written again once this write is done
        return;
    }
    m_writing = true;
    m_changedSince = -1;
    // A copy of the table costs little (its texts are shared); encoding and writing
    // it happen on the worker, while the user goes on.
    const quint64 ticket = m_ticket;
    m_worker.start([this, ticket, table = m_table.grid(), file = m_table.currentFile(),
                    time = QDateTime::currentDateTimeUtc()] {
        const QString error = m_store.write(table, file, time);
        QMetaObject::invokeMethod(this, [this, ticket, error] { writeFinished(ticket, error); },
                                  Qt::QueuedConnection);
    });
}

void RecoveryKeeper::writeFinished(quint64 ticket, const QString &error)
{
    if (ticket != m_ticket)
        return; // the copy was discarded meanwhile; so is this result
    m_writing = false;
    m_lastWrite = m_clock.elapsed();
    if (!error.isEmpty()) {
        if (!std::exchange(m_warned, true)) {
            std::fprintf(stderr, "tessaly: %s\n", qPrintable(error));
            emit writeFailed(error + QStringLiteral("\n\nYour work goes on, but is not protected against a crash."));
        }
    } else {
        dropAdopted();
        emit written();
    }
    if (m_changedSince >= 0)
        tableChanged();
}

void RecoveryKeeper::discardCopy()
{
    m_timer.stop();
    m_worker.waitForDone();
    ++m_ticket;
    m_writing = false;
    m_changedSince = -1;
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
