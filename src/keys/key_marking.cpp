#include "key_marking.h"

#include "table/table_data.h"

QList<int> MarkDuplicateKeys(TableData &table, const QString &key)
{
    QList<int> changed;
    if (key.isEmpty())
        return changed;
    const QList<int> holders = table.keyIndex().rows(key);
    const CellColour mark = holders.size() > 1 ? CellColour::DuplicateKey : CellColour::KeyCell;
    for (const int row : holders) {
        if (table.colour(row, Col::Key) != mark) {
            table.setColour(row, Col::Key, mark);
            changed.append(row);
        }
    }
    return changed;
}

void markAllKeys(TableData &table)
{
    // Going through the shared keys of the index spares a look-up per row.
    for (int row = 1; row < table.rows(); ++row)
        table.setColour(row, Col::Key, CellColour::KeyCell);
    for (const int row : table.keyIndex().sharedRows())
        table.setColour(row, Col::Key, CellColour::DuplicateKey);
}
