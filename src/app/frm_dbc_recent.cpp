// File > Open Recent and Save As, View > Fit Columns, and what the window keeps
// between runs.

#include "frm_dbc.h"

#include "app/column_fit.h"
#include "app/dialogs.h"
#include "app/find_bar.h"
#include "app/grid_look.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QToolBar>

void frmDBC::buildRecentMenu(QMenu *file)
{
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("mnRecent"));
    m_recent = m_settings.recentFiles();
    updateRecentMenu();
}

void frmDBC::updateRecentMenu()
{
    m_recentMenu->clear();
    const QStringList &files = m_recent.files();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        // The first nine are reached by their digit; "&" in a path is no access key.
        QString caption = QString(file).replace(u'&', QStringLiteral("&&"));
        caption.prepend(i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1));
        QAction *open = m_recentMenu->addAction(caption);
        open->setObjectName(QStringLiteral("mnRecent%1").arg(i + 1));
        open->setData(file);
        connect(open, &QAction::triggered, this, [this, file] {
            if (beforeCommand(Before::AskSaveChanges))
                openRecent(file);
        });
    }
    m_recentMenu->addSeparator();
    QAction *clear = m_recentMenu->addAction(QStringLiteral("&Clear"));
    clear->setObjectName(QStringLiteral("mnClearRecent"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, this, &frmDBC::mnClearRecent_Click);
}

void frmDBC::rememberFile(const QString &fileName)
{
    // Read again first: another window may have added files since.
    RecentFiles recent = m_settings.recentFiles();
    if (!recent.add(fileName))
        return;
    m_settings.setRecentFiles(recent);
    m_recent = recent;
    updateRecentMenu();
}

void frmDBC::openRecent(const QString &fileName)
{
    if (showResult([&] { return m_document.open(fileName); })) {
        rememberFile(fileName);
        return;
    }
    // A file that is gone leaves the list; one that could not be read stays, so
    // that it can be tried again once it is mended.
    if (!QFileInfo::exists(fileName)) {
        RecentFiles recent = m_settings.recentFiles();
        recent.remove(fileName);
        m_settings.setRecentFiles(recent);
        m_recent = recent;
        updateRecentMenu();
    }
}

void frmDBC::mnClearRecent_Click()
{
    m_recent.clear();
    m_settings.setRecentFiles(m_recent);
    updateRecentMenu();
}

void frmDBC::mnSaveAs_Click()
{
    if (!confirmCsvSeparators())
        return;
    const QString fileName = m_dialogs->saveFile(QStringLiteral("Save CSV (Results) As"), m_document.saveAsProposal(),
                                                 QStringLiteral("CSV (*.CSV)"), QStringLiteral("CSV"));
    if (fileName.isEmpty())
        return;
    const QString error = m_document.SaveAs(fileName);
    if (!error.isEmpty()) {
        m_dialogs->warn(QStringLiteral("Save CSV file"), error);
        return;
    }
    UpdateCaption();
    rememberFile(fileName);
    m_dialogs->inform(applicationTitle(), QStringLiteral("File: \"%1\"\r\n\r\nwas correctly exported").arg(fileName));
}

void frmDBC::mnFitColumns_Click()
{
    for (int section = 0; section < grd->horizontalHeader()->count(); ++section)
        fitColumnToContents(grd, m_table.grid(), section);
}

QList<int> frmDBC::defaultColumnWidths() const
{
    QList<int> widths;
    const QHeaderView *header = grd->horizontalHeader();
    for (int col = 1; col < TableData::cols(); ++col)
        widths.append(qMax(columnWidthPixels(grd, SignalTable::colWidthTwips(col)), header->sectionSizeHint(col - 1)));
    return widths;
}

void frmDBC::restoreWindowSettings()
{
    m_settings.restoreWindow(*this, *grd->horizontalHeader(), *m_findBar);
    // The find bar opens with Ctrl+F only; its options are kept.
    m_findToolBar->hide();
}

void frmDBC::saveWindowSettings() const
{
    m_settings.saveWindow(*this, *grd->horizontalHeader(), defaultColumnWidths(), m_findBar->criteria());
}
