// The Edit menu's Copy and Paste: cells to and from other programs as spreadsheets
// exchange them.
#include "frm_dbc.h"

#include "app/cell_editors.h"
#include "app/dialogs.h"
#include "keys/key_list.h"
#include "table/cell_transfer.h"
#include "table/signal_filter.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTableView>

void frmDBC::buildClipboardCommands(QMenu *edit)
{
    addCommand(edit, "mnCopy", QStringLiteral("&Copy"), QKeySequence::Copy, &frmDBC::mnCopy_Click);
    addCommand(edit, "mnPaste", QStringLiteral("&Paste"), QKeySequence::Paste, &frmDBC::mnPaste_Click);
}

void frmDBC::mnCopy_Click()
{
    const std::vector<GridCell> cells = m_editors->map().selected();
    if (cells.empty())
        return;
    const CellBlock block = cellBlock(cells);
    auto *data = new QMimeData;
    data->setText(blockAsText(m_table.grid(), block));
    data->setHtml(blockAsHtml(m_table.grid(), block));
    QGuiApplication::clipboard()->setMimeData(data);
    statusBar()->showMessage(QStringLiteral("Copied %1 rows and %2 columns.").arg(block.rows.size()).arg(block.cols.size()),
                             8000);
}

void frmDBC::mnPaste_Click()
{
    const GridMap::Cell current = m_editors->map().current();
    const QString text = QGuiApplication::clipboard()->text();
    if (!current.isValid() || text.isEmpty())
        return;
    QSet<QString> keys;
    const QComboBox *combo = m_editors->keyEditor();
    for (int i = 0; i < combo->count(); ++i)
        keys.insert(keyOfItem(combo->itemText(i)));
    const TableData &grid = m_table.grid();
    PastePlan plan;
    const std::vector<GridCell> selected = m_editors->map().selected();
    const TextCells one = readTextCells(text, 2, 2);
    if (selected.size() > 1 && one.rows.size() == 1 && one.rows.front().size() == 1 && !one.cutRows && !one.cutCols) {
        // One cell over a selection fills every selected cell.
        for (const GridCell &cell : selected) {
            PastePlan part = planPaste(grid, {cell.row}, cell.col, text, keys);
            plan.writes.insert(plan.writes.end(), part.writes.begin(), part.writes.end());
            plan.refused += part.refused;
            plan.refusedCount += part.refusedCount;
        }
    } else {
        // The rows the view shows from the current one on, as far as the text reaches.
        const qsizetype lines = text.count(u'\n') + text.count(u'\r') + 1;
        std::vector<int> rows;
        const QModelIndex from = grd->currentIndex();
        for (int viewRow = from.row(); viewRow < m_filter->rowCount() && qsizetype(rows.size()) < lines; ++viewRow)
            rows.push_back(m_filter->gridRow(m_filter->index(viewRow, 0)));
        plan = planPaste(grid, rows, current.col, text, keys);
    }
    // The editors show what the cells held before.
    m_editors->hideEditors();
    m_table.editCells(plan.writes, QStringLiteral("paste of %1 cells").arg(plan.writes.size()));
    statusBar()->showMessage(QStringLiteral("Pasted %1 cells.").arg(plan.writes.size()), 8000);
    QStringList notes;
    if (plan.refusedCount > 0)
        notes << QStringLiteral("These cells were not pasted:") << plan.refused;
    if (plan.cut)
        notes << QStringLiteral("The text reaches beyond the last row or column of the table; that part was left out.");
    if (!notes.isEmpty())
        m_dialogs->warn(applicationTitle(), notes.join(u'\n'));
}
