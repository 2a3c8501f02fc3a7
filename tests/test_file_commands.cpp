#include "window_fixture.h"

#include "csv/results_csv.h"
#include "import/signal_details.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

namespace {

// What a user sees of the table, to tell whether a command changed it.
QStringList snapshot(WindowFixture &f)
{
    QStringList state{f.window->windowTitle(), f.window->table().currentFile(),
                      f.window->table().unsavedChanges() ? "unsaved" : "saved"};
    const TableData &grid = f.window->table().grid();
    for (int row = 0; row < grid.rows(); ++row) {
        for (int col = 0; col < TableData::cols(); ++col)
            state.append(grid.text(row, col));
    }
    return state;
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private slots:
    void importDbcFillsTheTable()
    {
        WindowFixture f;
        const QString dbc = fixture("engine.dbc");
        f.run("mnImportDBC", {dbc});
        QCOMPARE(f.dialogs->shown[0].title, "Select one DBC file");
        QVERIFY(f.dialogs->shown[0].text.startsWith("DBC Files (*.dbc)"));
        QCOMPARE(f.window->table().grid().rows(), 3);
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + dbc + "]");
        QVERIFY(f.window->table().unsavedChanges());
        QVERIFY(f.window->textEditor()->isHidden() && f.window->keyEditor()->isHidden()); // nothing to type into yet
        // Closing now asks; a save proposes the CAN_ name beside the DBC file.
        f.dialogs->answers = {Dialogs::Answer::Yes};
        const QString out = f.path("CAN_engine.CSV");
        f.dialogs->files = {out};
        QVERIFY(f.window->close());
        QCOMPARE(f.dialogs->shown[2].text, QFileInfo(dbc).path() + "/CAN_engine.CSV|CSV (*.CSV)");
        QVERIFY(readAll(out).contains("\r\n0 123;24|16;0;0;EngineSpeed;rpm;0.125;0;Gateway;;;1;[0|8031.875];\r\n"));
    }

