#include "frm_dbc.h"

#include "app/artwork.h"
#include "app/dialog_folder.h"
#include "app/cell_editors.h"
#include "app/column_fit.h"
#include "app/details_pane.h"
#include "app/find_bar.h"
#include "app/suggest_panel.h"
#include "app/dialogs.h"
#include "app/frm_about.h"
#include "app/grid_look.h"
#include "app/twips.h"
#include "csv/results_csv.h"
#include "keys/key_list_places.h"
#include "recovery/recovery_keeper.h"
#include "table/signal_filter.h"
#include "table/table_status.h"
#include "update/same_signal.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int clientWidthTwips = 18900;
constexpr int clientHeightTwips = 7875;
constexpr int rowHeightTwips = 310;

} // namespace

frmDBC::frmDBC(std::unique_ptr<Dialogs> dialogs, const QString &keyListFile, QWidget *parent)
    : QMainWindow(parent),
      m_dialogs(std::move(dialogs)),
      m_keyListFile(keyListFile)
{
    setObjectName(QStringLiteral("frmDBC"));
    setWindowIcon(windowIcon());
    setAcceptDrops(true);
    m_table.setRowIconDecoration(QIcon(tickPixmap(32)));
    m_table.setRowMarkDecorations(QIcon(addedRowPixmap(32)), QIcon(changedRowPixmap(32)));
    buildGrid();
    buildMenus();
    buildStatusBar();
    // The window sees every key press first, whichever of its controls has the focus.
    qApp->installEventFilter(this);
    Form_Load();
    // As wide as the grown columns need, where the screen has room for it.
    const int columns = grd->verticalHeader()->width() + grd->horizontalHeader()->length()
            + grd->verticalScrollBar()->sizeHint().width() + 2 * grd->frameWidth() + px(50);
    const int width = qMax(px(clientWidthTwips), columns) + m_detailsPane->preferredWidth();
    const int height = px(clientHeightTwips) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    // Never larger than the screen (a high-DPI one holds fewer logical pixels), with
    // room left for the window's frame.
    const QSize room = screen() ? screen()->availableGeometry().size() * 9 / 10 : QSize(width, height);
    resize(qMin(width, room.width()), qMin(height, room.height()));
    // Last, once every bar and panel exists, so that each comes back where it was.
    restoreWindowSettings();
}

frmDBC::~frmDBC()
{
    // The widgets go first, while the table and the dialogs they use still exist.
    qApp->removeEventFilter(this);
    delete m_suggest;
    delete m_editors;
    delete takeCentralWidget();
}

QLineEdit *frmDBC::textEditor() const
{
    return m_editors->textEditor();
}

QComboBox *frmDBC::keyEditor() const
{
    return m_editors->keyEditor();
}

int frmDBC::px(int twips) const
{
    return twipsToPixels(this, twips);
}

QAction *frmDBC::addCommand(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut,
                           void (frmDBC::*slot)(), Before before)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    if (slot) {
        connect(action, &QAction::triggered, this, [this, slot, before] {
            if (beforeCommand(before))
                (this->*slot)();
        });
    }
    return action;
}

bool frmDBC::beforeCommand(Before before)
{
    writeBackEdit();
    return before != Before::AskSaveChanges || !AskSaveChanges();
}

