#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "table/table_data.h"
#include "table/text_file.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const char *const standardHeadingLine =
        "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";

QString fixture(const char *name)
{
    return QStringLiteral(TESSALY_TEST_DATA "/") + QLatin1String(name);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<cannot open " + path.toUtf8() + '>';
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

ImportResult loadBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    return LoadCSV(buffer, QStringLiteral("memory.csv"));
}

// The cells of a row joined by "|" (a loaded cell never holds ";" or a tab).
QString rowCells(const TableData &table, int row)
{
    QStringList cells;
    for (int col = 0; col < TableData::cols(); ++col)
        cells.append(table.text(row, col));
    return cells.join(u'|');
}

QStringList allRows(const TableData &table)
{
    QStringList rows;
    for (int row = 0; row < table.rows(); ++row)
        rows.append(rowCells(table, row));
    return rows;
}

// Expected rows are written with their leading cells only; the rest are empty.
QStringList padded(QStringList rows)
{
    for (QString &row : rows)
        row += QString(TableData::cols() - 1 - row.count(u'|'), u'|');
    return rows;
}

// The Key cell marks of the signal rows: "y" pale yellow, "r" red, "-" none.
QString keyMarksOf(const TableData &table)
{
    QString marks;
    for (int row = 1; row < table.rows(); ++row) {
        switch (table.colour(row, Col::Key)) {
        case CellColour::KeyCell: marks += u'y'; break;
        case CellColour::DuplicateKey: marks += u'r'; break;
        case CellColour::Default: marks += u'-'; break;
        }
    }
    return marks;
}

// A signal line of a results CSV whose only non-empty fields are the name and key.
QByteArray signalLine(const QByteArray &name, const QByteArray &key)
{
    QList<QByteArray> fields(Col::Count - 1);
    fields[Col::Name - 1] = name;
    fields[Col::Key - 1] = key;
    return fields.join(';') + ";\r\n";
}

QString headingTabs()
{
    QString heading = headingLiteral.toString();
    heading.replace(u';', u'\t');
    return heading;
}

TableData tableOf(const QStringList &tabSeparatedRows)
{
    TableData table;
    for (const QString &row : tabSeparatedRows)
        table.addItem(row);
    table.setFixedRows(table.rows() > 1 ? 1 : 0);
    return table;
}

// A table as the user may have it after an import and some editing.
TableData filledTable()
{
    TableData table = TableData::standard();
    table.setRows(1);
    const QStringList rows = {
        "1\t0 100\t0|16\t2\t0\tEngineSpeed\trpm\t0.25\t0\tEngine speed\t\tSPD1\t1\t0_16383.75",
        "2\t0 100\t16|8\t1\t1\tTemp\t\u00B0C\t1\t-40\tnot a // comment\t\tTEMP\t1\t-40_215",
        "3",
        "4\t\t\t\t\t\t\t\t\t\t\tSPD1",
        "5\t7FF\t\t\t\t\"quoted\"\t\u20AC\t\t\t  spaced  \tm3\tspd1\t0\t",
        "6\t//7FF\t0\t1\t0\tLast\t\t1\t0\t\u0152uvre\u0081\t\t\t1\t0_1",
    };
    for (const QString &row : rows)
        table.setRowIcon(table.addItem(row), true);
    return table;
}

// Reads the first bytes, then fails as a broken medium does.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(QByteArray data, qint64 failAt) : m_data(std::move(data)), m_failAt(failAt) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (pos() >= m_failAt) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 count = std::min(maxSize, m_failAt - pos());
        std::memcpy(data, m_data.constData() + pos(), std::size_t(count));
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_failAt;
};

