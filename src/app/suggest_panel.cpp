#include "suggest_panel.h"

#include "app/cell_editors.h"
#include "keys/key_list.h"
#include "keys/key_list_places.h"
#include "suggest/suggest_dictionary.h"
#include "suggest/suggestion_output.h"
#include "table/signal_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { KeyOrNumber, Name, Message, Score, Reasons, Columns };
constexpr int rowRole = Qt::UserRole;
constexpr int keyRole = Qt::UserRole + 1;

} // namespace

SuggestPanel::SuggestPanel(SignalTable &table, CellEditors &editors, QWidget *parent)
    : QDockWidget(QStringLiteral("Key suggestions"), parent), m_table(table), m_editors(editors)
{
    setObjectName(QStringLiteral("suggestPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *bar = new QHBoxLayout;
    m_allKeys = new QCheckBox(QStringLiteral("&All keys"), client);
    m_allKeys->setObjectName(QStringLiteral("chkAllKeys"));
    m_allKeys->setToolTip(QStringLiteral("Also the keys that a row holds already"));
    m_acceptAll = new QPushButton(QStringLiteral("Accept all &confident"), client);
    m_acceptAll->setObjectName(QStringLiteral("cmdAcceptAllConfident"));
    m_acceptAll->setToolTip(QStringLiteral("Gives every key no row holds its best candidate scoring %1 or more, "
                                           "leaving out rows that hold a key; one undo step")
                                    .arg(KeyMatcher::confidentScore));
    bar->addWidget(m_allKeys);
    bar->addStretch();
    bar->addWidget(m_acceptAll);
    layout->addLayout(bar);
    m_list = new QTreeWidget(client);
    m_list->setObjectName(QStringLiteral("lstSuggestions"));
    m_list->setColumnCount(Columns);
    m_list->setHeaderLabels({QStringLiteral("Key / #"), QStringLiteral("Name"), QStringLiteral("Message"),
                             QStringLiteral("Score"), QStringLiteral("Reasons")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->setToolTip(QStringLiteral("Enter or a double click gives the highlighted row its key"));
    m_list->installEventFilter(this);
    layout->addWidget(m_list);
    m_summary = new QLabel(client);
    layout->addWidget(m_summary);
    setWidget(client);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &SuggestPanel::refresh);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh();
    });
    connect(m_allKeys, &QCheckBox::toggled, this, [this] {
        m_listStale = true;
        refresh();
    });
    connect(m_acceptAll, &QPushButton::clicked, this, &SuggestPanel::acceptAllConfident);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) { currentMoved(item); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { acceptCurrent(); });

    connect(&m_table, &QAbstractItemModel::modelReset, this, [this] { tableChanged(true); });
    connect(&m_table, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                // The signals are read again only when a cell they read changed: that
                // takes a while on a large table.
                bool read = false;
                for (int col = SignalTable::gridCol(topLeft); col <= SignalTable::gridCol(bottomRight); ++col)
                    read = read || readsColumn(col);
                tableChanged(read);
            });
    connect(&m_table, &SignalTable::keysChosen, this, &SuggestPanel::remember);
}

SuggestPanel::~SuggestPanel() = default;

void SuggestPanel::setMemoryFile(const QString &fileName)
{
    m_memory = KeyMemoryFile(fileName);
    m_saidMemoryFault = false;
    tableChanged(true);
}

void SuggestPanel::setDictionary(const SuggestDictionary &dictionary)
{
    m_matcher.reset(); // it points into the dictionary it was made with
    m_dictionary = std::make_unique<SuggestDictionary>(dictionary);
    tableChanged(true);
}

void SuggestPanel::open()
{
    show();
    raise();
    refresh();
    QTreeWidgetItem *current = m_list->currentItem();
    if (!current && m_list->topLevelItemCount() > 0)
        current = m_list->topLevelItem(0);
    if (current && !current->parent() && current->childCount() > 0)
        current = current->child(0);
    if (current) {
        m_list->setCurrentItem(current);
        currentMoved(current); // the table shows it even when it was current already
    }
    m_list->setFocus();
}

void SuggestPanel::tableChanged(bool textsChanged)
{
    m_textsStale = m_textsStale || textsChanged;
    m_listStale = true;
    // After the change is done: a step of many keys changes many cells.
    if (isVisible())
        m_refreshTimer.start();
}

void SuggestPanel::refresh()
{
    m_refreshTimer.stop();
    if (m_textsStale)
        compute();
    if (m_listStale)
        fillList();
}