// The menus keep their captions' words; "&" marks the access keys.
void frmDBC::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnFile"));
    // New asks in InitGrid, the close sequence in Form_QueryUnload.
    addCommand(file, "mnNew", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), &frmDBC::mnNew_Click);
    addCommand(file, "mnImportDBC", QStringLiteral("Import &DBC"), {}, &frmDBC::mnImportDBC_Click,
               Before::AskSaveChanges);
    addCommand(file, "mnImportXML", QStringLiteral("Import &XML"), {}, &frmDBC::mnImportXML_Click,
               Before::AskSaveChanges);
    addCommand(file, "mnLoadCSV", QStringLiteral("&Load CSV"), QKeySequence(Qt::CTRL | Qt::Key_O),
               &frmDBC::mnLoadCSV_Click, Before::AskSaveChanges);
    buildRecentMenu(file);
    addCommand(file, "mnUpdate", QStringLiteral("&Update from DBC/XML"), QKeySequence(Qt::CTRL | Qt::Key_U),
               &frmDBC::mnUpdate_Click);
    addCommand(file, "mnSaveCSV", QStringLiteral("&Save CSV (Results)"), QKeySequence(Qt::CTRL | Qt::Key_S),
               &frmDBC::mnSaveCSV_Click);
    addCommand(file, "mnSaveAs", QStringLiteral("Save CSV (Results) &As..."),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &frmDBC::mnSaveAs_Click);
    addCommand(file, "mnExit", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_Q), &frmDBC::mnExit_Click);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnEdit"));
    buildEditMenu(edit);

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnView"));
    buildViewMenu(view);
    addCommand(view, "mnFitColumns", QStringLiteral("&Fit Columns"), {}, &frmDBC::mnFitColumns_Click);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnOptions"));
    addCommand(options, "mnECUformat", QStringLiteral("&ECU format"), {}, nullptr);

    QMenu *keys = menuBar()->addMenu(QStringLiteral("&Keys"));
    keys->setObjectName(QStringLiteral("mnKeys"));
    buildKeysMenu(keys);

    QAction *about = menuBar()->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnAbout"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, [this] {
        if (beforeCommand(Before::WriteBack))
            mnAbout_Click();
    });
}

void frmDBC::buildStatusBar()
{
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusCounts"));
    statusBar()->addPermanentWidget(m_statusLabel);
    connect(m_editors, &CellEditors::message, statusBar(),
            [this](const QString &text) { statusBar()->showMessage(text, 8000); });
    connect(&m_table, &QAbstractItemModel::dataChanged, this, &frmDBC::updateStatus);
    connect(&m_table, &QAbstractItemModel::modelReset, this, &frmDBC::updateStatus);
    updateStatus();
}

void frmDBC::updateStatus()
{
    const QString filtered = m_filter->statusText();
    m_statusLabel->setText(filtered.isEmpty() ? tableStatusText(m_table.grid())
                                              : filtered + QStringLiteral(" (") + tableStatusText(m_table.grid()) + u')');
}

void frmDBC::mnNextSharedKey_Click()
{
    const GridMap::Cell current = m_editors->map().current();
    const int row = nextSharedKeyRow(m_table.grid(), current.isValid() ? current.row : 0);
    if (row < 0) {
        statusBar()->showMessage(QStringLiteral("No key is shared by two signals."), 8000);
        return;
    }
    showCell(row, Col::Key);
    m_editors->goToCell(row, Col::Key);
}

void frmDBC::buildGrid()
{
    auto *client = new QWidget(this);
    client->installEventFilter(this);
    setCentralWidget(client);
    grd = new QTableView(client);
    grd->setObjectName(QStringLiteral("grd"));
    const QString classicFont = QStringLiteral("MS Sans Serif");
    if (QFontDatabase::hasFamily(classicFont)) {
        QFont font(classicFont);
        font.setPointSizeF(8.25);
        grd->setFont(font);
    }
    // Every row, or with a filter on the matching ones; "#" keeps the table's numbers.
    m_filter = new SignalFilterModel(m_table, this);
    grd->setModel(m_filter);
    grd->setItemDelegate(new CutTextDelegate(grd));
    grd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Shift/Ctrl+click and Shift+arrows choose several cells, to copy or to clear keys.
    grd->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grd->setSelectionBehavior(QAbstractItemView::SelectItems);
    grd->setWordWrap(false);
    grd->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grd->verticalHeader()->setDefaultSectionSize(px(rowHeightTwips));
    grd->horizontalHeader()->setHighlightSections(false);
    grd->horizontalHeader()->setMinimumSectionSize(1);
    grd->setGeometry(twipsToPixels(this, QRect(90, 150, 18735, 7575)));
    // The corner above the "#" column shows the heading of column 0.
    m_corner = grd->findChild<QAbstractButton *>();
    if (m_corner)
        m_corner->installEventFilter(this);
    m_editors = new CellEditors(grd, m_table, this);
    applyColumnWidths();
    // A load or an import keeps the widths as they are, the user's own included;
    // only the "#" column follows the row numbers.
    connect(&m_table, &QAbstractItemModel::modelReset, this, &frmDBC::fitNumberColumn);
    // A double click on a column's border fits it to the widest cell of the whole
    // table, not only to the rows in view.
    connect(grd->horizontalHeader(), &QHeaderView::sectionHandleDoubleClicked, this,
            [this](int section) { fitColumnToContents(grd, m_table.grid(), section); });
    buildFindBar();
}