#ifdef Q_OS_UNIX
bool isCharacterDevice(const char *path)
{
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}
#endif

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    // Loading
    void loadLines_data();
    void loadLines();
    void keyMarks_data();
    void keyMarks();
    void loadsAResultsFile();
    void windows1252SurvivesLoadAndSave();
    void roundTripInMemory();
    void roundTripThroughFiles();
    void unreadableFileIsNamed_data();
    void unreadableFileIsNamed();
    void readFailureIsNamed();
    void deviceIsOpenedOrRefused();
    void largeFileLoadsFast();

    // Writing
    void resetTableBytes();
    void csvBytes_data();
    void csvBytes();
    void proposal_data();
    void proposal();
    void writeCreatesAndReplaces();
    void writeThroughLinkKeepsLink();
    void writeFailureIsNamed_data();
    void writeFailureIsNamed();
    void failedWriteKeepsExistingFile();
    void fullDeviceReportsFailure();
};

void TestCsv::loadLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("fixedRows");

    const QString headingRow =
            "0|CAN ID|Offset|Bytes|Signed|Name|Unit|Scale|Offset|Description|Mode|Key|LITTLE_ENDIAN|min_max";

    QTest::newRow("written heading and row")
            << QByteArray(standardHeadingLine) + "0 100;0;2;0;EngineSpeed;rpm;0.25;0;;;;1;;\r\n"
            << QStringList{headingRow, "1|0 100|0|2|0|EngineSpeed|rpm|0.25|0||||1|"} << 1;
    QTest::newRow("heading only") << QByteArray(standardHeadingLine) << QStringList{headingRow} << 0;
    QTest::newRow("empty file") << QByteArray() << QStringList{} << 0;
    QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{"0"} << 0;
    QTest::newRow("heading without //") << QByteArray("CAN ID;Offset;\r\nx\r\n")
                                        << QStringList{"0|CAN ID|Offset", "1|x"} << 1;
    QTest::newRow("// inside the heading") << QByteArray("CAN//ID;Off//set//;\r\n")
                                           << QStringList{"0|CANID|Offset"} << 0;
    QTest::newRow("/// in the heading leaves /") << QByteArray("///a;b////c\r\n")
                                                 << QStringList{"0|/a|bc"} << 0;
    QTest::newRow("later line starting with //") << QByteArray("//h\r\n//x;//y\r\n")
                                                 << QStringList{"0|h", "1|//x|//y"} << 1;
    QTest::newRow("description holding ;")
            << QByteArray("h\r\n0 100;0;2;0;N;rpm;1;0;low;high;;KEY1;1;0_1;\r\n")
            << QStringList{"0|h", "1|0 100|0|2|0|N|rpm|1|0|low|high||KEY1|1"} << 1;
    QTest::newRow("tabs as separators") << QByteArray("h\r\na\tb\t\tc\r\n")
                                        << QStringList{"0|h", "1|a|b||c"} << 1;
    QTest::newRow("tabs in the heading") << QByteArray("//a\tb\r\n") << QStringList{"0|a|b"} << 0;
    QTest::newRow("tabs and ; mixed") << QByteArray("h\r\na;b\tc;\td\r\n")
                                      << QStringList{"0|h", "1|a|b|c||d"} << 1;
    QTest::newRow("fewer than 13 fields") << QByteArray("h\r\na;b\r\n") << QStringList{"0|h", "1|a|b"} << 1;
    QTest::newRow("more than 13 fields") << QByteArray("h\r\n1;2;3;4;5;6;7;8;9;10;11;12;13;14;15\r\n")
                                         << QStringList{"0|h", "1|1|2|3|4|5|6|7|8|9|10|11|12|13"} << 1;
    QTest::newRow("13 fields, no final ;") << QByteArray("h\r\n1;2;3;4;5;6;7;8;9;10;11;12;13\r\n")
                                           << QStringList{"0|h", "1|1|2|3|4|5|6|7|8|9|10|11|12|13"} << 1;
    QTest::newRow("empty lines are rows") << QByteArray("h\r\n\r\nx\r\n\r\n")
                                          << QStringList{"0|h", "1", "2|x", "3"} << 1;
    QTest::newRow("empty first line is the heading") << QByteArray("\r\nx\r\n") << QStringList{"0", "1|x"} << 1;
    QTest::newRow("quotes and spaces are text") << QByteArray("h\r\n\"a;b\" ; c \r\n")
                                                << QStringList{"0|h", "1|\"a|b\" | c "} << 1;
    QTest::newRow("CR, LF, no end after last") << QByteArray("h\rA;1\nB;2")
                                               << QStringList{"0|h", "1|A|1", "2|B|2"} << 1;
    QTest::newRow("numbers past 9")
            << QByteArray("h\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n")
            << QStringList{"0|h", "1|1", "2|2", "3|3", "4|4", "5|5", "6|6", "7|7", "8|8", "9|9", "10|10", "11|11"}
            << 1;
}

