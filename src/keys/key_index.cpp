#include "key_index.h"

void KeyIndex::add(const QString &key, int row)
{
    if (key.isEmpty())
        return;
    Holders &holders = m_rows[key];
    ++m_keyedRows;
    if (holders.first < 0) {
        holders.first = row;
        return;
    }
    if (holders.others.isEmpty())
        ++m_sharedKeys;
    holders.others.append(row);
}

void KeyIndex::remove(const QString &key, int row)
{
    if (key.isEmpty())
        return;
    const auto it = m_rows.find(key);
    if (it == m_rows.end())
        return;
    Holders &holders = *it;
    if (holders.first != row) {
        if (!holders.others.removeOne(row))
            return;
    } else if (holders.others.isEmpty()) {
        m_rows.erase(it);
        --m_keyedRows;
        return;
    } else {
        holders.first = holders.others.takeLast();
    }
    --m_keyedRows;
    if (holders.others.isEmpty())
        --m_sharedKeys;
}

QList<int> KeyIndex::rows(const QString &key) const
{
    const auto it = m_rows.constFind(key);
    if (it == m_rows.constEnd())
        return {};
    QList<int> rows = it->others;
    rows.append(it->first);
    return rows;
}

qsizetype KeyIndex::count(const QString &key) const
{
    const auto it = m_rows.constFind(key);
    return it == m_rows.constEnd() ? 0 : 1 + it->others.size();
}

QList<int> KeyIndex::sharedRows() const
{
    QList<int> rows;
    for (const Holders &holders : m_rows) {
        if (!holders.others.isEmpty()) {
            rows.append(holders.first);
            rows.append(holders.others);
        }
    }
    return rows;
}
