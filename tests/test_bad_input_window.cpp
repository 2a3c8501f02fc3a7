// The window's file commands with files that are bad or odd: a refused file leaves
// the user's table, caption and unsaved state exactly as they were, an odd but
// readable file gives its table, and the window goes on working either way.

#include "window_fixture.h"

#include "csv/results_csv.h"
#include "keys/key_list.h"
#include "table/text_file.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QTableView>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void trigger(WindowFixture &f, const QString &command)
{
    f.window->findChild<QAction *>(command)->trigger();
}

// Puts a `kind` of thing at `path`: a file holding `bytes`, a folder, a pipe, a
// link to a device that never ends, or nothing ("gone").
bool make(const QString &kind, const QString &path, const QByteArray &bytes = {})
{
    QFile file(path);
    if (kind == "file")
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    if (kind == "folder")
        return QDir().mkdir(path);
#ifdef Q_OS_UNIX
    if (kind == "pipe")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == "device")
        return QFile::link(u"/dev/zero"_s, path);
#endif
    return kind == "gone";
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
    state += "\nfixed rows " + QByteArray::number(grid.fixedRows()) + "\ncaption " + window->windowTitle().toUtf8();
    state += "\nfile " + window->table().currentFile().toUtf8();
    return state + (window->table().unsavedChanges() ? "\nunsaved" : "\nsaved");
}

// The user's work: a DBC file imported through the window and not saved yet.
bool importUserWork(WindowFixture &f)
{
    f.dialogs->files = {QStringLiteral(TESSALY_TEST_DATA "/engine.dbc")};
    trigger(f, "mnImportDBC");
    const bool imported = f.window->table().unsavedChanges() && f.window->table().grid().rows() > 2
            && f.dialogs->kinds() == QStringList{"open"};
    f.dialogs->shown.clear();
    return imported;
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
    void openBadFile_data();
    void openBadFile();
    void failedSaveKeepsTheWork_data();
    void failedSaveKeepsTheWork();
    void badKeyListStillStartsTheWindow_data();
    void badKeyListStillStartsTheWindow();
};

void TestBadInputWindow::openBadFile_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("rows"); // of the table read; -1: the file is refused
    QTest::addColumn<bool>("warned"); // of lines that could not be read completely

    const QByteArray m(1 << 20, 'r'), h = highBytes();
    const QByteArray overlong = "first\n" + QByteArray(LineReader::maxLineLength + 1, 'x') + "\nlast\n";
    const struct
    {
        const char *name, *kind;
        QByteArray dbc, xml, csv;
        int dbcRows, xmlRows, csvRows;
    } cases[] = {
        {"gone since the dialog", "gone", {}, {}, {}, -1, -1, -1},
        {"a folder", "folder", {}, {}, {}, -1, -1, -1},
        {"line over 16 MiB", "file", overlong, overlong, overlong, -1, -1, -1},
#ifdef Q_OS_UNIX
        {"a pipe", "pipe", {}, {}, {}, -1, -1, -1},
        {"a device", "device", {}, {}, {}, -1, -1, -1},
#endif
        {"empty", "file", {}, {}, {}, 1, 1, 0},
        {"NUL bytes", "file", " SG_ A\0B : 0|8@1+ (1,0) [0|1] \"\0\" R\n\0\0\0\n SG_ C : 8|8@1+ (1,0) [0|1] \"\" R\n"_ba,
         "<CAN_Data_Item>\n<label>A\0B</label>\n\0\0\n<CAN_Data_Item>\n"_ba, "//h\0;x\r\n\0\0\r\n;\0;\r\n"_ba, 3, 3, 3},
        {"1 MB line", "file", " SG_ Long : 0|8@1+ (1,0) [0|1] \"u\" " + m + "\n",
         "<CAN_Data_Item>\n<label>" + m + "</label>\n", "//h;\r\n;;;;" + m + ";\r\n", 2, 2, 2},
        {"1,000,000 short lines", "file", "SG_ s\n"_ba.repeated(1000000),
         "<CAN_Data_Item>\n"_ba.repeated(1000000), "x;\r\n"_ba.repeated(1000000), 1000001, 1000001, 1000000},
        {"bytes 0x80 to 0xFF", "file",
         h + "\n SG_ " + h + " : " + h + "@1+ (" + h + "," + h + ") [" + h + "] \"" + h + "\" " + h + "\n",
         h + "\n<CAN_Data_Item>" + h + "\n<label>" + h + "<\n", h + ";" + h + "\r\n" + h + "\r\n", 2, 2, 2},
    };
    for (const auto &c : cases) {
        const bool million = c.csvRows == 1000000;
        QTest::addRow("Import DBC, %s", c.name) << "mnImportDBC" << c.kind << c.dbc << c.dbcRows << million;
        QTest::addRow("Import XML, %s", c.name) << "mnImportXML" << c.kind << c.xml << c.xmlRows << false;
        QTest::addRow("Load CSV, %s", c.name) << "mnLoadCSV" << c.kind << c.csv << c.csvRows << false;
    }
}

