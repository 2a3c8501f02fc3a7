#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// The key list file: one key entry per line, "key;anything;description", lines that
// begin with "//" are comments. Each entry becomes the item "key - description".
struct KeyList
{
    static constexpr int capacity = 49;
    static QString fileName() { return QStringLiteral("Preassigned_keys.CSV"); }

    QStringList items;   // at most `capacity`, in file order
    QString warning;     // why the list is missing or shortened; empty when all is well
};

KeyList readKeyList(const QString &fileName);
KeyList readKeyList(QIODevice &device, const QString &fileName);

// The key an item stands for: its first four characters.
QString keyOfItem(const QString &item);
