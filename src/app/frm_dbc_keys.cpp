// The Keys menu of the main window.
#include "frm_dbc.h"

#include "app/dialogs.h"
#include "keys/key_list_places.h"
#include "table/text_file.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

void frmDBC::buildKeysMenu(QMenu *keys)
{
    buildSuggestions(keys);
    QAction *open = addCommand(keys, "mnOpenKeyListFolder", QStringLiteral("&Open key list folder"), {},
                               &frmDBC::mnOpenKeyListFolder_Click);
    open->setStatusTip(QStringLiteral("Shows the folder where your own %1 goes").arg(KeyList::fileName()));
}

void frmDBC::mnOpenKeyListFolder_Click()
{
    const QString folder = KeyListPlaces::standard().userFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        m_dialogs->warn(applicationTitle(),
                        QStringLiteral("Cannot create the folder %1 for your key list.").arg(displayName(folder)));
        return;
    }
    const QString file = QDir(folder).filePath(KeyList::fileName());
    if (!QFileInfo::exists(file)) {
        m_dialogs->inform(applicationTitle(),
                          QStringLiteral("Put your own key list into this folder as %1. Tessaly reads it at the "
                                         "next start, before the key list it comes with.")
                                  .arg(KeyList::fileName()));
    }
    if (!m_dialogs->showFolder(folder))
        m_dialogs->warn(applicationTitle(), QStringLiteral("Cannot open the folder %1.").arg(displayName(folder)));
}
