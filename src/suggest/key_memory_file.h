#pragma once

#include "suggest/suggestion_memory.h"

#include <QList>
#include <QString>

#include <utility>

class TableData;

// The remembered keys of the user's file (SuggestionMemory), read at the first need
// and written again after every choice. A file that could not be read is never
// written over, so the names remembered before are not lost to a fault of the moment;
// the choices of this run are kept meanwhile and join the file once it reads.
class KeyMemoryFile
{
public:
    // No file: the choices are remembered for this run only.
    explicit KeyMemoryFile(QString fileName = {}) : m_fileName(std::move(fileName)) {}

    const QString &fileName() const { return m_fileName; }
    // What is remembered, the file read first if it was not yet.
    const SuggestionMemory &memory();
    // Remembers the key of each of `rows` of `table` for its Name (rows without a key
    // are passed over) and writes the file. Returns an empty text, or why the file
    // could not be read or written, naming it.
    QString remember(const TableData &table, const QList<int> &rows);

private:
    QString load();

    QString m_fileName;
    SuggestionMemory m_memory;
    bool m_loaded = false;
    QList<std::pair<QString, QString>> m_chosen; // this run's choices, until the file is read
};