const SuggestDictionary &SuggestPanel::dictionary()
{
    if (!m_dictionary) {
        QStringList warnings;
        m_dictionary = std::make_unique<SuggestDictionary>(SuggestDictionary::standard(KeyListPlaces::standard(),
                                                                                       warnings));
        if (!warnings.isEmpty())
            emit message(warnings.join(u' '));
    }
    return *m_dictionary;
}

std::vector<KeyTarget> SuggestPanel::keys() const
{
    QStringList items;
    const QComboBox *list = m_editors.keyEditor();
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return keyTargets(items);
}

std::vector<KeySuggestion> SuggestPanel::rowSuggestions(int row)
{
    // A matcher of this one signal: a score depends on the signal and the key alone.
    const std::vector<SignalText> texts{signalText(m_table.grid(), row)};
    if (texts.front().name.isEmpty())
        return {};
    return KeyMatcher(dictionary(), keys(), texts).suggest(m_memory.memory());
}

void SuggestPanel::compute()
{
    const SuggestDictionary &words = dictionary();
    m_matcher.reset();
    m_texts = signalTexts(m_table.grid());
    m_matcher = std::make_unique<KeyMatcher>(words, keys(), m_texts);
    m_suggestions = m_matcher->suggest(m_memory.memory());
    m_textsStale = false;
    m_listStale = true;
}

