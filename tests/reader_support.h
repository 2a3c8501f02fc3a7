#pragma once

#include "table/table_data.h"

#include <QBuffer>
#include <QStringList>

// A row's cells joined by ";", as a results CSV line would hold them (plus the # column).
inline QString rowText(const TableData &table, int row)
{
    QStringList cells;
    for (int col = 0; col < TableData::cols(); ++col)
        cells << table.text(row, col);
    return cells.join(u';');
}

// Hands out its bytes, then fails as a disk that went away would.
struct FailingDevice : QBuffer
{
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = QBuffer::readData(data, maxSize);
        if (count <= 0)
            setErrorString(QStringLiteral("disk went away"));
        return count > 0 ? count : -1;
    }
};
