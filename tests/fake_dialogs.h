#pragma once

#include "app/dialogs.h"

#include <QList>
#include <QStringList>

// Answers the window's questions and file dialogs from scripted queues, and records
// everything it was shown. An unscripted question is answered Cancel, an unscripted
// file dialog is cancelled, and both are recorded as such.
class FakeDialogs : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "ask", "recover", "inform", "warn", "open", "save", "folder", "report"
        QString title;
        QString text; // the message, or for a file dialog its proposal and filter
    };

    QList<Answer> answers;
    QList<RecoveryAnswer> recoveryAnswers; // unscripted: Later
    QStringList files; // answers of open and save dialogs, in order
    QList<Shown> shown;
    QString initialDirectory;
    QString lastSuffix;
    int reportSaves = 0; // how many reports to save, each with "Save report..."
    QStringList reportLinesChosen; // lines of a report double-clicked, in turn

    Answer askYesNoCancel(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("ask"), title, text});
        return answers.isEmpty() ? Answer::Cancel : answers.takeFirst();
    }
    RecoveryAnswer askRecovery(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("recover"), title, text});
        return recoveryAnswers.isEmpty() ? RecoveryAnswer::Later : recoveryAnswers.takeFirst();
    }
    bool askYesNo(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("ask"), title, text});
        return !answers.isEmpty() && answers.takeFirst() == Answer::Yes;
    }
    void inform(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("inform"), title, text});
    }
    void warn(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("warn"), title, text});
    }
    QString openFile(const QString &title, const QString &filter) override
    {
        shown.append({QStringLiteral("open"), title, filter});
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString saveFile(const QString &title, const QString &proposal, const QString &filter,
                     const QString &defaultSuffix) override
    {
        shown.append({QStringLiteral("save"), title, proposal + QLatin1Char('|') + filter});
        lastSuffix = defaultSuffix;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    void showReport(const QString &title, const QString &text, const std::function<void()> &save,
                    const std::function<void(const QString &line)> &lineChosen) override
    {
        shown.append({QStringLiteral("report"), title, text});
        for (const QString &line : std::as_const(reportLinesChosen))
            lineChosen(line);
        if (reportSaves > 0) {
            --reportSaves;
            save();
        }
    }
    void setInitialDirectory(const QString &folder) override { initialDirectory = folder; }
    bool showFolder(const QString &folder) override
    {
        shown.append({QStringLiteral("folder"), QString(), folder});
        return true;
    }

    QStringList kinds() const
    {
        QStringList result;
        for (const Shown &s : shown)
            result.append(s.kind);
        return result;
    }
};
