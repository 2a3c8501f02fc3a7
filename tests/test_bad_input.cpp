// Files no tool of the user's would write on purpose, fed to every reader of outside
// files (DBC import, XML import, results CSV load, key list): each gives a correct
// table or a clear error naming the file, and returns. Then what only the window does
// with a refused file or a failed save: it says so, and leaves the user's work alone.

#include "window_fixture.h"

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/xml_import.h"
#include "keys/key_list.h"
#include "table/table_status.h"
#include "table/text_file.h"

#include <QDir>

#include <chrono>
#include <csignal>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// What a reader made of a file: for a key list its items, one a line, else the table
// as a results CSV; or the error.
struct Outcome
{
    QString problem;
    QStringList warnings;
    QByteArray result;
    int rows = 0;
    QList<int> breaking; // the rows a save names before it writes them
};

Outcome readWith(const QString &reader, const QString &path)
{
    Outcome outcome;
    if (reader == "keys") {
        const KeyList list = readKeyList(path);
        outcome.problem = list.warning;
        outcome.result = list.items.join(u'\n').toUtf8();
        outcome.rows = int(list.items.size());
        return outcome;
    }
    double messageId = 0;
    const ImportResult result = reader == "dbc"   ? ReadDBC(path, TableData::standard(), messageId)
                                : reader == "xml" ? ReadXML(path, TableData::standard())
                                                  : LoadCSV(path);
    outcome.problem = result.error;
    outcome.warnings = result.warnings;
    outcome.result = resultsCsvBytes(result.table);
    outcome.rows = result.table.rows();
    outcome.breaking = rowsBreakingCsv(result.table, 10);
    return outcome;
}

// A name each reader (and each window command) takes by its suffix.
QString inputName(const QString &reader)
{
    return reader == "dbc" || reader == "mnImportDBC"   ? u"input.dbc"_s
           : reader == "xml" || reader == "mnImportXML" ? u"input.PlexCanRXConfig"_s
           : reader == "keys"                           ? KeyList::fileName()
                                                        : u"input.csv"_s;
}

// Puts a `kind` of thing at `path`: a file holding `bytes`, a folder, a pipe, a link
// to a device that never ends, or nothing ("gone", "full").
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
    return kind == "gone" || kind == "full";
}

// The first bytes of a PNG picture, as a file renamed to .dbc would begin.
const QByteArray picture = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10"_ba;

QByteArray highBytes()
{
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes.append(char(b));
    return bytes;
}

// While it lives, no file of the process grows beyond `bytes` (a negative number:
// no limit); writing more fails as a full disk does.
struct FileSizeLimit
{
    explicit FileSizeLimit(qint64 bytes)
    {
#ifdef Q_OS_UNIX
        if (bytes < 0 || ::getrlimit(RLIMIT_FSIZE, &m_before) != 0)
            return;
        std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        rlimit limit = m_before;
        limit.rlim_cur = rlim_t(bytes);
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
#else
        Q_UNUSED(bytes);
#endif
    }
    ~FileSizeLimit()
    {
#ifdef Q_OS_UNIX
        if (m_set)
            ::setrlimit(RLIMIT_FSIZE, &m_before);
#endif
    }
#ifdef Q_OS_UNIX
    rlimit m_before = {};
    bool m_set = false;
#endif
};

