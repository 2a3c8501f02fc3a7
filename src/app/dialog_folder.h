#pragma once

#include "keys/key_list_places.h"

#include <QString>

// Where the open and save dialogs start. A program run from its own folder (the build
// folder, a copied program folder) starts them there, beside its files, for the whole
// run. An installed program starts them in the folder the user last opened or saved
// a file in, remembered across runs, else in the documents folder.
class DialogFolder
{
public:
    DialogFolder(const KeyListPlaces &places, const QString &settingsFile, const QString &documents);
    // This program's places, its settings file and the user's documents folder.
    static DialogFolder standard();

    QString start() const;
    // The folder to start in after the user chose `file` in a dialog that started in
    // `current`; an installed program remembers it for the next run as well.
    QString afterChoice(const QString &file, const QString &current) const;

private:
    bool m_ownFolder;
    QString m_programFolder;
    QString m_settingsFile;
    QString m_documents;
};
