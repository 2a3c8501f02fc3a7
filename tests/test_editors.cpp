#include "window_fixture.h"

#include "keys/key_marking.h"

#include "app/cell_editors.h"
#include "app/frm_about.h"
#include "app/suggest_panel.h"
#include "suggest/suggest_dictionary.h"
#include "suggest/suggestion_memory.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMimeData>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>

namespace {

// Fills the window's table with `count` signal rows as an import or load leaves
// them: names "S<row>", given keys, every Key cell pale yellow or red.
void fill(frmDBC *window, int count, const QStringList &keys = {})
{
    TableData grid = TableData::standard();
    grid.setRows(1);
    for (int i = 1; i <= count; ++i) {
        const QString name = QStringLiteral("S%1").arg(i);
        const int row = grid.appendRow({QString::number(i), u"0 1", u"0|8", u"0", u"0", name});
        grid.setText(row, Col::Key, keys.value(i - 1));
    }
    grid.setFixedRows(1);
    markAllKeys(grid);
    window->table().replace(grid);
}

QRect cellRect(frmDBC *window, int row, int col)
{
    return window->grid()->visualRect(window->editors()->map().viewIndex(row, col));
}

void clickCell(frmDBC *window, int row, int col)
{
    QTableView *grid = window->grid();
    grid->scrollTo(window->editors()->map().viewIndex(row, col));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellRect(window, row, col).center());
}

// Picks item `index` in the open list of the combo box, as a user does with the
// keyboard.
void pickItem(QComboBox *combo, int index)
{
    QAbstractItemView *list = combo->view();
    if (!list->isVisible())
        QTest::mouseClick(combo, Qt::LeftButton);
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(list->model()->index(index, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_VERIFY(!list->isVisible());
}

QString cell(frmDBC *window, int row, int col)
{
    return window->table().grid().text(row, col);
}

CellColour keyColour(frmDBC *window, int row)
{
    return window->table().grid().colour(row, Col::Key);
}

int px(QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

// The share of a widget's pixels, as drawn, that are plainly red.
double redShare(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > c.green() + 60 && c.red() > c.blue() + 60;
        }
    }
    return double(red) / qMax(1, image.width() * image.height());
}

void clickCell(frmDBC *window, int row, int col, Qt::KeyboardModifiers mods)
{
    QTest::mouseClick(window->grid()->viewport(), Qt::LeftButton, mods, cellRect(window, row, col).center());
}

} // namespace