// Everything of the window's document a failed command must leave alone.
QByteArray snapshot(frmDBC *window)
{
    const TableData &grid = window->table().grid();
    QByteArray state = resultsCsvBytes(grid);
    for (int row = 0; row < grid.rows(); ++row)
        state += QByteArray::number(int(grid.colour(row, Col::Key))) + (grid.rowIcon(row) ? "i" : "-");
    state += "\nfixed rows " + QByteArray::number(grid.fixedRows()) + "\ncaption " + window->windowTitle().toUtf8();
    return state + (window->table().unsavedChanges() ? "\nunsaved" : "\nsaved");
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void readers_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("result"); // the table or the items; for a refused file a text of the error
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QList<int>>("breaking"); // the rows a save names before writing

        const QByteArray m(1 << 20, 'r'), h = highBytes();
        const QByteArray overlong = "first line\n" + QByteArray(LineReader::maxLineLength + 1, 'x') + "\nlast line\n";
        for (const char *reader : {"dbc", "xml", "csv", "keys"}) {
            const auto refused = [&](const char *name, const char *kind, const QByteArray &reason,
                                     const QByteArray &input) {
                QTest::addRow("%s, %s", reader, name) << QString::fromLatin1(reader) << kind << input << reason << true
                                                      << QList<int>();
            };
            refused("line over 16 MiB", "file", "line 2 is longer than 16 MiB", overlong);
            refused("gone since the dialog", "gone", "No such file", overlong);
            refused("a folder", "folder", "folder", overlong);
#ifdef Q_OS_UNIX
            // Opening a pipe for reading waits for a writer; a device may never end.
            refused("a pipe", "pipe", "not a regular file", overlong);
            refused("a device", "device", "not a regular file", overlong);
#endif
            refused("a picture", "file", "it holds a NUL byte, so it is not a text file.", picture);
            refused("NUL", "file", "it holds a NUL byte, so it is not a text file.", "ABCD;x;\0\r\nA\n"_ba);
            // A signal file without signals has nothing to import; an empty results
            // CSV or key list is an empty table or list.
            if (qstrcmp(reader, "dbc") == 0) {
                refused("empty", "file", "it holds no signal line (\"SG_\"), so there is nothing to import.", {});
                refused("message lines only", "file", "it holds no signal line", "BO_ 1 A: 8 N\nBO_ 2 B: 8 N\n");
            } else if (qstrcmp(reader, "xml") == 0) {
                refused("empty", "file", "it holds no <CAN_Data_Item> element", {});
                refused("on one line", "file", "This reader needs one element per line.",
                        "<?xml version=\"1.0\"?><a><CAN_Data_Item><id>1</id></CAN_Data_Item></a>");
            } else {
                QTest::addRow("%s, empty", reader) << QString::fromLatin1(reader) << "file" << QByteArray() << QByteArray()
                                                   << false << QList<int>();
            }
        }
        // Control characters stay in their cells, and a save names their rows first; a
        // 1 MB line spans several read chunks, and the line after it comes out whole;
        // every byte from 0x80 to 0xFF is kept (they are not UTF-8).
        const auto add = [](const char *name, const QByteArray &input, const QByteArray &result,
                            const QList<int> &breaking = {}) {
            QTest::newRow(name) << QString::fromLatin1(name).section(u',', 0, 0) << "file" << input << result << false
                                << breaking;
        };
        add("dbc, controls", "BO_ 1 M: 8 E\n SG_ A : 0|8@1+ (1,0) [0|1] \"\x01\" R\n SG_ B : 0|8@1+ (1,0) [0|1] \"\" R\x1F\n"
                             " SG_ C : 0|8@1+ (1,0) [0|1] \"\x7F\" R\x80\n"_ba,
            headingLine + "0 1;0|8;0;0;A;\x01;1;0;R;;;1;[0|1];\r\n0 1;0|8;0;0;B;;1;0;R\x1F;;;1;[0|1];\r\n"
                          "0 1;0|8;0;0;C;\x7F;1;0;R\x80;;;1;[0|1];\r\n"_ba, {1, 2});
        add("dbc, 1 MB line", " SG_ L : 0|8@1+ (1,0) [0|1] \"u\" " + m + "\n SG_ N : 0|8@1+ (1,0) [0|1] \"u\" X\n",
            headingLine + "0 0;0|8;0;0;L;u;1;0;" + m + ";;;1;[0|1];\r\n0 0;0|8;0;0;N;u;1;0;X;;;1;[0|1];\r\n");
        add("xml, 1 MB line", "<CAN_Data_Item>\n<label>" + m + "</label>\n<CAN_Data_Item>\n<label>N</label>\n",
            headingLine + ";;;;" + m + ";;;;" + m + ";;;;;\r\n;;;;N;;;;N;;;;;\r\n");
        add("csv, 1 MB line", "//h;\r\n;;;;" + m + ";\r\n;;;;N;\r\n",
            "//h;;;;;;;;;;;;;\r\n;;;;" + m + ";;;;;;;;;\r\n;;;;N;;;;;;;;;\r\n");
        add("keys, 1 MB line", "LONG;x;" + m + "\r\nNEXT;y;z\r\n", "LONG - " + m + "\nNEXT - z");
        add("dbc, 0x80-0xFF",
            h + "\nBO_ 1 " + h + ": 8 " + h + "\n SG_ " + h + " " + h + " : " + h + "@1+ (" + h + "," + h + ") [" + h
                    + "] \"" + h + "\" " + h + "\n",
            headingLine + "0 1;" + h + ";0;0;" + h + ";" + h + ";" + h + ";" + h + ";" + h + ";" + h + " ;;1;[" + h + "];\r\n");
        add("xml, 0x80-0xFF",
            h + "\n<CAN_Data_Item>" + h + "\n<label>" + h + "</label>\n<id>" + h + "<\n<gauge_low>" + h + "\n<gauge_high>" + h,
            headingLine + h + ";;;;" + h + ";;;;" + h + ";;;;" + h + " .. " + h + ";\r\n");
        add("csv, 0x80-0xFF", "//" + h + ";" + h + "\r\n" + h + ";" + h + ";" + h + "\r\n",
            "//" + h + ";" + h + ";;;;;;;;;;;;\r\n" + h + ";" + h + ";" + h + ";;;;;;;;;;;\r\n");
        const QByteArray text = decodeCp1252(h).toUtf8();
        add("keys, 0x80-0xFF", "\x80\xC4\xFC\xFF;" + h + ";" + h + "\r\n", "\xE2\x82\xAC\xC3\x84\xC3\xBC\xC3\xBF - " + text);
        // A million short lines; what the DBC and key-list readers warn of then has tests of its own.
        add("xml, 1,000,000 lines", "<CAN_Data_Item>\n"_ba.repeated(1000000), headingLine + ";;;;;;;;;;;;;\r\n"_ba.repeated(1000000));
        add("csv, 1,000,000 lines", "x;\r\n"_ba.repeated(1000000), "//x;;;;;;;;;;;;;\r\n" + "x;;;;;;;;;;;;;\r\n"_ba.repeated(999999));
    }

    void readers()
    {
        QFETCH(QString, reader);
        QFETCH(QString, kind);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, result);
        QFETCH(bool, refused);
        QFETCH(QList<int>, breaking);
        const QTemporaryDir dir;
        const QString path = dir.filePath(inputName(reader));
        QVERIFY(make(kind, path, input));
        const Outcome outcome = readWith(reader, path);
        if (!refused) {
            QVERIFY2(outcome.problem.isEmpty(), qPrintable(outcome.problem));
            QCOMPARE(outcome.warnings, QStringList());
            QCOMPARE(outcome.result, result);
            QCOMPARE(outcome.breaking, breaking);
            return;
        }
        QVERIFY2(outcome.problem.contains(QDir::toNativeSeparators(path)) && outcome.problem.contains(result),
                 qPrintable(outcome.problem));
        QCOMPARE(outcome.rows, 0); // nothing of the file is handed on
    }

    void saveToPipe()
    {
#ifdef Q_OS_UNIX
        const QTemporaryDir dir;
        const QString path = dir.filePath("pipe.CSV");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        TableData table = TableData::standard();

        // Nothing reads: refused at once instead of waiting for a reader.
        const QString error = writeResultsCsv(table, path);
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains("nothing reads"), qPrintable(error));

        // A reader is there: the table goes through the pipe.
        int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QCOMPARE(writeResultsCsv(table, path), QString());
        QByteArray received(4096, '\0');
        const ssize_t got = ::read(reader, received.data(), size_t(received.size()));
        QCOMPARE(received.left(qMax<ssize_t>(got, 0)), resultsCsvBytes(table));

        // The reader goes away while more than the pipe holds is written: a failure
        // naming the file, as a full disk gives.
        std::signal(SIGPIPE, SIG_IGN);
        table.addItem(u"1\t"_s + QString(1 << 20, u'x'));
        std::thread closer([reader] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::close(reader);
        });
        const QString broken = writeResultsCsv(table, path);
        closer.join();
        QVERIFY2(broken.startsWith("Cannot save \"" + QDir::toNativeSeparators(path)), qPrintable(broken));
