#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// The key list file: one key entry per line, "key;anything;description", lines that
// begin with "//" are comments and empty lines are passed over. Each entry becomes
// the item "key - description". A key is four characters, none of them a control
// character; a line with any other first field is skipped and named in `warning`.
struct KeyList
{
    static constexpr int capacity = 49;
    static QString fileName() { return QStringLiteral("Preassigned_keys.CSV"); }

    QStringList items;   // at most `capacity`, in file order
    QString warning;     // why the list is missing or shortened, or which lines were
                         // skipped; empty when all is well
};

KeyList readKeyList(const QString &fileName);
KeyList readKeyList(QIODevice &device, const QString &fileName);

// The key an item stands for: its first four characters.
QString keyOfItem(const QString &item);

// Whether a word of the item's description begins with `typed`, ignoring case
// ("cool" for "ECTP - Engine coolant temperature"; "temp" too, "ant" not).
bool describedByWordStart(const QString &item, QStringView typed);
