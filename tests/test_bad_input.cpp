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
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

const QByteArray headingLine =
        "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";

// What a reader made of a file: the table (or the key list's items as rows of one
// cell) and the error or warning the user is shown.
struct Outcome
{
    bool ok = false;
    QString problem;
    QStringList warnings;
    TableData table;
    QStringList items;
};

// The file name each reader is given; the DBC and XML commands look at the suffix.
QString fileNameFor(const QString &reader)
{
    if (reader == "dbc")
        return "input.dbc";
    if (reader == "xml")
        return "input.PlexCanRXConfig";
    if (reader == "csv")
        return "input.csv";
    return "Preassigned_keys.CSV";
}

Outcome readWith(const QString &reader, const QString &path)
{
    Outcome outcome;
    if (reader == "keys") {
        const KeyList list = readKeyList(path);
        outcome.items = list.items;
        outcome.problem = list.warning;
        outcome.ok = list.warning.isEmpty();
        return outcome;
    }
    ImportResult result;
    double messageId = 0;
    if (reader == "dbc")
        result = ReadDBC(path, TableData::standard(), messageId);
    else if (reader == "xml")
        result = ReadXML(path, TableData::standard());
    else
        result = LoadCSV(path);
    outcome.ok = result.ok();
    outcome.problem = result.error;
    outcome.warnings = result.warnings;
    outcome.table = std::move(result.table);
    return outcome;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes `bytes` as the reader's input file in `dir` and reads it.
Outcome readBytes(const QString &reader, const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(fileNameFor(reader));
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return readWith(reader, path);
}

// Bytes 0x80 to 0xFF, none of which separates anything in any of the files.
QByteArray highBytes()
{
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes.append(char(b));
    return bytes;
}

#ifdef Q_OS_UNIX
bool isCharacterDevice(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}
#endif

void addReaderRows()
{
    QTest::addColumn<QString>("reader");
    for (const char *reader : {"dbc", "xml", "csv", "keys"})
        QTest::newRow(reader) << QString::fromLatin1(reader);
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    // Files that are read to the end.
    void emptyFile_data();
    void emptyFile();
    void nulBytesStayInTheirCells_data();
    void nulBytesStayInTheirCells();
    void highBytesSurviveReadAndWrite_data();
    void highBytesSurviveReadAndWrite();
    void megabyteLine_data();
    void megabyteLine();
    void millionShortLines_data();
    void millionShortLines();

    // Files that are refused with a message naming them.
    void overlongLineIsRefused_data();
    void overlongLineIsRefused();
    void unreadablePathIsNamed_data();
    void unreadablePathIsNamed();

    // Saving to something other than a file.
    void saveToPipe();
};

void TestBadInput::emptyFile_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("written"); // the table saved as a results CSV
    QTest::newRow("dbc") << "dbc" << headingLine; // the heading row alone
    QTest::newRow("xml") << "xml" << headingLine;
    QTest::newRow("csv") << "csv" << QByteArray(); // a table without rows
    QTest::newRow("keys") << "keys" << QByteArray();
}

void TestBadInput::emptyFile()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, written);
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, {});
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    QVERIFY(outcome.warnings.isEmpty());
    QCOMPARE(resultsCsvBytes(outcome.table), written);
    QCOMPARE(outcome.table.fixedRows(), 0);
    QVERIFY(outcome.items.isEmpty());
}

void TestBadInput::nulBytesStayInTheirCells_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("items");

    using namespace Qt::StringLiterals;
    QTest::newRow("dbc") << "dbc"
                         << "BO_ 291 M: 8 E\n SG_ A\0B : 0|8@1+ (1,0) [0|255] \"\0\" R\0X\n"
                            " SG_ C : 8|8@1+ (1,0) [0|1] \"\" R\n"_ba
                         << headingLine + "0 123;0|8;0;0;A\0B;\0;1;0;R\0X;;;1;[0|255];\r\n"
                                          "0 123;8|8;0;0;C;;1;0;R;;;1;[0|1];\r\n"_ba
                         << QStringList();
    QTest::newRow("xml") << "xml"
                         << "<CAN_Data_Item>\n<label>A\0B</label>\n\0\0\0\n<CAN_Data_Item>\n<id>\0</id>\n"_ba
                         << headingLine + ";;;;A\0B;;;;A\0B;;;;;\r\n\0;;;;;;;;;;;;;\r\n"_ba << QStringList();
    QTest::newRow("csv") << "csv" << "//h\0x;y\r\n1\0;A\0B;\r\n\0\0\r\n"_ba
                         << "//h\0x;y;;;;;;;;;;;;\r\n1\0;A\0B;;;;;;;;;;;;\r\n\0\0;;;;;;;;;;;;;\r\n"_ba
                         << QStringList();
    QTest::newRow("keys") << "keys" << "K\0EY;x;d\0e\r\nABCD;\0;z\r\n"_ba << QByteArray()
                          << QStringList{u"K\0EY - d\0e"_s, "ABCD - z"};
}