void TestCsv::loadLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(int, fixedRows);
    const ImportResult result = loadBytes(bytes);
    QCOMPARE(result.error, QString());
    QCOMPARE(result.warnings, QStringList());
    QCOMPARE(allRows(result.table), padded(rows));
    QCOMPARE(result.table.fixedRows(), fixedRows);
}

void TestCsv::keyMarks_data()
{
    QTest::addColumn<QByteArrayList>("keys");
    QTest::addColumn<QString>("marks");
    QTest::newRow("rows 2, 7 and 9 share")
            << QByteArrayList{"A001", "SPD1", "A003", "A004", "A005", "A006", "SPD1", "A008", "SPD1", "A010"}
            << "yryyyyryry";
    QTest::newRow("empty keys are never shared") << QByteArrayList{"", "", "ABCD", ""} << "yyyy";
    QTest::newRow("letter case differs") << QByteArrayList{"abcd", "ABCD", "Abcd"} << "yyy";
    QTest::newRow("trailing space differs") << QByteArrayList{"ABCD", "ABCD "} << "yy";
    QTest::newRow("leading space differs") << QByteArrayList{" ABC", "ABC"} << "yy";
    QTest::newRow("two shared keys") << QByteArrayList{"AAAA", "BBBB", "AAAA", "BBBB", "CCCC"} << "rrrry";
    QTest::newRow("last two rows") << QByteArrayList{"A", "B", "B"} << "yrr";
    QTest::newRow("every row") << QByteArrayList{"X", "X", "X"} << "rrr";
    QTest::newRow("heading text is no key") << QByteArrayList{"Key"} << "y";
}

void TestCsv::keyMarks()
{
    QFETCH(QByteArrayList, keys);
    QFETCH(QString, marks);
    QByteArray bytes(standardHeadingLine);
    for (qsizetype i = 0; i < keys.size(); ++i)
        bytes += signalLine("S" + QByteArray::number(i + 1), keys[i]);
    const ImportResult result = loadBytes(bytes);
    QVERIFY(result.ok());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), int(keys.size()) + 1);
    QCOMPARE(keyMarksOf(table), marks);
    // Nothing else is coloured and no row carries the row icon.
    for (int row = 0; row < table.rows(); ++row) {
        QVERIFY(!table.rowIcon(row));
        for (int col = 0; col < TableData::cols(); ++col) {
            if (row > 0 && col == Col::Key)
                continue;
            QCOMPARE(table.colour(row, col), CellColour::Default);
        }
    }
}

void TestCsv::loadsAResultsFile()
{
    const QString path = fixture("results_shared_keys.csv");
    const ImportResult result = LoadCSV(path);
    QCOMPARE(result.error, QString());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 11);
    QCOMPARE(table.fixedRows(), 1);
    for (int row = 0; row < table.rows(); ++row)
        QCOMPARE(table.text(row, Col::Number), QString::number(row));
    const TableData standard = TableData::standard();
    for (int col = 1; col < TableData::cols(); ++col)
        QCOMPARE(table.text(0, col), standard.text(0, col));
    QCOMPARE(table.text(10, Col::Name), QStringLiteral("Checksum"));
    QCOMPARE(table.text(10, Col::MinMax), QStringLiteral("0_255"));
    QCOMPARE(keyMarksOf(table), QStringLiteral("yryyyyryry"));
    QCOMPARE(resultsCsvBytes(table), fileBytes(path));
}