    void wrongExtensionsChangeNothing_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("name");
        QTest::newRow("dbc.txt") << "mnImportDBC" << "x.dbc.txt";
        QTest::newRow("xml.bak") << "mnImportXML" << "d.xml.bak";
    }

    void wrongExtensionsChangeNothing()
    {
        QFETCH(QString, menu);
        QFETCH(QString, name);
        WindowFixture f;
        f.run("mnImportDBC", {fixture("engine.dbc")});
        f.window->table().setUnsavedChanges(false);
        const QStringList before = snapshot(f);
        writeFile(f.path(name), "BO_ 1 A: 8 X\n");
        f.run(menu.toLatin1(), {f.path(name)});
        QCOMPARE(f.dialogs->kinds().last(), "warn");
        QCOMPARE(f.dialogs->shown.last().text, "Wrong File Format");
        QCOMPARE(snapshot(f), before);
    }

    void cancelStopsBeforeTheDialogOrAfterIt()
    {
        WindowFixture f;
        f.run("mnImportDBC", {fixture("engine.dbc")});
        const QStringList before = snapshot(f);
        for (const char *menu : {"mnImportDBC", "mnImportXML", "mnLoadCSV"}) {
            f.dialogs->shown.clear();
            f.dialogs->answers = {Dialogs::Answer::Cancel};
            f.run(menu, {fixture("engine.dbc")});
            QCOMPARE(f.dialogs->kinds(), QStringList{"ask"});
            f.dialogs->shown.clear();
            f.dialogs->answers = {Dialogs::Answer::No};
            f.run(menu, {}); // the open dialog is cancelled
            QCOMPARE(f.dialogs->kinds(), (QStringList{"ask", "open"}));
            QCOMPARE(snapshot(f), before);
        }
    }

    void saveAsAlwaysAsksAndNamesTheDocument()
    {
        WindowFixture f;
        const QString dbc = fixture("engine.dbc");
        f.run("mnImportDBC", {dbc});
        const QString mine = f.path("mine.csv");
        f.dialogs->shown.clear();
        for (const QString &answer : {QString(), mine, QString()}) {
            f.dialogs->files = {answer};
            QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        }
        // Asked each time, the last time with the file saved before.
        QCOMPARE(f.dialogs->kinds(), (QStringList{"save", "save", "inform", "save"}));
        QCOMPARE(f.dialogs->shown[0].text, QFileInfo(dbc).path() + "/CAN_engine.CSV|CSV (*.CSV)");
        QCOMPARE(f.dialogs->shown[3].text, mine + "|CSV (*.CSV)");
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + mine + "]");
        QVERIFY(!f.window->table().unsavedChanges());
        QVERIFY(readAll(mine).contains(";EngineSpeed;"));
    }

    void recentFilesSurviveARestart()
    {
        WindowFixture f;
        const QString dbc = fixture("engine.dbc");
        const QString csv = f.path("channels.csv");
        f.run("mnImportDBC", {dbc});
        f.saveAs(csv);
        f.restart();
        QCOMPARE(f.window->recentFiles(), (QStringList{csv, dbc}));
        // The second one opens as its command would, and comes first.
        f.run("mnRecent2");
        QCOMPARE(f.window->table().currentFile(), dbc);
        QCOMPARE(f.window->recentFiles(), (QStringList{dbc, csv}));
        // A file that is gone is said and leaves the list.
        QFile::remove(csv);
        f.dialogs->answers = {Dialogs::Answer::No};
        f.run("mnRecent2");
        QCOMPARE(f.dialogs->kinds().last(), "warn");
        QCOMPARE(f.window->table().currentFile(), dbc);
        QCOMPARE(f.window->recentFiles(), QStringList{dbc});
        f.run("mnClearRecent");
        f.restart();
        QCOMPARE(f.window->recentFiles(), QStringList{});
    }

    void malformedDbcLinesAreReportedAndImported()
    {
        WindowFixture f;
        writeFile(f.path("bad.dbc"), "BO_ 1 A: 8 X\r\n SG_ Good : 0|8@1+ (1,0) [0|255] \"\" X\r\n SG_ NoColon 0|8@1+\r\n");
        f.run("mnImportDBC", {f.path("bad.dbc")});
        QCOMPARE(f.window->table().grid().rows(), 3);
        QCOMPARE(f.dialogs->kinds().last(), "warn");
        QCOMPARE(f.dialogs->shown.last().text,
                 "\"" + f.path("bad.dbc") + "\": line 3 could not be read completely and was imported as far as it goes.");
    }

    void xmlImportSavesTheExpectedCsv()
    {
        WindowFixture f;
        const QString xml = fixture("receiver.PlexCanRXConfig");
        QLocale::setDefault(QLocale::c());
        f.run("mnImportXML", {xml});
        QVERIFY(f.dialogs->shown[0].text.contains("*.PlexCanRXConfig"));
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + xml + "]");
        QVERIFY(f.window->table().unsavedChanges());
        // "&amp;" holds a ";": the save names the row and asks first.
        f.dialogs->answers = {Dialogs::Answer::Yes};
        QCOMPARE(f.saveAs(f.path("x.CSV")), readAll(fixture("receiver_expected.csv")));
        QCOMPARE(f.dialogs->kinds(), (QStringList{"open", "ask", "save", "inform"}));
        QVERIFY2(f.dialogs->shown[1].text.startsWith("Row #6 holds a \";\""), qPrintable(f.dialogs->shown[1].text));
        QCOMPARE(f.dialogs->shown[2].text.section('|', 0, 0), QFileInfo(xml).path() + "/CAN_receiver.CSV");
    }

    void loadedCsvBecomesTheFileAndMarksSharedKeys()
    {
        WindowFixture f;
        f.run("mnImportDBC", {fixture("engine.dbc")});
        f.dialogs->answers = {Dialogs::Answer::No};
        const QString list = fixture("results_shared_keys.csv");
        f.run("mnLoadCSV", {list});
        QCOMPARE(f.dialogs->shown.last().title, "Select one CSV file");
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + list + "]");
        QVERIFY(!f.window->table().unsavedChanges());
        f.run("mnSaveCSV"); // proposes the loaded file itself, not one named after the DBC
        QCOMPARE(f.dialogs->shown.last().text, list + "|CSV (*.CSV)");
        QCOMPARE(f.window->table().grid().text(1, 0), "1");
        QCOMPARE(f.window->table().grid().colour(2, Col::Key), CellColour::DuplicateKey);
        f.dialogs->shown.clear();
        QVERIFY(f.window->close()); // nothing to save after a load
        QVERIFY(f.dialogs->shown.isEmpty());
    }

    void closeAsksForAnEditTypedAfterASave()
    {
        WindowFixture f;
        f.run("mnImportDBC", {fixture("engine.dbc")});
        f.saveAs(f.path("out.CSV"));
        f.window->grid()->setCurrentIndex(f.window->editors()->map().viewIndex(1, Col::Unit));
        f.typeOver("km/h");
        f.dialogs->shown.clear();
        QVERIFY(!f.window->close()); // the question is cancelled
        QCOMPARE(f.dialogs->kinds(), QStringList{"ask"});
        QCOMPARE(f.window->table().grid().text(1, Col::Unit), "km/h");
    }

    void headingRowTakesAnEditWithoutSignals()
    {
        WindowFixture f;
        writeFile(f.path("none.csv"), headingLine);
        f.run("mnLoadCSV", {f.path("none.csv")});
        QVERIFY(!f.window->grid()->horizontalHeader()->isVisible()); // the heading is an ordinary row
        f.window->grid()->setCurrentIndex(f.window->editors()->map().viewIndex(0, Col::Name));
        QCOMPARE(f.window->textEditor()->text(), "Name");
        f.typeOver("Signal");
        f.window->grid()->setCurrentIndex(f.window->editors()->map().viewIndex(0, Col::Unit));
        QCOMPARE(f.window->table().grid().text(0, Col::Name), "Signal");
    }

    void updateKeepsKeysAndTypedCells()
    {
        WindowFixture f;
        f.run("mnLoadCSV", {fixture("channels_a.csv")});
        // The user types a scale of their own for OilPressure (row 5).
        QTableView *view = f.window->grid();
        const QModelIndex scale = f.window->editors()->map().viewIndex(5, Col::Scale);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(scale).center());
        f.typeOver("0.04");
        QTest::keyClick(f.window->textEditor(), Qt::Key_Return);
        f.window->table().setUnsavedChanges(false);
        // Cancel, and a file that cannot be read, change nothing.
        const QStringList before = snapshot(f);
        f.run("mnUpdate", {});
        f.run("mnUpdate", {f.path("missing.dbc")});
        QCOMPARE(snapshot(f), before);

        f.dialogs->shown.clear();
        f.dialogs->files = {fixture("revision_b.dbc"), f.path("report.txt")};
        f.dialogs->reportSaves = 1;
        QTest::keyClick(f.window.get(), Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(f.dialogs->kinds(), (QStringList{"open", "report", "save"}));
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + fixture("revision_b.dbc") + "]");
        QVERIFY(f.window->table().unsavedChanges());
        // The key and the typed scale of OilPressure, now in row 5 and moved.
        const TableData &grid = f.window->table().grid();
        QCOMPARE(grid.text(5, Col::Key) + ' ' + grid.text(5, Col::Scale), "EOPR 0.04");
        QCOMPARE(grid.rowMark(5), RowMark::Changed);
        const QVariant tooltip = f.window->table().headerData(4, Qt::Vertical, Qt::ToolTipRole);
        QCOMPARE(tooltip.toString(), "Moved from CAN ID 0 101\nposition: 16|8 -> 0|8\nscale: 0.04 -> 4 (your 0.04 kept)");
        const QString report = f.dialogs->shown[1].text;
        QVERIFY2(report.contains("Removed (their keys are free now):\n  0 100  ThrottlePos  key THRP\n"
                                 "  98FE F5FE  OilTemp  key TOTP\n"), qPrintable(report));
        QCOMPARE(f.dialogs->shown[2].text, QFileInfo(fixture("revision_b_update.txt")).filePath() + "|Text Files (*.txt);;All Files (*)");
        QCOMPARE(QString::fromLatin1(readAll(f.path("report.txt"))), QString(report).replace("\n", "\r\n"));
        // The rows now have the new file's details behind them, back and forth with the history.
        const auto messageOfRow5 = [&] { return detailsText(f.window->table().grid(), 5).section(u'\n', 0, 0); };
        QCOMPARE(messageOfRow5(), "Message: EngineOil");
        f.run("mnUndo");
        QVERIFY(messageOfRow5().startsWith("No DBC details: the rows do not come from a DBC file"));
        f.run("mnRedo");
        QCOMPARE(messageOfRow5(), "Message: EngineOil");
        // A signal added above the current cell: the current cell stays on its signal.
        writeFile(f.path("c.dbc"), "BO_ 1 Extra: 8 X\n SG_ First : 0|8@1+ (1,0) [0|255] \"\" X\n"
                                       + readAll(fixture("revision_b.dbc")));
        f.window->editors()->setCurrentCell(5, Col::Scale);
        f.run("mnUpdate", {f.path("c.dbc")});
        QCOMPARE(f.window->grid()->currentIndex(), f.window->editors()->map().viewIndex(6, Col::Scale));
        QCOMPARE(grid.text(6, Col::Name), "OilPressure");
        // A double click on a line of the report shows that signal's row.
        f.dialogs->reportLinesChosen = {"  #0  0 100  EngineSpeed  key ENSP"};
        f.run("mnUpdate", {fixture("revision_b.dbc")});
        QCOMPARE(f.window->editors()->map().current().row, 1);
        QCOMPARE(grid.text(1, Col::Name), "EngineSpeed");
        // A new import takes the marks away.
        f.dialogs->answers = {Dialogs::Answer::No};
        f.run("mnImportDBC", {fixture("revision_b.dbc")});
        QCOMPARE(f.window->table().grid().rowMark(3), RowMark::None);
    }
};

QTEST_MAIN(TestFileCommands)
#include "test_file_commands.moc"