void TestBadInput::nulBytesStayInTheirCells()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, items);
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, input);
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    QCOMPARE(resultsCsvBytes(outcome.table), written);
    QCOMPARE(outcome.items, items);
}

void TestBadInput::highBytesSurviveReadAndWrite_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("items");

    // Every field, and a line of its own, made of the bytes 0x80 to 0xFF.
    const QByteArray h = highBytes();
    QTest::newRow("dbc") << "dbc"
                         << h + "\nBO_ 1 " + h + ": 8 " + h + "\n SG_ " + h + " " + h + " : " + h + "@1+ (" + h
                                    + "," + h + ") [" + h + "] \"" + h + "\" " + h + "\n"
                         << headingLine + "0 1;" + h + ";0;0;" + h + ";" + h + ";" + h + ";" + h + ";" + h + ";"
                                    + h + " ;;1;[" + h + "];\r\n"
                         << QStringList();
    QTest::newRow("xml") << "xml"
                         << h + "\n<CAN_Data_Item>" + h + "\n<label>" + h + "</label>\n<id>" + h + "<\n"
                                    + "<gauge_low>" + h + "\n<gauge_high>" + h + "\n"
                         << headingLine + h + ";;;;" + h + ";;;;" + h + ";;;;" + h + " .. " + h + ";\r\n"
                         << QStringList();
    QTest::newRow("csv") << "csv" << "//" + h + ";" + h + "\r\n" + h + "\r\n" + h + ";" + h + ";" + h + "\r\n"
                         << "//" + h + ";" + h + ";;;;;;;;;;;;\r\n" + h + ";;;;;;;;;;;;;\r\n" + h + ";" + h + ";"
                                    + h + ";;;;;;;;;;;\r\n"
                         << QStringList();
    const QString text = decodeCp1252(h);
    QTest::newRow("keys") << "keys" << h + "\r\n" + h + ";" + h + ";" + h + "\r\n" << QByteArray()
                          << QStringList{text + " - ", text + " - " + text};
}

void TestBadInput::highBytesSurviveReadAndWrite()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, items);
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, input);
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    QCOMPARE(resultsCsvBytes(outcome.table), written);
    QCOMPARE(outcome.items, items);
}

void TestBadInput::megabyteLine_data()
{
    addReaderRows();
}

void TestBadInput::megabyteLine()
{
    QFETCH(QString, reader);
    // The long line spans several read chunks; the line after it must come out whole.
    const QByteArray mega(1 << 20, 'r');
    QByteArray input;
    if (reader == "dbc")
        input = " SG_ Long : 0|8@1+ (1,0) [0|1] \"u\" " + mega + "\n SG_ Next : 0|8@1+ (1,0) [0|1] \"u\" X\n";
    else if (reader == "xml")
        input = "<CAN_Data_Item>\n<label>" + mega + "</label>\n<CAN_Data_Item>\n<label>Next</label>\n";
    else if (reader == "csv")
        input = "//h;\r\n;;;;" + mega + ";\r\n;;;;Next;\r\n";
    else
        input = "LONG;x;" + mega + "\r\nNEXT;y;z\r\n";
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, input);
    QVERIFY2(outcome.ok, qPrintable(outcome.problem));
    const QString expected = QString::fromLatin1(mega);
    if (reader == "keys") {
        QCOMPARE(outcome.items, (QStringList{"LONG - " + expected, "NEXT - z"}));
        return;
    }
    QCOMPARE(outcome.table.rows(), 3);
    const int longCol = reader == "dbc" ? int(Col::Description) : int(Col::Name);
    QCOMPARE(outcome.table.cell(1, longCol).size(), expected.size());
    QVERIFY(outcome.table.cell(1, longCol) == expected);
    QCOMPARE(outcome.table.text(2, Col::Name), "Next");
}

