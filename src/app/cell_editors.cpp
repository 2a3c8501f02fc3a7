#include "cell_editors.h"

#include "app/cell_frame.h"
#include "app/twips.h"
#include "keys/key_list.h"
#include "table/cell_transfer.h"
#include "table/signal_table.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QValidator>

#include <functional>
#include <limits>

namespace {

constexpr int keyComboWidthTwips = 4755;
constexpr int keyComboHeightTwips = 315;

qsizetype separatorCount(QStringView text)
{
    return text.count(u';') + text.count(u'\t');
}

// Shows beside each key how many rows hold it already.
class KeyCountDelegate : public QStyledItemDelegate
{
public:
    KeyCountDelegate(const SignalTable &table, QObject *parent) : QStyledItemDelegate(parent), m_table(table) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString item = opt.text;
        const QString count = countText(index);
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : nullptr;
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const int pad = opt.fontMetrics.averageCharWidth();
        const int countWidth = opt.fontMetrics.horizontalAdvance(count) + 2 * pad;
        const QRect textRect = opt.rect.adjusted(pad, 0, -countWidth, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->save();
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                          opt.fontMetrics.elidedText(item, Qt::ElideRight, textRect.width()));
        // A key the row fits with confidence stands out from the others.
        if (!selected && index.data(CellEditors::scoreRole).toInt() < KeyMatcher::confidentScore)
            painter->setPen(opt.palette.color(QPalette::PlaceholderText));
        painter->drawText(opt.rect.adjusted(0, 0, -pad, 0), Qt::AlignVCenter | Qt::AlignRight, count);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString count = countText(index);
        size.rwidth() += option.fontMetrics.horizontalAdvance(count) + 3 * option.fontMetrics.averageCharWidth();
        return size;
    }

private:
    // How many rows hold the item's key, after the current row's score for it.
    QString countText(const QModelIndex &index) const
    {
        const qsizetype rows = m_table.grid().keyIndex().count(keyOfItem(index.data().toString()));
        QString count = rows == 0   ? QStringLiteral("free")
                        : rows == 1 ? QStringLiteral("1 row")
                                    : QStringLiteral("%1 rows").arg(rows);
        const QVariant score = index.data(CellEditors::scoreRole);
        return score.isValid() ? QStringLiteral("%1 \u00b7 %2").arg(score.toInt()).arg(count) : count;
    }

    const SignalTable &m_table;
};

// The key list, which brings its items up to date for the row just before it opens.
class KeyCombo : public QComboBox
{
public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        if (aboutToOpen)
            aboutToOpen();
        QComboBox::showPopup();
    }

    std::function<void()> aboutToOpen;
};

bool keyBeginsWith(const QString &item, QStringView typed)
{
    return keyOfItem(item).startsWith(typed, Qt::CaseInsensitive);
}

// Whether the open list keeps the item in sight while `typed` narrows it.
bool keptInSight(const QString &item, QStringView typed)
{
    return keyBeginsWith(item, typed) || describedByWordStart(item, typed);
}

bool isTyping(const QKeyEvent *event)
{
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint()
            && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

// Refuses an edit that brings a ";" or a tab into the text box: the results CSV
// separates its cells with ";", and a tab splits a row in other programs. A cell that
// holds some already keeps them.
class SeparatorGuard : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        if (separatorCount(input) <= allowed)
            return Acceptable;
        if (refused)
            refused();
        return Invalid;
    }

    qsizetype allowed = 0;
    std::function<void()> refused;
};

