#include "signal_table.h"

#include "import/signal_details.h"
#include "keys/key_marking.h"
#include "table/table_status.h"

#include <QColor>
#include <QFileInfo>
#include <QSet>
#include <QUndoCommand>

#include <algorithm>
#include <utility>

// A step of the history that knows about the memory it holds, and can hand what it
// holds to a new step of its own kind when the history is built again without its
// oldest steps. While the history is built again, doing and undoing change nothing.
class SignalTable::Step : public QUndoCommand
{
public:
    Step(SignalTable &table, const QString &text, bool done) : QUndoCommand(text), m_table(table), m_done(done) {}
    ~Step() override { m_table.m_historyBytes -= m_bytes; }

    void redo() final
    {
        if (m_table.m_replaying)
            return;
        apply(false);
        if (std::exchange(m_done, true))
            m_table.m_stepCell = changedCell();
        count();
    }
    void undo() final
    {
        if (m_table.m_replaying)
            return;
        apply(true);
        m_table.m_stepCell = changedCell();
        count();
    }

    qsizetype bytes() const { return m_bytes; }
    // A step that holds what this one held; this one holds nothing any more.
    virtual Step *takeOver() = 0;

protected:
    virtual void apply(bool undo) = 0;
    virtual std::pair<int, int> changedCell() const = 0;
    virtual qsizetype heldBytes() const = 0;
    // Brings the history's total up to date with what the step holds now.
    void count()
    {
        const qsizetype now = heldBytes() + text().capacity() * 2;
        m_table.m_historyBytes += now - m_bytes;
        m_bytes = now;
    }
    void handOver(Step &to)
    {
        to.m_bytes = std::exchange(m_bytes, 0);
    }

    SignalTable &m_table;

private:
    qsizetype m_bytes = 0;
    bool m_done;
};

// Cells written by the user, texts and keys with the marks each key changed: one, or
// several at once (a paste, keys accepted together). They are written in turn and
// taken back in the reverse order, so each key's marks go back to what they were
// before it.
class SignalTable::CellStep : public Step
{
public:
    struct Change
    {
        int row;
        int col;
        QString before;
        QString after;
        std::vector<KeyMark> marks;
        quint16 handMadeBefore;
        bool isKey;
    };

    CellStep(SignalTable &table, int row, int col, const QString &text, bool isKey)
        : Step(table, description(table, row, col, text, isKey), false)
    {
        m_changes.push_back(change(table, row, col, text, isKey));
    }
    CellStep(SignalTable &table, const std::vector<CellWrite> &writes, const QString &text)
        : Step(table, text, false)
    {
        m_changes.reserve(writes.size());
        for (const CellWrite &w : writes)
            m_changes.push_back(change(table, w.row, w.col, w.text, w.col == Col::Key));
    }
    CellStep(SignalTable &table, const QString &text, std::vector<Change> &&changes)
        : Step(table, text, true), m_changes(std::move(changes))
    {
    }

    Step *takeOver() override
    {
        auto *step = new CellStep(m_table, text(), std::move(m_changes));
        handOver(*step);
        return step;
    }

protected:
    void apply(bool undo) override
    {
        if (undo) {
            for (auto c = m_changes.rbegin(); c != m_changes.rend(); ++c) {
                m_table.restore(c->row, c->col, c->before, c->marks);
                m_table.m_grid.setHandMade(c->row, c->handMadeBefore);
            }
            return;
        }
        for (Change &c : m_changes) {
            if (c.isKey) {
                c.marks = m_table.writeKey(c.row, c.after);
            } else {
                // A typed cell is the user's own: an update from a newer file keeps it.
                m_table.m_grid.setText(c.row, c.col, c.after);
                m_table.m_grid.setHandMade(c.row, quint16(c.handMadeBefore | (1u << c.col)));
                m_table.cellChanged(c.row, c.col);
            }
        }
    }
    std::pair<int, int> changedCell() const override { return {m_changes.front().row, m_changes.front().col}; }
    qsizetype heldBytes() const override
    {
        qsizetype bytes = qsizetype(sizeof(CellStep) + m_changes.capacity() * sizeof(Change));
        for (const Change &c : m_changes)
            bytes += (c.before.capacity() + c.after.capacity()) * 2 + qsizetype(c.marks.capacity() * sizeof(KeyMark));
        return bytes;
    }

private:
    static Change change(const SignalTable &table, int row, int col, const QString &text, bool isKey)
    {
        return {row, col, table.m_grid.text(row, col), text, {}, table.m_grid.handMade(row), isKey};
    }
    static QString description(const SignalTable &table, int row, int col, const QString &text, bool isKey)
    {
        // The row as the user finds it: by its "#" number where it has one.
        const QString number = table.m_grid.text(row, Col::Number);
        const QString name = number.isEmpty() ? QString::number(row) : number;
        if (!isKey)
            return QStringLiteral("text in row %1, %2").arg(name).arg(headingLiteral.split(u';')[col].toString());
        if (text.isEmpty())
            return QStringLiteral("key cleared in row %1").arg(name);
        return QStringLiteral("key %1 in row %2").arg(text, name);
    }

