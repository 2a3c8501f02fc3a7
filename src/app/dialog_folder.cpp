#include "dialog_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString lastFolderKey = QStringLiteral("dialogs/lastFolder");

} // namespace

DialogFolder::DialogFolder(const KeyListPlaces &places, const QString &settingsFile, const QString &documents)
    : m_ownFolder(places.runsFromOwnFolder()),
      m_programFolder(places.programFolder),
      m_settingsFile(settingsFile),
      m_documents(documents)
{
}

DialogFolder DialogFolder::standard()
{
    const KeyListPlaces places = KeyListPlaces::standard();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(documents).isDir())
        documents = QDir::homePath();
    return {places, QDir(places.userFolder).filePath(QStringLiteral("tessaly.conf")), documents};
}

QString DialogFolder::start() const
{
    if (m_ownFolder)
        return m_programFolder;
    const QString last = QSettings(m_settingsFile, QSettings::IniFormat).value(lastFolderKey).toString();
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : m_documents;
}

QString DialogFolder::afterChoice(const QString &file, const QString &current) const
{
    if (m_ownFolder || file.isEmpty())
        return current;
    const QString folder = QFileInfo(file).absolutePath();
    QSettings(m_settingsFile, QSettings::IniFormat).setValue(lastFolderKey, folder);
    return folder;
}
