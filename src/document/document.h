#pragma once

#include "import/import_result.h"
#include "table/signal_table.h"
#include "update/table_update.h"

#include <QString>
#include <QStringList>

#include <optional>

class RecoveryStore;
struct RecoveryCopy;

// What a command of the document hands back. On failure nothing of the document
// changed; on success the table is the new one and `warnings` say what the user
// should know about the input.
struct DocumentResult
{
    QString error;        // why the command failed, naming the file; empty on success
    bool wrongFormat = false; // the failure is a file name of a kind the command does not read
    QStringList warnings;
    QString encoding;     // how the file's text was read ("UTF-8", "Windows-1252"); empty for a recovery copy
    std::optional<UpdateReport> report; // what an update from a new revision changed

    bool ok() const { return error.isEmpty(); }
};

// The document the window shows and the command line converts: the signal table with
// its state (current file, unsaved work, history) and the DBC message read last, and
// every command that reads or writes it. It shows nothing: the window turns results
// into messages, the command line into lines on standard error.
class Document
{
public:
    SignalTable &table() { return m_table; }
    const SignalTable &table() const { return m_table; }
    const TableData &grid() const { return m_table.grid(); }

    // The identifier of the DBC message read last, kept across imports: a signal
    // before the first message line of the next DBC file belongs to it.
    double currentMessageId() const { return m_currentMessageId; }

    // The table part of File > New: standard headings, one empty row, no file.
    void reset() { m_table.reset(); }

    // Opens a file of any kind the program reads, by its name's extension.
    DocumentResult open(const QString &fileName);
    // File > Import DBC, Import XML and Load CSV after their dialogs. Each makes the
    // file the document's; an import makes the table unsaved, a load leaves it saved.
    DocumentResult ReadDBC(const QString &fileName);
    DocumentResult ReadXML(const QString &fileName);
    DocumentResult LoadCSV(const QString &fileName);
    // File > Update from DBC/XML: reads a new revision of a DBC or receiver file and
    // carries the keys and hand-typed cells over to it as one undoable step, with a
    // report. A table without signals has nothing to carry: the file is imported.
    DocumentResult UpdateFrom(const QString &fileName);
    // Brings back the table of a recovery copy as unsaved work of its file.
    DocumentResult recover(const RecoveryStore &store, const RecoveryCopy &copy);

    // What to tell the user before a save, one text per kind: cells that would break
    // the results CSV, characters it cannot hold, cells the data-acquisition
    // application cannot read. Empty when there is nothing to say.
    QStringList saveWarnings() const;
    // Makes the results CSV name proposed for the current file the document's file
    // and returns the name the save dialog starts with.
    QString proposeSaveName();
    // Saves the table as a results CSV. Returns an empty text on success (the table
    // is then saved), else the reason, naming the file.
    QString WriteCSV(const QString &fileName);
    // File > Save As: the name its dialog starts with (the document's own results
    // CSV name), and the save itself, which makes `fileName` the document's file.
    QString saveAsProposal() const;
    QString SaveAs(const QString &fileName);

private:
    DocumentResult replaceTable(ImportResult &&read);
    DocumentResult import(const QString &fileName, ImportResult &&read);

    SignalTable m_table;
    double m_currentMessageId = 0;
};