void TestCsv::windows1252SurvivesLoadAndSave()
{
    const QString path = fixture("results_cp1252.csv");
    const ImportResult result = LoadCSV(path);
    QCOMPARE(result.error, QString());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 3);
    QCOMPARE(table.text(1, Col::Unit), QStringLiteral("\u00B0C"));
    QCOMPARE(table.text(1, Col::Description), QStringLiteral("Temperatur \u00FCber 100\u00B0 \u2013 Warnung"));
    QCOMPARE(table.text(2, Col::Unit), QStringLiteral("\u20AC/l"));
    QCOMPARE(table.text(2, Col::Description), QStringLiteral("\u0152uvre \u0081\u008D\u008F\u0090\u009D undefiniert"));

    QCOMPARE(resultsCsvBytes(table), fileBytes(path));
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("copy.csv"));
    QCOMPARE(writeResultsCsv(table, copy), QString());
    QCOMPARE(fileBytes(copy), fileBytes(path));
}

void TestCsv::roundTripInMemory()
{
    const TableData original = filledTable();
    const QByteArray bytes = resultsCsvBytes(original);
    const ImportResult result = loadBytes(bytes);
    QCOMPARE(result.error, QString());
    const TableData &loaded = result.table;
    QCOMPARE(resultsCsvBytes(loaded), bytes);
    QCOMPARE(loaded.rows(), original.rows());
    QCOMPARE(loaded.fixedRows(), 1);
    for (int row = 0; row < loaded.rows(); ++row) {
        QCOMPARE(loaded.text(row, Col::Number), QString::number(row));
        for (int col = 1; col < TableData::cols(); ++col)
            QCOMPARE(loaded.text(row, col), original.text(row, col));
    }
    QCOMPARE(keyMarksOf(loaded), QStringLiteral("ryyryy"));
}

void TestCsv::roundTripThroughFiles()
{
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("first.csv"));
    const QString second = dir.filePath(QStringLiteral("second.csv"));
    const TableData original = filledTable();
    QCOMPARE(writeResultsCsv(original, first), QString());
    const ImportResult result = LoadCSV(first);
    QCOMPARE(result.error, QString());
    QCOMPARE(writeResultsCsv(result.table, second), QString());
    QCOMPARE(fileBytes(second), fileBytes(first));
    QCOMPARE(fileBytes(first), resultsCsvBytes(original));
}

void TestCsv::unreadableFileIsNamed_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing file") << "none.csv";
    QTest::newRow("missing folder") << "nowhere/none.csv";
    QTest::newRow("a folder") << "folder.csv";
}

void TestCsv::unreadableFileIsNamed()
{
    QFETCH(QString, relativePath);
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.csv")));
    const QString path = dir.filePath(relativePath);
    const ImportResult result = LoadCSV(path);
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(path)), qPrintable(result.error));
    QCOMPARE(result.table.rows(), 0);
}

void TestCsv::readFailureIsNamed()
{
    QByteArray bytes(standardHeadingLine);
    for (int i = 0; i < 20000; ++i)
        bytes += signalLine("S", "KEY");
    FailingDevice device(bytes, bytes.size() / 2);
    QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const ImportResult result = LoadCSV(device, QStringLiteral("/media/stick/broken.csv"));
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(QStringLiteral("/media/stick/broken.csv"))),
             qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("Input/output error")), qPrintable(result.error));
    QCOMPARE(result.table.rows(), 0);
}