CellEditors::CellEditors(QTableView *grid, SignalTable &table, QObject *parent)
    : QObject(parent), grd(grid), m_table(table), m_map(table, *grid)
{
    txtGrd = new QLineEdit(grd->viewport());
    txtGrd->setObjectName(QStringLiteral("txtGrd"));
    txtGrd->setFrame(false);
    // A cell of any length goes into the box whole and comes back unchanged.
    txtGrd->setMaxLength(std::numeric_limits<int>::max());
    m_guard = new SeparatorGuard(txtGrd);
    m_guard->refused = [this] {
        emit message(QStringLiteral("A cell cannot hold \";\" or a tab: the results CSV separates its cells with \";\"."));
    };
    txtGrd->setValidator(m_guard);
    txtGrd->resize(twipsToPixels(grd, 1245), twipsToPixels(grd, 310));
    txtGrd->hide();
    txtGrd->installEventFilter(this);
    connect(txtGrd, &QLineEdit::editingFinished, this, &CellEditors::txtGrd_Validate);

    auto *keyCombo = new KeyCombo(grd->viewport());
    keyCombo->aboutToOpen = [this] { scoreKeys(); };
    cmbKey = keyCombo;
    cmbKey->setObjectName(QStringLiteral("cmbKey"));
    cmbKey->setEditable(false);
    // The grid keeps the keyboard: the list is opened and chosen from there.
    cmbKey->setFocusPolicy(Qt::NoFocus);
    cmbKey->setItemDelegate(new KeyCountDelegate(m_table, cmbKey));
    cmbKey->resize(twipsToPixels(grd, keyComboWidthTwips), twipsToPixels(grd, keyComboHeightTwips));
    // Closed, the list covers its Key cell only; open, it is wide enough to read.
    cmbKey->view()->setMinimumWidth(twipsToPixels(grd, keyComboWidthTwips));
    cmbKey->hide();
    cmbKey->installEventFilter(this);
    // Typing into the open list narrows it by words; closing it shows every key again.
    cmbKey->view()->installEventFilter(this);
    cmbKey->view()->window()->installEventFilter(this);
    connect(cmbKey, &QComboBox::activated, this, &CellEditors::cmbKey_Click);

    m_frame = new CellFrame(grd->viewport());

    grd->installEventFilter(this);
    grd->viewport()->installEventFilter(this);
    connect(grd->selectionModel(), &QItemSelectionModel::currentChanged, this, &CellEditors::grd_RowColChange);
    // The frame and the row's highlight follow every move, the program's own too.
    connect(grd->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        placeFrame();
        grd->viewport()->update();
    });
    connect(grd->model(), &QAbstractItemModel::modelReset, this, &CellEditors::placeFrame);
    // An editor belongs to a cell of the table it was opened on; a rebuilt table
    // starts without one, and nothing typed for the old table reaches the new one.
    connect(&m_table, &QAbstractItemModel::modelAboutToBeReset, this, &CellEditors::hideEditors);
    // So does a new choice of the rows a filtering view shows.
    if (grd->model() != &m_table)
        connect(grd->model(), &QAbstractItemModel::modelAboutToBeReset, this, &CellEditors::hideEditors);
    connect(grd->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CellEditors::placeEditors);
    connect(grd->verticalScrollBar(), &QScrollBar::valueChanged, this, &CellEditors::placeEditors);
    connect(grd->horizontalHeader(), &QHeaderView::sectionResized, this, &CellEditors::placeEditors);
    connect(grd->horizontalHeader(), &QHeaderView::geometriesChanged, this, &CellEditors::placeEditors);
    connect(grd->verticalHeader(), &QHeaderView::sectionResized, this, &CellEditors::placeEditors);
    // A shared key turns its cell red under the closed list too.
    connect(&m_table, &QAbstractItemModel::dataChanged, this, &CellEditors::paintKeyEditor);
}

void CellEditors::setCurrentCell(int row, int col)
{
    const Loading guard(*this);
    const bool scrolls = grd->hasAutoScroll();
    grd->setAutoScroll(false);
    grd->selectionModel()->setCurrentIndex(m_map.viewIndex(row, col), QItemSelectionModel::ClearAndSelect);
    grd->setAutoScroll(scrolls);
}

void CellEditors::goToCell(int row, int col)
{
    const QModelIndex index = m_map.viewIndex(row, col);
    if (!index.isValid())
        return;
    grd->setFocus();
    grd->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    grd->scrollTo(index);
    openEditor();
}

void CellEditors::grd_RowColChange()
{
    if (cargando)
        return;
    layEditor();
}

void CellEditors::openEditor()
{
    const GridMap::Cell cell = m_map.current();
    if (!cell.isValid())
        return;
    const bool open = cell.col == Col::Key ? !cmbKey->isHidden() && m_keyRow == cell.row
                                           : !txtGrd->isHidden() && m_textRow == cell.row && m_textCol == cell.col;
    if (!open)
        layEditor();
}

