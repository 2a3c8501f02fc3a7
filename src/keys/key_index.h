#pragma once

#include <QHash>
#include <QList>
#include <QSharedDataPointer>
#include <QString>
#include <QStringView>

// Which signal rows hold each non-empty key, so that shared keys are found without
// comparing every row with every other.
//
// A flat hash table of its own: the keys' texts lie back to back in one buffer and
// each slot holds a key's hash, so a key costs no allocation of its own and growing
// hashes nothing again; copies of an index share it until one of them changes.
class KeyIndex
{
public:
    KeyIndex();
    KeyIndex(const KeyIndex &other);
    KeyIndex(KeyIndex &&other) noexcept;
    KeyIndex &operator=(const KeyIndex &other);
    KeyIndex &operator=(KeyIndex &&other) noexcept;
    ~KeyIndex();

    void add(QStringView key, int row);
    void remove(QStringView key, int row);
    void clear();
    void reserve(qsizetype keys);

    // Rows that hold `key`, in no particular order; empty for an empty key.
    QList<int> rows(QStringView key) const;
    QList<int> rows(const QString &key) const { return rows(QStringView(key)); }
    qsizetype count(QStringView key) const;
    qsizetype count(const QString &key) const { return count(QStringView(key)); }
    // Every row whose key another row holds too, in no particular order.
    QList<int> sharedRows() const;
    // Rows that hold a key, and keys that two or more rows hold.
    int keyedRows() const;
    int sharedKeys() const;

    // About the heap the index holds.
    qsizetype memoryBytes() const;

private:
    struct Data;
    QSharedDataPointer<Data> d;
};