    std::vector<Change> m_changes;
};

// A whole table swapped for another; the step holds the one not shown.
class SignalTable::TableStep : public Step
{
public:
    TableStep(SignalTable &table, TableData grid, const QString &description, const QString &fileName,
              bool done = false)
        : Step(table, description, done), m_other(std::move(grid)), m_otherFile(fileName)
    {
    }

    Step *takeOver() override
    {
        auto *step = new TableStep(m_table, std::move(m_other), text(), std::move(m_otherFile), true);
        handOver(*step);
        return step;
    }

protected:
    void apply(bool) override
    {
        std::swap(m_table.m_currentFile, m_otherFile);
        m_table.swapGrid(m_other);
    }
    std::pair<int, int> changedCell() const override { return {-1, -1}; }
    qsizetype heldBytes() const override { return qsizetype(sizeof(TableStep)) + m_other.memoryBytes(); }

private:
    TableData m_other;
    QString m_otherFile;
};

SignalTable::SignalTable(QObject *parent)
    : QAbstractTableModel(parent), m_grid(TableData::standard())
{
    connect(&m_history, &QUndoStack::indexChanged, this, &SignalTable::historyMoved);
    connect(&m_history, &QUndoStack::cleanChanged, this, &SignalTable::updateUnsaved);
}

void SignalTable::replace(TableData grid)
{
    beginResetModel();
    m_grid = std::move(grid);
    endResetModel();
    const bool unsaved = m_unsavedChanges;
    m_holdUnsaved = true;
    m_history.clear();
    if (unsaved)
        m_history.resetClean();
    m_holdUnsaved = false;
    updateUnsaved();
    setOlderStepsDropped(false);
}

void SignalTable::reset()
{
    replace(TableData::standard());
    setUnsavedChanges(false);
    m_currentFile.clear();
}

void SignalTable::applyUpdate(TableData grid, const QString &fileName)
{
    push(new TableStep(*this, std::move(grid), QStringLiteral("update from %1").arg(QFileInfo(fileName).fileName()),
                       fileName));
}

void SignalTable::editText(int row, int col, const QString &text)
{
    if (!m_grid.sameText(row, col, text))
        push(new CellStep(*this, row, col, text, false));
}

void SignalTable::chooseKey(int row, const QString &key)
{
    if (!m_grid.sameText(row, Col::Key, key))
        push(new CellStep(*this, row, Col::Key, key, true));
    else
        writeKey(row, key); // no change to take back, but the marks are brought up to date
    emit keysChosen({row});
}

int SignalTable::chooseKeys(const std::vector<std::pair<int, QString>> &keys, const QString &description)
{
    std::vector<CellWrite> changes;
    QList<int> rows;
    QSet<int> seen;
    for (const auto &[row, key] : keys) {
        // A row given twice would take back to the text between its two keys.
        if (row < m_grid.fixedRows() || row >= m_grid.rows() || seen.contains(row))
            continue;
        seen.insert(row);
        rows.append(row);
        if (!m_grid.sameText(row, Col::Key, key))
            changes.push_back({row, Col::Key, key});
    }
    if (!changes.empty())
        push(new CellStep(*this, changes, description));
    if (!rows.isEmpty())
        emit keysChosen(rows);
    return int(changes.size());
}