void CellEditors::layEditor()
{
    const GridMap::Cell cell = m_map.current();
    if (!cell.isValid())
        return;
    txtGrd_Validate(); // an edit belongs to the cell it was typed for
    const QString text = m_table.grid().text(cell.row, cell.col);
    if (cell.col == Col::Key) {
        hideEditor(txtGrd);
        m_textRow = m_textCol = -1;
        selectKeyOf(text);
        m_keyRow = cell.row;
        paintKeyEditor();
        cmbKey->show();
        cmbKey->raise();
    } else {
        hideEditor(cmbKey);
        m_keyRow = -1;
        m_guard->allowed = separatorCount(text);
        txtGrd->setText(text);
        m_textRow = cell.row;
        m_textCol = cell.col;
        txtGrd->show();
        txtGrd->raise();
    }
    placeEditors();
}

void CellEditors::selectKeyOf(const QString &cellText)
{
    const Loading guard(*this);
    // A key the key list lacks still shows while no item is selected.
    cmbKey->setPlaceholderText(cellText);
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
}

void CellEditors::placeEditors()
{
    if (m_textRow >= 0) {
        const QModelIndex index = m_map.viewIndex(m_textRow, m_textCol);
        const QRect cell = grd->visualRect(index);
        txtGrd->setGeometry(cell.x(), cell.y(), grd->columnWidth(index.column()), grd->rowHeight(index.row()));
    }
    if (m_keyRow >= 0)
        cmbKey->setGeometry(grd->visualRect(m_map.viewIndex(m_keyRow, Col::Key)));
    placeFrame();
}

void CellEditors::placeFrame()
{
    const QModelIndex current = grd->currentIndex();
    if (!current.isValid()) {
        m_frame->hide();
        return;
    }
    m_frame->setGeometry(grd->visualRect(current));
    m_frame->show();
    m_frame->raise();
}

// The closed list shows the colour of the Key cell it lies over, so a shared key stays
// red while its list is at hand.
void CellEditors::paintKeyEditor()
{
    if (m_keyRow < 0)
        return;
    QPalette palette = grd->palette();
    const QVariant colour = m_table.modelIndex(m_keyRow, Col::Key).data(Qt::BackgroundRole);
    if (colour.canConvert<QColor>()) {
        // The button's colour only: the open list, which shares the palette, keeps its own.
        palette.setColor(QPalette::Button, colour.value<QColor>());
    }
    cmbKey->setPalette(palette);
}

void CellEditors::writeBack()
{
    if (!txtGrd->isHidden() && m_textRow >= 0)
        m_table.editText(m_textRow, m_textCol, txtGrd->text());
}

void CellEditors::txtGrd_Validate()
{
    if (txtGrd->isHidden())
        return;
    writeBack();
    hideEditor(txtGrd);
    m_textRow = m_textCol = -1;
}

void CellEditors::cmbKey_Click(int index)
{
    if (cargando || m_keyRow < 0 || index < 0)
        return;
    const int row = m_keyRow;
    hideEditor(cmbKey);
    m_keyRow = -1;
    m_table.chooseKey(row, keyOfItem(cmbKey->itemText(index)));
}

void CellEditors::hideEditors()
{
    hideEditor(txtGrd);
    hideEditor(cmbKey);
    m_textRow = m_textCol = m_keyRow = -1;
}

void CellEditors::hideEditor(QWidget *editor)
{
    // Hiding the focused editor would pass the focus on as a Tab does, and the grid
    // would move its current cell; the grid takes the focus back instead.
    if (editor->hasFocus())
        grd->setFocus();
    editor->hide();
}

