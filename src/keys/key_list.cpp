#include "key_list.h"

#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFile>

namespace {

void addEntry(KeyList &list, QString line, int &leftOut)
{
    if (line.startsWith(u"//"))
        return;
    const QString key = NextField(line, u";");
    NextField(line, u";"); // the second field is not shown
    if (list.items.size() >= KeyList::capacity) {
        ++leftOut;
        return;
    }
    list.items.append(key + QStringLiteral(" - ") + line);
}

} // namespace

KeyList readKeyList(QIODevice &device, const QString &fileName)
{
    KeyList list;
    int leftOut = 0;
    const QString error = readLines<QString>(device, fileName, [&](const QString &line, qint64) {
        addEntry(list, line, leftOut);
    });
    if (!error.isEmpty()) {
        list.items.clear();
        list.warning = error + QStringLiteral(" No keys can be chosen.");
    } else if (leftOut > 0) {
        list.warning = QStringLiteral("The key list %1 holds more than %2 keys; the last %3 were not loaded.")
                               .arg(displayName(fileName))
                               .arg(KeyList::capacity)
                               .arg(leftOut);
    }
    return list;
}

KeyList readKeyList(const QString &fileName)
{
    QFile file(fileName);
    QString error;
    if (!openForReading(file, error)) {
        KeyList list;
        list.warning = error + QStringLiteral(" No keys can be chosen.");
        return list;
    }
    return readKeyList(file, fileName);
}

QString keyOfItem(const QString &item)
{
    return item.left(4);
}
