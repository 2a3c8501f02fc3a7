// The key suggestions of the main window: the panel beside the table and taking keys
// from another channel list.
#include "frm_dbc.h"

#include "app/cell_editors.h"
#include "app/details_pane.h"
#include "app/dialogs.h"
#include "app/suggest_panel.h"
#include "csv/results_csv_load.h"
#include "suggest/key_transfer.h"
#include "table/text_file.h"

#include <QAction>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>

void frmDBC::buildSuggestions(QMenu *keys)
{
    m_suggest = new SuggestPanel(m_table, *m_editors, this);
    m_suggest->hide();
    addDockWidget(Qt::RightDockWidgetArea, m_suggest);
    // The open key list shows how well the row fits each key.
    m_editors->setRowSuggestions([this](int row) { return m_suggest->rowSuggestions(row); });
    connect(m_suggest, &SuggestPanel::showRow, this, [this](int row) { showCell(row, Col::Key); });
    connect(m_suggest, &SuggestPanel::message, statusBar(),
            [this](const QString &text) { statusBar()->showMessage(text, 10000); });
    connect(m_suggest, &SuggestPanel::closed, grd, [this] {
        grd->setFocus();
        // The table takes back the room the reasons needed.
        if (m_detailsPane->isVisible() && !m_detailsPane->isFloating())
            resizeDocks({m_detailsPane}, {m_detailsPane->preferredWidth()}, Qt::Horizontal);
    });

    QAction *suggest = addCommand(keys, "mnSuggestKeys", QStringLiteral("&Suggest Keys"),
                                  QKeySequence(Qt::CTRL | Qt::Key_K), &frmDBC::mnSuggestKeys_Click);
    suggest->setStatusTip(QStringLiteral("Shows, for every key no row holds, the signals that most likely carry it"));
    QAction *take = addCommand(keys, "mnTakeKeysFrom", QStringLiteral("&Take Keys From..."), {},
                               &frmDBC::mnTakeKeysFrom_Click);
    take->setStatusTip(QStringLiteral("Gives the rows the keys that another results CSV gives signals of the same "
                                      "name"));
    keys->addSeparator();
}

void frmDBC::rememberKeysIn(const QString &fileName)
{
    m_suggest->setMemoryFile(fileName);
}

void frmDBC::mnSuggestKeys_Click()
{
    // Wide enough for the reasons, as a share of the window; below the details pane
    // the candidates take the larger part, since a few lines of details tell a signal.
    if (m_suggest->isHidden()) {
        m_suggest->show();
        resizeDocks({m_suggest}, {width() * 9 / 20}, Qt::Horizontal);
        if (m_detailsPane->isVisible() && !m_detailsPane->isFloating() && !m_suggest->isFloating()
            && dockWidgetArea(m_detailsPane) == dockWidgetArea(m_suggest)) {
            const int height = m_detailsPane->height() + m_suggest->height();
            resizeDocks({m_detailsPane, m_suggest}, {height / 3, height - height / 3}, Qt::Vertical);
        }
    }
    m_suggest->open();
}

void frmDBC::mnTakeKeysFrom_Click()
{
    const QString fileName = m_dialogs->openFile(QStringLiteral("Take the keys of another results CSV"),
                                                 QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (fileName.isEmpty())
        return;
    const ImportResult other = LoadCSV(fileName);
    if (!other.ok()) {
        m_dialogs->warn(applicationTitle(), other.error);
        return;
    }
    // The user's own keys stay: only rows without a key take one, and only a key no
    // row holds, so that no key becomes shared by it.
    std::vector<std::pair<int, QString>> keys;
    int alike = 0;
    int kept = 0;
    for (const KeyProposal &proposal : keysFromOtherList(m_table.grid(), other.table)) {
        if (!m_table.grid().text(proposal.row, Col::Key).isEmpty()
            || m_table.grid().keyIndex().count(proposal.key) > 0) {
            ++kept;
            continue;
        }
        keys.emplace_back(proposal.row, proposal.key);
        alike += proposal.score < 100;
    }
    const QString name = displayName(fileName);
    QString memoryFault;
    const int given = m_suggest->giveKeys(keys, QStringLiteral("keys taken from %1").arg(name), memoryFault);
    QString said = given == 0 ? QStringLiteral("%1 has no key for a row of this table without one.").arg(name)
                              : QStringLiteral("%1 keys taken from %2 by the same Name").arg(given).arg(name);
    if (given > 0 && alike > 0)
        said += QStringLiteral(" (%1 of them but for case, \"_\", \"-\" or spaces)").arg(alike);
    if (given > 0)
        said += QStringLiteral("; Undo takes them all back.");
    if (kept > 0)
        said += QStringLiteral(" %1 were left out: their row holds a key, or another row holds theirs.").arg(kept);
    statusBar()->showMessage(said + memoryFault, 15000);
}
