#include "key_index.h"

void KeyIndex::add(const QString &key, int row)
{
    if (!key.isEmpty())
        m_rows[key].append(row);
}

void KeyIndex::remove(const QString &key, int row)
{
    if (key.isEmpty())
        return;
    const auto it = m_rows.find(key);
    if (it == m_rows.end())
        return;
    it->removeOne(row);
    if (it->isEmpty())
        m_rows.erase(it);
}

qsizetype KeyIndex::count(const QString &key) const
{
    const auto it = m_rows.constFind(key);
    return it == m_rows.constEnd() ? 0 : it->size();
}
