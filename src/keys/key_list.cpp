#include "key_list.h"

#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFile>

#include <algorithm>

namespace {

// Lines that hold no key, listed by number in the warning; the first few only.
struct SkippedLines
{
    static constexpr int listed = 20;
    QList<qint64> first;
    qint64 count = 0;
};

// The Key column takes the first four characters of an item, so a key is exactly
// four characters; a control character (a NUL, a tab) would break the results CSV
// or hide in the cell.
bool isKey(QStringView key)
{
    return key.size() == 4
           && std::none_of(key.begin(), key.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

void addEntry(KeyList &list, QString line, qint64 lineNumber, int &leftOut, SkippedLines &skipped)
{
    if (line.startsWith(u"//") || line.isEmpty())
        return;
    const QString key = NextField(line, u";");
    if (!isKey(key)) {
        if (skipped.first.size() < SkippedLines::listed)
            skipped.first.append(lineNumber);
        ++skipped.count;
        return;
    }
    NextField(line, u";"); // the second field is not shown
    if (list.items.size() >= KeyList::capacity) {
        ++leftOut;
        return;
    }
    list.items.append(key + QStringLiteral(" - ") + line);
}

QString skippedWarning(const QString &fileName, const SkippedLines &skipped)
{
    QStringList numbers;
    for (const qint64 number : skipped.first)
        numbers.append(QString::number(number));
    if (skipped.count > skipped.first.size())
        numbers.last() += QStringLiteral(" and %1 more").arg(skipped.count - skipped.first.size());
    return QStringLiteral("The key list %1 has lines that do not begin with a key of four characters; they were "
                          "skipped: %2 %3.")
            .arg(displayName(fileName), skipped.count == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
                 numbers.join(QStringLiteral(", ")));
}

} // namespace

KeyList readKeyList(QIODevice &device, const QString &fileName)
{
    KeyList list;
    int leftOut = 0;
    SkippedLines skipped;
    const QString error = readLines<QString>(device, fileName, [&](const QString &line, qint64 lineNumber) {
        addEntry(list, line, lineNumber, leftOut, skipped);
    });
    if (!error.isEmpty()) {
        list.items.clear();
        list.warning = error + QStringLiteral(" No keys can be chosen.");
        return list;
    }
    QStringList warnings;
    if (skipped.count > 0)
        warnings.append(skippedWarning(fileName, skipped));
    if (leftOut > 0) {
        warnings.append(QStringLiteral("The key list %1 holds more than %2 keys; the last %3 were not loaded.")
                                .arg(displayName(fileName))
                                .arg(KeyList::capacity)
                                .arg(leftOut));
    }
    list.warning = warnings.join(u'\n');
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

bool describedByWordStart(const QString &item, QStringView typed)
{
    if (typed.isEmpty())
        return true;
    const QStringView description = QStringView(item).mid(4);
    for (qsizetype at = 0; (at = description.indexOf(typed, at, Qt::CaseInsensitive)) >= 0; ++at) {
        if (at == 0 || !description.at(at - 1).isLetterOrNumber())
            return true;
    }
    return false;
}
