#include "frm_dbc.h"

#include "app/artwork.h"
#include "app/dialog_folder.h"
#include "app/dialogs.h"
#include "app/frm_about.h"
#include "app/twips.h"
#include "csv/results_csv.h"
#include "import/import_result.h"
#include "keys/key_list_places.h"
#include "recovery/recovery_keeper.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTimer>

namespace {

constexpr int clientWidthTwips = 18900;
constexpr int clientHeightTwips = 7875;
constexpr int rowHeightTwips = 310;
constexpr int keyComboWidthTwips = 4755;
constexpr int keyComboHeightTwips = 315;

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
    buildMenus();
    buildKeysMenu();
    buildGrid();
    buildEditors();
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { Form_KeyDown(Qt::Key_Escape, Qt::NoModifier); });
    Form_Load();
    resize(px(clientWidthTwips), px(clientHeightTwips) + menuBar()->sizeHint().height());
}

frmDBC::~frmDBC()
{
    // The widgets go first, while the table and the dialogs they use still exist.
    disconnect(txtGrd, nullptr, this, nullptr);
    delete takeCentralWidget();
}

int frmDBC::px(int twips) const
{
    return twipsToPixels(this, twips);
}

void frmDBC::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnFile"));
    const auto item = [this](QMenu *menu, const char *name, const QString &caption, void (frmDBC::*slot)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (slot)
            connect(action, &QAction::triggered, this, slot);
    };
    item(file, "mnNew", QStringLiteral("New"), &frmDBC::mnNew_Click);
    item(file, "mnImportDBC", QStringLiteral("Import DBC"), &frmDBC::mnImportDBC_Click);
    item(file, "mnImportXML", QStringLiteral("Import XML"), &frmDBC::mnImportXML_Click);
    item(file, "mnLoadCSV", QStringLiteral("Load CSV"), &frmDBC::mnLoadCSV_Click);
    addUpdateCommand(file);
    item(file, "mnSaveCSV", QStringLiteral("Save CSV (Results)"), &frmDBC::mnSaveCSV_Click);
    item(file, "mnExit", QStringLiteral("Exit"), &frmDBC::mnExit_Click);
    QMenu *options = menuBar()->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnOptions"));
    item(options, "mnECUformat", QStringLiteral("ECU format"), nullptr);
    QAction *about = menuBar()->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnAbout"));
    connect(about, &QAction::triggered, this, &frmDBC::mnAbout_Click);
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
    grd->setModel(&m_table);
    grd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grd->setSelectionMode(QAbstractItemView::SingleSelection);
    grd->setSelectionBehavior(QAbstractItemView::SelectItems);
    grd->setWordWrap(false);
    grd->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grd->verticalHeader()->setDefaultSectionSize(px(rowHeightTwips));
    grd->verticalHeader()->setFixedWidth(px(SignalTable::colWidthTwips(Col::Number)));
    grd->horizontalHeader()->setHighlightSections(false);
    grd->horizontalHeader()->setMinimumSectionSize(1);
    grd->setGeometry(twipsToPixels(this, QRect(90, 150, 18735, 7575)));
    // The corner above the "#" column shows the heading of column 0.
    m_corner = grd->findChild<QAbstractButton *>();
    if (m_corner)
        m_corner->installEventFilter(this);
    applyColumnWidths();

    connect(grd->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmDBC::grd_RowColChange);
    connect(&m_table, &QAbstractItemModel::modelReset, this, &frmDBC::applyColumnWidths);
    // An editor belongs to a cell of the table it was opened on; a rebuilt table
    // starts without one, and nothing typed for the old table reaches the new one.
    connect(&m_table, &QAbstractItemModel::modelAboutToBeReset, this, &frmDBC::hideEditors);
    connect(grd->horizontalScrollBar(), &QScrollBar::valueChanged, this, &frmDBC::placeEditors);
    connect(grd->verticalScrollBar(), &QScrollBar::valueChanged, this, &frmDBC::placeEditors);
    connect(grd->horizontalHeader(), &QHeaderView::sectionResized, this, &frmDBC::placeEditors);
    connect(grd->horizontalHeader(), &QHeaderView::geometriesChanged, this, &frmDBC::placeEditors);
}

void frmDBC::applyColumnWidths()
{
    for (int col = 1; col < TableData::cols(); ++col)
        grd->setColumnWidth(col - 1, px(SignalTable::colWidthTwips(col)));
    // Without signal rows the heading row is an ordinary row of the table.
    grd->horizontalHeader()->setVisible(m_table.grid().fixedRows() > 0);
    if (m_corner)
        m_corner->update();
}

void frmDBC::buildEditors()
{
    txtGrd = new QLineEdit(grd->viewport());
    txtGrd->setObjectName(QStringLiteral("txtGrd"));
    txtGrd->setFrame(false);
    txtGrd->resize(px(1245), px(rowHeightTwips));
    txtGrd->hide();
    connect(txtGrd, &QLineEdit::editingFinished, this, &frmDBC::txtGrd_Validate);

    cmbKey = new QComboBox(grd->viewport());
    cmbKey->setObjectName(QStringLiteral("cmbKey"));
    cmbKey->setEditable(false);
    cmbKey->resize(px(keyComboWidthTwips), px(keyComboHeightTwips));
    cmbKey->hide();
    connect(cmbKey, &QComboBox::activated, this, &frmDBC::cmbKey_Click);
}

void frmDBC::Form_Load()
{
    cargando = true;
    InitGrid();
    m_dialogs->setInitialDirectory(DialogFolder::standard().start());
    LoadPreassignedKeys(cmbKey);
    cargando = false;
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
}

bool frmDBC::Form_QueryUnload()
{
    writeBackEdit();
    return AskSaveChanges();
}

