// The window's file commands with files that are bad or odd: a refused file leaves
// the user's table, caption and unsaved state exactly as they were, an odd but
// readable file gives its table, and the window goes on working either way.

#include "window_fixture.h"

#include "csv/results_csv.h"
#include "keys/key_list.h"
#include "table/text_file.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QTableView>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

QAction *menuAction(frmDBC *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#ifdef Q_OS_UNIX
bool isCharacterDevice(const char *path)
{
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}
#endif

// Everything of the window's document a failed command must leave alone.
QByteArray snapshot(frmDBC *window)
{
    const TableData &grid = window->table().grid();
    QByteArray state = resultsCsvBytes(grid);
    for (int row = 0; row < grid.rows(); ++row)
        state += QByteArray::number(int(grid.colour(row, Col::Key))) + (grid.rowIcon(row) ? "i" : "-");
    state += "\nfixed rows " + QByteArray::number(grid.fixedRows());
    state += "\ncaption " + window->windowTitle().toUtf8();
    state += "\nfile " + window->table().currentFile().toUtf8();
    state += window->table().unsavedChanges() ? "\nunsaved" : "\nsaved";
    return state;
}

// The user's work: a DBC file imported through the window and not saved yet.
bool importUserWork(WindowFixture &f)
{
    f.dialogs->files = {QStringLiteral(TESSALY_TEST_DATA "/engine.dbc")};
    menuAction(f.window.get(), "mnImportDBC")->trigger();
    const bool imported = f.window->table().unsavedChanges() && f.window->table().grid().rows() > 2
            && f.dialogs->kinds() == QStringList{"open"};
    f.dialogs->shown.clear();
    return imported;
}

// The name a command's file must have to get past its suffix check.
QString nameFor(const QString &command, const QString &stem)
{
    if (command == "mnImportDBC")
        return stem + ".dbc";
    if (command == "mnImportXML")
        return stem + ".PlexCanRXConfig";
    return stem + ".csv";
}

void addCommandRows(const char *kind, const QByteArray &dbc, const QByteArray &xml, const QByteArray &csv, int dbcRows,
                    int xmlRows, int csvRows, bool dbcWarns = false)
{
    QTest::addRow("Import DBC, %s", kind) << "mnImportDBC" << dbc << dbcRows << dbcWarns;
    QTest::addRow("Import XML, %s", kind) << "mnImportXML" << xml << xmlRows << false;
    QTest::addRow("Load CSV, %s", kind) << "mnLoadCSV" << csv << csvRows << false;
}

QByteArray highBytes()
{
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes.append(char(b));
    return bytes;
}

} // namespace

class TestBadInputWindow : public QObject
{
    Q_OBJECT

private slots:
    void refusedFileKeepsTheTable_data();
    void refusedFileKeepsTheTable();
    void oddFileGivesItsTable_data();
    void oddFileGivesItsTable();
    void failedSaveKeepsTheWork_data();
    void failedSaveKeepsTheWork();
    void badKeyListStillStartsTheWindow_data();
    void badKeyListStillStartsTheWindow();
};

void TestBadInputWindow::refusedFileKeepsTheTable_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("kind");
    for (const char *command : {"mnImportDBC", "mnImportXML", "mnLoadCSV"}) {
        for (const char *kind : {"gone since the dialog", "a folder", "line over 16 MiB", "a pipe", "a device"})
            QTest::addRow("%s, %s", command, kind) << QString::fromLatin1(command) << QString::fromLatin1(kind);
    }
}

