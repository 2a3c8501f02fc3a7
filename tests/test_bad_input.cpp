// Every reader of outside files (DBC import, XML import, results CSV load, key list)
// fed with files that no tool of the user's would write on purpose: each must give
// a clear error naming the file or a correct table, and return.

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "import/xml_import.h"
#include "keys/key_list.h"
#include "table/table_data.h"
#include "table/text_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const QByteArray headingLine =
        "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";
const char *const readers[] = {"dbc", "xml", "csv", "keys"};

// What a reader made of a file: the table (or the key list's items) and the error
// or warning the user is shown.
struct Outcome
{
    bool ok = false;
    QString problem;
    QStringList warnings;
    TableData table;
    QStringList items;
};

// The reader's input file in `dir` (the DBC and XML readers look at the suffix),
// filled with `bytes` unless null, read by that reader.
Outcome readWith(const QString &reader, const QString &path, const QByteArray *bytes = nullptr)
{
    QFile file(path);
    if (bytes && !(file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size() && file.flush()))
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    Outcome outcome;
    if (reader == "keys") {
        const KeyList list = readKeyList(path);
        outcome.items = list.items;
        outcome.problem = list.warning;
        outcome.ok = list.warning.isEmpty();
        return outcome;
    }
    double messageId = 0;
    ImportResult result = reader == "dbc"   ? ReadDBC(path, TableData::standard(), messageId)
                          : reader == "xml" ? ReadXML(path, TableData::standard())
                                            : LoadCSV(path);
    outcome.ok = result.ok();
    outcome.problem = result.error;
    outcome.warnings = result.warnings;
    outcome.table = std::move(result.table);
    return outcome;
}

QString inputPath(const QTemporaryDir &dir, const QString &reader)
{
    return dir.filePath(reader == "dbc"   ? "input.dbc"
                        : reader == "xml" ? "input.PlexCanRXConfig"
                        : reader == "csv" ? "input.csv"
                                          : "Preassigned_keys.CSV");
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void readToTheEnd_data();
    void readToTheEnd();
    void millionShortLines_data();
    void millionShortLines();
    void refusedFileIsNamed_data();
    void refusedFileIsNamed();
    void saveToPipe();
};

