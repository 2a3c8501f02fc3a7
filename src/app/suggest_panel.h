#pragma once

#include "suggest/key_matcher.h"
#include "suggest/key_memory_file.h"

#include <QDockWidget>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CellEditors;
class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class SignalTable;
class SuggestDictionary;

// The key suggestions beside the table: one line per key no row holds (or every key),
// each with its best candidate rows, the "#", name, message, score and reasons. Moving
// onto a candidate makes its row current in the table; Enter or a double click gives
// the row the key as the key list would, and "Accept all confident" gives every key
// its best confident candidate in one step.
//
// The suggestions are worked out in the core (KeyMatcher) when the panel is shown and
// after the table changed: the signals are read again only when their texts changed;
// a key choice only shows which keys rows hold now. Every key the user chooses, here
// or in the key list, is remembered in the memory file.
class SuggestPanel : public QDockWidget
{
    Q_OBJECT

public:
    SuggestPanel(SignalTable &table, CellEditors &editors, QWidget *parent = nullptr);
    ~SuggestPanel() override;

    // Where the chosen keys are remembered; none by default.
    void setMemoryFile(const QString &fileName);
    // The dictionary to read signals with, instead of the one found beside the program.
    void setDictionary(const SuggestDictionary &dictionary);

    // Shows the panel up to date and gives its list the keyboard.
    void open();
    // Gives the highlighted candidate's row its key (Enter, a double click).
    void acceptCurrent();
    // Gives every key no row holds its best confident candidate, in one step; says how
    // many and returns that.
    int acceptAllConfident();
    // Gives rows their keys as one step named `description`, as the key list gives one;
    // returns how many. What remembering them could not do goes into `memoryFault`.
    int giveKeys(const std::vector<std::pair<int, QString>> &keys, const QString &description,
                 QString &memoryFault);

    // For every key of the key list, in list order, the signal in grid row `row` as its
    // candidate when it scores enough (or was chosen before for the key); empty for a
    // row without a signal.
    std::vector<KeySuggestion> rowSuggestions(int row);

    QTreeWidget *list() const { return m_list; }
    QPushButton *acceptAllButton() const { return m_acceptAll; }

signals:
    // Make this grid row current in the table and show it.
    void showRow(int row);
    // A short note for the status bar.
    void message(const QString &text);
    // The panel was closed (Escape, its close button).
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void tableChanged(bool textsChanged);
    void refresh();
    const SuggestDictionary &dictionary();
    std::vector<KeyTarget> keys() const;
    void compute();
    void fillList();
    void currentMoved(QTreeWidgetItem *item);
    void remember(const QList<int> &rows);
    QString messageOf(int row) const;
    // Runs a key choice; what remembering it could not do is handed back, to be said
    // with the choice.
    QString takeMemoryFault(const std::function<void()> &choose);

    SignalTable &m_table;
    CellEditors &m_editors;
    std::unique_ptr<SuggestDictionary> m_dictionary;
    KeyMemoryFile m_memory;
    bool m_saidMemoryFault = false;
    QString *m_pendingFault = nullptr;
    // The signals the matcher reads, by row; the matcher points into them.
    std::vector<SignalText> m_texts;
    std::unique_ptr<KeyMatcher> m_matcher;
    std::vector<KeySuggestion> m_suggestions;
    bool m_textsStale = true;
    bool m_listStale = true;
    QTimer m_refreshTimer;

    QTreeWidget *m_list = nullptr;
    QCheckBox *m_allKeys = nullptr;
    QPushButton *m_acceptAll = nullptr;
    QLabel *m_summary = nullptr;
};
