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
    void clear() { m_rows.clear(); }

    // Rows that hold `key`, in no particular order; empty for an empty key.
    QList<int> rows(const QString &key) const { return m_rows.value(key); }
    qsizetype count(const QString &key) const;

private:
    QHash<QString, QList<int>> m_rows;
};
