#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Which signal rows hold each non-empty key, so that shared keys are found without
// comparing every row with every other.
class KeyIndex
{
public:
    void add(const QString &key, int row);
    void remove(const QString &key, int row);
    void clear()
    {
        m_rows.clear();
        m_keyedRows = m_sharedKeys = 0;
    }
    void reserve(qsizetype keys) { m_rows.reserve(keys); }

    // Rows that hold `key`, in no particular order; empty for an empty key.
    QList<int> rows(const QString &key) const;
    qsizetype count(const QString &key) const;
    // Every row whose key another row holds too, in no particular order.
    QList<int> sharedRows() const;
    // Rows that hold a key, and keys that two or more rows hold.
    int keyedRows() const { return m_keyedRows; }
    int sharedKeys() const { return m_sharedKeys; }

private:
    // The rows of one key. Most keys are held by one row, which needs no list.
    struct Holders
    {
        int first = -1;
        QList<int> others;
    };

    QHash<QString, Holders> m_rows;
    int m_keyedRows = 0;
    int m_sharedKeys = 0;
};