void TestBadInputWindow::openBadFile()
{
    QFETCH(QString, command);
    QFETCH(QString, kind);
    QFETCH(QByteArray, input);
    QFETCH(int, rows);
    QFETCH(bool, warned);
    WindowFixture f;
    QVERIFY(importUserWork(f));
    const QByteArray before = snapshot(f.window.get());
    // A name that gets past the command's suffix check.
    const QString path = f.path(command == "mnImportDBC"   ? "in.dbc"
                                : command == "mnImportXML" ? "in.PlexCanRXConfig"
                                                           : "in.csv");
    QVERIFY(make(kind, path, input));

    f.dialogs->answers = {Dialogs::Answer::No}; // drop the unsaved import: the command goes on
    f.dialogs->files = {path};
    trigger(f, command);

    if (rows < 0) {
        QCOMPARE(f.dialogs->kinds(), (QStringList{"ask", "open", "warn"}));
        QVERIFY2(f.dialogs->shown[2].text.contains(QDir::toNativeSeparators(path)), qPrintable(f.dialogs->shown[2].text));
        QCOMPARE(snapshot(f.window.get()), before);
        // The window still takes the next command.
        f.dialogs->answers = {Dialogs::Answer::No};
        trigger(f, "mnNew");
        QCOMPARE(f.window->table().grid().rows(), 2);
        return;
    }
    QCOMPARE(f.dialogs->kinds(), (warned ? QStringList{"ask", "open", "warn"} : QStringList{"ask", "open"}));
    const TableData &grid = f.window->table().grid();
    QCOMPARE(grid.rows(), rows);
    QCOMPARE(grid.fixedRows(), rows > 1 ? 1 : 0);
    if (command != "mnLoadCSV")
        QCOMPARE(f.window->windowTitle(), "Tessaly [" + path + "]");
    QCOMPARE(f.window->table().unsavedChanges(), command != "mnLoadCSV");
    // The table is drawn, and it is written back out as it was read.
    QVERIFY(!f.window->grab().isNull());
    f.dialogs->files = {f.path("out.CSV")};
    trigger(f, "mnSaveCSV");
    QCOMPARE(f.dialogs->kinds().last(), "inform");
    QFile saved(f.path("out.CSV"));
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
        QTest::addRow("%s, a pipe nothing reads", command) << "pipe" << command;
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
    const QString path = QDir::isAbsolutePath(target) ? target : f.path(target);
    QVERIFY(make("folder", f.path("folder")) && (target != "pipe" || make("pipe", path)));
    const QByteArray before = snapshot(f.window.get());

    // New asks to save first; a save that fails must stop it.
    f.dialogs->answers = {Dialogs::Answer::Yes};
    f.dialogs->files = {path};
    trigger(f, command);

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

    QTest::newRow("missing") << "gone" << QByteArray() << 0 << "No such file";
    QTest::newRow("a folder") << "folder" << QByteArray() << 0 << "folder";
#ifdef Q_OS_UNIX
    QTest::newRow("a pipe") << "pipe" << QByteArray() << 0 << "not a regular file";
#endif
    QTest::newRow("empty") << "file" << QByteArray() << 0 << QString();
    QTest::newRow("NUL bytes") << "file" << "\0\0\0\r\nK\0EY;x;y\0\r\n"_ba << 2 << QString();
    QTest::newRow("1 MB line") << "file" << "LONG;x;" + QByteArray(1 << 20, 'd') + "\r\n" << 1 << QString();
    QTest::newRow("1,000,000 short lines") << "file" << "KEYS;x;y\r\n"_ba.repeated(1000000) << KeyList::capacity
                                           << "the last 999951 were not loaded";
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
    QVERIFY(make(kind, path, bytes));

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
        const QString text = dialogs->shown[0].text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)) && text.contains(warning), qPrintable(text));
    }
    QCOMPARE(window.keyEditor()->count(), items);

    // Choosing a key still works on whatever the list holds.
    if (items > 0) {
        window.grid()->setCurrentIndex(window.editors()->map().viewIndex(1, Col::Key));
        QTRY_VERIFY(window.keyEditor()->isVisible());
        QTest::keyClick(window.grid(), Qt::Key_F4);
        QTest::keyClick(window.keyEditor()->view(), Qt::Key_End);
        QTest::keyClick(window.keyEditor()->view(), Qt::Key_Return);
        QCOMPARE(window.table().grid().text(1, Col::Key), keyOfItem(window.keyEditor()->itemText(items - 1)));
    }
    QVERIFY(!window.grab().isNull());
}

QTEST_MAIN(TestBadInputWindow)
#include "test_bad_input_window.moc"