void SuggestPanel::fillList()
{
    const TableData &grid = m_table.grid();
    // Where the user was, so that the line after an accepted key becomes current.
    const QTreeWidgetItem *current = m_list->currentItem();
    const QTreeWidgetItem *currentKey = current && current->parent() ? current->parent() : current;
    const QString wasKey = currentKey ? currentKey->data(KeyOrNumber, keyRole).toString() : QString();
    std::size_t wasIndex = m_suggestions.size();

    const QSignalBlocker blocker(m_list);
    m_list->clear();
    QList<QTreeWidgetItem *> lines;
    int open = 0;
    int confident = 0;
    QTreeWidgetItem *next = nullptr;
    for (std::size_t i = 0; i < m_suggestions.size(); ++i) {
        const KeySuggestion &suggestion = m_suggestions[i];
        if (suggestion.key == wasKey)
            wasIndex = i;
        const QList<int> holders = grid.keyIndex().rows(suggestion.key);
        if (holders.isEmpty()) {
            ++open;
            confident += !suggestion.candidates.empty()
                         && suggestion.candidates.front().score >= KeyMatcher::confidentScore;
        }
        if (!holders.isEmpty() && !m_allKeys->isChecked())
            continue;
        auto *line = new QTreeWidgetItem;
        QString heading = suggestion.description.isEmpty()
                                  ? suggestion.key
                                  : QStringLiteral("%1 - %2").arg(suggestion.key, suggestion.description);
        if (!holders.isEmpty())
            heading += QStringLiteral("  (held by # %1)").arg(grid.text(holders.front(), Col::Number));
        else if (suggestion.candidates.empty())
            heading += QStringLiteral("  (no fitting signal)");
        line->setText(KeyOrNumber, heading);
        line->setData(KeyOrNumber, keyRole, suggestion.key);
        QFont bold = line->font(KeyOrNumber);
        bold.setBold(true);
        line->setFont(KeyOrNumber, bold);
        for (const Candidate &candidate : suggestion.candidates) {
            auto *row = new QTreeWidgetItem(line);
            row->setText(KeyOrNumber, grid.text(candidate.row, Col::Number));
            row->setText(Name, grid.text(candidate.row, Col::Name));
            row->setText(Message, messageOf(candidate.row));
            row->setText(Score, QString::number(candidate.score));
            row->setTextAlignment(Score, Qt::AlignRight | Qt::AlignVCenter);
            const QString held = grid.text(candidate.row, Col::Key);
            row->setText(Reasons, held.isEmpty() || held == suggestion.key
                                          ? candidate.reasons
                                          : QStringLiteral("%1 (holds %2)").arg(candidate.reasons, held));
            row->setToolTip(Reasons, row->text(Reasons));
            row->setData(KeyOrNumber, rowRole, candidate.row);
            row->setData(KeyOrNumber, keyRole, suggestion.key);
            if (candidate.score < KeyMatcher::confidentScore)
                row->setForeground(Score, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        if (!next && wasIndex < m_suggestions.size() && i >= wasIndex)
            next = line;
        lines.append(line);
    }
    m_list->addTopLevelItems(lines);
    for (QTreeWidgetItem *line : std::as_const(lines)) {
        line->setFirstColumnSpanned(true);
        line->setExpanded(true);
    }
    if (!next && !lines.isEmpty() && !wasKey.isEmpty())
        next = lines.back();
    if (next)
        m_list->setCurrentItem(next->childCount() > 0 ? next->child(0) : next);
    if (!lines.isEmpty()) {
        for (int column = KeyOrNumber; column < Reasons; ++column)
            m_list->resizeColumnToContents(column);
        // The "#" of a candidate; the key lines span the columns and ask no width.
        m_list->setColumnWidth(KeyOrNumber, m_list->fontMetrics().horizontalAdvance(QStringLiteral("0000000"))
                                                    + m_list->indentation());
    }
    m_summary->setText(QStringLiteral("%1 keys no row holds, %2 with a confident candidate").arg(open).arg(confident));
    m_acceptAll->setEnabled(confident > 0);
    m_listStale = false;
}

QString SuggestPanel::messageOf(int row) const
{
    const auto found = std::lower_bound(m_texts.begin(), m_texts.end(), row,
                                        [](const SignalText &text, int r) { return text.row < r; });
    return found != m_texts.end() && found->row == row ? found->messageName : QString();
}

void SuggestPanel::currentMoved(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const QTreeWidgetItem *candidate = item->parent() ? item : (item->childCount() > 0 ? item->child(0) : nullptr);
    if (candidate)
        emit showRow(candidate->data(KeyOrNumber, rowRole).toInt());
}

void SuggestPanel::acceptCurrent()
{
    refresh();
    QTreeWidgetItem *item = m_list->currentItem();
    if (item && !item->parent())
        item = item->childCount() > 0 ? item->child(0) : nullptr;
    if (!item)
        return;
    const int row = item->data(KeyOrNumber, rowRole).toInt();
    const QString key = item->data(KeyOrNumber, keyRole).toString();
    if (row < m_table.grid().fixedRows() || row >= m_table.grid().rows())
        return;
    // As the key list gives a key: a pending text edit first, and no editor left over
    // the row showing the key it held.
    m_editors.writeBack();
    m_editors.hideEditors();
    const QString said = takeMemoryFault([&] { m_table.chooseKey(row, key); });
    emit message(QStringLiteral("%1 given to row %2 (%3).%4")
                         .arg(key, m_table.grid().text(row, Col::Number), m_table.grid().text(row, Col::Name), said));
    refresh();
    // The next key's candidate is current now: the table shows it, ready for Enter.
    currentMoved(m_list->currentItem());
}

int SuggestPanel::acceptAllConfident()
{
    refresh();
    std::vector<std::pair<int, QString>> keys;
    for (const KeyAssignment &assignment : confidentAssignments(m_suggestions, m_table.grid()))
        keys.emplace_back(assignment.row, assignment.key);
    QString said;
    const int given = giveKeys(keys, QStringLiteral("%1 confident keys").arg(keys.size()), said);
    emit message((given == 0 ? QStringLiteral("No key without a row has a confident candidate.")
                             : QStringLiteral("%1 keys given to their confident candidates; Undo takes them all back.")
                                       .arg(given))
                 + said);
    refresh();
    return given;
}

int SuggestPanel::giveKeys(const std::vector<std::pair<int, QString>> &keys, const QString &description,
                           QString &memoryFault)
{
    m_editors.writeBack();
    m_editors.hideEditors();
    int given = 0;
    memoryFault = takeMemoryFault([&] { given = m_table.chooseKeys(keys, description); });
    return given;
}

void SuggestPanel::remember(const QList<int> &rows)
{
    const QString error = m_memory.remember(m_table.grid(), rows);
    if (error.isEmpty()) {
        m_saidMemoryFault = false;
        return;
    }
    // Said once; the choices stay remembered for this run and the file is tried again.
    if (std::exchange(m_saidMemoryFault, true))
        return;
    const QString fault = QStringLiteral("%1 The keys chosen are remembered until Tessaly closes.").arg(error);
    if (m_pendingFault)
        *m_pendingFault = u' ' + fault;
    else
        emit message(fault);
}

QString SuggestPanel::takeMemoryFault(const std::function<void()> &choose)
{
    QString fault;
    m_pendingFault = &fault;
    choose();
    m_pendingFault = nullptr;
    return fault;
}

bool SuggestPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            acceptCurrent();
            return true;
        }
        if (key == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void SuggestPanel::closeEvent(QCloseEvent *event)
{
    QDockWidget::closeEvent(event);
    emit closed();
}
