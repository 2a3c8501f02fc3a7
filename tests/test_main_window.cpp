#include "window_fixture.h"

#include "app/details_pane.h"
#include "app/frm_about.h"
#include "csv/results_csv.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

namespace {

// A table as an import leaves it: one signal, not saved yet, from `file`.
void fakeImport(frmDBC *window, const QString &file)
{
    TableData grid = TableData::standard();
    grid.setText(1, Col::Name, "EngineSpeed");
    window->table().replace(grid);
    window->table().setCurrentFile(file);
    window->table().setUnsavedChanges(true);
}

const QByteArray resetCsv = headingLine + ";;;;;;;;;;;;;\r\n";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void startsWithAResetTable()
    {
        WindowFixture f;
        QCOMPARE(f.window->windowTitle(), "Tessaly []");
        QTableView *grid = f.window->grid();
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->model()->columnCount(), 13);
        QVERIFY(grid->horizontalHeader()->isVisible());
        QCOMPARE(grid->model()->headerData(11, Qt::Horizontal).toString(), "LITTLE_ENDIAN");
        QCOMPARE(f.window->table().grid().text(0, 0), "#");
        // Column widths come from twips at the screen's DPI, grown for the font and the heading.
        const int narrow = grid->columnWidth(Col::Unit - 1);
        QVERIFY(narrow >= qRound(600 * f.window->logicalDpiX() / 1440.0));
        QVERIFY(grid->columnWidth(Col::MinMax - 1) >= qRound(300 * f.window->logicalDpiX() / 1440.0));
        QVERIFY(qAbs(grid->columnWidth(Col::Name - 1) - narrow * 5) <= 5);
        QCOMPARE(f.dialogs->initialDirectory, QCoreApplication::applicationDirPath());
        QVERIFY(f.window->close());
        QVERIFY(f.dialogs->shown.isEmpty());
    }

    void saveWritesTheTableAndConfirms()
    {
        WindowFixture f;
        const QString out = f.path("out.CSV");
        QCOMPARE(f.saveAs(out), resetCsv);
        QCOMPARE(f.dialogs->kinds(), (QStringList{"save", "inform"}));
        QCOMPARE(f.dialogs->shown[0].title, "Export CSV file");
        QCOMPARE(f.dialogs->shown[0].text, "|CSV (*.CSV)"); // nothing imported: no proposal
        QCOMPARE(f.dialogs->lastSuffix, "CSV");
        QCOMPARE(f.dialogs->shown[1].title, "Tessaly");
        QCOMPARE(f.dialogs->shown[1].text, "File: \"" + out + "\"\r\n\r\nwas correctly exported");
    }

    void newAsksOnlyWithUnsavedWork_data()
    {
        QTest::addColumn<bool>("unsaved");
        QTest::addColumn<QList<Dialogs::Answer>>("answers");
        QTest::addColumn<QString>("saveTo"); // "" cancels the save dialog, "bad" fails to write
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("cleared");
        using A = Dialogs::Answer;
        QTest::newRow("nothing unsaved") << false << QList<A>{} << "" << QStringList{} << true;
        QTest::newRow("cancel") << true << QList<A>{A::Cancel} << "" << QStringList{"ask"} << false;
        QTest::newRow("no") << true << QList<A>{A::No} << "" << QStringList{"ask"} << true;
        QTest::newRow("yes, saved") << true << QList<A>{A::Yes} << "ok.CSV" << QStringList{"ask", "save", "inform"} << true;
        QTest::newRow("yes, dialog cancelled") << true << QList<A>{A::Yes} << "" << QStringList{"ask", "save"} << false;
        QTest::newRow("yes, write failed") << true << QList<A>{A::Yes} << "bad" << QStringList{"ask", "save", "warn"} << false;
    }

    void newAsksOnlyWithUnsavedWork()
    {
        QFETCH(bool, unsaved);
        QFETCH(QList<Dialogs::Answer>, answers);
        QFETCH(QString, saveTo);
        QFETCH(QStringList, shown);
        QFETCH(bool, cleared);
        WindowFixture f;
        fakeImport(f.window.get(), "/d/car.dbc");
        f.window->setWindowTitle("Tessaly [/d/car.dbc]");
        f.window->table().setUnsavedChanges(unsaved);
        f.dialogs->answers = answers;
        const QString target = f.path(saveTo == "bad" ? "no/such/folder.CSV" : saveTo);
        f.run("mnNew", saveTo.isEmpty() ? QStringList() : QStringList{target});
        QCOMPARE(f.dialogs->kinds(), shown);
        if (shown.contains("ask"))
            QCOMPARE(f.dialogs->shown[0].text, "Do you want to save changes");
        QCOMPARE(f.window->table().grid().text(1, Col::Name), cleared ? "" : "EngineSpeed");
        QCOMPARE(f.window->windowTitle(), cleared ? "Tessaly []" : "Tessaly [/d/car.dbc]");
        QCOMPARE(f.window->table().unsavedChanges(), !cleared);
        if (saveTo == "ok.CSV")
            QVERIFY(readAll(f.path(saveTo)).contains("EngineSpeed"));
    }

    void everyWayOfClosingAsks_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << "close";
        QTest::newRow("File > Exit") << "exit";
        QTest::newRow("Escape in the grid") << "escape";
        QTest::newRow("Escape in the text editor") << "escape in editor";
    }

    void everyWayOfClosingAsks()
    {
        QFETCH(QString, way);
        WindowFixture f;
        fakeImport(f.window.get(), "/d/car.dbc");
        QTableView *grid = f.window->grid();
        QLineEdit *editor = f.window->textEditor();
        grid->setCurrentIndex(grid->model()->index(0, Col::Name - 1));
        if (way == "escape in editor") {
            QTest::mouseClick(editor, Qt::LeftButton);
            QTRY_VERIFY(editor->hasFocus());
        }
        const auto closeOnce = [&] {
            if (way == "close")
                f.window->close();
            else if (way == "exit")
                f.run("mnExit");
            else
                QTest::keyClick(way == "escape" ? static_cast<QWidget *>(grid) : editor, Qt::Key_Escape);
        };
        f.dialogs->answers = {Dialogs::Answer::Cancel, Dialogs::Answer::No};
        closeOnce();
        QCOMPARE(f.dialogs->kinds(), QStringList{"ask"});
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.window->table().grid().text(1, Col::Name), "EngineSpeed");
        closeOnce();
        QCOMPARE(f.dialogs->kinds(), (QStringList{"ask", "ask"}));
        QVERIFY(!f.window->isVisible());
    }

    void gridFollowsTheWindowSize_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("too narrow") << 999 << 5000 << QRect();
        QTest::newRow("too low") << 5000 << 999 << QRect();
        QTest::newRow("smallest") << 1000 << 1000 << QRect(30, 30, 950, 950);
    }

    void gridFollowsTheWindowSize()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QRect, rect);
        QCOMPARE(frmDBC::gridRectTwips(w, h).value_or(QRect()), rect);
    }

    void resizedWindowMovesTheGrid()
    {
        WindowFixture f;
        QWidget *client = f.window->centralWidget();
        const int dpi = f.window->logicalDpiX();
        const auto px = [dpi](int twips) { return qRound(twips * dpi / 1440.0); };
        QTRY_COMPARE(f.window->grid()->geometry().topLeft(), QPoint(px(30), px(30)));
        f.window->resize(800, 500);
        // The details pane lies at the right edge, the client beside it.
        QTRY_COMPARE(f.window->detailsPane()->geometry().right() + 1, 800);
        const QRect grid = f.window->grid()->geometry();
        QVERIFY(qAbs(grid.right() + 1 + px(20) - client->width()) <= 1);
        QVERIFY(qAbs(grid.bottom() + 1 + px(20) - client->height()) <= 1);
        // A window smaller than 1000 twips leaves the grid where it was.
        f.window->resize(40, 40);
        QTest::qWait(20);
        QCOMPARE(f.window->grid()->geometry(), grid);
    }

    void detailsPaneFollowsTheCurrentRow()
    {
        WindowFixture f;
        DetailsPane *pane = f.window->detailsPane();
        QTableView *grid = f.window->grid();
        const auto at = [&](int row, int col) { return f.window->editors()->map().viewIndex(row, col); };
        QVERIFY2(pane->text().startsWith("Import a DBC file"), qPrintable(pane->text()));
        f.run("mnImportDBC", {fixture("dbc/test.dbc")});
        f.dialogs->shown.clear();
        QCOMPARE(f.window->encodingLabel()->text(), "Read as Windows-1252"); // its comment holds a byte of Latin-1
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at(1, Col::Unit)).center());
        QVERIFY2(pane->text().startsWith("Message: testFrame1\n"), qPrintable(pane->text()));
        QVERIFY2(pane->text().contains("Comment: Multi \n Line \n Signal comment"), qPrintable(pane->text()));
        QTest::keyClick(grid, Qt::Key_Down);
        QVERIFY2(pane->text().endsWith("Values:\n1 = one\n2 = two\n3 = three"), qPrintable(pane->text()));
        QCOMPARE(grid->model()->data(at(1, Col::CanId), Qt::ToolTipRole).toString().section(u'\n', 0, 0),
                 "Message: testFrame1");
        QCOMPARE(grid->model()->data(at(1, Col::Unit), Qt::ToolTipRole), QVariant());
        // View > Details hides the pane and shows it again.
        f.run("mnDetails");
        QVERIFY(pane->isHidden());
        f.run("mnDetails");
        QVERIFY(!pane->isHidden());

        writeFile(f.path("utf8.dbc"), "BO_ 1 M: 8 X\n SG_ T : 0|8@1+ (1,0) [0|1] \"\xc2\xb0" "C\" X\n");
        f.dialogs->answers = {Dialogs::Answer::No};
        f.run("mnImportDBC", {f.path("utf8.dbc")});
        QCOMPARE(f.window->encodingLabel()->text(), "Read as UTF-8");
        QVERIFY2(pane->text().startsWith("Message: M\n"), qPrintable(pane->text()));
        // A results CSV has no DBC behind its rows.
        f.dialogs->answers = {Dialogs::Answer::No};
        f.run("mnLoadCSV", {fixture("channels_a.csv")});
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at(2, Col::Name)).center());
        QVERIFY2(pane->text().startsWith("No DBC details: the rows do not come from a DBC file"), qPrintable(pane->text()));
        QCOMPARE(f.window->encodingLabel()->text(), "Read as Windows-1252");
        QVERIFY(f.dialogs->kinds().count("warn") == 0);
    }

    void aboutIsModalAndClosesOnEscapeAndOk()
    {
        WindowFixture f;
        QStringList seen;
        // Escape, or a click on OK (key 0); OK also has the access key Alt+O.
        const auto closeWith = [&](int key, Qt::KeyboardModifiers mods) {
            QTimer::singleShot(0, [&seen, &f, key, mods] {
                auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
                if (!about) {
                    seen.append("no modal window");
                    return;
                }
                seen.append(about->windowTitle());
                const QString details = about->findChild<QLabel *>("lblDetails")->toolTip();
                if (!details.contains("Key list (4 entries): " + f.keyListPath()) || !details.contains(qVersion()))
                    seen.append("details: " + details);
                if (about->okButton()->shortcut() != QKeySequence(Qt::ALT | Qt::Key_O))
                    seen.append("no access key");
                if (key == 0)
                    QTest::mouseClick(about->okButton(), Qt::LeftButton);
                else
                    QTest::keyClick(about, Qt::Key(key), mods);
                if (about->isVisible()) {
                    seen.append("still open");
                    about->reject();
                }
            });
            f.run("mnAbout");
        };
        closeWith(Qt::Key_Escape, Qt::NoModifier);
        closeWith(0, Qt::NoModifier);
        closeWith(Qt::Key_Escape, Qt::ShiftModifier);
        QCOMPARE(seen, QStringList(3, "About Tessaly 0.1"));
        QVERIFY(f.window->isVisible()); // the About window's Escape is its own
        QVERIFY(f.dialogs->shown.isEmpty());
    }

    void windowComesBackAsItWasLeft()
    {
        WindowFixture f;
        f.window->resize(700, 500);
        QHeaderView *columns = f.window->grid()->horizontalHeader();
        const int nameWidth = columns->sectionSize(Col::Name - 1);
        f.window->findChild<QCheckBox *>("chkOnlyMatching")->setChecked(true);
        f.window->findChild<QCheckBox *>("chkSharedKey")->setChecked(true);
        columns->resizeSection(Col::Unit - 1, 77);
        f.restart();
        columns = f.window->grid()->horizontalHeader();
        QCOMPARE(f.window->size(), QSize(700, 500));
        QCOMPARE(columns->sectionSize(Col::Unit - 1), 77);
        QCOMPARE(columns->sectionSize(Col::Name - 1), nameWidth);
        QVERIFY(f.window->findChild<QCheckBox *>("chkSharedKey")->isChecked());
        QVERIFY(f.window->findChild<QToolBar *>("findToolBar")->isHidden()); // opened by Ctrl+F only
        // Left larger than the screen, it comes back within it.
        f.window->resize(5000, 5000);
        f.restart();
        const QSize screen = f.window->screen()->availableGeometry().size();
        QVERIFY2(f.window->width() <= screen.width() && f.window->height() <= screen.height(),
                 qPrintable(QString("%1x%2").arg(f.window->width()).arg(f.window->height())));
    }

    void columnsFitTheirWidestCell_data()
    {
        QTest::addColumn<bool>("doubleClick"); // on the column's right border, else View > Fit Columns
        QTest::newRow("menu") << false;
        QTest::newRow("border") << true;
    }

    void columnsFitTheirWidestCell()
    {
        QFETCH(bool, doubleClick);
        WindowFixture f;
        TableData grid = TableData::standard();
        const QString wide = "0.000123456789012345678";
        for (int row = 1; row <= 3000; ++row)
            grid.setText(grid.appendRow({}) , Col::Scale, row == 2900 ? wide : "1"); // out of view, beyond what Qt measures
        grid.setFixedRows(1);
        f.window->table().replace(grid);
        QTableView *view = f.window->grid();
        const int section = Col::Scale - 1;
        if (doubleClick) {
            QHeaderView *header = view->horizontalHeader();
            const QPoint border(header->sectionViewportPosition(section) + header->sectionSize(section) - 1,
                                header->height() / 2);
            QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, border);
        } else
            f.run("mnFitColumns");
        // As wide as the cell asks to be, so that nothing of it is cut.
        QVERIFY(view->columnWidth(section) >= view->sizeHintForIndex(view->model()->index(2899, section)).width());
        QVERIFY(view->columnWidth(section) < view->fontMetrics().horizontalAdvance(wide + "00000"));
    }

    void openKeyListFolderMakesTheUsersFolder()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QVERIFY(QDir(folder).removeRecursively());
        WindowFixture f;
        f.run("mnOpenKeyListFolder");
        QVERIFY(QDir(folder).removeRecursively()); // it was made
        QCOMPARE(f.dialogs->kinds(), (QStringList{"inform", "folder"})); // where their own list goes
        QCOMPARE(f.dialogs->shown[1].text, folder);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