#else
        QSKIP("pipes are Unix files");
#endif
    }

    void windowKeepsTheWork_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("target"); // relative to the test's folder
        for (const char *command : {"mnImportDBC", "mnImportXML", "mnLoadCSV"}) {
            QTest::addRow("%s, gone", command) << command << "gone" << inputName(command);
            QTest::addRow("%s, a folder", command) << command << "folder" << inputName(command);
        }
        QTest::newRow("Import DBC, line over 16 MiB") << "mnImportDBC" << "long" << inputName("dbc");
        QTest::newRow("Import DBC, empty file") << "mnImportDBC" << "empty" << inputName("dbc");
        QTest::newRow("Import XML, a picture") << "mnImportXML" << "picture" << inputName("xml");
        // New asks to save first; a save that fails must stop it.
        QTest::newRow("save to a missing folder") << "mnNew" << "gone" << "no/such/out.CSV";
        QTest::newRow("save onto a folder") << "mnNew" << "folder" << "out.CSV";
#ifdef Q_OS_UNIX
        QTest::newRow("Load CSV, a pipe") << "mnLoadCSV" << "pipe" << inputName("csv");
        QTest::newRow("save to a pipe nothing reads") << "mnNew" << "pipe" << "out.CSV";
        // The disk fills up in the middle of the file, as a file size limit makes it:
        // the system's reason, not "Unknown error", and no file cut short.
        QTest::newRow("save onto a full disk") << "mnNew" << "full" << "out.CSV";
