#include "find_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <iterator>

namespace {

// A pause this long ends a burst of typing; a single key press is found at once.
constexpr int typingPauseMs = 12;

} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("findBar"));
    auto *lines = new QVBoxLayout(this);
    lines->setContentsMargins(4, 2, 4, 2);
    lines->setSpacing(2);
    // The bar never makes the window wider than the screen (a high-DPI one holds few
    // logical pixels): on a narrow window its switches go onto a second line.
    lines->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    m_line = new QHBoxLayout;
    m_wrapLine = new QHBoxLayout;
    lines->addLayout(m_line);
    lines->addLayout(m_wrapLine);
    QHBoxLayout *layout = m_line;

    auto *label = new QLabel(QStringLiteral("Fi&nd:"), this);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setClearButtonEnabled(true);
    txtFind->setPlaceholderText(QStringLiteral("part of a name, an ID, a key..."));
    txtFind->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    txtFind->installEventFilter(this);
    label->setBuddy(txtFind);

    cmbColumn = new QComboBox(this);
    cmbColumn->setObjectName(QStringLiteral("cmbFindColumn"));
    cmbColumn->addItem(QStringLiteral("All columns"), FindCriteria::allColumns);
    const std::pair<const char *, int> columns[] = {{"Name", Col::Name},
                                                    {"CAN ID", Col::CanId},
                                                    {"Unit", Col::Unit},
                                                    {"Description", Col::Description},
                                                    {"Key", Col::Key},
                                                    {"Message", FindCriteria::messageColumn},
                                                    {"Comment", FindCriteria::commentColumn}};
    for (const auto &[name, col] : columns)
        cmbColumn->addItem(QString::fromLatin1(name), col);
    lblMatches = new QLabel(this);
    lblMatches->setObjectName(QStringLiteral("lblMatches"));
    lblMatches->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000 of 00000")));

    chkCase = new QCheckBox(QStringLiteral("Match &case"), this);
    chkCase->setObjectName(QStringLiteral("chkMatchCase"));
    chkOnly = new QCheckBox(QStringLiteral("Show only &matching rows"), this);
    chkOnly->setObjectName(QStringLiteral("chkOnlyMatching"));
    chkWithoutKey = new QCheckBox(QStringLiteral("rows &without a key"), this);
    chkWithoutKey->setObjectName(QStringLiteral("chkWithoutKey"));
    chkShared = new QCheckBox(QStringLiteral("rows whose key is s&hared"), this);
    chkShared->setObjectName(QStringLiteral("chkSharedKey"));
    chkAdded = new QCheckBox(QStringLiteral("rows a&dded"), this);
    chkAdded->setObjectName(QStringLiteral("chkAddedByUpdate"));
    chkAdded->setToolTip(QStringLiteral("Rows the last update from a DBC or XML file added"));
    chkChanged = new QCheckBox(QStringLiteral("rows chan&ged"), this);
    chkChanged->setObjectName(QStringLiteral("chkChangedByUpdate"));
    chkChanged->setToolTip(QStringLiteral("Rows the last update from a DBC or XML file changed or moved"));
    for (QCheckBox *box : {chkWithoutKey, chkShared, chkAdded, chkChanged})
        box->setEnabled(false);

    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("btnCloseFind"));
    close->setText(QStringLiteral("\u00d7"));
    close->setToolTip(QStringLiteral("Close the find bar (Esc)"));
    close->setAutoRaise(true);

    layout->addWidget(label);
    layout->addWidget(txtFind, 1);
    layout->addWidget(lblMatches);
    layout->addWidget(cmbColumn);
    layout->addWidget(chkCase);
    layout->addSpacing(fontMetrics().averageCharWidth() * 2);
    layout->addWidget(chkOnly);
    layout->addWidget(chkWithoutKey);
    layout->addWidget(chkShared);
    layout->addWidget(chkAdded);
    layout->addWidget(chkChanged);
    layout->addStretch();
    layout->addWidget(close);
    m_wrapLine->addStretch();
    m_oneLineWidth = lines->sizeHint().width();

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(typingPauseMs);
    connect(m_typing, &QTimer::timeout, this, [this] { emit criteriaChanged(true); });
    connect(txtFind, &QLineEdit::textEdited, m_typing, qOverload<>(&QTimer::start));
    // The clear button changes the text without an edit.
    connect(txtFind, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            m_typing->start();
    });
    const auto changed = [this] {
        m_typing->stop();
        emit criteriaChanged(false);
    };
    connect(cmbColumn, &QComboBox::currentIndexChanged, this, changed);
    connect(chkCase, &QCheckBox::toggled, this, changed);
    // A filter that hides rows stands out, also when the bar is opened again later.
    const auto markFilters = [this] {
        for (QCheckBox *box : {chkOnly, chkWithoutKey, chkShared, chkAdded, chkChanged}) {
            QFont font = box->font();
            font.setBold(chkOnly->isChecked() && box->isChecked());
            box->setFont(font);
        }
    };
    connect(chkOnly, &QCheckBox::toggled, this, [this, changed, markFilters](bool on) {
        for (QCheckBox *box : {chkWithoutKey, chkShared, chkAdded, chkChanged})
            box->setEnabled(on);
        markFilters();
        changed();
    });
    for (QCheckBox *box : {chkWithoutKey, chkShared, chkAdded, chkChanged}) {
        connect(box, &QCheckBox::toggled, this, markFilters);
        connect(box, &QCheckBox::toggled, this, changed);
    }
    connect(close, &QToolButton::clicked, this, &FindBar::closeWanted);
    // Escape closes the bar from any of its controls, as from the field.
    for (QWidget *control : {static_cast<QWidget *>(cmbColumn), static_cast<QWidget *>(chkCase),
                             static_cast<QWidget *>(chkOnly), static_cast<QWidget *>(chkWithoutKey),
                             static_cast<QWidget *>(chkShared), static_cast<QWidget *>(chkAdded),
                             static_cast<QWidget *>(chkChanged), static_cast<QWidget *>(close)})
        control->installEventFilter(this);
}

