#pragma once

#include "table/table_data.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>

// The signal table the window shows and edits, with its document state.
//
// The model presents the grid without its fixed parts: while the heading row is
// fixed it is the horizontal header, and column 0 ("#", with the row icon) is the
// vertical header. Model row i is grid row i + fixedRows(); model column j is grid
// column j + 1.
class SignalTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit SignalTable(QObject *parent = nullptr);

    const TableData &grid() const { return m_grid; }
    // Replaces the whole contents in one model reset.
    void replace(TableData grid);
    // The table part of a reset: standard headings, one empty row, no document.
    void reset();

    // Takes the table an update from a new revision of the imported file made (see
    // updateTable): replaces the contents in one model reset, names `fileName` as the
    // current file and makes the table unsaved. Every change an update makes to the
    // table goes through here.
    void applyUpdate(TableData grid, const QString &fileName);

    // Writes a cell as the user does: a changed text makes the table unsaved, and the
    // cell counts as typed by hand (except the Key, which is always carried).
    void editText(int row, int col, const QString &text);
    // The user's choice of a key for a signal row: writes it, gives the Key cell
    // the Key cell colour and brings the duplicate marks of the old and the new key
    // up to date.
    void chooseKey(int row, const QString &key);

    // True while the table holds work that has not been saved to a results CSV.
    bool unsavedChanges() const { return m_unsavedChanges; }
    void setUnsavedChanges(bool unsaved);
    // The file imported last, or the results CSV path proposed from it.
    QString currentFile() const { return m_currentFile; }
    void setCurrentFile(const QString &fileName) { m_currentFile = fileName; }

    // What the vertical header shows beside rows that carry the row icon.
    void setRowIconDecoration(const QVariant &decoration) { m_rowIcon = decoration; }
    // What it shows beside rows that the last update added or changed.
    void setRowMarkDecorations(const QVariant &added, const QVariant &changed)
    {
        m_addedIcon = added;
        m_changedIcon = changed;
    }

    static int colWidthTwips(int col) { return columnWidthTwips[std::size_t(col)]; }

    // Grid coordinates of a model index and back.
    int gridRow(const QModelIndex &index) const { return index.row() + m_grid.fixedRows(); }
    static int gridCol(const QModelIndex &index) { return index.column() + 1; }
    QModelIndex modelIndex(int row, int col) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // The table went from saved to unsaved or back.
    void unsavedChangesChanged(bool unsaved);

private:
    void cellChanged(int row, int col);

    TableData m_grid;
    bool m_unsavedChanges = false;
    QString m_currentFile;
    QVariant m_rowIcon;
    QVariant m_addedIcon;
    QVariant m_changedIcon;
};