void TestCsv::deviceIsOpenedOrRefused()
{
    QByteArray bytes("h\r\nx\r\n");
    QBuffer closed(&bytes);
    const ImportResult opened = LoadCSV(closed, QStringLiteral("closed.csv"));
    QCOMPARE(opened.error, QString());
    QCOMPARE(opened.table.rows(), 2);

    QBuffer writeOnly(&bytes);
    QVERIFY(writeOnly.open(QIODevice::WriteOnly | QIODevice::Append));
    const ImportResult refused = LoadCSV(writeOnly, QStringLiteral("output.csv"));
    QVERIFY(!refused.ok());
    QVERIFY2(refused.error.contains(QStringLiteral("output.csv")), qPrintable(refused.error));
    QCOMPARE(refused.table.rows(), 0);
}

void TestCsv::largeFileLoadsFast()
{
    // Well beyond 32,767 rows; one key shared by every thousandth row, a run of
    // empty keys, and a unique key everywhere else.
    constexpr int signalRows = 100000;
    QByteArray bytes(standardHeadingLine);
    bytes.reserve(signalRows * 60);
    for (int i = 1; i <= signalRows; ++i) {
        const QByteArray key = i % 1000 == 0 ? QByteArray("DUPL")
                : i % 7 == 0                 ? QByteArray()
                                             : "K" + QByteArray::number(i);
        bytes += "0 100;0|8;1;0;Signal" + QByteArray::number(i) + ";rpm;0.25;0;Some text;;" + key + ";1;0_255;\r\n";
    }
    QElapsedTimer timer;
    timer.start();
    const ImportResult result = loadBytes(bytes);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(result.error, QString());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), signalRows + 1);
    QCOMPARE(table.fixedRows(), 1);
    QCOMPARE(table.text(signalRows, Col::Number), QString::number(signalRows));
    QCOMPARE(table.text(signalRows, Col::Name), QStringLiteral("Signal%1").arg(signalRows));
    for (int row = 1; row <= signalRows; ++row) {
        const CellColour expected = row % 1000 == 0 ? CellColour::DuplicateKey : CellColour::KeyCell;
        if (table.colour(row, Col::Key) != expected)
            QFAIL(qPrintable(QStringLiteral("wrong mark in row %1").arg(row)));
    }
    // Loading is linear: even an unoptimised build stays far below what comparing
    // every row with every other would take. Sanitizers slow every access down.
#ifdef TESSALY_SANITIZED
    constexpr qint64 limitMs = 30000;
#else
    constexpr qint64 limitMs = 5000;
#endif
    QVERIFY2(elapsed < limitMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

void TestCsv::resetTableBytes()
{
    QCOMPARE(resultsCsvBytes(TableData::standard()),
             QByteArray(standardHeadingLine) + ";;;;;;;;;;;;;\r\n");
}

void TestCsv::csvBytes_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("filled row")
            << QStringList{headingTabs(), "1\t0 100\t0\t2\t0\tEngineSpeed\trpm\t0.25\t0\t\t\t\t1\t"}
            << QByteArray(standardHeadingLine) + "0 100;0;2;0;EngineSpeed;rpm;0.25;0;;;;1;;\r\n";
    QTest::newRow("column 0 is not written") << QStringList{"#\tA", "99\tB"}
                                             << QByteArray("//A;;;;;;;;;;;;;\r\nB;;;;;;;;;;;;;\r\n");
    QTest::newRow("heading only") << QStringList{"#\tH"} << QByteArray("//H;;;;;;;;;;;;;\r\n");
    QTest::newRow("no rows") << QStringList{} << QByteArray();
    QTest::newRow("; and // written unchanged") << QStringList{"#", "1\ta;b\t//c\t\"d\""}
                                                << QByteArray("//;;;;;;;;;;;;;\r\na;b;//c;\"d\";;;;;;;;;;;\r\n");
    QTest::newRow("spaces kept") << QStringList{"#", "1\t a \t\t b"}
                                 << QByteArray("//;;;;;;;;;;;;;\r\n a ;; b;;;;;;;;;;;\r\n");
    QTest::newRow("Windows-1252, ? for the rest") << QStringList{"#", "1\t\u20AC\u00B0\u4E2D"}
                                                  << QByteArray("//;;;;;;;;;;;;;\r\n\x80\xB0?;;;;;;;;;;;;;\r\n");
}