class TestEditors : public QObject
{
    Q_OBJECT

private slots:
    void textEditorLiesOverTheClickedCell_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("widthTwips");
        QTest::newRow("name") << int(Col::Name) << 3000;
        QTest::newRow("can id") << int(Col::CanId) << 1000;
        QTest::newRow("min_max") << int(Col::MinMax) << 300;
    }

    void textEditorLiesOverTheClickedCell()
    {
        QFETCH(int, col);
        QFETCH(int, widthTwips);
        WindowFixture f;
        fill(f.window.get(), 3);
        clickCell(f.window.get(), 2, col);
        QLineEdit *editor = f.window->textEditor();
        QVERIFY(editor->isVisible());
        QVERIFY(!f.window->keyEditor()->isVisible());
        QCOMPARE(editor->text(), cell(f.window.get(), 2, col));
        QCOMPARE(editor->pos(), cellRect(f.window.get(), 2, col).topLeft());
        QCOMPARE(editor->width(), f.window->grid()->columnWidth(col - 1));
        QVERIFY(editor->width() >= px(editor, widthTwips));
        QCOMPARE(editor->height(), px(editor, 310));
        QVERIFY(!editor->hasFocus()); // the user clicks into it to type
    }

    void clickingAnotherCellWritesTheEditBack()
    {
        WindowFixture f;
        fill(f.window.get(), 3);
        clickCell(f.window.get(), 1, Col::Name);
        f.typeOver("Engine;speed x");
        QLineEdit *editor = f.window->textEditor();
        QVERIFY(f.window->statusBar()->currentMessage().contains("\";\""));
        clickCell(f.window.get(), 3, Col::Unit);
        QCOMPARE(cell(f.window.get(), 1, Col::Name), "Enginespeed x"); // ";" refused
        QCOMPARE(editor->text(), cell(f.window.get(), 3, Col::Unit));
        QCOMPARE(editor->pos(), cellRect(f.window.get(), 3, Col::Unit).topLeft());
        QVERIFY(f.window->table().unsavedChanges());
        // Leaving an unchanged cell is no change.
        f.window->table().setUnsavedChanges(false);
        clickCell(f.window.get(), 2, Col::Unit);
        QVERIFY(!f.window->table().unsavedChanges());
    }

    void importedSeparatorStaysEditable()
    {
        WindowFixture f;
        fill(f.window.get(), 1);
        f.window->table().editText(1, Col::Description, "A;B"); // as an import may leave it
        QTableView *grid = f.window->grid();
        QLineEdit *editor = f.window->textEditor();
        grid->setFocus();
        f.window->editors()->setCurrentCell(1, Col::Description);
        QTest::keyClick(grid, Qt::Key_F2);
        QTest::keyClicks(editor, "x;y"); // a further ";" is refused, the letters are not
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(cell(f.window.get(), 1, Col::Description), "A;Bx");
    }

    void keyComboSelectsTheCellsKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("selected");
        // Items: 0 "ENSP - Engine speed", 1 "VSPD - Vehicle speed", 2 "EOPR - Oil pressure",
        // 3 "ENSP - Same key again".
        QTest::newRow("four-character match") << "VSPD" << -1 << 1;
        QTest::newRow("first of two equal prefixes") << "ENSP" << 1 << 0;
        QTest::newRow("no match keeps the selection") << "ZZZZ" << 1 << 1;
        QTest::newRow("prefix only is no match") << "ENS" << 2 << 2;
        QTest::newRow("a key after the first") << "EOPR" << 0 << 2;
        QTest::newRow("empty cell") << "" << 1 << -1;
    }

    void keyComboSelectsTheCellsKey()
    {
        QFETCH(QString, key);
        QFETCH(int, before);
        QFETCH(int, selected);
        WindowFixture f;
        fill(f.window.get(), 2, {"", key});
        QComboBox *combo = f.window->keyEditor();
        QCOMPARE(combo->count(), 4);
        combo->setCurrentIndex(before);
        clickCell(f.window.get(), 2, Col::Key);
        QVERIFY(combo->isVisible());
        QTRY_VERIFY(combo->view()->isVisible()); // one click opens the list of another row
        QVERIFY(!f.window->textEditor()->isVisible());
        combo->hidePopup();
        // Closed, it covers its Key cell only and leaves LITTLE_ENDIAN in sight.
        QCOMPARE(combo->geometry(), cellRect(f.window.get(), 2, Col::Key));
        QVERIFY(!combo->geometry().intersects(cellRect(f.window.get(), 2, Col::LittleEndian)));
        QCOMPARE(combo->currentIndex(), selected);
        combo->setCurrentIndex(3); // neither showing the list nor a selection by program assigns a key
        QCOMPARE(cell(f.window.get(), 2, Col::Key), key);
        QVERIFY(combo->isVisible());
        QVERIFY(!f.window->table().unsavedChanges());
    }

    void pickingAKeyWritesAndMarksIt()
    {
        WindowFixture f;
        fill(f.window.get(), 5, {"VSPD", "", "VSPD", "ENSP", "ENSP"});
        QCOMPARE(keyColour(f.window.get(), 4), CellColour::DuplicateKey);
        clickCell(f.window.get(), 2, Col::Key);
        pickItem(f.window->keyEditor(), 1); // VSPD, held by rows 1 and 3 already
        QCOMPARE(cell(f.window.get(), 2, Col::Key), "VSPD");
        QVERIFY(!f.window->keyEditor()->isVisible());
        for (int row : {1, 2, 3})
            QCOMPARE(keyColour(f.window.get(), row), CellColour::DuplicateKey);
        QCOMPARE(f.window->grid()->currentIndex(), f.window->editors()->map().viewIndex(2, Col::Key));
        QVERIFY(f.window->table().unsavedChanges());
        clickCell(f.window.get(), 2, Col::Key); // a click on the current cell opens its editor again
        QVERIFY(f.window->keyEditor()->isVisible());
        // Row 4 takes a key nobody else holds: it and row 5 are no longer shared.
        clickCell(f.window.get(), 4, Col::Key);
        pickItem(f.window->keyEditor(), 2);
        QCOMPARE(cell(f.window.get(), 4, Col::Key), "EOPR");
        QCOMPARE(keyColour(f.window.get(), 4), CellColour::KeyCell);
        QCOMPARE(keyColour(f.window.get(), 5), CellColour::KeyCell);
    }

    void pendingEditReachesTheSavedFile()
    {
        WindowFixture f;
        fill(f.window.get(), 1);
        clickCell(f.window.get(), 1, Col::Unit);
        f.typeOver("rpm");
        QVERIFY(f.saveAs(f.path("out.CSV")).contains(";S1;rpm;"));
        QVERIFY(!f.window->table().unsavedChanges());
    }

    void editorsHideWhenTheTableIsRebuilt()
    {
        WindowFixture f;
        fill(f.window.get(), 2);
        clickCell(f.window.get(), 1, Col::Name);
        f.typeOver("typed");
        QLineEdit *editor = f.window->textEditor();
        f.dialogs->answers = {Dialogs::Answer::No};
        f.run("mnNew");
        QCOMPARE(f.dialogs->kinds(), QStringList{"ask"}); // the pending edit counted as work
        QVERIFY(f.window->keyEditor()->isHidden());
        QCOMPARE(cell(f.window.get(), 1, Col::Name), "");
        // The grid may make a cell of the new table current; an editor then shows that
        // cell's text, never the old edit.
        const QModelIndex current = f.window->grid()->currentIndex();
        if (!editor->isHidden()) {
            QVERIFY(current.isValid());
            QCOMPARE(editor->text(), current.data().toString());
            QCOMPARE(editor->pos(), f.window->grid()->visualRect(current).topLeft());
        }
        // Nothing of the old edit reaches the new table when the focus moves on.
        f.window->grid()->setFocus();
        QCOMPARE(cell(f.window.get(), 1, Col::Name), "");
    }

    void editorFollowsItsCellWhenScrolling()
    {
        WindowFixture f;
        fill(f.window.get(), 300);
        clickCell(f.window.get(), 3, Col::Name);
        QLineEdit *editor = f.window->textEditor();
        QScrollBar *bar = f.window->grid()->verticalScrollBar();
        bar->setValue(bar->value() + 5);
        QCOMPARE(editor->pos(), cellRect(f.window.get(), 3, Col::Name).topLeft());
        QVERIFY(editor->y() < 0); // out of view, clipped away with its cell
        bar->setValue(0);
        QCOMPARE(editor->pos(), cellRect(f.window.get(), 3, Col::Name).topLeft());
        f.window->resize(f.window->width() - 50, f.window->height());
        QTRY_COMPARE(editor->pos(), cellRect(f.window.get(), 3, Col::Name).topLeft());
    }

    void missingKeyListWarnsOnceTheWindowShows()
    {
        WindowFixture f({}, false);
        QTRY_COMPARE(f.dialogs->kinds(), QStringList{"warn"});
        QVERIFY(f.dialogs->shown[0].text.contains(f.keyListPath()));
        QCOMPARE(f.window->keyEditor()->count(), 0);
    }

    void wheelOverTheKeyListScrollsOnly()
    {
        WindowFixture f;
        fill(f.window.get(), 300, {"", "ENSP"});
        clickCell(f.window.get(), 2, Col::Key);
        QComboBox *combo = f.window->keyEditor();
        combo->hidePopup(); // the wheel over the closed list
        QScrollBar *bar = f.window->grid()->verticalScrollBar();
        const QPoint at = combo->rect().center();
        QWheelEvent wheel(at, combo->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &wheel);
        QCOMPARE(cell(f.window.get(), 2, Col::Key), "ENSP");
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(bar->value() > 0);
    }

    void escapeClosesTheOpenListOnly()
    {
        WindowFixture f;
        fill(f.window.get(), 2);
        f.window->table().setUnsavedChanges(true);
        clickCell(f.window.get(), 1, Col::Key);
        QTest::keyClick(f.window->grid(), Qt::Key_F4);
        QAbstractItemView *list = f.window->keyEditor()->view();
        QTRY_VERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Escape);
        QTRY_VERIFY(!list->isVisible());
        QVERIFY(f.dialogs->shown.isEmpty());
        // Escape with any shift state runs the close sequence (answered Cancel here).
        for (const auto mods : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
            QTest::keyClick(f.window->grid(), Qt::Key_Escape, mods);
        QCOMPARE(f.dialogs->kinds(), QStringList(3, "ask"));
        QVERIFY(f.window->isVisible());
    }

    void typedWordsNarrowTheKeyList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("key");
        // "c" begins a key and jumps to it; "co" on narrows by the descriptions' words.
        QTest::newRow("a word of the description") << "cool" << 1 << "ECTP";
        QTest::newRow("first letters of a key") << "EO" << 1 << "EOPR";
        QTest::newRow("backspace widens") << "coo\b\b" << 2 << "CLCH";
    }

    void typedWordsNarrowTheKeyList()
    {
        QFETCH(QString, typed);
        QFETCH(int, shown);
        QFETCH(QString, key);
        WindowFixture f("ENSP;ENG;Engine speed\r\nECTP;ENG;Engine coolant temperature\r\n"
                        "EOPR;x;Oil pressure\r\nCLCH;x;Clutch switch\r\n");
        fill(f.window.get(), 1);
        QTableView *grid = f.window->grid();
        grid->setFocus();
        f.window->editors()->setCurrentCell(1, Col::Key);
        auto *list = qobject_cast<QListView *>(f.window->keyEditor()->view());
        QVERIFY(list);
        QTest::keyClicks(grid, typed.left(1));
        QTRY_VERIFY(list->isVisible());
        const int openHeight = list->window()->height();
        QTest::keyClicks(list, typed.mid(1));
        const auto visibleRows = [list] {
            int rows = 0;
            for (int i = 0; i < list->model()->rowCount(); ++i)
                rows += !list->isRowHidden(i);
            return rows;
        };
        QCOMPARE(visibleRows(), shown);
        QVERIFY(list->window()->height() < openHeight); // no room left for the hidden keys
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(cell(f.window.get(), 1, Col::Key), key);
        QTest::keyClick(grid, Qt::Key_F4); // closing showed every key again
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(visibleRows(), 4);
    }

    void longCellSurvivesTheTextBox()
    {
        WindowFixture f;
        fill(f.window.get(), 1);
        const QString text(40000, u'x');
        f.window->table().editText(1, Col::Description, text);
        f.window->table().setUnsavedChanges(false);
        clickCell(f.window.get(), 1, Col::Description);
        QTest::mouseClick(f.window->textEditor(), Qt::LeftButton);
        clickCell(f.window.get(), 1, Col::Name);
        QCOMPARE(cell(f.window.get(), 1, Col::Description), text);
        QVERIFY(!f.window->table().unsavedChanges());
    }

    void keyboardAloneEditsAndChoosesKeys()
    {
        WindowFixture f;
        fill(f.window.get(), 3, {"", "VSPD"});
        QTableView *grid = f.window->grid();
        QLineEdit *editor = f.window->textEditor();
        grid->setFocus();
        f.window->editors()->setCurrentCell(1, Col::CanId);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_F2); // keeps the text, caret at its end
        QTest::keyClicks(editor, "X");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClick(grid, 'W'); // typing replaces the text
        QTest::keyClicks(editor, "heel");
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(grid->currentIndex(), f.window->editors()->map().viewIndex(3, Col::Name));
        QTest::keyClick(grid, Qt::Key_End);
        QTest::keyClick(grid, Qt::Key_Left);
        QTest::keyClick(grid, Qt::Key_Left);
        QTest::keyClick(grid, Qt::Key_F4);
        QAbstractItemView *list = f.window->keyEditor()->view();
        QTRY_VERIFY(list->isVisible());
        QTest::keyClicks(list, "VS");
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(keyColour(f.window.get(), 3), CellColour::DuplicateKey);
        QCOMPARE(f.window->statusLabel()->text(), "3 signals, 2 with a key, 1 shared key");
        QTest::keyClick(grid, Qt::Key_Up);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(keyColour(f.window.get(), 3), CellColour::KeyCell);
        QCOMPARE(f.window->statusLabel()->text(), "3 signals, 1 with a key, 0 shared keys");
        QCOMPARE(f.saveAs(f.path("out.CSV")).split('\n').mid(1, 3),
                 (QByteArrayList{"0 1;0|8;0;0;S1X;;;;;;;;;\r", "0 1;0|8;0;0;Wheel;;;;;;;;;\r", "0 1;0|8;0;0;S3;;;;;;VSPD;;;\r"}));
    }

    void columnsShowWhatTheyHold()
    {
        WindowFixture f;
        fill(f.window.get(), 1000);
        QTableView *grid = f.window->grid();
        const QFontMetrics metrics = grid->fontMetrics();
        const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        const QList<QPair<int, QString>> cells = {
            {Col::CanId, "8CF004FE 4FE"}, {Col::Key, "GEAR"}, {Col::Scale, "100000"}, {Col::Offset, "100000"}};
        for (const auto &[col, text] : cells)
            QVERIFY2(metrics.horizontalAdvance(text) + margins <= grid->columnWidth(col - 1), qPrintable(text));
        const int icon = grid->style()->pixelMetric(QStyle::PM_SmallIconSize);
        QVERIFY(grid->verticalHeader()->width() >= icon + grid->verticalHeader()->fontMetrics().horizontalAdvance("1000"));
        // The About banner lies whole in its place.
        frmAbout about;
        const QLabel *banner = about.findChild<QLabel *>("Picture1");
        QVERIFY(banner->pixmap().width() <= banner->width());
    }

    void userWidthSurvivesLoad()
    {
        WindowFixture f;
        QTableView *grid = f.window->grid();
        const int standard = grid->columnWidth(Col::Name - 1);
        grid->horizontalHeader()->resizeSection(Col::Name - 1, 333);
        f.window->openFile(QStringLiteral(TESSALY_TEST_DATA "/results_shared_keys.csv"));
        QVERIFY(f.window->table().grid().rows() > 2);
        QCOMPARE(grid->columnWidth(Col::Name - 1), 333);
        f.run("mnNew");
        QCOMPARE(grid->columnWidth(Col::Name - 1), standard);
    }

    void copyGivesTextAndHtml()
    {
        WindowFixture f;
        fill(f.window.get(), 3, {"ENSP"});
        clickCell(f.window.get(), 1, Col::Signed);
        clickCell(f.window.get(), 2, Col::Name, Qt::ShiftModifier);
        clickCell(f.window.get(), 1, Col::Key, Qt::ControlModifier); // a cell beside the range
        QTest::keyClick(f.window->grid(), Qt::Key_C, Qt::ControlModifier);
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->text(), "0\tS1\tENSP\n0\tS2\t\n");
        QVERIFY(data->html().contains("<tr><td>0</td><td>S2</td><td></td></tr>"));
    }

    // Paste from the current cell on is one step of the history; a key the key list
    // lacks, and a text the results CSV cannot hold, are refused and named.
    void pasteIsOneStep_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QStringList>("cells"); // rows 2 to 4 of column `col` afterwards
        QTest::addColumn<QString>("refused");   // a part of the warning, or "" for none
        QTest::newRow("key column") << int(Col::Key) << "VSPD\r\nENSP\r\nEOPR\r\n"
                                    << QStringList{"VSPD", "ENSP", "EOPR"} << "";
        QTest::newRow("unknown key") << int(Col::Key) << "VSPD\nXXXX\n\n" << QStringList{"VSPD", "", ""}
                                     << "row #3, Key: \"XXXX\" is not a key";
        QTest::newRow("separator in a text") << int(Col::Unit) << "rpm\n\"a\tb\"\nx;y" << QStringList{"rpm", "", ""}
                                             << "row #4, Unit: a cell cannot hold";
        QTest::newRow("beyond the last row") << int(Col::Unit) << "a\nb\nc\nd" << QStringList{"a", "b", "c"}
                                             << "beyond the last row";
    }

    void pasteIsOneStep()
    {
        QFETCH(int, col);
        QFETCH(QString, pasted);
        QFETCH(QStringList, cells);
        QFETCH(QString, refused);
        WindowFixture f;
        fill(f.window.get(), 4, {"ENSP"});
        QGuiApplication::clipboard()->setText(pasted);
        f.window->editors()->goToCell(2, col);
        QTest::keyClick(f.window->grid(), Qt::Key_V, Qt::ControlModifier);
        QStringList after;
        for (int row = 2; row <= 4; ++row)
            after << cell(f.window.get(), row, col);
        QCOMPARE(after, cells);
        QCOMPARE(f.dialogs->kinds(), refused.isEmpty() ? QStringList() : QStringList{"warn"});
        if (!refused.isEmpty())
            QVERIFY2(f.dialogs->shown[0].text.contains(refused), qPrintable(f.dialogs->shown[0].text));
        if (cells.contains("ENSP")) // beside row 1's
            QCOMPARE(keyColour(f.window.get(), 1), CellColour::DuplicateKey);
        QTest::keyClick(f.window->grid(), Qt::Key_Z, Qt::ControlModifier);
        for (int row = 2; row <= 4; ++row)
            QCOMPARE(cell(f.window.get(), row, col), "");
        QCOMPARE(keyColour(f.window.get(), 1), CellColour::KeyCell);
    }

    void deleteClearsTheSelectedKeys()
    {
        WindowFixture f;
        fill(f.window.get(), 4, {"ENSP", "VSPD", "ENSP", "EOPR"});
        f.window->editors()->goToCell(1, Col::Name);
        clickCell(f.window.get(), 3, Col::Key, Qt::ShiftModifier);
        QTest::keyClick(f.window->grid(), Qt::Key_Delete);
        QCOMPARE(cell(f.window.get(), 1, Col::Name) + cell(f.window.get(), 1, Col::Key) + cell(f.window.get(), 2, Col::Key)
                         + cell(f.window.get(), 3, Col::Key) + cell(f.window.get(), 4, Col::Key),
                 "S1EOPR");
        QTest::keyClick(f.window->grid(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cell(f.window.get(), 2, Col::Key), "VSPD");
        QCOMPARE(keyColour(f.window.get(), 3), CellColour::DuplicateKey);
    }

    void nextSharedKeyGoesRound()
    {
        WindowFixture f;
        fill(f.window.get(), 4, {"ENSP", "VSPD", "ENSP", "AB -"});
        QAction *next = f.window->findChild<QAction *>("mnNextSharedKey");
        QCOMPARE(next->shortcut(), QKeySequence(Qt::Key_F3));
        f.window->editors()->setCurrentCell(3, Col::Name);
        next->trigger();
        QCOMPARE(f.window->grid()->currentIndex(), f.window->editors()->map().viewIndex(1, Col::Key));
        QVERIFY(f.window->keyEditor()->isVisible());
        // The closed list shows the red of the shared key under it.
        QVERIFY(redShare(f.window->keyEditor()) > 0.5);
        next->trigger();
        QCOMPARE(f.window->grid()->currentIndex(), f.window->editors()->map().viewIndex(3, Col::Key));
    }

    // Ctrl+K opens the suggestions; Enter gives the highlighted candidate its key as one
    // undo step and remembers it, and "Accept all confident" is one step too.
    void suggestionsGiveKeysInOneStep()
    {
        WindowFixture f;
        SuggestDictionary dictionary;
        QStringList warnings;
        QCOMPARE(dictionary.addFile(QStringLiteral(TESSALY_TEST_DATA "/../../resources/")
                                            + SuggestDictionary::fileName(), warnings),
                 QString());
        SuggestPanel *panel = f.window->suggestPanel();
        panel->setDictionary(dictionary);
        const QString memoryFile = f.path(SuggestionMemory::fileName());
        f.window->rememberKeysIn(memoryFile);
        writeFile(f.path("car.dbc"), "BO_ 291 EngineData: 8 Engine\n"
                                     " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Gateway\n"
                                     " SG_ OilPressure : 8|8@1+ (4,0) [0|1000] \"kPa\" Gateway\n"
                                     "BO_ 292 Wheels: 8 Brakes\n"
                                     " SG_ VehicleSpeed : 0|16@1+ (0.01,0) [0|250] \"km/h\" Gateway\n");
        f.window->openFile(f.path("car.dbc"));
        const int steps = f.window->table().history().count();

        QTest::keyClick(f.window.get(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QTreeWidget *list = panel->list();
        QVERIFY(list->hasFocus());
        QTreeWidgetItem *candidate = list->currentItem();
        QVERIFY(candidate && candidate->parent());
        QCOMPARE(candidate->text(1), "EngineSpeed");
        QCOMPARE(f.window->editors()->map().current().row, 1); // the table follows the panel
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(cell(f.window.get(), 1, Col::Key), "ENSP");
        QCOMPARE(f.window->table().history().count(), steps + 1);
        QVERIFY(readAll(memoryFile).contains("EngineSpeed;ENSP"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) // a key a row holds leaves the panel
            QVERIFY(!list->topLevelItem(i)->text(0).startsWith(u"ENSP"));
        QTest::keyClick(f.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cell(f.window.get(), 1, Col::Key), "");

        // The open key list gives each key the row's score when the row fits it.
        f.window->editors()->goToCell(3, Col::Key);
        QTest::keyClick(f.window->grid(), Qt::Key_F4);
        QComboBox *combo = f.window->keyEditor();
        QTRY_VERIFY(combo->view()->isVisible());
        QVERIFY(combo->itemData(1, CellEditors::scoreRole).toInt() >= KeyMatcher::confidentScore); // VSPD
        QVERIFY(!combo->itemData(2, CellEditors::scoreRole).isValid());                            // EOPR
        QTest::keyClick(combo->view(), Qt::Key_Escape);

        // A renamed signal is read again: its best score falls.
        const auto bestScore = [list](const QString &name) {
            int best = 0;
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                for (int c = 0; c < list->topLevelItem(i)->childCount(); ++c) {
                    const QTreeWidgetItem *candidate = list->topLevelItem(i)->child(c);
                    if (candidate->text(1) == name)
                        best = std::max(best, candidate->text(3).toInt());
                }
            }
            return best;
        };
        QVERIFY(bestScore("OilPressure") >= KeyMatcher::confidentScore);
        f.window->table().editText(2, Col::Name, "Xyz");
        QTRY_COMPARE(bestScore("OilPressure"), 0); // the list was filled again
        QVERIFY(bestScore("Xyz") < KeyMatcher::confidentScore);
        f.window->table().history().undo();

        QCOMPARE(panel->acceptAllConfident(), 3);
        QCOMPARE(cell(f.window.get(), 1, Col::Key) + cell(f.window.get(), 2, Col::Key)
                         + cell(f.window.get(), 3, Col::Key),
                 "ENSPEOPRVSPD");
        QVERIFY(f.window->statusBar()->currentMessage().startsWith(u"3 keys given"));
        QCOMPARE(panel->acceptAllConfident(), 0); // a key a row holds is not given again
        f.saveAs(f.path("other.csv"));
        f.window->table().history().undo();
        for (int row : {1, 2, 3})
            QCOMPARE(cell(f.window.get(), row, Col::Key), "");

        // Another channel list with these names gives the same keys, in one step too,
        // but never over a key a row holds nor a key another row holds.
        f.window->table().chooseKey(3, "EOPR");
        f.run("mnTakeKeysFrom", {f.path("other.csv")});
        QCOMPARE(cell(f.window.get(), 1, Col::Key) + cell(f.window.get(), 2, Col::Key) + "|"
                         + cell(f.window.get(), 3, Col::Key),
                 "ENSP|EOPR");
        f.window->table().history().undo();
        QCOMPARE(cell(f.window.get(), 1, Col::Key) + cell(f.window.get(), 2, Col::Key), "");
    }
};

QTEST_MAIN(TestEditors)
#include "test_editors.moc"
