#include "key_memory_file.h"

#include "table/table_data.h"
#include "table/text_helpers.h"

#include <QStringList>

const SuggestionMemory &KeyMemoryFile::memory()
{
    (void)load();
    return m_memory;
}

QString KeyMemoryFile::load()
{
    if (m_loaded || m_fileName.isEmpty())
        return {};
    QStringList warnings;
    SuggestionMemory read;
    if (QString error = read.load(m_fileName, warnings); !error.isEmpty())
        return error;
    for (const auto &[name, key] : std::as_const(m_chosen))
        read.add(name, key);
    m_memory = std::move(read);
    m_chosen.clear();
    m_loaded = true;
    return {};
}

QString KeyMemoryFile::remember(const TableData &table, const QList<int> &rows)
{
    bool added = false;
    for (const int row : rows) {
        if (row < table.fixedRows() || row >= table.rows())
            continue;
        const QString key = table.text(row, Col::Key);
        const QString name = trimSpaces(table.text(row, Col::Name)).toString();
        if (key.isEmpty() || name.isEmpty() || m_memory.keyOf(name) == key)
            continue;
        m_memory.add(name, key);
        if (!m_loaded && !m_fileName.isEmpty())
            m_chosen.append({name, key});
        added = true;
    }
    if (!added || m_fileName.isEmpty())
        return {};
    if (QString error = load(); !error.isEmpty())
        return error;
    return m_memory.save(m_fileName);
}
