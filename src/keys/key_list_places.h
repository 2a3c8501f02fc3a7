#pragma once

#include "keys/key_list.h"

#include <QString>
#include <QStringList>

// Where the key list is looked for, first found wins: the user's own list in their
// configuration folder, the list beside the program (a build folder or a copied
// program folder), and the default list installed with the program.
struct KeyListPlaces
{
    QString userFolder;      // e.g. ~/.config/tessaly
    QString programFolder;   // the folder of the executable
    QString installedFolder; // the program's data folder, e.g. /usr/share/tessaly

    // The places of this program: the user's configuration folder, the executable's
    // folder and the data folder found relative to it.
    static KeyListPlaces standard();
    // The data folder of a program installed as bin/tessaly: ../share/tessaly.
    static QString installedFolderOf(const QString &programFolder);

    // The three files in search order.
    QStringList files() const;
    // The first of `files()` that exists; empty when there is none.
    QString find() const;
    // True when the program runs from a folder of its own rather than an installed
    // layout: its key list lies beside it, or there is no installed data folder.
    bool runsFromOwnFolder() const;
};

// Reads the key list: `chosenFile` when it is not empty (--keys on the command line),
// else the first list found at `places`. When none exists the warning names every
// place that was looked at.
KeyList loadKeyList(const QString &chosenFile, const KeyListPlaces &places);
