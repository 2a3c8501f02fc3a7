#include "window_fixture.h"

#include "keys/key_marking.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>

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
    return window->grid()->visualRect(window->table().modelIndex(row, col));
}

void clickCell(frmDBC *window, int row, int col)
{
    QTableView *grid = window->grid();
    grid->scrollTo(window->table().modelIndex(row, col));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellRect(window, row, col).center());
}

// Picks item `index` in the open list of the combo box, as a user does with the
// keyboard.
void pickItem(QComboBox *combo, int index)
{
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView *list = combo->view();
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

} // namespace

class TestEditors : public QObject
{
    Q_OBJECT

private slots:
    void textEditorLiesOverTheClickedCell_data();
    void textEditorLiesOverTheClickedCell();
    void clickingAnotherCellWritesTheEditBack();
    void keyComboSelectsTheCellsKey_data();
    void keyComboSelectsTheCellsKey();
    void pickingAKeyWritesAndMarksIt();
    void twoCharacterKeyIsFoundAgain();
    void programmaticSelectionAssignsNoKey();
    void pendingEditReachesTheSavedFile();
    void editorsHideWhenTheTableIsRebuilt();
    void editorFollowsItsCellWhenScrolling();
    void missingKeyListWarnsOnceTheWindowShows();
};

void TestEditors::textEditorLiesOverTheClickedCell_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("widthTwips");
    QTest::newRow("name") << int(Col::Name) << 3000;
    QTest::newRow("can id") << int(Col::CanId) << 1000;
    QTest::newRow("min_max") << int(Col::MinMax) << 300;
}

void TestEditors::textEditorLiesOverTheClickedCell()
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
    QCOMPARE(editor->width(), px(editor, widthTwips));
    QCOMPARE(editor->height(), px(editor, 310));
    QVERIFY(!editor->hasFocus()); // the user clicks into it to type
}

void TestEditors::clickingAnotherCellWritesTheEditBack()
{
    WindowFixture f;
    fill(f.window.get(), 3);
    clickCell(f.window.get(), 1, Col::Name);
    QLineEdit *editor = f.window->textEditor();
    QTest::mouseClick(editor, Qt::LeftButton);
    editor->selectAll();
    QTest::keyClicks(editor, "Engine;speed x");
    clickCell(f.window.get(), 3, Col::Unit);
    QCOMPARE(cell(f.window.get(), 1, Col::Name), "Engine;speed x");
    QCOMPARE(editor->text(), cell(f.window.get(), 3, Col::Unit));
    QCOMPARE(editor->pos(), cellRect(f.window.get(), 3, Col::Unit).topLeft());
    QVERIFY(f.window->table().unsavedChanges());
    // Leaving an unchanged cell is no change.
    f.window->table().setUnsavedChanges(false);
    clickCell(f.window.get(), 2, Col::Unit);
    QVERIFY(!f.window->table().unsavedChanges());
}

void TestEditors::keyComboSelectsTheCellsKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("selected");
    // Items: 0 "ENSP - Engine speed", 1 "VSPD - Vehicle speed", 2 "AB - Two characters",
    // 3 "ENSPX - Same first four".
    QTest::newRow("four-character match") << "VSPD" << -1 << 1;
    QTest::newRow("first of two equal prefixes") << "ENSP" << 1 << 0;
    QTest::newRow("no match keeps the selection") << "ZZZZ" << 1 << 1;
    QTest::newRow("prefix only is no match") << "ENS" << 2 << 2;
    QTest::newRow("empty cell") << "" << 1 << -1;
}

void TestEditors::keyComboSelectsTheCellsKey()
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
    QVERIFY(!f.window->textEditor()->isVisible());
    QCOMPARE(combo->pos(), cellRect(f.window.get(), 2, Col::Key).topLeft());
    QCOMPARE(combo->currentIndex(), selected);
    QCOMPARE(cell(f.window.get(), 2, Col::Key), key); // showing the list changes nothing
    QVERIFY(!f.window->table().unsavedChanges());
}

void TestEditors::pickingAKeyWritesAndMarksIt()
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
    QCOMPARE(f.window->grid()->currentIndex(), f.window->table().modelIndex(2, Col::Key));
    QVERIFY(f.window->table().unsavedChanges());
    // Row 4 takes a key nobody else holds: it and row 5 are no longer shared.
    clickCell(f.window.get(), 4, Col::Key);
    pickItem(f.window->keyEditor(), 2);
    QCOMPARE(cell(f.window.get(), 4, Col::Key), "AB -");
    QCOMPARE(keyColour(f.window.get(), 4), CellColour::KeyCell);
    QCOMPARE(keyColour(f.window.get(), 5), CellColour::KeyCell);
}

void TestEditors::twoCharacterKeyIsFoundAgain()
{
    WindowFixture f;
    fill(f.window.get(), 2);
    clickCell(f.window.get(), 1, Col::Key);
    pickItem(f.window->keyEditor(), 2);
    QCOMPARE(cell(f.window.get(), 1, Col::Key), "AB -");
    f.window->keyEditor()->setCurrentIndex(0);
    clickCell(f.window.get(), 2, Col::Name);
    clickCell(f.window.get(), 1, Col::Key);
    QCOMPARE(f.window->keyEditor()->currentIndex(), 2);
}

void TestEditors::programmaticSelectionAssignsNoKey()
{
    WindowFixture f;
    fill(f.window.get(), 2);
    clickCell(f.window.get(), 1, Col::Key);
    f.window->keyEditor()->setCurrentIndex(1);
    QCOMPARE(cell(f.window.get(), 1, Col::Key), "");
    QVERIFY(f.window->keyEditor()->isVisible());
    QVERIFY(!f.window->table().unsavedChanges());
}

void TestEditors::pendingEditReachesTheSavedFile()
{
    WindowFixture f;
    fill(f.window.get(), 1);
    clickCell(f.window.get(), 1, Col::Unit);
    QLineEdit *editor = f.window->textEditor();
    QTest::mouseClick(editor, Qt::LeftButton);
    QTest::keyClicks(editor, "rpm");
    const QString out = f.path("out.CSV");
    f.dialogs->files = {out};
    f.window->findChild<QAction *>("mnSaveCSV")->trigger();
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(";S1;rpm;"));
    QVERIFY(!f.window->table().unsavedChanges());
}

void TestEditors::editorsHideWhenTheTableIsRebuilt()
{
    WindowFixture f;
    fill(f.window.get(), 2);
    clickCell(f.window.get(), 1, Col::Name);
    QLineEdit *editor = f.window->textEditor();
    QTest::mouseClick(editor, Qt::LeftButton);
    QTest::keyClicks(editor, "typed");
    f.dialogs->answers = {Dialogs::Answer::No};
    f.window->findChild<QAction *>("mnNew")->trigger();
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

void TestEditors::editorFollowsItsCellWhenScrolling()
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

void TestEditors::missingKeyListWarnsOnceTheWindowShows()
{
    WindowFixture f({}, false);
    QTRY_COMPARE(f.dialogs->kinds(), QStringList{"warn"});
    QVERIFY(f.dialogs->shown[0].text.contains(f.keyListPath()));
    QCOMPARE(f.window->keyEditor()->count(), 0);
}

QTEST_MAIN(TestEditors)
#include "test_editors.moc"