void SignalTable::editCells(const std::vector<CellWrite> &writes, const QString &description)
{
    std::vector<CellWrite> changes;
    QList<int> keyRows;
    for (const CellWrite &write : writes) {
        if (m_grid.sameText(write.row, write.col, write.text))
            continue;
        changes.push_back(write);
        if (write.col == Col::Key)
            keyRows.append(write.row);
    }
    if (!changes.empty())
        push(new CellStep(*this, changes, description));
    if (!keyRows.isEmpty())
        emit keysChosen(keyRows);
}

void SignalTable::replaceUndoable(TableData grid, const QString &description)
{
    push(new TableStep(*this, std::move(grid), description, m_currentFile));
}

void SignalTable::setHistoryLimit(qsizetype bytes)
{
    m_historyLimit = bytes;
    trimHistory();
}

void SignalTable::push(Step *step)
{
    m_history.push(step);
    trimHistory();
}

// QUndoStack cannot take its oldest steps away, so the history is built again from
// the steps that stay, each handing what it holds to a new one, with the same index
// and the same saved step where that one stays.
void SignalTable::trimHistory()
{
    const int count = m_history.count();
    if (m_historyBytes <= m_historyLimit || count < 2)
        return;
    // Only steps before the table as it stands can go, and never the one just done.
    const int index = m_history.index();
    const int droppable = std::min(index, count - 1);
    qsizetype bytes = m_historyBytes;
    int dropped = 0;
    while (dropped < droppable && bytes > m_historyLimit) {
        bytes -= static_cast<const Step *>(m_history.command(dropped))->bytes();
        ++dropped;
    }
    if (dropped == 0)
        return;
    const int clean = m_history.cleanIndex();
    std::vector<Step *> kept;
    for (int i = dropped; i < count; ++i) // the stack's own steps, about to be deleted
        kept.push_back(const_cast<Step *>(static_cast<const Step *>(m_history.command(i)))->takeOver());
    m_replaying = true;
    m_holdUnsaved = true;
    m_history.clear();
    for (Step *step : kept)
        m_history.push(step);
    if (clean >= dropped) {
        m_history.setIndex(clean - dropped);
        m_history.setClean();
    } else {
        m_history.resetClean(); // the saved state is out of reach now
    }
    m_history.setIndex(index - dropped);
    m_replaying = false;
    m_holdUnsaved = false;
    updateUnsaved();
    setOlderStepsDropped(true);
}

void SignalTable::setOlderStepsDropped(bool dropped)
{
    if (std::exchange(m_olderStepsDropped, dropped) != dropped)
        emit olderStepsDroppedChanged(dropped);
}

// Writes the key and marks the Key cells of the old and the new key's rows. Returns
// the Key cells whose colour changed, with the colour each had before.
std::vector<SignalTable::KeyMark> SignalTable::writeKey(int row, const QString &key)
{
    const QString oldKey = m_grid.text(row, Col::Key);
    // The rows of both keys are the same before and after the row moves between them.
    QList<int> rows = m_grid.keyIndex().rows(oldKey) + m_grid.keyIndex().rows(key);
    rows.append(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<KeyMark> marks;
    marks.reserve(std::size_t(rows.size()));
    for (const int r : std::as_const(rows))
        marks.push_back({r, m_grid.colour(r, Col::Key)});

    m_grid.setText(row, Col::Key, key);
    m_grid.setColour(row, Col::Key, CellColour::KeyCell);
    MarkDuplicateKeys(m_grid, oldKey);
    MarkDuplicateKeys(m_grid, key);

    cellChanged(row, Col::Key);
    std::erase_if(marks, [this](const KeyMark &mark) { return m_grid.colour(mark.row, Col::Key) == mark.before; });
    for (const KeyMark &mark : marks) {
        if (mark.row != row)
            cellChanged(mark.row, Col::Key);
    }
    marks.shrink_to_fit();
    return marks;
}

void SignalTable::restore(int row, int col, const QString &text, const std::vector<KeyMark> &marks)
{
    m_grid.setText(row, col, text);
    cellChanged(row, col);
    for (const KeyMark &mark : marks) {
        m_grid.setColour(mark.row, Col::Key, mark.before);
        if (mark.row != row || col != Col::Key)
            cellChanged(mark.row, Col::Key);
    }
}

void SignalTable::swapGrid(TableData &grid)
{
    beginResetModel();
    std::swap(m_grid, grid);
    endResetModel();
}

void SignalTable::setUnsavedChanges(bool unsaved)
{
    if (unsaved)
        m_history.resetClean();
    else
        m_history.setClean();
    updateUnsaved();
}

void SignalTable::historyMoved()
{
    updateUnsaved();
    if (const auto cell = std::exchange(m_stepCell, std::nullopt))
        emit undoneOrRedone(cell->first, cell->second);
}

void SignalTable::updateUnsaved()
{
    const bool unsaved = !m_history.isClean();
    if (!m_holdUnsaved && std::exchange(m_unsavedChanges, unsaved) != unsaved)
        emit unsavedChangesChanged(unsaved);
}

void SignalTable::cellChanged(int row, int col)
{
    if (row < m_grid.fixedRows()) {
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
        return;
    }
    if (col == Col::Number) {
        emit headerDataChanged(Qt::Vertical, row - m_grid.fixedRows(), row - m_grid.fixedRows());
        return;
    }
    const QModelIndex index = modelIndex(row, col);
    emit dataChanged(index, index);
}

QModelIndex SignalTable::modelIndex(int row, int col) const
{
    return index(row - m_grid.fixedRows(), col - 1);
}

int SignalTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_grid.rows() - m_grid.fixedRows();
}

int SignalTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : TableData::cols() - 1;
}

namespace {

QVariant background(CellColour colour)
{
    switch (colour) {
    case CellColour::KeyCell:
        return QColor(QRgb(keyCellRgb));
    case CellColour::DuplicateKey:
        return QColor(QRgb(duplicateKeyRgb));
    case CellColour::Default:
        break;
    }
    return {};
}

} // namespace

QVariant SignalTable::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = gridRow(index);
    const int col = gridCol(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_grid.text(row, col);
    case Qt::BackgroundRole:
        return background(m_grid.colour(row, col));
    case Qt::ForegroundRole:
        // A cell the data-acquisition application cannot read stands out; its tooltip says why.
        return cellFormProblem(m_grid, row, col).isEmpty() ? QVariant() : QVariant(QColor(QRgb(formProblemRgb)));
    case Qt::ToolTipRole:
        if (const QString problem = cellFormProblem(m_grid, row, col); !problem.isEmpty())
            return problem;
        // A shared key is told by its rows as well as by its colour.
        if (const QString shared = col == Col::Key ? sharedKeyText(m_grid, row) : QString(); !shared.isEmpty())
            return shared;
        // The Name and CAN ID cells name what the DBC file says about their signal.
        if (col == Col::Name || col == Col::CanId) {
            const QString tip = detailsToolTip(m_grid, row, col);
            if (!tip.isEmpty())
                return tip;
        }
        return {};
    default:
        return {};
    }
}

QVariant SignalTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole && m_grid.fixedRows() > 0)
            return m_grid.text(0, section + 1);
        return {};
    }
    const int row = section + m_grid.fixedRows();
    if (section < 0 || row >= m_grid.rows())
        return {};
    if (role == Qt::DisplayRole)
        return m_grid.text(row, Col::Number);
    const RowMark mark = m_grid.rowMark(row);
    if (role == Qt::ToolTipRole)
        return rowToolTip(row);
    if (role == Qt::DecorationRole && mark != RowMark::None)
        return mark == RowMark::Added ? m_addedIcon : m_changedIcon;
    if (role == Qt::DecorationRole && m_grid.rowIcon(row))
        return m_rowIcon;
    return {};
}

// The note of an update's mark, and whether the signal is a floating-point number,
// which no column of the channel list tells.
QVariant SignalTable::rowToolTip(int row) const
{
    QStringList lines;
    if (m_grid.rowMark(row) != RowMark::None)
        lines.append(m_grid.rowNote(row));
    if (isFloatRow(m_grid, row))
        lines.append(QStringLiteral("IEEE floating point: the channel list has no column for it"));
    return lines.isEmpty() ? QVariant() : QVariant(lines.join(u'\n'));
}

Qt::ItemFlags SignalTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool SignalTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    editText(gridRow(index), gridCol(index), value.toString());
    return true;
}