void TestCsv::csvBytes()
{
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, bytes);
    QCOMPARE(resultsCsvBytes(tableOf(rows)), bytes);
}

void TestCsv::proposal_data()
{
    QTest::addColumn<QString>("currentFile");
    QTest::addColumn<QString>("proposal");
    QTest::addColumn<QString>("dialogName");
    QTest::newRow("upper-case .DBC") << "C:\\data\\car.DBC" << "C:\\data\\CAN_car.DBC" << "C:\\data\\CAN_car.CSV";
    QTest::newRow("lower-case .dbc") << "C:\\data\\car.dbc" << "C:\\data\\CAN_car.dbc" << "C:\\data\\CAN_car.CSV";
    QTest::newRow("CAN_ already there") << "C:\\data\\CAN_x.dbc" << "C:\\data\\CAN_x.dbc" << "C:\\data\\CAN_x.CSV";
    QTest::newRow("can_ in lower case") << "C:\\data\\can_x.dbc" << "C:\\data\\can_x.dbc" << "C:\\data\\can_x.CSV";
    QTest::newRow("CAN without _") << "C:\\data\\CAN.dbc" << "C:\\data\\CAN_CAN.dbc" << "C:\\data\\CAN_CAN.CSV";
    QTest::newRow("PlexCanRXConfig") << "x.PlexCanRXConfig" << "CAN_x.PlexCanRXConfig" << "CAN_x.CSV";
    QTest::newRow("xml") << "/home/u/car.Xml" << "/home/u/CAN_car.Xml" << "/home/u/CAN_car.CSV";
    QTest::newRow("folder named .dbc") << "/home/u/my.dbc/car.dbc" << "/home/u/my.dbc/CAN_car.dbc"
                                       << "/home/u/my.dbc/CAN_car.CSV";
    QTest::newRow("folder named .DBC, no extension") << "/home/u/my.DBC/car" << "/home/u/my.DBC/CAN_car"
                                                     << "/home/u/my.DBC/CAN_car";
    QTest::newRow("folder starting with CAN_") << "/data/CAN_dir/car.dbc" << "/data/CAN_dir/CAN_car.dbc"
                                               << "/data/CAN_dir/CAN_car.CSV";
    QTest::newRow(".dbc not at the end") << "/data/car.dbc.txt" << "/data/CAN_car.dbc.txt"
                                         << "/data/CAN_car.dbc.txt";
    QTest::newRow("mixed separators") << "C:/data\\sub/car.dbc" << "C:/data\\sub/CAN_car.dbc"
                                      << "C:/data\\sub/CAN_car.CSV";
    QTest::newRow("UNC path") << "\\\\server\\share\\car.dbc" << "\\\\server\\share\\CAN_car.dbc"
                              << "\\\\server\\share\\CAN_car.CSV";
    QTest::newRow("bare name") << "car.dbc" << "CAN_car.dbc" << "CAN_car.CSV";
    QTest::newRow("saved CSV proposed again") << "C:\\data\\CAN_car.CSV" << "C:\\data\\CAN_car.CSV"
                                              << "C:\\data\\CAN_car.CSV";
    QTest::newRow("empty") << "" << "" << "";
}

void TestCsv::proposal()
{
    QFETCH(QString, currentFile);
    QFETCH(QString, proposal);
    QFETCH(QString, dialogName);
    QCOMPARE(proposeCsvPath(currentFile), proposal);
    QCOMPARE(csvDialogName(proposal), dialogName);
}

