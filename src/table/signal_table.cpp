#include "signal_table.h"

#include "keys/key_marking.h"

#include <QColor>

#include <utility>

SignalTable::SignalTable(QObject *parent)
    : QAbstractTableModel(parent), m_grid(TableData::standard())
{
}

void SignalTable::replace(TableData grid)
{
    beginResetModel();
    m_grid = std::move(grid);
    endResetModel();
}

void SignalTable::reset()
{
    replace(TableData::standard());
    setUnsavedChanges(false);
    m_currentFile.clear();
}

void SignalTable::applyUpdate(TableData grid, const QString &fileName)
{
    replace(std::move(grid));
    m_currentFile = fileName;
    setUnsavedChanges(true);
}

void SignalTable::editText(int row, int col, const QString &text)
{
    if (m_grid.cell(row, col) == text)
        return;
    m_grid.setText(row, col, text);
    if (col != Col::Key)
        m_grid.setHandMade(row, quint16(m_grid.handMade(row) | (1u << col)));
    setUnsavedChanges(true);
    cellChanged(row, col);
}

void SignalTable::chooseKey(int row, const QString &key)
{
    const QString oldKey = m_grid.text(row, Col::Key);
    editText(row, Col::Key, key);
    if (m_grid.colour(row, Col::Key) != CellColour::KeyCell) {
        m_grid.setColour(row, Col::Key, CellColour::KeyCell);
        cellChanged(row, Col::Key);
    }
    for (const QString &k : {oldKey, key}) {
        for (const int changed : MarkDuplicateKeys(m_grid, k))
            cellChanged(changed, Col::Key);
    }
}

void SignalTable::setUnsavedChanges(bool unsaved)
{
    if (std::exchange(m_unsavedChanges, unsaved) != unsaved)
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
    if (role == Qt::ToolTipRole && mark != RowMark::None)
        return m_grid.rowNote(row);
    if (role == Qt::DecorationRole && mark != RowMark::None)
        return mark == RowMark::Added ? m_addedIcon : m_changedIcon;
    if (role == Qt::DecorationRole && m_grid.rowIcon(row))
        return m_rowIcon;
    return {};
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
