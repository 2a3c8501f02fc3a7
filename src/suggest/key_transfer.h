#pragma once

#include <QString>

#include <vector>

class TableData;

// A key another channel list gives a signal of this table.
struct KeyProposal
{
    int row = 0;   // the row of this table
    QString key;
    int score = 0; // 100 for the same name, 90 for the same name but for case, "_", "-" and spaces
    QString reason;
};

// Proposes the keys of `other` (a results CSV read with LoadCSV, say) for the rows of
// `table` with the same Name: exactly the same, else the same when letter case, "_",
// "-" and spaces are ignored. When several rows of `other` share a name, the first
// that holds a key counts. Rows that hold that key already get no proposal. In row
// order.
std::vector<KeyProposal> keysFromOtherList(const TableData &table, const TableData &other);

// A name without letter case, "_", "-" and spaces.
QString looseName(QStringView name);