void TestBadInputWindow::refusedFileKeepsTheTable()
{
    QFETCH(QString, command);
    QFETCH(QString, kind);
    WindowFixture f;
    QVERIFY(importUserWork(f));
    const QByteArray before = snapshot(f.window.get());

    const QString path = f.path(nameFor(command, "bad"));
    if (kind == "gone since the dialog") {
        QVERIFY(writeFile(path, "x\n"));
        QVERIFY(QFile::remove(path));
    } else if (kind == "a folder") {
        QVERIFY(QDir(f.dir.path()).mkdir(nameFor(command, "bad")));
    } else if (kind == "line over 16 MiB") {
        QVERIFY(writeFile(path, "first\n" + QByteArray(LineReader::maxLineLength + 1, 'x') + "\nlast\n"));
    } else {
#ifdef Q_OS_UNIX
        if (kind == "a pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
#else
        QSKIP("pipes and devices are Unix files");
#endif
    }

    f.dialogs->answers = {Dialogs::Answer::No}; // drop the unsaved import: the command goes on
    f.dialogs->files = {path};
    menuAction(f.window.get(), command.toLatin1().constData())->trigger();

    QCOMPARE(f.dialogs->kinds(), (QStringList{"ask", "open", "warn"}));
    const QString message = f.dialogs->shown[2].text;
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
    QCOMPARE(snapshot(f.window.get()), before);
    // The window still takes the next command.
    f.dialogs->answers = {Dialogs::Answer::No};
    menuAction(f.window.get(), "mnNew")->trigger();
    QCOMPARE(f.window->table().grid().rows(), 2);
}

void TestBadInputWindow::oddFileGivesItsTable_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("warned"); // of lines that could not be read completely

    using namespace Qt::StringLiterals;
    addCommandRows("empty", {}, {}, {}, 1, 1, 0);
    addCommandRows("NUL bytes", " SG_ A\0B : 0|8@1+ (1,0) [0|1] \"\0\" R\n\0\0\0\n SG_ C : 8|8@1+ (1,0) [0|1] \"\" R\n"_ba,
                   "<CAN_Data_Item>\n<label>A\0B</label>\n\0\0\n<CAN_Data_Item>\n"_ba, "//h\0;x\r\n\0\0\r\n;\0;\r\n"_ba,
                   3, 3, 3);
    const QByteArray mega(1 << 20, 'r');
    addCommandRows("1 MB line", " SG_ Long : 0|8@1+ (1,0) [0|1] \"u\" " + mega + "\n",
                   "<CAN_Data_Item>\n<label>" + mega + "</label>\n", "//h;\r\n;;;;" + mega + ";\r\n", 2, 2, 2);
    addCommandRows("1,000,000 short lines", QByteArray("SG_ s\n").repeated(1000000),
                   QByteArray("<CAN_Data_Item>\n").repeated(1000000), QByteArray("x;\r\n").repeated(1000000),
                   1000001, 1000001, 1000000, true);
    const QByteArray h = highBytes();
    addCommandRows("bytes 0x80 to 0xFF", h + "\n SG_ " + h + " : " + h + "@1+ (" + h + "," + h + ") [" + h + "] \"" + h
                           + "\" " + h + "\n",
                   h + "\n<CAN_Data_Item>" + h + "\n<label>" + h + "<\n", h + ";" + h + "\r\n" + h + "\r\n", 2, 2, 2);
}

void TestBadInputWindow::oddFileGivesItsTable()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, input);
    QFETCH(int, rows);
    QFETCH(bool, warned);
    WindowFixture f;
    QVERIFY(importUserWork(f));
    const QString path = f.path(nameFor(command, "odd"));
    QVERIFY(writeFile(path, input));

    f.dialogs->answers = {Dialogs::Answer::No};
    f.dialogs->files = {path};
    menuAction(f.window.get(), command.toLatin1().constData())->trigger();

    QStringList shown{"ask", "open"};
    if (warned)
        shown.append("warn");
    QCOMPARE(f.dialogs->kinds(), shown);
    const TableData &grid = f.window->table().grid();
    QCOMPARE(grid.rows(), rows);
    QCOMPARE(grid.fixedRows(), rows > 1 ? 1 : 0);
    if (command != "mnLoadCSV")
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + path + "]");
    QCOMPARE(f.window->table().unsavedChanges(), command != "mnLoadCSV");
    // The table is drawn, and it is written back out as it was read.
    QVERIFY(!f.window->grab().isNull());
    const QString out = f.path("out.CSV");
    f.dialogs->files = {out};
    menuAction(f.window.get(), "mnSaveCSV")->trigger();
    QCOMPARE(f.dialogs->kinds().last(), "inform");
    QFile saved(out);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), resultsCsvBytes(grid));
}

void TestBadInputWindow::failedSaveKeepsTheWork_data()
{
    QTest::addColumn<QString>("target"); // relative to the test's folder unless absolute
    QTest::addColumn<QString>("command");
    for (const char *command : {"mnSaveCSV", "mnNew"}) {
        QTest::addRow("%s, folder that does not exist", command) << "no/such/folder/out.CSV" << command;
        QTest::addRow("%s, a folder", command) << "folder" << command;
#ifdef Q_OS_UNIX
        QTest::addRow("%s, full device", command) << "/dev/full" << command;
        QTest::addRow("%s, a pipe nothing reads", command) << "pipe.CSV" << command;
#endif
    }
}