bool CellEditors::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == grd)
            return gridKey(static_cast<QKeyEvent *>(event));
        if (watched == txtGrd)
            return textKey(static_cast<QKeyEvent *>(event));
        if (watched == cmbKey->view())
            return listKey(static_cast<QKeyEvent *>(event));
        break;
    case QEvent::Hide:
        if (watched == cmbKey->view()->window())
            showAllKeys();
        break;
    case QEvent::Wheel:
        if (watched == cmbKey) {
            // The wheel scrolls the table; a key is chosen only in the open list.
            const auto *wheel = static_cast<QWheelEvent *>(event);
            QWidget *viewport = grd->viewport();
            QWheelEvent scroll(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                               wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                               wheel->phase(), wheel->inverted(), wheel->source());
            QCoreApplication::sendEvent(viewport, &scroll);
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == grd->viewport())
            m_pressed = grd->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::MouseButtonRelease:
        // A plain click on a cell opens its editor, on a Key cell its list; a click
        // that selects (Shift, Ctrl, a drag) only selects.
        if (watched == grd->viewport() && !cargando) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const QModelIndex index = grd->indexAt(mouse->position().toPoint());
            const bool plain = mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier;
            if (plain && index.isValid() && index == grd->currentIndex() && index == m_pressed) {
                if (m_map.current().col == Col::Key)
                    openKeyList({});
                else
                    openEditor();
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool CellEditors::gridKey(QKeyEvent *event)
{
    const GridMap::Cell cell = m_map.current();
    if (!cell.isValid() || cargando)
        return false;
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        moveDown();
        return true;
    }
    if (key == Qt::Key_Delete && mods == Qt::NoModifier && m_map.selected().size() > 1) {
        clearSelectedKeys();
        return true;
    }
    if (cell.col == Col::Key) {
        if ((key == Qt::Key_F4 && mods == Qt::NoModifier) || (key == Qt::Key_Down && mods == Qt::AltModifier)
            || (key == Qt::Key_Space && mods == Qt::NoModifier)) {
            openKeyList({});
            return true;
        }
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && mods == Qt::NoModifier) {
            clearKey();
            return true;
        }
        if (isTyping(event)) {
            openKeyList(event->text());
            return true;
        }
        return false;
    }
    if (key == Qt::Key_F2 && mods == Qt::NoModifier) {
        startEditing({});
        return true;
    }
    if (isTyping(event)) {
        startEditing(event->text());
        return true;
    }
    return false;
}

bool CellEditors::textKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        grd->setFocus();
        txtGrd_Validate();
        moveDown();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // The edit is written back and the grid moves on as it does for these keys.
        grd->setFocus();
        txtGrd_Validate();
        QCoreApplication::sendEvent(grd, event);
        return true;
    default:
        return false;
    }
}

void CellEditors::startEditing(const QString &typed)
{
    openEditor();
    if (txtGrd->isHidden())
        return;
    txtGrd->setFocus();
    if (typed.isEmpty()) {
        txtGrd->deselect();
        txtGrd->end(false);
    } else {
        // Typing replaces the cell's text, as in a spreadsheet.
        txtGrd->selectAll();
        txtGrd->insert(typed);
    }
}

void CellEditors::openKeyList(const QString &typed)
{
    openEditor();
    if (cmbKey->isHidden() || cmbKey->count() == 0)
        return;
    cmbKey->showPopup();
    if (!typed.isEmpty() && !typeInList(typed))
        cmbKey->view()->keyboardSearch(typed);
}

void CellEditors::scoreKeys()
{
    std::vector<KeySuggestion> suggestions;
    if (m_rowSuggestions && m_keyRow >= 0)
        suggestions = m_rowSuggestions(m_keyRow);
    for (int i = 0; i < cmbKey->count(); ++i) {
        const Candidate *fit = std::size_t(i) < suggestions.size() && !suggestions[std::size_t(i)].candidates.empty()
                                       ? &suggestions[std::size_t(i)].candidates.front()
                                       : nullptr;
        cmbKey->setItemData(i, fit ? QVariant(fit->score) : QVariant(), scoreRole);
        cmbKey->setItemData(i,
                            fit ? QVariant(QStringLiteral("Score %1 for this row: %2").arg(fit->score).arg(fit->reasons))
                                : QVariant(),
                            Qt::ToolTipRole);
    }
}

bool CellEditors::listKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Backspace && mods == Qt::NoModifier && m_narrowed) {
        m_typed.chop(1);
        narrowKeyList();
        return true;
    }
    if (!isTyping(event))
        return false;
    // Until the list is narrowed, a pause starts the first letters afresh, as the
    // list's own search does.
    if (!m_narrowed && m_sinceTyped.isValid()
        && m_sinceTyped.hasExpired(QApplication::keyboardInputInterval()))
        m_typed.clear();
    return typeInList(m_typed + event->text());
}

