// The main window's side of the recovery copies: keeping them, and offering the
// ones that ended runs left behind.

#include "frm_dbc.h"

#include "app/dialogs.h"
#include "recovery/recovery_keeper.h"

#include <QLocale>

#include <cstdio>
#include <utility>

void frmDBC::keepRecoveryCopies(const QString &folder)
{
    m_recovery = std::make_unique<RecoveryKeeper>(m_table, folder);
    connect(m_recovery.get(), &RecoveryKeeper::writeFailed, this,
            [this](const QString &reason) { m_dialogs->warn(applicationTitle(), reason); });
}

void frmDBC::openAtStart(const QString &fileName)
{
    if (m_recovery) {
        RecoveryStore &store = m_recovery->store();
        QStringList notes;
        const QList<RecoveryCopy> copies = store.orphans(notes);
        for (const QString &note : std::as_const(notes))
            std::fprintf(stderr, "tessaly: %s\n", qPrintable(note));
        bool recovered = false;
        for (const RecoveryCopy &copy : copies) {
            if (recovered) {
                store.release(copy); // one table at a time; the others wait for a later start
                continue;
            }
            const QString text = QStringLiteral("Recover the unsaved work from %1 (%2, %3 signals)?")
                                         .arg(QLocale().toString(copy.time.toLocalTime(), QLocale::ShortFormat),
                                              copy.file.isEmpty() ? QStringLiteral("untitled") : copy.file)
                                         .arg(copy.signalCount());
            switch (m_dialogs->askRecovery(applicationTitle(), text)) {
            case Dialogs::RecoveryAnswer::Recover:
                recovered = recover(copy);
                break;
            case Dialogs::RecoveryAnswer::Discard:
                store.discard(copy);
                break;
            case Dialogs::RecoveryAnswer::Later:
                store.release(copy);
                break;
            }
        }
    }
    // Recovered work is not to be replaced without the question.
    if (!fileName.isEmpty() && beforeCommand(Before::AskSaveChanges))
        openFile(fileName);
}

bool frmDBC::recover(const RecoveryCopy &copy)
{
    RecoveryStore &store = m_recovery->store();
    if (!showResult([&] { return m_document.recover(store, copy); })) {
        store.release(copy);
        return false;
    }
    m_recovery->adopt(copy);
    return true;
}
