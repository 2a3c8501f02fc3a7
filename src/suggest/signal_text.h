#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TableData;

// Everything the key suggestions read about one signal. Empty texts are simply not
// known; `bits` is 0 when the length is not known.
struct SignalText
{
    int row = 0; // the signal's row in the table
    QString name;
    QString longName;    // the full name of a signal whose name was cut short
    QString messageName; // the message that carries it
    QString comment;
    QString unit;
    QString minimum;
    QString maximum;
    QString scale;
    QStringList valueDescriptions; // "P", "R", "N", "D", ...
    int bits = 0;
};

// The signals of a table, from its cells: Name, Unit, Scale, the length of the
// position ("start|length" of a DBC signal, or the Bytes of a receiver item) and the
// range ("[min|max]" or "min .. max"); and, where the table has DBC details, the
// signal's long name, comment, value descriptions and the name of its message. Rows
// without a name are left out.
std::vector<SignalText> signalTexts(const TableData &table);
// The signal of one row; its name is empty for a row without one.
SignalText signalText(const TableData &table, int row);
// Whether the signals read column `col` of the table.
bool readsColumn(int col);