void frmDBC::InitGrid()
{
    if (AskSaveChanges())
        return;
    m_table.reset();
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
    writeBackEdit();
    InitGrid();
}

void frmDBC::mnSaveCSV_Click()
{
    writeBackEdit();
    ExportCSV();
}

void frmDBC::mnExit_Click()
{
    close();
}

void frmDBC::mnAbout_Click()
{
    writeBackEdit();
    frmAbout about(this);
    about.exec();
}

bool frmDBC::ExportCSV()
{
    m_table.setCurrentFile(proposeCsvPath(m_table.currentFile()));
    const QString fileName = m_dialogs->saveFile(QStringLiteral("Export CSV file"), csvDialogName(m_table.currentFile()),
                                                 QStringLiteral("CSV (*.CSV)"), QStringLiteral("CSV"));
    if (fileName.isEmpty())
        return false;
    return WriteCSV(fileName);
}

bool frmDBC::WriteCSV(const QString &fileName)
{
    const QString error = writeResultsCsv(m_table.grid(), fileName);
    if (!error.isEmpty()) {
        m_dialogs->warn(QStringLiteral("Save CSV file"), error);
        return false;
    }
    m_table.setUnsavedChanges(false);
    m_dialogs->inform(applicationTitle(), QStringLiteral("File: \"%1\"\r\n\r\nwas correctly exported").arg(fileName));
    return true;
}

void frmDBC::LoadPreassignedKeys(QComboBox *combo)
{
    const KeyList keys = loadKeyList(m_keyListFile, KeyListPlaces::standard());
    combo->clear();
    combo->addItems(keys.items);
    combo->setCurrentIndex(-1);
    m_startupWarning = keys.warning;
}

bool frmDBC::rebuild(ImportResult &result)
{
    if (!result.ok()) {
        m_dialogs->warn(applicationTitle(), result.error);
        return false;
    }
    cargando = true;
    m_table.replace(std::move(result.table));
    const TableData &grid = m_table.grid();
    if (grid.rows() > grid.fixedRows())
        setCurrentCell(grid.rows() - 1, Col::Key);
    cargando = false;
    for (const QString &warning : std::as_const(result.warnings))
        m_dialogs->warn(applicationTitle(), warning);
    return true;
}

void frmDBC::finishImport(const QString &fileName)
{
    m_table.setCurrentFile(fileName);
    m_table.setUnsavedChanges(true);
    UpdateCaption();
}

void frmDBC::setCurrentCell(int row, int col)
{
    const bool wasLoading = std::exchange(cargando, true);
    const bool scrolls = grd->hasAutoScroll();
    grd->setAutoScroll(false);
    grd->selectionModel()->setCurrentIndex(m_table.modelIndex(row, col), QItemSelectionModel::ClearAndSelect);
    grd->setAutoScroll(scrolls);
    cargando = wasLoading;
}

void frmDBC::grd_RowColChange()
{
    if (cargando)
        return;
    const QModelIndex current = grd->currentIndex();
    if (!current.isValid())
        return;
    txtGrd_Validate(); // an edit belongs to the cell it was typed for
    const int row = m_table.gridRow(current);
    const int col = SignalTable::gridCol(current);
    const QString text = m_table.grid().text(row, col);
    if (col == Col::Key) {
        hideEditor(txtGrd);
        m_textRow = m_textCol = -1;
        selectKeyOf(text);
        m_keyRow = row;
        cmbKey->show();
        cmbKey->raise();
    } else {
        hideEditor(cmbKey);
        m_keyRow = -1;
        txtGrd->setText(text);
        m_textRow = row;
        m_textCol = col;
        txtGrd->show();
        txtGrd->raise();
    }
    placeEditors();
}

void frmDBC::selectKeyOf(const QString &cellText)
{
    cargando = true;
    if (cellText.isEmpty()) {
        cmbKey->setCurrentIndex(-1);
    } else {
        for (int i = 0; i < cmbKey->count(); ++i) {
            if (keyOfItem(cmbKey->itemText(i)) == cellText) {
                cmbKey->setCurrentIndex(i);
                break;
            }
        }
    }
    cargando = false;
}

void frmDBC::placeEditors()
{
    if (m_textRow >= 0) {
        const QRect cell = grd->visualRect(m_table.modelIndex(m_textRow, m_textCol));
        txtGrd->setGeometry(cell.x(), cell.y(), px(SignalTable::colWidthTwips(m_textCol)), px(rowHeightTwips));
    }
    if (m_keyRow >= 0) {
        const QRect cell = grd->visualRect(m_table.modelIndex(m_keyRow, Col::Key));
        cmbKey->move(cell.topLeft());
    }
}

void frmDBC::writeBackEdit()
{
    if (!txtGrd->isHidden() && m_textRow >= 0)
        m_table.editText(m_textRow, m_textCol, txtGrd->text());
}

void frmDBC::txtGrd_Validate()
{
    if (txtGrd->isHidden())
        return;
    writeBackEdit();
    hideEditor(txtGrd);
    m_textRow = m_textCol = -1;
}

void frmDBC::cmbKey_Click(int index)
{
    if (cargando || m_keyRow < 0 || index < 0)
        return;
    const int row = m_keyRow;
    hideEditor(cmbKey);
    m_keyRow = -1;
    m_table.chooseKey(row, keyOfItem(cmbKey->itemText(index)));
}

void frmDBC::hideEditors()
{
    hideEditor(txtGrd);
    hideEditor(cmbKey);
    m_textRow = m_textCol = m_keyRow = -1;
}

void frmDBC::hideEditor(QWidget *editor)
{
    // Hiding the focused editor would pass the focus on as a Tab does, and the grid
    // would move its current cell; the grid takes the focus back instead.
    if (editor->hasFocus())
        grd->setFocus();
    editor->hide();
}