void TestBadInputWindow::failedSaveKeepsTheWork()
{
    QFETCH(QString, target);
    QFETCH(QString, command);
#ifdef Q_OS_UNIX
    if (target == "/dev/full" && !isCharacterDevice("/dev/full"))
        QSKIP("this system has no /dev/full");
#endif
    WindowFixture f;
    QVERIFY(importUserWork(f));
    QVERIFY(QDir(f.dir.path()).mkdir("folder"));
    const QString path = QDir::isAbsolutePath(target) ? target : f.path(target);
#ifdef Q_OS_UNIX
    if (target == "pipe.CSV")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    const QByteArray before = snapshot(f.window.get());

    // New asks to save first; a save that fails must stop it.
    f.dialogs->answers = {Dialogs::Answer::Yes};
    f.dialogs->files = {path};
    menuAction(f.window.get(), command.toLatin1().constData())->trigger();

    const QStringList kinds = f.dialogs->kinds();
    QCOMPARE(kinds.mid(kinds.size() - 2), (QStringList{"save", "warn"}));
    QCOMPARE(f.dialogs->shown.last().title, "Save CSV file");
    QVERIFY2(f.dialogs->shown.last().text.contains(QDir::toNativeSeparators(path)),
             qPrintable(f.dialogs->shown.last().text));
    // The save proposes the results name, and that is all that changes.
    QVERIFY(f.window->table().unsavedChanges());
    QCOMPARE(snapshot(f.window.get()).replace("/CAN_engine.dbc", "/engine.dbc"), before);
#ifdef Q_OS_UNIX
    QVERIFY(isCharacterDevice("/dev/full"));
#endif
    QVERIFY(QFileInfo(f.path("folder")).isDir());
}

void TestBadInputWindow::badKeyListStillStartsTheWindow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("items");
    QTest::addColumn<QString>("warning"); // a text the start-up warning holds; empty: none

    using namespace Qt::StringLiterals;
    QTest::newRow("missing") << "missing" << QByteArray() << 0 << "No such file";
    QTest::newRow("a folder") << "folder" << QByteArray() << 0 << "folder";
#ifdef Q_OS_UNIX
    QTest::newRow("a pipe") << "pipe" << QByteArray() << 0 << "not a regular file";
#endif
    QTest::newRow("empty") << "file" << QByteArray() << 0 << QString();
    QTest::newRow("NUL bytes") << "file" << "\0\0\0\r\nK\0EY;x;y\0\r\n"_ba << 2 << QString();
    QTest::newRow("1 MB line") << "file" << "LONG;x;" + QByteArray(1 << 20, 'd') + "\r\n" << 1 << QString();
    QTest::newRow("1,000,000 short lines") << "file" << QByteArray("KEYS;x;y\r\n").repeated(1000000)
                                           << KeyList::capacity << "the last 999951 were not loaded";
    QTest::newRow("bytes 0x80 to 0xFF") << "file" << highBytes() + ";" + highBytes() + ";" + highBytes() << 1
                                        << QString();
    QTest::newRow("line over 16 MiB") << "file" << QByteArray(LineReader::maxLineLength + 1, 'k') << 0
                                      << "longer than 16 MiB";
}

void TestBadInputWindow::badKeyListStillStartsTheWindow()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, items);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString path = dir.filePath(KeyList::fileName());
    if (kind == "file")
        QVERIFY(writeFile(path, bytes));
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir(KeyList::fileName()));
#ifdef Q_OS_UNIX
    else if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif

    auto fake = std::make_unique<FakeDialogs>();
    FakeDialogs *dialogs = fake.get();
    frmDBC window(std::move(fake), path);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (warning.isEmpty()) {
        QTest::qWait(20);
        QVERIFY(dialogs->shown.isEmpty());
    } else {
        QTRY_COMPARE(dialogs->kinds(), QStringList{"warn"});
        QVERIFY2(dialogs->shown[0].text.contains(QDir::toNativeSeparators(path)), qPrintable(dialogs->shown[0].text));
        QVERIFY2(dialogs->shown[0].text.contains(warning), qPrintable(dialogs->shown[0].text));
    }
    QCOMPARE(window.keyEditor()->count(), items);

    // Choosing a key still works on whatever the list holds.
    if (items > 0) {
        window.grid()->setCurrentIndex(window.table().modelIndex(1, Col::Key));
        QTRY_VERIFY(window.keyEditor()->isVisible());
        QTest::keyClick(window.keyEditor(), Qt::Key_End);
        QCOMPARE(window.table().grid().text(1, Col::Key), keyOfItem(window.keyEditor()->itemText(items - 1)));
    }
    QVERIFY(!window.grab().isNull());
}

QTEST_MAIN(TestBadInputWindow)
#include "test_bad_input_window.moc"
