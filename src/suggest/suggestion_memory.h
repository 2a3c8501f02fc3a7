#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QIODevice;
class TableData;

// The keys the user chose for signal names, so that the same name in a later DBC is
// proposed its key first. Kept as a plain text file that is easy to share: one
// "name;key" a line, lines that begin with "//" are comments.
class SuggestionMemory
{
public:
    static QString fileName() { return QStringLiteral("remembered_keys.txt"); }
    // The file in the user's configuration folder.
    static QString standardFile();

    bool isEmpty() const { return m_keys.isEmpty(); }
    int size() const { return int(m_keys.size()); }
    // The key remembered for `name`, or an empty text.
    QString keyOf(const QString &name) const { return m_keys.value(name); }
    // Remembers `key` for `name`; an empty key forgets the name. A name holding ";" or a
    // line break, or a key holding a line break, is not remembered.
    void add(const QString &name, const QString &key);
    // Remembers the key of every signal row of `table` that holds one.
    void addTable(const TableData &table);

    // Reads a file into the memory, replacing what it held. A file that does not exist
    // is an empty memory. Returns an empty text, or why the file could not be read
    // (naming it); the memory is then unchanged. Lines without "name;key" are passed
    // over and counted in `warnings`.
    QString load(const QString &fileName, QStringList &warnings);
    QString load(QIODevice &device, const QString &fileName, QStringList &warnings);
    // Writes the memory, sorted by name, replacing the file only once it is complete.
    // Returns an empty text, or why not.
    QString save(const QString &fileName) const;

private:
    QHash<QString, QString> m_keys;
};
