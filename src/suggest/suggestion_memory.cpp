#include "suggestion_memory.h"

#include "table/table_data.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr QStringView header =
        u"// Tessaly: the keys chosen for signal names, one \"name;key\" a line. Share it by copying it into\r\n"
        u"// another user's configuration folder; lines that begin with two slashes are comments.\r\n";

} // namespace

QString SuggestionMemory::standardFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(fileName());
}

void SuggestionMemory::add(const QString &name, const QString &key)
{
    // A name with ";" or a line break, or a key with a line break, would not read back
    // as the same entry.
    const auto breaksLine = [](const QString &text) { return text.contains(u'\r') || text.contains(u'\n'); };
    if (name.isEmpty() || name.contains(u';') || breaksLine(name) || breaksLine(key))
        return;
    if (key.isEmpty())
        m_keys.remove(name);
    else
        m_keys.insert(name, key);
}

void SuggestionMemory::addTable(const TableData &table)
{
    for (int row = table.fixedRows(); row < table.rows(); ++row) {
        const QString key = table.text(row, Col::Key);
        if (!key.isEmpty())
            add(trimSpaces(table.text(row, Col::Name)).toString(), key);
    }
}

QString SuggestionMemory::load(QIODevice &device, const QString &fileName, QStringList &warnings)
{
    QHash<QString, QString> keys;
    qint64 badLines = 0;
    const QString error = readLines<QStringView>(device, fileName, [&](QStringView line, qint64) {
        if (line.trimmed().isEmpty() || line.startsWith(u"//"))
            return;
        const qsizetype semicolon = line.indexOf(u';');
        const QString name = semicolon > 0 ? trimSpaces(line.left(semicolon)).toString() : QString();
        const QString key = semicolon > 0 ? line.mid(semicolon + 1).toString() : QString();
        if (name.isEmpty() || key.isEmpty()) {
            ++badLines;
            return;
        }
        keys.insert(name, key);
    });
    if (!error.isEmpty())
        return error;
    if (badLines > 0)
        warnings.append(QStringLiteral("%1: %2 lines without \"name;key\" were passed over.")
                                .arg(displayName(fileName))
                                .arg(badLines));
    m_keys = std::move(keys);
    return {};
}

QString SuggestionMemory::load(const QString &fileName, QStringList &warnings)
{
    if (!QFileInfo::exists(fileName)) {
        m_keys.clear();
        return {};
    }
    QFile file(fileName);
    QString error;
    if (!openForReading(file, error))
        return error;
    return load(file, fileName, warnings);
}

QString SuggestionMemory::save(const QString &fileName) const
{
    QStringList names = m_keys.keys();
    names.sort();
    QByteArray bytes;
    appendCp1252(bytes, header);
    for (const QString &name : std::as_const(names)) {
        appendCp1252(bytes, name);
        bytes += ';';
        appendCp1252(bytes, m_keys.value(name));
        bytes += "\r\n";
    }
    const QString folder = QFileInfo(fileName).absolutePath();
    QSaveFile file(fileName);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
        || !file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(displayName(fileName), file.errorString());
    return {};
}
