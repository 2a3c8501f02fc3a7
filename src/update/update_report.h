#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ChangedSignal;
struct UpdateReport;

// The report of an update as plain text, for the window, a file and the command line.

// The name of a field of the report ("scale", "byte order").
QString fieldLabel(int col);

// "Kept: 120", "Moved: 2", "Added: 5", "Removed: 3", "Changed: 4".
QStringList summaryLines(const UpdateReport &report);

// The whole report: the file, the summary, then the removed, moved, added and changed
// signals, old and new values side by side. Lines end in "\n".
QString reportText(const UpdateReport &report);

// What the "#" cell's tooltip says about a changed row.
QString changeNote(const ChangedSignal &signal);

// The report as the bytes of a text file: Windows-1252, CR LF after every line.
QByteArray reportBytes(const UpdateReport &report);

// Writes the report atomically. Returns an empty text on success, else the reason
// naming the file.
QString writeReport(const UpdateReport &report, const QString &fileName);
