#include "window_fixture.h"

#include "app/find_bar.h"
#include "table/signal_filter.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

namespace {

// `count` signal rows named "S<row>", with the given keys.
void fill(frmDBC *window, int count, const QStringList &keys = {})
{
    TableData grid = TableData::standard();
    grid.setRows(1);
    for (int i = 1; i <= count; ++i) {
        const int row = grid.appendRow({QString::number(i), u"0 1", u"0|8", u"0", u"0", QStringLiteral("S%1").arg(i)});
        grid.setText(row, Col::Key, keys.value(i - 1));
    }
    grid.setFixedRows(1);
    window->table().replace(grid);
}

QPoint current(frmDBC *window)
{
    const GridMap::Cell cell = window->editors()->map().current();
    return {cell.row, cell.col};
}

void openFind(frmDBC *window)
{
    QTest::keyClick(window->grid(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(window->findBar()->findField()->hasFocus());
}

} // namespace

class TestFindWindow : public QObject
{
    Q_OBJECT

private slots:
void findMovesThroughMatches_data()
{
    // "s1" is found in S1, S10, S11 and S12.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("escapeIn"); // where the focus is when Escape closes the bar
    QTest::newRow("F3 on, wrapping") << "F3, F3, F3, F3" << QList<int>{10, 11, 12, 1} << "switch";
    QTest::newRow("Enter") << "Return, Return" << QList<int>{10, 11} << "grid";
    QTest::newRow("Shift+F3 back, wrapping") << "Shift+F3, Shift+F3" << QList<int>{12, 11} << "text box";
    QTest::newRow("Shift+Enter back") << "Shift+Return, Shift+Return, Return" << QList<int>{12, 11, 12} << "switch";
}

void findMovesThroughMatches()
{
    QFETCH(QString, keys);
    QFETCH(QList<int>, rows);
    QFETCH(QString, escapeIn);
    WindowFixture f;
    fill(f.window.get(), 12, {{}, {}, u"ENSP"_qs, {}, {}, u"ENSP"_qs});
    openFind(f.window.get());
    QLineEdit *field = f.window->findBar()->findField();
    const auto *label = f.window->findBar()->findChild<QLabel *>(QStringLiteral("lblMatches"));
    QTest::keyClick(field, Qt::Key_S);
    QTRY_COMPARE(label->text(), "1 of 14");
    // A longer text keeps the current match while it still matches.
    QTest::keyClick(field, Qt::Key_1);
    QTRY_COMPARE(label->text(), "1 of 4");
    QCOMPARE(current(f.window.get()), QPoint(1, Col::Name));
    const QStringList presses = keys.split(", ");
    for (qsizetype i = 0; i < presses.size(); ++i) {
        QTest::keySequence(field, QKeySequence(presses[i]));
        QCOMPARE(current(f.window.get()), QPoint(rows[i], Col::Name));
    }
    QVERIFY(label->text().endsWith(" of 4") && !label->text().startsWith('0'));

    // Escape while the bar is open closes the bar, not the window, wherever the focus
    // is; F3 goes back to the next shared key.
    f.window->table().setUnsavedChanges(true); // closing the window would ask
    QWidget *focus = f.window->findBar()->findChild<QWidget *>(QStringLiteral("chkMatchCase"));
    if (escapeIn != "switch") {
        focus = f.window->grid();
        focus->setFocus();
        if (escapeIn == "text box") {
            QTest::keyClick(focus, Qt::Key_F2);
            focus = f.window->textEditor();
            QTRY_VERIFY(focus->hasFocus());
        }
    }
    QTest::keyClick(focus, Qt::Key_Escape);
    QVERIFY(f.window->isVisible() && !f.window->findBar()->isVisible());
    QVERIFY(f.dialogs->shown.isEmpty());
    QTest::keyClick(f.window->grid(), Qt::Key_F3);
    QCOMPARE(current(f.window.get()), QPoint(3, Col::Key));
}

void clearButtonShowsEveryRow()
{
    WindowFixture f;
    fill(f.window.get(), 12);
    openFind(f.window.get());
    QLineEdit *field = f.window->findBar()->findField();
    const auto *label = f.window->findBar()->findChild<QLabel *>(QStringLiteral("lblMatches"));
    f.window->findBar()->findChild<QCheckBox *>(QStringLiteral("chkOnlyMatching"))->click();
    QTest::keyClicks(field, "s1");
    QTRY_COMPARE(f.window->grid()->model()->rowCount(), 4);
    // The field's clear button: the button of its clear action.
    const auto *action = field->findChild<QAction *>(QStringLiteral("_q_qlineeditclearaction"));
    QToolButton *clear = nullptr;
    for (QToolButton *button : field->findChildren<QToolButton *>())
        clear = button->defaultAction() == action ? button : clear;
    QVERIFY(action && clear);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(field->text(), "");
    QTRY_COMPARE(f.window->grid()->model()->rowCount(), 12);
    QCOMPARE(label->text(), QString());
}

// A bar too narrow for its switches beside the field puts them on a second line.
void switchesWrapOnANarrowBar()
{
    FindBar bar;
    bar.show();
    const QWidget *field = bar.findField();
    const auto *only = bar.findChild<QCheckBox *>(QStringLiteral("chkOnlyMatching"));
    for (const bool narrow : {true, false, true}) {
        bar.resize(narrow ? bar.minimumWidth() : 3000, bar.height());
        QTRY_COMPARE(only->geometry().top() > field->geometry().bottom(), narrow);
    }
}

// The editors work on the rows a filter shows; a key chosen there is marked against
// the whole table, and the save writes every row in order.
void keyChosenInFilteredView()
{
    WindowFixture f;
    frmDBC *window = f.window.get();
    fill(window, 6, {{}, u"ENSP"_qs});
    window->editors()->goToCell(2, Col::Key); // an editor of a row the filter hides
    QVERIFY(window->keyEditor()->isVisible());
    openFind(window);
    window->findBar()->findChild<QCheckBox *>(QStringLiteral("chkOnlyMatching"))->click();
    auto *withoutKey = window->findBar()->findChild<QCheckBox *>(QStringLiteral("chkWithoutKey"));
    withoutKey->click();
    QVERIFY(window->grid()->model()->rowCount() == 5 && !window->keyEditor()->isVisible());
    QCOMPARE(window->grid()->model()->headerData(1, Qt::Vertical).toString(), "3");
    QVERIFY(window->statusLabel()->text().startsWith("showing 5 of 6 signals"));

    window->editors()->goToCell(4, Col::Key);
    QComboBox *combo = window->keyEditor();
    QCOMPARE(combo->pos(), window->grid()->visualRect(window->editors()->map().viewIndex(4, Col::Key)).topLeft());
    QTest::keyClick(window->grid(), Qt::Key_F4);
    QTRY_VERIFY(combo->view()->isVisible());
    combo->view()->setCurrentIndex(combo->view()->model()->index(0, 0));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    const TableData &grid = window->table().grid();
    QCOMPARE(grid.text(4, Col::Key), "ENSP");
    QVERIFY(grid.colour(2, Col::Key) == CellColour::DuplicateKey && grid.colour(4, Col::Key) == CellColour::DuplicateKey);
    QVERIFY(window->filter()->showsRow(4));

    f.dialogs->files = {f.path("out.csv")};
    QTest::keyClick(window->grid(), Qt::Key_S, Qt::ControlModifier);
    QByteArray rows; // every row, in order, without the "#" column
    for (int row = 1; row <= 6; ++row)
        rows += "0 1;0|8;0;0;S" + QByteArray::number(row) + ";;;;;;" + (row == 2 || row == 4 ? "ENSP" : "") + ";;;\r\n";
    QFile saved(f.path("out.csv"));
    QVERIFY(saved.open(QIODevice::ReadOnly) && saved.readAll().endsWith("min_max;\r\n" + rows));

    // Undo shows the changed row again where the filter would hide it by now.
    withoutKey->click();
    withoutKey->click();
    QVERIFY(!window->filter()->showsRow(4));
    QTest::keyClick(window->grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(current(window), QPoint(4, Col::Key));
}

void undoRedoByKeys_data()
{
    QTest::addColumn<QString>("redo");
    QTest::addColumn<bool>("question");
    QTest::newRow("undo to the saved state") << QString() << false;
    QTest::newRow("Ctrl+Y") << "Ctrl+Y" << true;
    QTest::newRow("Ctrl+Shift+Z") << "Ctrl+Shift+Z" << true;
}

void undoRedoByKeys()
{
    QFETCH(QString, redo);
    QFETCH(bool, question);
    WindowFixture f;
    frmDBC *window = f.window.get();
    fill(window, 3);
    QTableView *grid = window->grid();
    grid->setFocus();
    grid->setCurrentIndex(window->editors()->map().viewIndex(2, Col::Name));
    QTest::keyClicks(grid, "X");
    // Ctrl+Z in the text box undoes the typing there, not a step of the table.
    QTest::keyClick(window->textEditor(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window->textEditor()->text(), "S2");
    QTest::keyClicks(window->textEditor(), "Y");
    QTest::keyClick(window->textEditor(), Qt::Key_Return);
    QCOMPARE(window->table().grid().text(2, Col::Name), "Y");

    grid->setCurrentIndex(window->editors()->map().viewIndex(1, Col::Unit));
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window->table().grid().text(2, Col::Name), "S2");
    QCOMPARE(current(window), QPoint(2, Col::Name));
    QVERIFY(!window->textEditor()->isVisible());
    // The program's own move shows the current cell too: its frame lies around it.
    const auto *frame = grid->viewport()->findChild<QWidget *>(QStringLiteral("currentCellFrame"));
    QVERIFY(frame && frame->isVisible());
    QCOMPARE(frame->geometry(), grid->visualRect(grid->currentIndex()));
    if (!redo.isEmpty()) {
        QTest::keySequence(grid, QKeySequence(redo));
        QCOMPARE(window->table().grid().text(2, Col::Name), "Y");
    }
    QCOMPARE(window->close(), !question);
    QCOMPARE(f.dialogs->kinds(), question ? QStringList{"ask"} : QStringList{});
}

};

QTEST_MAIN(TestFindWindow)
#include "test_find_window.moc"