FindCriteria FindBar::criteria() const
{
    FindCriteria criteria;
    criteria.text = txtFind->text();
    criteria.column = cmbColumn->currentData().toInt();
    criteria.caseSensitivity = chkCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    criteria.onlyMatching = chkOnly->isChecked();
    criteria.withoutKey = chkWithoutKey->isChecked();
    criteria.sharedKey = chkShared->isChecked();
    criteria.addedByUpdate = chkAdded->isChecked();
    criteria.changedByUpdate = chkChanged->isChecked();
    return criteria;
}

void FindBar::setOptions(const FindCriteria &options)
{
    const int column = cmbColumn->findData(options.column);
    cmbColumn->setCurrentIndex(column >= 0 ? column : 0);
    chkCase->setChecked(options.caseSensitivity == Qt::CaseSensitive);
    chkOnly->setChecked(options.onlyMatching);
    chkWithoutKey->setChecked(options.withoutKey);
    chkShared->setChecked(options.sharedKey);
    chkAdded->setChecked(options.addedByUpdate);
    chkChanged->setChecked(options.changedByUpdate);
}

void FindBar::setMatchText(const QString &text)
{
    lblMatches->setText(text);
}

void FindBar::showAllRows()
{
    chkOnly->setChecked(false);
}

void FindBar::focusField()
{
    txtFind->setFocus(Qt::ShortcutFocusReason);
    txtFind->selectAll();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<const QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        emit closeWanted();
        return true;
    }
    if (watched == txtFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter right after typing finds what was typed; only then it moves on.
            if (m_typing->isActive()) {
                m_typing->stop();
                emit criteriaChanged(true);
            } else if (key->modifiers() & Qt::ShiftModifier)
                emit previousWanted();
            else
                emit nextWanted();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool wrap = width() < m_oneLineWidth;
    if (wrap == m_wrapped)
        return;
    m_wrapped = wrap;
    QWidget *const switches[] = {chkOnly, chkWithoutKey, chkShared, chkAdded, chkChanged};
    // On one line they follow "Match case" and the room after it.
    const int at = wrap ? 0 : m_line->indexOf(chkCase) + 2;
    for (int i = 0; i < int(std::size(switches)); ++i) {
        (wrap ? m_line : m_wrapLine)->removeWidget(switches[i]);
        (wrap ? m_wrapLine : m_line)->insertWidget(at + i, switches[i]);
    }
}
