#pragma once

#include <QString>

#include <functional>

// Every message box and file dialog the windows show goes through this interface,
// so that the commands can run without a person answering (the tests script it).
class Dialogs
{
public:
    enum class Answer { Yes, No, Cancel };
    enum class RecoveryAnswer { Recover, Discard, Later };

    virtual ~Dialogs() = default;

    // A question with Yes (the default), No and Cancel.
    virtual Answer askYesNoCancel(const QString &title, const QString &text) = 0;
    // The question about work a crashed run left behind: Recover (the default),
    // Discard or Later.
    virtual RecoveryAnswer askRecovery(const QString &title, const QString &text) = 0;
    // A question with Yes and No (the default); true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
    // A message with an information icon and OK.
    virtual void inform(const QString &title, const QString &text) = 0;
    // A message with an exclamation icon and OK.
    virtual void warn(const QString &title, const QString &text) = 0;
    // The open dialog; `filter` in Qt's form ("DBC Files (*.dbc);;All Files (*)").
    // Returns the chosen path, or an empty text when the user cancelled.
    virtual QString openFile(const QString &title, const QString &filter) = 0;
    // The save dialog, starting from `proposal` when it is not empty. It asks before
    // overwriting an existing file and adds `defaultSuffix` to a name without one.
    virtual QString saveFile(const QString &title, const QString &proposal, const QString &filter,
                             const QString &defaultSuffix) = 0;
    // A long plain text to read, with Close and a "Save report..." button that calls
    // `save` while the text stays open; a double click on a line hands it to
    // `lineChosen`.
    virtual void showReport(const QString &title, const QString &text, const std::function<void()> &save,
                            const std::function<void(const QString &line)> &lineChosen) = 0;
    // The folder the dialogs start in.
    virtual void setInitialDirectory(const QString &folder) = 0;
    // Shows `folder` in the desktop's file manager; false when that failed.
    virtual bool showFolder(const QString &folder) = 0;
};