#endif
    }

    void windowKeepsTheWork()
    {
        QFETCH(QString, command);
        QFETCH(QString, kind);
        QFETCH(QString, target);
        WindowFixture f;
        f.run("mnImportDBC", {fixture("engine.dbc")});
        QVERIFY(f.window->table().unsavedChanges() && f.window->table().grid().rows() == 3);
        const QByteArray before = snapshot(f.window.get());
        const QString path = f.path(target);
        const QByteArray bytes = kind == "long" ? QByteArray(LineReader::maxLineLength + 1, 'x')
                                 : kind == "picture"              ? picture
                                                                  : QByteArray();
        QVERIFY(kind == "long" || kind == "picture" || kind == "empty" ? make("file", path, bytes) : make(kind, path));

        const bool save = command == "mnNew";
        f.dialogs->shown.clear();
        f.dialogs->answers = {save ? Dialogs::Answer::Yes : Dialogs::Answer::No};
        {
            const FileSizeLimit limit(kind == "full" ? 200 : -1);
            f.run(command.toLatin1(), {path});
        }

        QCOMPARE(f.dialogs->kinds(), (QStringList{"ask", save ? "save" : "open", "warn"}));
        QVERIFY2(f.dialogs->shown[2].text.contains(QDir::toNativeSeparators(path)), qPrintable(f.dialogs->shown[2].text));
        QCOMPARE(snapshot(f.window.get()), before);
        QVERIFY(kind != "folder" || QFileInfo(path).isDir());
#ifdef Q_OS_UNIX
        QVERIFY(kind != "full" || (f.dialogs->shown[2].text.endsWith(qt_error_string(EFBIG)) && !QFileInfo::exists(path)));
#endif
    }
};

QTEST_MAIN(TestBadInput)
#include "test_bad_input.moc"
