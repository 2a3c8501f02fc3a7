#include "recent_files.h"

#include "import/signal_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString recentKey = QStringLiteral("files/recent");

// One name for each file, whichever way it was reached; empty for what no File
// command opens.
QString entryOf(const QString &file)
{
    if (file.isEmpty() || file.contains(QChar(0)) || fileKindOf(file) == FileKind::Unknown)
        return {};
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}

} // namespace

RecentFiles::RecentFiles(const QStringList &files)
{
    // Oldest first, so that the first of `files` ends up first again.
    for (qsizetype i = qMin(files.size(), qsizetype(64)) - 1; i >= 0; --i)
        add(files[i]);
}

bool RecentFiles::add(const QString &file)
{
    const QString entry = entryOf(file);
    if (entry.isEmpty())
        return false;
    m_files.removeAll(entry);
    m_files.prepend(entry);
    if (m_files.size() > capacity)
        m_files.resize(capacity);
    return true;
}

void RecentFiles::remove(const QString &file)
{
    const QString entry = entryOf(file);
    m_files.removeAll(entry.isEmpty() ? file : entry);
}

RecentFiles RecentFiles::read(const QSettings &settings)
{
    const QVariant value = settings.value(recentKey);
    // A single entry reads back as a text, a damaged one as anything else.
    if (value.typeId() == QMetaType::QString)
        return RecentFiles(QStringList{value.toString()});
    if (value.typeId() != QMetaType::QStringList && value.typeId() != QMetaType::QVariantList)
        return {};
    return RecentFiles(value.toStringList());
}

void RecentFiles::write(QSettings &settings) const
{
    settings.setValue(recentKey, m_files);
}
