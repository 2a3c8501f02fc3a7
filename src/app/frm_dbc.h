#pragma once

#include "app/grid_map.h"
#include "app/window_settings.h"
#include "document/document.h"

#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class CellEditors;
struct FindCriteria;
class FindBar;
class QAction;
class Dialogs;
class DetailsPane;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTableView;
class QToolBar;
class RecoveryKeeper;
class SignalFilterModel;
class SuggestPanel;
struct RecoveryCopy;
struct UpdateReport;

// The main window: the signal table with its in-place editors (CellEditors), the menus
// and their commands, the status bar, and the document's life from start-up to close.
class frmDBC : public QMainWindow
{
    Q_OBJECT

public:
    // `dialogs` answers every question and file dialog; `keyListFile` is the key list
    // to read at start-up (by default the first found where key lists are looked for).
    explicit frmDBC(std::unique_ptr<Dialogs> dialogs, const QString &keyListFile = {},
                    QWidget *parent = nullptr);
    ~frmDBC() override;

    static QString applicationTitle() { return QStringLiteral("Tessaly"); }
    // Where the grid goes in a client area of w x h twips; nothing for a window
    // smaller than 1000 twips either way.
    static std::optional<QRect> gridRectTwips(int w, int h);

    Document &document() { return m_document; }
    SignalTable &table() { return m_table; }
    QTableView *grid() const { return grd; }
    CellEditors *editors() const { return m_editors; }
    QLineEdit *textEditor() const;
    QComboBox *keyEditor() const;
    // The status bar's permanent part: the counts of signals, keys and shared keys.
    QLabel *statusLabel() const { return m_statusLabel; }
    // What the grid shows of the table, and the bar that chooses it.
    SignalFilterModel *filter() const { return m_filter; }
    FindBar *findBar() const { return m_findBar; }
    DetailsPane *detailsPane() const { return m_detailsPane; }
    // The status bar's note of how the file opened last was read ("UTF-8").
    QLabel *encodingLabel() const { return m_encodingLabel; }

    // Opens a file as the matching menu command does after its dialog.
    void openFile(const QString &fileName);

    // Remembers every key the user chooses in `fileName` from now on (frm_dbc_suggest.cpp).
    void rememberKeysIn(const QString &fileName);
    SuggestPanel *suggestPanel() const { return m_suggest; }

    // Keeps a recovery copy of unsaved work in `folder` from now on.
    void keepRecoveryCopies(const QString &folder);
    // The start of a run: offers the work that ended runs left behind, then opens
    // `fileName` when one is given (asking first to save recovered work).
    void openAtStart(const QString &fileName);

    // File > Open Recent, newest first.
    QStringList recentFiles() const { return m_recent.files(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What a command needs before it runs: an edit still open in the text box is
    // written back first, always; a command that replaces the table also asks to
    // save the work it would replace.
    enum class Before { WriteBack, AskSaveChanges };
    QAction *addCommand(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut,
                        void (frmDBC::*slot)(), Before before = Before::WriteBack);
    bool beforeCommand(Before before);

    void mnNew_Click();
    void mnImportDBC_Click();
    void mnImportXML_Click();
    void mnLoadCSV_Click();
    void mnUpdate_Click();
    void mnSaveCSV_Click();
    void mnExit_Click();
    void mnAbout_Click();
    void mnOpenKeyListFolder_Click();
    // Moves to the next row whose key another row holds too, going round at the end.
    void mnNextSharedKey_Click();
    // Opens the find bar, or takes the focus back into its field.
    void mnFind_Click();

    // File > Open Recent and Save As, and what the window keeps between runs
    // (frm_dbc_recent.cpp).
    void buildRecentMenu(QMenu *file);
    void updateRecentMenu();
    void rememberFile(const QString &fileName);
    void openRecent(const QString &fileName);
    void mnClearRecent_Click();
    void mnSaveAs_Click();
    void mnFitColumns_Click();
    void restoreWindowSettings();
    void saveWindowSettings() const;
    QList<int> defaultColumnWidths() const;

    void buildMenus();
    // View menu: the details pane and the encoding read (frm_dbc_details.cpp).
    void buildViewMenu(QMenu *view);
    void mnDetails_Click();
    void showCurrentDetails();
    void showEncoding(const QString &encoding);
    void buildEditMenu(QMenu *edit);
    void buildKeysMenu(QMenu *keys);
    void buildSuggestions(QMenu *keys);
    void mnSuggestKeys_Click();
    void mnTakeKeysFrom_Click();
    void buildGrid();
    void buildStatusBar();
    void updateStatus();
    void Form_Load();
    void Form_Resize();
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    bool Form_QueryUnload();

    void InitGrid();
    bool AskSaveChanges();
    void UpdateCaption();
    bool ExportCSV();
    bool WriteCSV(const QString &fileName);
    void LoadPreassignedKeys(QComboBox *combo);

    // Runs a command of the document that may replace the table and shows its
    // outcome: the new table with the current cell on the last row's Key cell, the
    // caption, the warnings and the report of an update. False when it failed (said).
    // With `keepSignal` (an update) the current cell stays on its signal instead,
    // wherever the new revision puts it, before the report is shown.
    bool showResult(const std::function<DocumentResult()> &command, bool keepSignal = false);
    bool recover(const RecoveryCopy &copy);
    void showUpdateReport(const UpdateReport &report);

    // Edit menu: Copy and Paste (frm_dbc_clipboard.cpp).
    void buildClipboardCommands(QMenu *edit);
    void mnCopy_Click();
    void mnPaste_Click();

    // Edit menu: Undo, Redo and the find bar (frm_dbc_edit.cpp).
    void buildFindBar();
    void closeFindBar();
    void applyFind(bool textTyped);
    GridMap::Cell applyCriteria(const FindCriteria &criteria);
    void goToMatch(bool next);
    void updateMatchText();
    void showCell(int row, int col);
    void moveHistory(bool undo);
    void showUndoneCell(int row, int col);

    void writeBackEdit();
    bool confirmCsvSeparators();
    void applyColumnWidths();
    void fitNumberColumn();
    int px(int twips) const;
    void paintCorner();

    std::unique_ptr<Dialogs> m_dialogs;
    QString m_keyListFile;
    QString m_startupWarning;
    Document m_document;
    SignalTable &m_table = m_document.table(); // what the window shows of it
    QTableView *grd = nullptr;
    CellEditors *m_editors = nullptr;
    QLabel *m_statusLabel = nullptr;
    QAbstractButton *m_corner = nullptr;
    SignalFilterModel *m_filter = nullptr;
    FindBar *m_findBar = nullptr;
    QToolBar *m_findToolBar = nullptr;
    QAction *m_undo = nullptr;
    QAction *m_redo = nullptr;
    QAction *m_findNext = nullptr;
    QAction *m_findPrevious = nullptr;
    QAction *m_nextSharedKey = nullptr;
    std::unique_ptr<RecoveryKeeper> m_recovery;
    WindowSettings m_settings = WindowSettings::standard();
    RecentFiles m_recent;
    QMenu *m_recentMenu = nullptr;
    QString m_keyListInUse;
    SuggestPanel *m_suggest = nullptr;
    DetailsPane *m_detailsPane = nullptr;
    QLabel *m_encodingLabel = nullptr;
};
