// The View menu: the details pane beside the table, and the encoding the open file
// was read in.
#include "frm_dbc.h"

#include "app/cell_editors.h"
#include "app/details_pane.h"
#include "table/signal_filter.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>

void frmDBC::buildViewMenu(QMenu *view)
{
    m_detailsPane = new DetailsPane(this);
    addDockWidget(Qt::RightDockWidgetArea, m_detailsPane);
    resizeDocks({m_detailsPane}, {m_detailsPane->preferredWidth()}, Qt::Horizontal);
    QAction *toggle = addCommand(view, "mnDetails", QStringLiteral("&Details"), {}, &frmDBC::mnDetails_Click);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    toggle->setStatusTip(QStringLiteral("Shows what the DBC file says about the signal of the current row"));
    // The pane's own close button hides it as well.
    connect(m_detailsPane->toggleViewAction(), &QAction::toggled, toggle, &QAction::setChecked);
    connect(grd->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmDBC::showCurrentDetails);
    // A new table, or a filter, may leave no cell current.
    connect(m_filter, &QAbstractItemModel::modelReset, this, &frmDBC::showCurrentDetails);

    m_encodingLabel = new QLabel(this);
    m_encodingLabel->setObjectName(QStringLiteral("statusEncoding"));
    m_encodingLabel->setToolTip(QStringLiteral("How the text of the file opened last was read; a save always "
                                               "writes Windows-1252"));
    m_encodingLabel->setContentsMargins(0, 0, m_encodingLabel->fontMetrics().averageCharWidth() * 2, 0);
    statusBar()->addPermanentWidget(m_encodingLabel);
    // What was read no longer shows once another table takes its place (New, an undo).
    connect(&m_table, &QAbstractItemModel::modelReset, m_encodingLabel, &QLabel::clear);
    showCurrentDetails();
}

void frmDBC::mnDetails_Click()
{
    m_detailsPane->setVisible(m_detailsPane->isHidden());
}

void frmDBC::showCurrentDetails()
{
    m_detailsPane->showRow(m_table.grid(), m_editors->map().current().row);
}

void frmDBC::showEncoding(const QString &encoding)
{
    m_encodingLabel->setText(encoding.isEmpty() ? QString() : QStringLiteral("Read as ") + encoding);
}
