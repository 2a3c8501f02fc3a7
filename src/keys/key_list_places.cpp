#include "key_list_places.h"

#include "table/text_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

KeyListPlaces KeyListPlaces::standard()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), program,
            installedFolderOf(program)};
}

QString KeyListPlaces::installedFolderOf(const QString &programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/" TESSALY_DATA_FROM_BIN));
}

QStringList KeyListPlaces::files() const
{
    QStringList result;
    for (const QString &folder : {userFolder, programFolder, installedFolder}) {
        if (!folder.isEmpty())
            result.append(QDir(folder).filePath(KeyList::fileName()));
    }
    return result;
}

QString KeyListPlaces::find() const
{
    for (const QString &file : files()) {
        if (QFileInfo::exists(file))
            return file;
    }
    return {};
}

bool KeyListPlaces::runsFromOwnFolder() const
{
    return QFileInfo::exists(QDir(programFolder).filePath(KeyList::fileName()))
           || !QFileInfo(installedFolder).isDir();
}

KeyList loadKeyList(const QString &chosenFile, const KeyListPlaces &places)
{
    if (!chosenFile.isEmpty())
        return readKeyList(chosenFile);
    const QString found = places.find();
    if (!found.isEmpty())
        return readKeyList(found);
    QStringList lookedAt;
    for (const QString &file : places.files())
        lookedAt.append(displayName(file));
    KeyList list;
    list.warning = QStringLiteral("No key list was found. Tessaly looked for:\n%1\nNo keys can be chosen.")
                           .arg(lookedAt.join(u'\n'));
    return list;
}