void TestBadInput::millionShortLines_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("warning"); // a text the warning holds, if any
    // Signal lines that lack most of their parts: each is a row, and the warning
    // counts them all but lists only the first few.
    QTest::newRow("dbc") << "dbc" << QByteArray("SG_ s\n") << 1000001
                         << "1000000 lines could not be read completely";
    QTest::newRow("xml") << "xml" << QByteArray("<CAN_Data_Item>\n") << 1000001 << QString();
    QTest::newRow("csv") << "csv" << QByteArray("x;\r\n") << 1000000 << QString();
    QTest::newRow("keys") << "keys" << QByteArray("KEY;x;y\r") << KeyList::capacity
                          << "the last 999951 were not loaded";
}

void TestBadInput::millionShortLines()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, line);
    QFETCH(int, rows);
    QFETCH(QString, warning);
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, line.repeated(1000000));
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
    if (warning.isEmpty()) {
        QVERIFY(outcome.warnings.isEmpty());
    } else {
        QCOMPARE(outcome.warnings.size(), 1);
        QVERIFY2(outcome.warnings[0].contains(warning), qPrintable(outcome.warnings[0]));
        QVERIFY2(outcome.warnings[0].size() < 1000, "the warning lists only the first lines");
    }
}

void TestBadInput::overlongLineIsRefused_data()
{
    addReaderRows();
}

void TestBadInput::overlongLineIsRefused()
{
    QFETCH(QString, reader);
    QByteArray input("first line\n");
    input.append(QByteArray(LineReader::maxLineLength + 1, 'x'));
    input.append("\nlast line\n");
    const QTemporaryDir dir;
    const Outcome outcome = readBytes(reader, dir, input);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.problem.contains(QDir::toNativeSeparators(dir.filePath(fileNameFor(reader)))),
             qPrintable(outcome.problem));
    QVERIFY2(outcome.problem.contains("line 2"), qPrintable(outcome.problem));
    // Nothing of the file is handed on.
    QCOMPARE(outcome.table.rows(), 0);
    QVERIFY(outcome.items.isEmpty());
}

void TestBadInput::unreadablePathIsNamed_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // a text the message holds
    for (const char *reader : {"dbc", "xml", "csv", "keys"}) {
        const QString name = QString::fromLatin1(reader);
        QTest::addRow("%s, gone since the dialog", reader) << name << "gone" << "No such file";
        QTest::addRow("%s, a folder", reader) << name << "folder" << "folder";
#ifdef Q_OS_UNIX
        // Opening a pipe for reading waits for a writer; a device may never end.
        QTest::addRow("%s, a pipe", reader) << name << "pipe" << "not a regular file";
        QTest::addRow("%s, a device", reader) << name << "device" << "not a regular file";
#endif
    }
}

void TestBadInput::unreadablePathIsNamed()
{
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QTemporaryDir dir;
    QString path = dir.filePath(fileNameFor(reader));
    if (kind == "gone") {
        QVERIFY(writeFile(path, "BO_ 1 M: 8 E\n"));
        QVERIFY(QFile::remove(path));
    } else if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(fileNameFor(reader)));
    } else if (kind == "pipe") {
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
    } else {
        path = "/dev/zero";
#ifdef Q_OS_UNIX
        if (!isCharacterDevice(path))
            QSKIP("this system has no /dev/zero");
#endif
    }
    const Outcome outcome = readWith(reader, path);
    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.problem.contains(QDir::toNativeSeparators(path)), qPrintable(outcome.problem));
    QVERIFY2(outcome.problem.contains(reason), qPrintable(outcome.problem));
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
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY2(error.contains("nothing reads"), qPrintable(error));

    // A reader is there: the table goes through the pipe.
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QCOMPARE(writeResultsCsv(table, path), QString());
    QByteArray received(4096, '\0');
    const ssize_t got = ::read(reader, received.data(), size_t(received.size()));
    ::close(reader);
    QVERIFY(got > 0);
    received.truncate(got);
    QCOMPARE(received, resultsCsvBytes(table));
#else
    QSKIP("pipes are Unix files");
#endif
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "test_bad_input.moc"
