#pragma once

#include <QList>
#include <QString>

class TableData;

// Brings the marks of the rows that hold `key` up to date: each of their Key cells
// is red while two or more signal rows hold the key, else pale yellow. Returns the
// rows whose Key cell colour changed. An empty key marks nothing.
QList<int> MarkDuplicateKeys(TableData &table, const QString &key);

// Gives every signal row's Key cell its mark from scratch: red where its non-empty
// key is shared, pale yellow otherwise.
void markAllKeys(TableData &table);