void frmDBC::applyColumnWidths()
{
    // Wide enough for its heading too, so that every column can be told by its name.
    const QList<int> widths = defaultColumnWidths();
    for (int section = 0; section < widths.size(); ++section)
        grd->setColumnWidth(section, widths[section]);
    fitNumberColumn();
}

void frmDBC::fitNumberColumn()
{
    const TableData &grid = m_table.grid();
    const int last = grid.rows() - 1;
    if (last < 0)
        return;
    const qsizetype digits = qMax(grid.cell(last, Col::Number).size(), QString::number(last).size());
    grd->verticalHeader()->setFixedWidth(
            numberColumnWidth(grd->verticalHeader(), SignalTable::colWidthTwips(Col::Number), QString(digits, u'8')));
    // Without signal rows the heading row is an ordinary row of the table.
    grd->horizontalHeader()->setVisible(grid.fixedRows() > 0);
    if (m_corner)
        m_corner->update();
}

void frmDBC::Form_Load()
{
    const auto loading = m_editors->loading();
    InitGrid();
    m_dialogs->setInitialDirectory(DialogFolder::standard().start());
    LoadPreassignedKeys(m_editors->keyEditor());
}

void frmDBC::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_startupWarning.isEmpty()) {
        // Shown once the window stands, so the user sees which program complains.
        const QString warning = std::exchange(m_startupWarning, QString());
        QTimer::singleShot(0, this, [this, warning] { m_dialogs->warn(applicationTitle(), warning); });
    }
}

bool frmDBC::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // Escape is the window's; an open list, menu or dialog is a window of its own
        // and closes itself.
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto *widget = static_cast<QWidget *>(watched);
        // Escape in the suggestions is the panel's: it closes the panel.
        if (key->key() == Qt::Key_Escape && widget->window() == this && !m_suggest->isAncestorOf(widget)) {
            // While the find bar is open, Escape is meant for it, wherever the focus is.
            if (!m_findToolBar->isHidden())
                closeFindBar();
            else
                Form_KeyDown(key->key(), key->modifiers());
            return true;
        }
    }
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Form_Resize();
    if (watched == m_corner && event->type() == QEvent::Paint) {
        paintCorner();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmDBC::paintCorner()
{
    QStyleOptionHeader option;
    option.initFrom(m_corner);
    option.rect = m_corner->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.textAlignment = Qt::AlignCenter;
    const TableData &grid = m_table.grid();
    if (grid.fixedRows() > 0)
        option.text = grid.text(0, Col::Number);
    QPainter painter(m_corner);
    m_corner->style()->drawControl(QStyle::CE_Header, &option, &painter, m_corner);
}

std::optional<QRect> frmDBC::gridRectTwips(int w, int h)
{
    if (w < 1000 || h < 1000)
        return std::nullopt;
    return QRect(30, 30, w - 50, h - 50);
}

void frmDBC::Form_Resize()
{
    const QWidget *client = centralWidget();
    const auto rect = gridRectTwips(pixelsToTwips(this, client->width()), pixelsToTwips(this, client->height()));
    if (rect)
        grd->setGeometry(twipsToPixels(this, *rect));
}

void frmDBC::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(shift);
    if (keyCode == Qt::Key_Escape)
        close();
}

void frmDBC::closeEvent(QCloseEvent *event)
{
    if (Form_QueryUnload())
        event->ignore();
    else
        event->accept();
    // The close goes on: the user saved the work or chose to give it up.
    if (event->isAccepted() && m_recovery)
        m_recovery->discardCopy();
    if (event->isAccepted())
        saveWindowSettings();
}

bool frmDBC::Form_QueryUnload()
{
    return !beforeCommand(Before::AskSaveChanges);
}

