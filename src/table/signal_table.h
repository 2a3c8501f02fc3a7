#pragma once

#include "table/table_data.h"

#include <QAbstractTableModel>
#include <QString>
#include <QUndoStack>
#include <QVariant>

#include <optional>
#include <utility>
#include <vector>

// One cell the user writes in a change of several cells at once (a paste, say).
struct CellWrite
{
    int row = 0;
    int col = 0;
    QString text;
};

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
    // Replaces the whole contents in one model reset and starts a fresh history; the
    // unsaved state stays as it was (the import, load or New that calls this sets it).
    void replace(TableData grid);
    // The table part of a reset: standard headings, one empty row, no document.
    void reset();

    // Every change below is one step of history(), so Undo takes it back exactly:
    // the text, the Key cell colours and the duplicate marks over the whole table.
    // Consecutive changes are separate steps.

    // Writes a cell as the user does: a changed text makes the table unsaved, and the
    // cell counts as typed by hand (except the Key, which is always carried). The
    // step reads "text in row 5, Name".
    void editText(int row, int col, const QString &text);
    // The user's choice of a key for a signal row: writes it, gives the Key cell
    // the Key cell colour and brings the duplicate marks of the old and the new key
    // up to date. An empty key clears the key. The step reads "key ENSP in row 17"
    // or "key cleared in row 3".
    void chooseKey(int row, const QString &key);
    // Several such choices as one step whose text is `description` ("3 keys
    // accepted"): (row, key), each row once (a row given again is passed over). Rows
    // that hold their key already are left out; no step when none is left. Returns
    // how many keys it wrote.
    int chooseKeys(const std::vector<std::pair<int, QString>> &keys, const QString &description);
    // Writes several cells as one step whose text is `description`: texts as
    // editText() writes them, Key cells as chooseKey() does, in the given order. Cells
    // that already hold their text are passed over; nothing left, no step.
    void editCells(const std::vector<CellWrite> &writes, const QString &description);
    // Replaces the whole table as one step whose text is `description` (an update
    // from a newer file, say). Undo and redo swap the two tables in one model reset;
    // the step keeps the table it is not showing, so it costs a table's memory.
    void replaceUndoable(TableData grid, const QString &description);
    // Takes the table an update from a new revision of the imported file made (see
    // updateTable) as one such step, "update from car.dbc", that also names
    // `fileName` as the current file; undo brings back the old table and file.
    void applyUpdate(TableData grid, const QString &fileName);

    // The history of the changes above. The window builds its Undo and Redo actions
    // on it (QUndoStack::createUndoAction(parent, "Undo") gives "Undo key ENSP in
    // row 17"); replace() and reset() clear it.
    QUndoStack &history() { return m_history; }
    // The history keeps its steps within historyLimit() bytes (about: a step that
    // swapped a whole table counts that table's memory): a new step drops the oldest
    // ones while they are over it, though never the step just done.
    static constexpr qsizetype defaultHistoryLimit = 200 * 1024 * 1024;
    qsizetype historyLimit() const { return m_historyLimit; }
    void setHistoryLimit(qsizetype bytes);
    qsizetype historyBytes() const { return m_historyBytes; }
    // Whether steps were dropped since the history began.
    bool olderStepsDropped() const { return m_olderStepsDropped; }

    // True while the table holds work that has not been saved to a results CSV. It
    // follows the history: false marks the current step as the saved one, so undoing
    // or redoing back to it makes the table saved again; true (an import) makes it
    // unsaved whatever the user undoes.
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
    // An undo or redo changed the grid cell (row, col), so the window can make it
    // current; (-1, -1) after a whole table was swapped. Emitted once the history is
    // up to date, never for the first doing of a change.
    void undoneOrRedone(int row, int col);
    // The user chose the keys of these rows: chooseKey and chooseKeys, even a key a
    // row held already, and the Key cells editCells changed; never for an undo or redo.
    void keysChosen(const QList<int> &rows);
    // olderStepsDropped() changed.
    void olderStepsDroppedChanged(bool dropped);

private:
    class Step;
    class CellStep;
    class TableStep;

    // A Key cell colour before a change, to be put back by undo.
    struct KeyMark
    {
        int row;
        CellColour before;
    };

    void cellChanged(int row, int col);
    QVariant rowToolTip(int row) const;
    std::vector<KeyMark> writeKey(int row, const QString &key);
    void restore(int row, int col, const QString &text, const std::vector<KeyMark> &marks);
    void swapGrid(TableData &grid);
    void historyMoved();
    void updateUnsaved();
    void push(Step *step);
    void trimHistory();
    void setOlderStepsDropped(bool dropped);

    TableData m_grid;
    qsizetype m_historyBytes = 0; // before m_history: its steps give their bytes back when deleted
    qsizetype m_historyLimit = defaultHistoryLimit;
    bool m_replaying = false;     // while steps are pushed again after the oldest were dropped
    bool m_olderStepsDropped = false;
    QUndoStack m_history;
    bool m_unsavedChanges = false;
    bool m_holdUnsaved = false;                 // while replace() clears the history
    std::optional<std::pair<int, int>> m_stepCell; // the cell of an undo or redo
    QString m_currentFile;
    QVariant m_rowIcon;
    QVariant m_addedIcon;
    QVariant m_changedIcon;
};
