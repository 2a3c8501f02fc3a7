#pragma once

#include "table/table_data.h"

#include <QBuffer>
#include <QFile>
#include <QStringList>
#include <QTest>

// The heading row of a results CSV.
inline const QByteArray headingLine =
        "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A row's cells joined by ";", as a results CSV line would hold them (plus the # column).
inline QString rowText(const TableData &table, int row)
{
    QStringList cells;
    for (int col = 0; col < TableData::cols(); ++col)
        cells << table.text(row, col);
    return cells.join(u';');
}

// The Key cell marks of the signal rows: "y" pale yellow, "r" red, "-" none.
inline QString marksOf(const TableData &table)
{
    QString marks;
    for (int row = 1; row < table.rows(); ++row) {
        const CellColour colour = table.colour(row, Col::Key);
        marks += colour == CellColour::KeyCell ? u'y' : colour == CellColour::DuplicateKey ? u'r' : u'-';
    }
    return marks;
}

// Every row: its icon flag, then each cell's text and colour.
inline QStringList tableDump(const TableData &table)
{
    QStringList rows;
    for (int row = 0; row < table.rows(); ++row) {
        QString &line = rows.emplace_back(QString::number(table.rowIcon(row)));
        for (int col = 0; col < TableData::cols(); ++col)
            line += u'|' + table.text(row, col) + u'/' + QString::number(int(table.colour(row, col)));
    }
    return rows;
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