// A first letter that some key begins with jumps to that key as the list's own search
// does (true: the list searches itself). Anything longer, or a letter no key begins
// with, keeps in sight the keys that begin with it and those whose description has a
// word that does. Text that fits no key changes nothing.
bool CellEditors::typeInList(const QString &typed)
{
    m_sinceTyped.start();
    bool startsKey = false;
    bool fits = false;
    for (int i = 0; i < cmbKey->count(); ++i) {
        const QString item = cmbKey->itemText(i);
        startsKey = startsKey || keyBeginsWith(item, typed);
        fits = fits || keptInSight(item, typed);
    }
    if (!m_narrowed && (typed.size() == 1 ? startsKey : !fits)) {
        if (typed.size() == 1)
            m_typed = typed;
        return false;
    }
    if (fits) {
        m_typed = typed;
        narrowKeyList();
    }
    return true;
}

void CellEditors::narrowKeyList()
{
    auto *list = qobject_cast<QListView *>(cmbKey->view());
    if (!list)
        return;
    m_narrowed = !m_typed.isEmpty();
    int first = -1;
    int firstKey = -1;
    int shownRows = 0;
    for (int i = 0; i < cmbKey->count(); ++i) {
        const QString item = cmbKey->itemText(i);
        const bool startsKey = keyBeginsWith(item, m_typed);
        const bool shown = keptInSight(item, m_typed);
        list->setRowHidden(i, !shown);
        shownRows += shown;
        if (shown && first < 0)
            first = i;
        if (startsKey && firstKey < 0)
            firstKey = i;
    }
    fitKeyList(shownRows, first);
    const int current = list->currentIndex().row();
    const int pick = m_narrowed ? (firstKey >= 0 ? firstKey : first) : current;
    if (pick >= 0 && (pick != current || list->isRowHidden(pick))) {
        list->setCurrentIndex(list->model()->index(pick, cmbKey->modelColumn()));
        list->scrollTo(list->currentIndex());
    }
}

// The open list takes the height its shown keys need, up to the height it opened
// with, and stays within the room it opened in, as near its cell as it can: a list
// above the cell keeps its bottom, one over the cell moves its top to the cell's.
void CellEditors::fitKeyList(int shownRows, int firstShown)
{
    QAbstractItemView *list = cmbKey->view();
    QWidget *popup = list->window();
    if (!popup->isVisible() || firstShown < 0)
        return;
    if (!m_openList.isValid()) {
        m_openList = popup->geometry();
        // Its frame, without the arrows that scroll a list too long for the screen.
        int scrollers = 0;
        for (const QWidget *child : popup->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && child->inherits("QComboBoxPrivateScroller"))
                scrollers += child->height();
        }
        m_openListChrome = popup->height() - list->height() - scrollers;
    }
    const int needed = m_openListChrome + shownRows * list->sizeHintForRow(firstShown) + 2 * list->frameWidth();
    QRect fitted = m_openList;
    fitted.setHeight(std::min(needed, m_openList.height()));
    const int cellTop = cmbKey->mapToGlobal(QPoint(0, 0)).y();
    if (m_openList.bottom() < cellTop)
        fitted.moveBottom(m_openList.bottom());
    else
        fitted.moveTop(std::clamp(cellTop, m_openList.top(), m_openList.bottom() + 1 - fitted.height()));
    if (fitted != popup->geometry())
        popup->setGeometry(fitted);
}

void CellEditors::showAllKeys()
{
    m_openList = QRect();
    m_typed.clear();
    m_narrowed = false;
    m_sinceTyped.invalidate();
    if (auto *list = qobject_cast<QListView *>(cmbKey->view())) {
        for (int i = 0; i < cmbKey->count(); ++i)
            list->setRowHidden(i, false);
    }
}

void CellEditors::clearKey()
{
    const GridMap::Cell cell = m_map.current();
    m_table.chooseKey(cell.row, QString());
    if (m_keyRow == cell.row)
        selectKeyOf(QString());
}

// Delete over several cells clears the keys among them, in one step of the history;
// other cells keep their texts.
void CellEditors::clearSelectedKeys()
{
    const std::vector<CellWrite> writes = clearedKeys(m_table.grid(), m_map.selected());
    if (writes.empty())
        return;
    hideEditor(cmbKey);
    m_keyRow = -1;
    m_table.editCells(writes, QStringLiteral("keys cleared in %1 rows").arg(writes.size()));
}

void CellEditors::moveDown()
{
    const QModelIndex below = grd->model()->index(grd->currentIndex().row() + 1, grd->currentIndex().column());
    if (below.isValid()) {
        grd->setCurrentIndex(below);
        grd->scrollTo(below);
    }
    openEditor();
}