void TestBadInput::readToTheEnd_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("written"); // the table saved as a results CSV
    QTest::addColumn<QStringList>("items");

    // An empty file: the heading row alone, or a table without rows.
    for (const char *reader : readers)
        QTest::addRow("%s, empty", reader) << QString::fromLatin1(reader) << QByteArray()
                                           << (qstrlen(reader) == 3 && reader[0] != 'c' ? headingLine : QByteArray())
                                           << QStringList();
    // NUL bytes stay in their cells.
    QTest::newRow("dbc, NUL") << "dbc"
                              << "BO_ 291 M: 8 E\n SG_ A\0B : 0|8@1+ (1,0) [0|255] \"\0\" R\0X\n"
                                 " SG_ C : 8|8@1+ (1,0) [0|1] \"\" R\n"_ba
                              << headingLine + "0 123;0|8;0;0;A\0B;\0;1;0;R\0X;;;1;[0|255];\r\n"
                                               "0 123;8|8;0;0;C;;1;0;R;;;1;[0|1];\r\n"_ba
                              << QStringList();
    QTest::newRow("xml, NUL") << "xml"
                              << "<CAN_Data_Item>\n<label>A\0B</label>\n\0\0\0\n<CAN_Data_Item>\n<id>\0</id>\n"_ba
                              << headingLine + ";;;;A\0B;;;;A\0B;;;;;\r\n\0;;;;;;;;;;;;;\r\n"_ba << QStringList();
    QTest::newRow("csv, NUL") << "csv" << "//h\0x;y\r\n1\0;A\0B;\r\n\0\0\r\n"_ba
                              << "//h\0x;y;;;;;;;;;;;;\r\n1\0;A\0B;;;;;;;;;;;;\r\n\0\0;;;;;;;;;;;;;\r\n"_ba
                              << QStringList();
    QTest::newRow("keys, NUL") << "keys" << "K\0EY;x;d\0e\r\nABCD;\0;z\r\n"_ba << QByteArray()
                               << QStringList{u"K\0EY - d\0e"_s, "ABCD - z"};

    // A 1 MB line spans several read chunks; the line after it must come out whole.
    const QByteArray m(1 << 20, 'r');
    QTest::newRow("dbc, 1 MB line")
            << "dbc" << " SG_ Long : 0|8@1+ (1,0) [0|1] \"u\" " + m + "\n SG_ Next : 0|8@1+ (1,0) [0|1] \"u\" X\n"
            << headingLine + "0 0;0|8;0;0;Long;u;1;0;" + m + ";;;1;[0|1];\r\n0 0;0|8;0;0;Next;u;1;0;X;;;1;[0|1];\r\n"
            << QStringList();
    QTest::newRow("xml, 1 MB line") << "xml"
                                    << "<CAN_Data_Item>\n<label>" + m + "</label>\n<CAN_Data_Item>\n<label>Next</label>\n"
                                    << headingLine + ";;;;" + m + ";;;;" + m + ";;;;;\r\n;;;;Next;;;;Next;;;;;\r\n"
                                    << QStringList();
    QTest::newRow("csv, 1 MB line") << "csv" << "//h;\r\n;;;;" + m + ";\r\n;;;;Next;\r\n"
                                    << "//h;;;;;;;;;;;;;\r\n;;;;" + m + ";;;;;;;;;\r\n;;;;Next;;;;;;;;;\r\n"
                                    << QStringList();
    QTest::newRow("keys, 1 MB line") << "keys" << "LONG;x;" + m + "\r\nNEXT;y;z\r\n" << QByteArray()
                                     << QStringList{"LONG - " + QString::fromLatin1(m), "NEXT - z"};

    // Every field, and a line of its own, made of the bytes 0x80 to 0xFF.
    QByteArray h;
    for (int b = 0x80; b <= 0xFF; ++b)
        h.append(char(b));
    QTest::newRow("dbc, 0x80-0xFF")
            << "dbc"
            << h + "\nBO_ 1 " + h + ": 8 " + h + "\n SG_ " + h + " " + h + " : " + h + "@1+ (" + h + "," + h + ") ["
                       + h + "] \"" + h + "\" " + h + "\n"
            << headingLine + "0 1;" + h + ";0;0;" + h + ";" + h + ";" + h + ";" + h + ";" + h + ";" + h + " ;;1;[" + h
                       + "];\r\n"
            << QStringList();
    QTest::newRow("xml, 0x80-0xFF") << "xml"
                                    << h + "\n<CAN_Data_Item>" + h + "\n<label>" + h + "</label>\n<id>" + h + "<\n"
                                               + "<gauge_low>" + h + "\n<gauge_high>" + h + "\n"
                                    << headingLine + h + ";;;;" + h + ";;;;" + h + ";;;;" + h + " .. " + h + ";\r\n"
                                    << QStringList();
    QTest::newRow("csv, 0x80-0xFF") << "csv" << "//" + h + ";" + h + "\r\n" + h + "\r\n" + h + ";" + h + ";" + h + "\r\n"
                                    << "//" + h + ";" + h + ";;;;;;;;;;;;\r\n" + h + ";;;;;;;;;;;;;\r\n" + h + ";" + h
                                               + ";" + h + ";;;;;;;;;;;\r\n"
                                    << QStringList();
    const QString text = decodeCp1252(h);
    QTest::newRow("keys, 0x80-0xFF") << "keys" << h + "\r\n" + h + ";" + h + ";" + h + "\r\n" << QByteArray()
                                     << QStringList{text + " - ", text + " - " + text};
}

void TestBadInput::readToTheEnd()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, items);
    const QTemporaryDir dir;
    const Outcome outcome = readWith(reader, inputPath(dir, reader), &input);
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    QCOMPARE(resultsCsvBytes(outcome.table), written);
    QCOMPARE(outcome.items, items);
    if (input.isEmpty()) {
        QVERIFY(outcome.warnings.isEmpty());
        QCOMPARE(outcome.table.fixedRows(), 0);
    }
}