void frmDBC::InitGrid()
{
    if (AskSaveChanges())
        return;
    m_document.reset();
    applyColumnWidths();
    UpdateCaption();
}

bool frmDBC::AskSaveChanges()
{
    if (!m_table.unsavedChanges())
        return false;
    switch (m_dialogs->askYesNoCancel(applicationTitle(), QStringLiteral("Do you want to save changes"))) {
    case Dialogs::Answer::Yes:
        // Unless the save completes, the command stops: the work must not be lost.
        return !ExportCSV();
    case Dialogs::Answer::No:
        return false;
    case Dialogs::Answer::Cancel:
        break;
    }
    return true;
}

void frmDBC::UpdateCaption()
{
    setWindowTitle(QStringLiteral("Tessaly [") + m_table.currentFile() + u']');
}

void frmDBC::mnNew_Click()
{
    InitGrid();
}

void frmDBC::mnSaveCSV_Click()
{
    ExportCSV();
}

void frmDBC::mnExit_Click()
{
    close();
}

void frmDBC::mnAbout_Click()
{
    const AboutDetails details{m_keyListInUse, int(keyEditor()->count()),
                               m_recovery ? m_recovery->store().folder() : QString()};
    frmAbout about(details, this);
    about.exec();
}

bool frmDBC::ExportCSV()
{
    if (!confirmCsvSeparators())
        return false;
    const QString fileName = m_dialogs->saveFile(QStringLiteral("Export CSV file"), m_document.proposeSaveName(),
                                                 QStringLiteral("CSV (*.CSV)"), QStringLiteral("CSV"));
    if (fileName.isEmpty())
        return false;
    return WriteCSV(fileName);
}

bool frmDBC::WriteCSV(const QString &fileName)
{
    const QString error = m_document.WriteCSV(fileName);
    if (!error.isEmpty()) {
        m_dialogs->warn(QStringLiteral("Save CSV file"), error);
        return false;
    }
    rememberFile(fileName);
    m_dialogs->inform(applicationTitle(), QStringLiteral("File: \"%1\"\r\n\r\nwas correctly exported").arg(fileName));
    return true;
}

bool frmDBC::confirmCsvSeparators()
{
    const QStringList warnings = m_document.saveWarnings();
    return warnings.isEmpty()
            || m_dialogs->askYesNo(applicationTitle(), warnings.join(QStringLiteral("\n\n")) + QStringLiteral("\n\nSave anyway?"));
}

void frmDBC::LoadPreassignedKeys(QComboBox *combo)
{
    const KeyList keys = loadKeyList(m_keyListFile, KeyListPlaces::standard());
    m_keyListInUse = m_keyListFile.isEmpty() ? KeyListPlaces::standard().find() : m_keyListFile;
    combo->clear();
    combo->addItems(keys.items);
    combo->setCurrentIndex(-1);
    m_startupWarning = keys.warning;
}

bool frmDBC::showResult(const std::function<DocumentResult()> &command, bool keepSignal)
{
    // The table before (its texts are shared, so the copy costs little) to find the
    // current cell's signal again in the new one.
    const TableData before = keepSignal ? m_table.grid() : TableData();
    const GridMap::Cell current = m_editors->map().current();
    DocumentResult result;
    {
        // A new table gets its current cell on the last row's Key cell without an
        // editor opening.
        const auto loading = m_editors->loading();
        result = command();
        const TableData &grid = m_table.grid();
        if (result.ok() && grid.rows() > grid.fixedRows())
            m_editors->setCurrentCell(grid.rows() - 1, Col::Key);
    }
    if (!result.ok()) {
        m_dialogs->warn(applicationTitle(), result.error);
        return false;
    }
    if (keepSignal && current.isValid()) {
        if (const int row = sameSignalRow(before, current.row, m_table.grid()); row >= 0)
            showCell(row, current.col);
    }
    UpdateCaption();
    showEncoding(result.encoding);
    for (const QString &warning : std::as_const(result.warnings))
        m_dialogs->warn(applicationTitle(), warning);
    if (result.report)
        showUpdateReport(*result.report);
    return true;
}

void frmDBC::writeBackEdit()
{
    m_editors->writeBack();
}
