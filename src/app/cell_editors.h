#pragma once

#include "app/grid_map.h"
#include "suggest/key_matcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPersistentModelIndex>
#include <QRect>

#include <functional>
#include <utility>

class QComboBox;
class CellFrame;
class SeparatorGuard;
class QKeyEvent;
class QLineEdit;
class QTableView;
class QWidget;
class SignalTable;

// The two in-place editors of the grid: the text box `txtGrd` over every column but
// Key, and the key list `cmbKey` over Key cells. They are laid over the current
// cell, follow it when the view scrolls or a column is resized, write an edit back
// into the cell they were laid over, and give the grid the keyboard of a table
// editor (F2 or typing to edit, Enter to write back and move down, F4/Alt+Down/Space
// or typing to open the key list, Delete to clear a key, or the keys of the selected
// cells).
class CellEditors : public QObject
{
    Q_OBJECT

public:
    CellEditors(QTableView *grid, SignalTable &table, QObject *parent = nullptr);

    // Marks the program's own moves of the current cell and of the key selection for
    // as long as it lives: they open no editor and choose no key.
    class Loading
    {
    public:
        explicit Loading(CellEditors &editors) : m_flag(editors.cargando), m_was(std::exchange(m_flag, true)) {}
        ~Loading() { m_flag = m_was; }
        Loading(const Loading &) = delete;
        Loading &operator=(const Loading &) = delete;

    private:
        bool &m_flag;
        bool m_was;
    };
    [[nodiscard]] Loading loading() { return Loading(*this); }

    // What the key list says of the row it is opened for: for every key, in list
    // order, the row's signal as its candidate when it fits the key.
    using RowSuggestions = std::function<std::vector<KeySuggestion>(int row)>;
    void setRowSuggestions(RowSuggestions suggestions) { m_rowSuggestions = std::move(suggestions); }
    // The role of a key list item that holds the row's score for its key, when it fits.
    static constexpr int scoreRole = Qt::UserRole + 1;

    QLineEdit *textEditor() const { return txtGrd; }
    QComboBox *keyEditor() const { return cmbKey; }
    const GridMap &map() const { return m_map; }

    // Writes a pending edit of the text box into its cell; the editor stays open.
    void writeBack();
    // Closes both editors; what the text box held is dropped.
    void hideEditors();
    // Lays the editor of the current cell over it, unless it lies there already.
    void openEditor();
    // Makes a cell current without opening an editor, as the program's own moves do.
    void setCurrentCell(int row, int col);
    // Makes a cell current and shows it as the user's own move does: the editor follows.
    void goToCell(int row, int col);

signals:
    // A short explanation for the status bar (e.g. why a character was refused).
    void message(const QString &text);

private slots:
    void grd_RowColChange();
    void txtGrd_Validate();
    void cmbKey_Click(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layEditor();
    void placeEditors();
    void paintKeyEditor();
    void placeFrame();
    void selectKeyOf(const QString &cellText);
    void hideEditor(QWidget *editor);
    bool gridKey(QKeyEvent *event);
    bool textKey(QKeyEvent *event);
    void startEditing(const QString &typed);
    void openKeyList(const QString &typed);
    void scoreKeys();
    bool listKey(QKeyEvent *event);
    bool typeInList(const QString &typed);
    void narrowKeyList();
    void fitKeyList(int shownRows, int firstShown);
    void showAllKeys();
    void clearKey();
    void clearSelectedKeys();
    void moveDown();

    QTableView *grd;
    SignalTable &m_table;
    // True while a Loading lives.
    bool cargando = false;
    GridMap m_map;
    QLineEdit *txtGrd = nullptr;
    QComboBox *cmbKey = nullptr;
    SeparatorGuard *m_guard = nullptr;
    CellFrame *m_frame = nullptr;
    // The cells the editors were laid over, in grid coordinates.
    int m_textRow = -1;
    int m_textCol = -1;
    int m_keyRow = -1;
    // What was typed into the open list, and whether it hides the keys whose
    // descriptions have no word that begins with it.
    QString m_typed;
    bool m_narrowed = false;
    QElapsedTimer m_sinceTyped;
    // Where the open list lay before it was narrowed, and its height beside its keys.
    QRect m_openList;
    int m_openListChrome = 0;
    RowSuggestions m_rowSuggestions;
    // Where the mouse button went down, so that a drag that selects opens nothing.
    QPersistentModelIndex m_pressed;
};
