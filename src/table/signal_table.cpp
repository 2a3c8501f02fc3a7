#include "signal_table.h"

#include "import/signal_details.h"
#include "keys/key_marking.h"

#include <QColor>
#include <QFileInfo>
#include <QUndoCommand>

#include <algorithm>
#include <utility>

// One cell written by the user: a text, or a key with the marks it changed.
class SignalTable::CellStep : public QUndoCommand
{
public:
    CellStep(SignalTable &table, int row, int col, const QString &text, bool isKey)
        : m_table(table), m_row(row), m_col(col), m_before(table.m_grid.text(row, col)), m_after(text),
          m_handMadeBefore(table.m_grid.handMade(row)), m_isKey(isKey)
    {
        // The row as the user finds it: by its "#" number where it has one.
        const QStringView number = table.m_grid.cell(row, Col::Number);
        const QString name = number.isEmpty() ? QString::number(row) : number.toString();
        if (!isKey)
            setText(QStringLiteral("text in row %1, %2").arg(name).arg(headingLiteral.split(u';')[col].toString()));
        else if (text.isEmpty())
            setText(QStringLiteral("key cleared in row %1").arg(name));
        else
            setText(QStringLiteral("key %1 in row %2").arg(text, name));
    }

    void redo() override
    {
        if (m_isKey) {
            m_marks = m_table.writeKey(m_row, m_after);
        } else {
            // A typed cell is the user's own: an update from a newer file keeps it.
            m_table.m_grid.setText(m_row, m_col, m_after);
            m_table.m_grid.setHandMade(m_row, quint16(m_handMadeBefore | (1u << m_col)));
            m_table.cellChanged(m_row, m_col);
        }
        if (std::exchange(m_done, true))
            m_table.m_stepCell = {m_row, m_col};
    }

    void undo() override
    {
        m_table.restore(m_row, m_col, m_before, m_marks);
        m_table.m_grid.setHandMade(m_row, m_handMadeBefore);
        m_table.m_stepCell = {m_row, m_col};
    }

private:
    SignalTable &m_table;
    int m_row;
    int m_col;
    QString m_before;
    QString m_after;
    std::vector<KeyMark> m_marks;
    quint16 m_handMadeBefore;
    bool m_isKey;
    bool m_done = false;
};

// A whole table swapped for another; the step holds the one not shown.
class SignalTable::TableStep : public QUndoCommand
{
public:
    TableStep(SignalTable &table, TableData grid, const QString &description, const QString &fileName)
        : QUndoCommand(description), m_table(table), m_other(std::move(grid)), m_otherFile(fileName)
    {
    }

    void redo() override
    {
        swap();
        if (std::exchange(m_done, true))
            m_table.m_stepCell = {-1, -1};
    }

    void undo() override
    {
        swap();
        m_table.m_stepCell = {-1, -1};
    }

private:
    void swap()
    {
        std::swap(m_table.m_currentFile, m_otherFile);
        m_table.swapGrid(m_other);
    }

    SignalTable &m_table;
    TableData m_other;
    QString m_otherFile;
    bool m_done = false;
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
}

void SignalTable::reset()
{
    replace(TableData::standard());
    setUnsavedChanges(false);
    m_currentFile.clear();
}

void SignalTable::applyUpdate(TableData grid, const QString &fileName)
{
    m_history.push(new TableStep(*this, std::move(grid),
                                 QStringLiteral("update from %1").arg(QFileInfo(fileName).fileName()), fileName));
}

void SignalTable::editText(int row, int col, const QString &text)
{
    if (m_grid.cell(row, col) != text)
        m_history.push(new CellStep(*this, row, col, text, false));
}

void SignalTable::chooseKey(int row, const QString &key)
{
    if (m_grid.cell(row, Col::Key) != key)
        m_history.push(new CellStep(*this, row, Col::Key, key, true));
    else
        writeKey(row, key); // no change to take back, but the marks are brought up to date
}

void SignalTable::replaceUndoable(TableData grid, const QString &description)
{
    m_history.push(new TableStep(*this, std::move(grid), description, m_currentFile));
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
