// The Edit menu's find bar and its Undo and Redo.
#include "frm_dbc.h"

#include "app/cell_editors.h"
#include "app/find_bar.h"
#include "table/signal_filter.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

void frmDBC::buildEditMenu(QMenu *edit)
{
    QUndoStack &history = m_table.history();
    m_undo = history.createUndoAction(this, QStringLiteral("&Undo"));
    m_redo = history.createRedoAction(this, QStringLiteral("&Redo"));
    m_undo->setObjectName(QStringLiteral("mnUndo"));
    m_redo->setObjectName(QStringLiteral("mnRedo"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    // An edit still open in the text box is written back (a step of its own) before
    // the history moves, so the two go through the table in order.
    disconnect(m_undo, &QAction::triggered, &history, &QUndoStack::undo);
    disconnect(m_redo, &QAction::triggered, &history, &QUndoStack::redo);
    connect(m_undo, &QAction::triggered, this, [this] { moveHistory(true); });
    connect(m_redo, &QAction::triggered, this, [this] { moveHistory(false); });
    connect(&m_table, &SignalTable::undoneOrRedone, this, &frmDBC::showUndoneCell);
    const auto noteDroppedSteps = [this] {
        m_undo->setToolTip(m_table.olderStepsDropped() ? m_undo->text().remove(u'&')
                                   + QStringLiteral("\nOlder steps were dropped to keep memory bounded")
                                                       : QString());
    };
    connect(&m_table, &SignalTable::olderStepsDroppedChanged, this, noteDroppedSteps);
    connect(&history, &QUndoStack::undoTextChanged, this, noteDroppedSteps);
    edit->addAction(m_undo);
    edit->addAction(m_redo);
    edit->addSeparator();
    buildClipboardCommands(edit);
    edit->addSeparator();

    QAction *find = edit->addAction(QStringLiteral("&Find..."));
    find->setObjectName(QStringLiteral("mnFind"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, &frmDBC::mnFind_Click);
    m_findNext = edit->addAction(QStringLiteral("Find &Next"));
    m_findNext->setObjectName(QStringLiteral("mnFindNext"));
    connect(m_findNext, &QAction::triggered, this, [this] { goToMatch(true); });
    m_findPrevious = edit->addAction(QStringLiteral("Find &Previous"));
    m_findPrevious->setObjectName(QStringLiteral("mnFindPrevious"));
    m_findPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    connect(m_findPrevious, &QAction::triggered, this, [this] { goToMatch(false); });
    m_findNext->setEnabled(false);
    m_findPrevious->setEnabled(false);
    edit->addSeparator();
    m_nextSharedKey = addCommand(edit, "mnNextSharedKey", QStringLiteral("Next &Shared Key"),
                                 QKeySequence(Qt::Key_F3), &frmDBC::mnNextSharedKey_Click);
}

void frmDBC::buildFindBar()
{
    m_findBar = new FindBar(this);
    m_findToolBar = new QToolBar(QStringLiteral("Find"), this);
    m_findToolBar->setObjectName(QStringLiteral("findToolBar"));
    m_findToolBar->setMovable(false);
    m_findToolBar->setFloatable(false);
    m_findToolBar->toggleViewAction()->setVisible(false);
    m_findToolBar->addWidget(m_findBar);
    addToolBar(Qt::BottomToolBarArea, m_findToolBar);
    m_findToolBar->hide();
    connect(m_findBar, &FindBar::criteriaChanged, this, &frmDBC::applyFind);
    connect(m_findBar, &FindBar::nextWanted, this, [this] { goToMatch(true); });
    connect(m_findBar, &FindBar::previousWanted, this, [this] { goToMatch(false); });
    connect(m_findBar, &FindBar::closeWanted, this, &frmDBC::closeFindBar);
    connect(grd->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmDBC::updateMatchText);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &frmDBC::updateStatus);
}

void frmDBC::mnFind_Click()
{
    if (m_findToolBar->isHidden()) {
        writeBackEdit();
        m_findToolBar->show();
        // F3 finds the next match while the bar is open, the next shared key otherwise.
        m_nextSharedKey->setShortcut({});
        m_findNext->setShortcut(QKeySequence(Qt::Key_F3));
        m_findNext->setEnabled(true);
        m_findPrevious->setEnabled(true);
        applyFind(false);
    }
    m_findBar->focusField();
}

void frmDBC::closeFindBar()
{
    if (m_findToolBar->isHidden())
        return;
    const bool hadFocus = m_findToolBar->isAncestorOf(focusWidget());
    m_findToolBar->hide();
    m_findNext->setShortcut({});
    m_findNext->setEnabled(false);
    m_findPrevious->setEnabled(false);
    m_nextSharedKey->setShortcut(QKeySequence(Qt::Key_F3));
    // Without the bar nothing is filtered or marked; the current cell stays.
    applyCriteria(FindCriteria());
    if (hadFocus)
        grd->setFocus();
}

void frmDBC::applyFind(bool textTyped)
{
    const FindCriteria criteria = m_findBar->criteria();
    const bool textChanged = criteria.text != m_filter->criteria().text;
    const GridMap::Cell before = applyCriteria(criteria);
    // Typing moves to the first match at or after the current cell.
    if ((textTyped || textChanged) && !criteria.text.isEmpty()) {
        const GridCell from = before.isValid() ? GridCell{before.row, before.col} : GridCell{0, 0};
        if (const auto match = m_filter->firstMatchFrom(from))
            showCell(match->row, match->col);
    }
    updateMatchText();
}

// Filters with `criteria`; the current cell stays where the view still shows it.
GridMap::Cell frmDBC::applyCriteria(const FindCriteria &criteria)
{
    writeBackEdit();
    const GridMap::Cell before = m_editors->map().current();
    if (criteria == m_filter->criteria())
        return before;
    m_filter->setCriteria(criteria);
    if (before.isValid() && !m_editors->map().current().isValid()) {
        if (m_filter->showsRow(before.row))
            showCell(before.row, before.col);
        else if (m_filter->rowCount() > 0)
            m_editors->setCurrentCell(m_filter->gridRow(m_filter->index(0, 0)), before.col);
    }
    updateStatus();
    return before;
}

void frmDBC::goToMatch(bool next)
{
    if (m_findToolBar->isHidden())
        return;
    writeBackEdit();
    const GridMap::Cell current = m_editors->map().current();
    const GridCell from = current.isValid() ? GridCell{current.row, current.col} : GridCell{0, 0};
    const auto match = next ? m_filter->nextMatch(from) : m_filter->previousMatch(from);
    if (match)
        showCell(match->row, match->col);
    else if (!m_filter->criteria().text.isEmpty())
        statusBar()->showMessage(QStringLiteral("No cell holds \"%1\".").arg(m_findBar->criteria().text), 8000);
    updateMatchText();
}

void frmDBC::updateMatchText()
{
    if (!m_findBar || m_findToolBar->isHidden())
        return;
    const GridMap::Cell current = m_editors->map().current();
    m_findBar->setMatchText(m_findBar->criteria().text.isEmpty()
                                    ? QString()
                                    : m_filter->matchText(GridCell{current.row, current.col}));
}

// Makes a grid cell current as the program's own moves do, and scrolls to it. A row
// the filter hides is shown first: chosen anew, or else with every row.
void frmDBC::showCell(int row, int col)
{
    if (!m_filter->showsRow(row)) {
        m_filter->refilter();
        if (!m_filter->showsRow(row))
            m_findBar->showAllRows();
    }
    m_editors->setCurrentCell(row, col);
    grd->scrollTo(m_editors->map().viewIndex(row, col));
}

void frmDBC::moveHistory(bool undo)
{
    writeBackEdit();
    // The editors show what the cells held; after the step they may hold something else.
    m_editors->hideEditors();
    if (undo)
        m_table.history().undo();
    else
        m_table.history().redo();
}

void frmDBC::showUndoneCell(int row, int col)
{
    if (row < 0) {
        // A whole table came back, with the file it came from.
        UpdateCaption();
        return;
    }
    showCell(row, col);
    updateMatchText();
}