void TestCsv::writeCreatesAndReplaces()
{
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.csv"));

    const TableData small = filledTable();
    QCOMPARE(writeResultsCsv(small, path), QString());
    QCOMPARE(fileBytes(path), resultsCsvBytes(small));

    // More than the writer buffers at once, so the file is written in several pieces.
    TableData large = TableData::standard();
    for (int i = 0; i < 50000; ++i)
        large.addItem(QStringLiteral("%1\t0 100\t0|8\t1\t0\tSignal%1\trpm\t0.25\t0\tSome description\t\tK%1").arg(i));
    const QByteArray largeBytes = resultsCsvBytes(large);
    QVERIFY(largeBytes.size() > 2 * 1024 * 1024);
    QCOMPARE(writeResultsCsv(large, path), QString());
    QCOMPARE(fileBytes(path), largeBytes);

    // A shorter table replaces the longer file completely.
    QCOMPARE(writeResultsCsv(TableData::standard(), path), QString());
    QCOMPARE(fileBytes(path), resultsCsvBytes(TableData::standard()));

    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("out.csv")});
}

void TestCsv::writeThroughLinkKeepsLink()
{
#ifdef Q_OS_UNIX
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("target.csv"));
    const QString link = dir.filePath(QStringLiteral("link.csv"));
    QVERIFY(writeBytes(target, "old contents\r\n"));
    QVERIFY(QFile::link(QStringLiteral("target.csv"), link));
    QCOMPARE(writeResultsCsv(filledTable(), link), QString());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(fileBytes(target), resultsCsvBytes(filledTable()));
#else
    QSKIP("needs symbolic links");
#endif
}

void TestCsv::writeFailureIsNamed_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("folder does not exist") << "missing/out.csv";
    QTest::newRow("target is a folder") << "folder";
    QTest::newRow("parent is a file") << "existing.csv/out.csv";
}

void TestCsv::writeFailureIsNamed()
{
    QFETCH(QString, relativePath);
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("folder")));
    const QByteArray old("old contents\r\n");
    QVERIFY(writeBytes(folder.filePath(QStringLiteral("existing.csv")), old));
    const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const QString path = folder.filePath(relativePath);
    const QString error = writeResultsCsv(filledTable(), path);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));

    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QCOMPARE(fileBytes(folder.filePath(QStringLiteral("existing.csv"))), old);
    QVERIFY(QFileInfo(folder.filePath(QStringLiteral("folder"))).isDir());
    QVERIFY(QDir(folder.filePath(QStringLiteral("folder"))).isEmpty());
}

void TestCsv::failedWriteKeepsExistingFile()
{
#ifdef Q_OS_UNIX
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    const QByteArray old("old contents\r\n");
    QVERIFY(writeBytes(path, old));
    TableData table = TableData::standard();
    for (int i = 0; i < 5000; ++i)
        table.addItem(QStringLiteral("%1\t0 100\t0|8\t1\t0\tSignal%1\trpm\t0.25\t0\tSome description").arg(i));

    // A file size limit makes the write fail part way, as a full disk does; it binds
    // every user, so the test does not depend on permissions.
    rlimit saved {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit small = saved;
    small.rlim_cur = 16 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    const QString error = writeResultsCsv(table, path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("results.csv")});
#else
    QSKIP("needs a POSIX file size limit");
#endif
}

void TestCsv::fullDeviceReportsFailure()
{
#ifdef Q_OS_UNIX
    if (!isCharacterDevice("/dev/full"))
        QSKIP("this system has no /dev/full");
    const QString path = QStringLiteral("/dev/full");
    const QString error = writeResultsCsv(filledTable(), path);
    QVERIFY(isCharacterDevice("/dev/full"));
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(path), qPrintable(error));
#else
    QSKIP("needs /dev/full");
#endif
}

QTEST_GUILESS_MAIN(TestCsv)
#include "test_csv.moc"