void TestBadInput::millionShortLines_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("warning"); // a text the warning holds, if any
    // Signal lines that lack most of their parts: each is a row, and the warning
    // counts them all but lists only the first few.
    QTest::newRow("dbc") << "dbc" << "SG_ s\n"_ba << 1000001 << "1000000 lines could not be read completely";
    QTest::newRow("xml") << "xml" << "<CAN_Data_Item>\n"_ba << 1000001 << QString();
    QTest::newRow("csv") << "csv" << "x;\r\n"_ba << 1000000 << QString();
    QTest::newRow("keys") << "keys" << "KEY;x;y\r"_ba << KeyList::capacity << "the last 999951 were not loaded";
}

void TestBadInput::millionShortLines()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, line);
    QFETCH(int, rows);
    QFETCH(QString, warning);
    const QTemporaryDir dir;
    const QByteArray input = line.repeated(1000000);
    const Outcome outcome = readWith(reader, inputPath(dir, reader), &input);
    if (reader == "keys") {
        QCOMPARE(outcome.items.size(), rows);
        QVERIFY2(outcome.problem.contains(warning), qPrintable(outcome.problem));
        return;
    }
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    QCOMPARE(outcome.table.rows(), rows);
    const int last = rows - 1;
    if (reader == "csv") {
        QCOMPARE(outcome.table.text(last, Col::Number), QString::number(last));
        QCOMPARE(outcome.table.text(last, Col::CanId), "x");
    } else {
        QCOMPARE(outcome.table.text(last, Col::Number), QString::number(last - 1)); // signals count from 0
        QVERIFY(outcome.table.rowIcon(last));
    }
    QCOMPARE(outcome.warnings.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty()) {
        QVERIFY2(outcome.warnings[0].contains(warning), qPrintable(outcome.warnings[0]));
        QVERIFY2(outcome.warnings[0].size() < 1000, "the warning lists only the first lines");
    }
}

void TestBadInput::refusedFileIsNamed_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // a text the message holds
    for (const char *reader : readers) {
        const QString name = QString::fromLatin1(reader);
        QTest::addRow("%s, line over 16 MiB", reader) << name << "long" << "line 2";
        QTest::addRow("%s, gone since the dialog", reader) << name << "gone" << "No such file";
        QTest::addRow("%s, a folder", reader) << name << "folder" << "folder";
#ifdef Q_OS_UNIX
        // Opening a pipe for reading waits for a writer; a device may never end.
        QTest::addRow("%s, a pipe", reader) << name << "pipe" << "not a regular file";
        QTest::addRow("%s, a device", reader) << name << "device" << "not a regular file";
#endif
    }
}

void TestBadInput::refusedFileIsNamed()
{
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QTemporaryDir dir;
    QString path = inputPath(dir, reader);
    const QByteArray overlong = "first line\n" + QByteArray(LineReader::maxLineLength + 1, 'x') + "\nlast line\n";
    Outcome outcome;
    if (kind == "long")
        outcome = readWith(reader, path, &overlong);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
#ifdef Q_OS_UNIX
    struct stat info {};
    if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == "device" && (::stat(QFile::encodeName(path = "/dev/zero").constData(), &info) || !S_ISCHR(info.st_mode)))
        QSKIP("this system has no /dev/zero");
#endif
    if (kind != "long")
        outcome = readWith(reader, path);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.problem.contains(QDir::toNativeSeparators(path)), qPrintable(outcome.problem));
    QVERIFY2(outcome.problem.contains(reason), qPrintable(outcome.problem));
    // Nothing of the file is handed on.
    QCOMPARE(outcome.table.rows(), 0);
    QVERIFY(outcome.items.isEmpty());
}

void TestBadInput::saveToPipe()
{
#ifdef Q_OS_UNIX
    const QTemporaryDir dir;
    const QString path = dir.filePath("pipe.CSV");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const TableData table = TableData::standard();

    // Nothing reads: refused at once instead of waiting for a reader.
    const QString error = writeResultsCsv(table, path);
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)) && error.contains("nothing reads"), qPrintable(error));

    // A reader is there: the table goes through the pipe.
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QCOMPARE(writeResultsCsv(table, path), QString());
    QByteArray received(4096, '\0');
    const ssize_t got = ::read(reader, received.data(), size_t(received.size()));
    ::close(reader);
    QCOMPARE(received.left(qMax<ssize_t>(got, 0)), resultsCsvBytes(table));
#else
    QSKIP("pipes are Unix files");
#endif
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "test_bad_input.moc"
