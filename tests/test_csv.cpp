#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "document/document.h"
#include "reader_support.h"
#include "table/table_data.h"
#include "table/table_status.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

ImportResult loadBytes(QByteArray bytes)
{
    QBuffer buffer(&bytes); // left closed: the loader opens it
    return LoadCSV(buffer, QStringLiteral("memory.csv"));
}

// Every row's cells joined by ";", without the empty cells at its end.
QStringList rowTexts(const TableData &table)
{
    QStringList rows;
    for (int row = 0; row < table.rows(); ++row)
        rows << rowText(table, row).remove(QRegularExpression(QStringLiteral(";+$")));
    return rows;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

private slots:
    void writtenBytes_data()
    {
        QTest::addColumn<QStringList>("rows"); // tab-separated; none for a reset table
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("named"); // the row the warning before a save names; empty for no warning
        QTest::newRow("reset table") << QStringList() << headingLine + ";;;;;;;;;;;;;\r\n" << "";
        QTest::newRow("filled rows")
                << QStringList{"#\tA", "1\t0 100\t0|16\t2\t0\tSpeed\trpm\t0.25\t0\tText\tm2\tSPD1\t1\t0_1",
                               "2\ta;b\t//c\t\"d\"\t a \t\u20AC\u00B0\u4E2D"}
                << QByteArray("//A;;;;;;;;;;;;;\r\n0 100;0|16;2;0;Speed;rpm;0.25;0;Text;m2;SPD1;1;0_1;\r\n"
                              "a;b;//c;\"d\"; a ;\x80\xB0?;;;;;;;;;\r\n")
                << "#2";
        QTest::newRow("; in the heading row") << QStringList{"#\tA;B", "1\tx"}
                                              << QByteArray("//A;B;;;;;;;;;;;;;\r\nx;;;;;;;;;;;;;\r\n")
                                              << "the heading row";
    }

    void writtenBytes()
    {
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, named);
        TableData table = rows.isEmpty() ? TableData::standard() : TableData();
        for (const QString &row : rows)
            table.addItem(row);
        QCOMPARE(resultsCsvBytes(table), bytes);
        const QString warned = csvSeparatorWarning(table);
        QVERIFY2(named.isEmpty() ? warned.isEmpty() : warned.contains(named), qPrintable(warned));
    }

    void proposal_data()
    {
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<QString>("proposal");
        QTest::addColumn<QString>("dialogName");
        const auto add = [](const char *current, const char *proposal, const char *dialogName) {
            QTest::newRow(current) << QString(current) << QString(proposal) << QString(dialogName);
        };
        add("C:\\data\\car.DBC", "C:\\data\\CAN_car.DBC", "C:\\data\\CAN_car.CSV");
        add("C:/data\\sub/car.dbc", "C:/data\\sub/CAN_car.dbc", "C:/data\\sub/CAN_car.CSV");
        add("C:\\data\\CAN_x.dbc", "C:\\data\\CAN_x.dbc", "C:\\data\\CAN_x.CSV");
        add("can_x.dbc", "can_x.dbc", "can_x.CSV");
        add("CAN.dbc", "CAN_CAN.dbc", "CAN_CAN.CSV");
        add("x.PlexCanRXConfig", "CAN_x.PlexCanRXConfig", "CAN_x.CSV");
        add("/u/car.Xml", "/u/CAN_car.Xml", "/u/CAN_car.CSV");
        add("/u/my.dbc/car", "/u/my.dbc/CAN_car", "/u/my.dbc/CAN_car");
        add("/CAN_dir/car.dbc.txt", "/CAN_dir/CAN_car.dbc.txt", "/CAN_dir/CAN_car.dbc.txt");
        add("car.dbc", "CAN_car.dbc", "CAN_car.CSV");
        add("/d/list.Csv", "/d/list.Csv", "/d/list.Csv"); // a loaded list is saved into itself
        add("", "", "");
    }

    void proposal()
    {
        QFETCH(QString, currentFile);
        QFETCH(QString, proposal);
        QFETCH(QString, dialogName);
        QCOMPARE(proposeCsvPath(currentFile), proposal);
        QCOMPARE(csvDialogName(proposal), dialogName);
    }

    void writeFailureIsNamed_data()
    {
        QTest::addColumn<QString>("target"); // in a folder holding "folder" and "old.csv"
        QTest::newRow("folder does not exist") << "missing/out.csv";
        QTest::newRow("target is a folder") << "folder";
#ifdef Q_OS_UNIX
        QTest::newRow("file size limit") << "old.csv";
#endif
    }

    void writeFailureIsNamed()
    {
        QFETCH(QString, target);
        const QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QCOMPARE(writeResultsCsv(TableData::standard(), dir.filePath("old.csv")), QString());
        TableData large = TableData::standard();
        large.addItem("1\t" + QString(64 * 1024, u'x'));
        const QString path = QDir(dir.path()).filePath(target);
#ifdef Q_OS_UNIX
        // A file size limit makes a write fail part way, as a full disk does.
        rlimit saved {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const rlimit limit {target == u"old.csv" ? rlim_t(16 * 1024) : saved.rlim_cur, saved.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN); // a failed write instead of the end of the program
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
#endif
        const QString error = writeResultsCsv(large, path);
#ifdef Q_OS_UNIX
        ::setrlimit(RLIMIT_FSIZE, &saved);
#endif
        QVERIFY2(error.contains(path), qPrintable(error));
        QCOMPARE(entries(dir.path()), (QStringList{"folder", "old.csv"}));
        QCOMPARE(readAll(dir.filePath("old.csv")), resultsCsvBytes(TableData::standard()));
    }

    void loadLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows"); // cells joined by ";", without empty cells at the end
        QTest::addColumn<int>("fixedRows");
        const auto add = [](const char *name, const QByteArray &bytes, const QStringList &rows, int fixedRows) {
            QTest::newRow(name) << bytes << rows << fixedRows;
        };
        const QString heading = "0;" + headingLiteral.mid(2).toString();
        add("heading only", headingLine, {heading}, 0);
        add("empty file", "", {}, 0);
        add("every // of the heading", "CAN//ID;Off//set//;\r\n", {"0;CANID;Offset"}, 0);
        add("later // kept", "//h\r\n//x;//y\r\n", {"0;h", "1;//x;//y"}, 1);
        add("; in a description", "h\r\n0 100;0;2;0;N;rpm;1;0;low;high;;KEY1;1;0_1;\r\n",
            {"0;h", "1;0 100;0;2;0;N;rpm;1;0;low;high;;KEY1;1"}, 1);
        add("tabs separate too, fewer fields", "//a\tb\r\na;b\tc;\td\r\n", {"0;a;b", "1;a;b;c;;d"}, 1);
        add("more than 13 fields", "h\r\n1;2;3;4;5;6;7;8;9;10;11;12;13;14;15\r\n",
            {"0;h", "1;1;2;3;4;5;6;7;8;9;10;11;12;13"}, 1);
        add("quotes, spaces and empty lines are text", "h\r\n\"a;b\" ; c \r\n\r\n", {"0;h", "1;\"a;b\" ; c ", "2"}, 1);
    }

    void loadLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QFETCH(int, fixedRows);
        const ImportResult result = loadBytes(bytes);
        QCOMPARE(result.error, QString());
        QCOMPARE(rowTexts(result.table), rows);
        QCOMPARE(result.table.fixedRows(), fixedRows);
    }

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("warning"); // how the warning about unsaved characters begins
        const QByteArray tail(12, ';');
        QTest::newRow("UTF-8 saves as Windows-1252") << QByteArray("//h\r\n\xC2\xB0" "C;\xC2\xBA;\xC2\xB5;\xC3\xA9;\xE2\x82\xAC\r\n")
                                                     << QByteArray("//h;" + tail + "\r\n\xB0" "C;\xBA;\xB5;\xE9;\x80;;;;;;;;;\r\n")
                                                     << "UTF-8" << "";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF//h\r\n") << QByteArray("//h;" + tail + "\r\n")
                                         << "UTF-8" << "";
        QTest::newRow("Windows-1252 that is no UTF-8") << QByteArray("//h\r\n\xB0" "C;\xE9\xC3\r\n")
                                                       << QByteArray("//h;" + tail + "\r\n\xB0" "C;\xE9\xC3;;;;;;;;;;;;\r\n")
                                                       << "Windows-1252" << "";
        QTest::newRow("a character Windows-1252 lacks") << QByteArray("//h\r\nx;\xE4\xB8\xAD\xC4\x80\r\n")
                                                        << QByteArray("//h;" + tail + "\r\nx;??;;;;;;;;;;;;\r\n") << "UTF-8"
                                                        << QString::fromUtf8("Row #1 holds a character that the results CSV "
                                                                             "cannot hold (the first is \"\xE4\xB8\xAD\")");
        QByteArray many = "//\xE4\xB8\xAD\r\n";
        for (int i = 0; i < 7; ++i)
            many += "\xE4\xB8\xAD\r\n";
        QTest::newRow("many rows") << many << QByteArray("//?;" + tail + "\r\n" + ("?;" + tail + "\r\n").repeated(7))
                                   << "UTF-8" << "Rows the heading row, #1, #2, #3, #4, more hold";
    }

    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        QFETCH(QString, encoding);
        QFETCH(QString, warning);
        const ImportResult result = loadBytes(bytes);
        QCOMPARE(result.encoding, encoding);
        QCOMPARE(resultsCsvBytes(result.table), saved);
        const QString said = csvEncodingWarning(result.table);
        QVERIFY2(warning.isEmpty() ? said.isEmpty() : said.startsWith(warning), qPrintable(said));
    }

    void keyMarks_data()
    {
        QTest::addColumn<QByteArrayList>("keys");
        QTest::addColumn<QString>("marks");
        QTest::newRow("shared") << QByteArrayList{"A1", "K", "A3", "A4", "A5", "A6", "K", "A8", "K", "A10"} << "yryyyyryry";
        QTest::newRow("empty keys are never shared") << QByteArrayList{"", "", "ABCD", ""} << "yyyy";
        QTest::newRow("case and spaces differ") << QByteArrayList{"abcd", "ABCD", "ABCD ", " ABCD", "Abcd"} << "yyyyy";
        QTest::newRow("heading text is no key") << QByteArrayList{"Key"} << "y";
    }

    void keyMarks()
    {
        QFETCH(QByteArrayList, keys);
        QFETCH(QString, marks);
        QByteArray bytes = headingLine;
        for (const QByteArray &key : keys)
            bytes += "0 100;0;1;0;S;;1;0;;;" + key + ";1;;\r\n";
        const TableData table = loadBytes(bytes).table;
        QCOMPARE(marksOf(table), marks);
        // Nothing else is coloured and no row carries the row icon.
        for (int row = 0; row < table.rows(); ++row) {
            for (int col = 0; col < TableData::cols(); ++col)
                QVERIFY(!table.rowIcon(row) && (table.colour(row, col) == CellColour::Default || (row && col == Col::Key)));
        }
    }

    void unreadableInputIsNamed()
    {
        FailingDevice device; // fails after its first lines
        device.setData(headingLine + "0 100;0;1;0;S;;1;0;;;K;1;;\r\n");
        const ImportResult broken = LoadCSV(device, QStringLiteral("/media/stick/broken.csv"));
        QVERIFY2(broken.error.contains(u"/media/stick/broken.csv") && broken.error.contains(u"disk went away"),
                 qPrintable(broken.error));
        QCOMPARE(broken.table.rows(), 0);
    }

    // The document's file after a load: the caption and the save's proposal follow it;
    // a load that fails keeps the file it had.
    void loadMakesTheFileTheDocuments()
    {
        QTemporaryDir dir;
        const QString list = dir.filePath(QStringLiteral("list.csv"));
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(headingLine + "0 1;;;;S;;;;;;;;;\r\n") > 0);
        file.close();
        Document document;
        document.table().setCurrentFile(dir.filePath(QStringLiteral("car.dbc"))); // as an earlier import
        QVERIFY(document.LoadCSV(list).ok());
        QCOMPARE(document.table().currentFile(), list);
        QVERIFY(!document.LoadCSV(dir.filePath(QStringLiteral("missing.csv"))).ok());
        QCOMPARE(document.proposeSaveName(), list);
        QVERIFY(!document.table().unsavedChanges());
    }

    void largeFile()
    {
        // Far more rows than a 16-bit count holds; rows 40,000 and 99,999 share a key.
        QByteArray bytes = headingLine;
        for (int i = 1; i <= 100000; ++i)
            bytes += "0 1;0|8;1;0;S;;1;0;;;" + (i == 40000 || i == 99999 ? "DUP" : QByteArray::number(i)) + ";1;;\r\n";
        const TableData table = loadBytes(bytes).table;
        QCOMPARE(table.text(100000, Col::Number), "100000");
        const QString marks = marksOf(table);
        QCOMPARE(marks.count(u'y'), 100000 - 2);
        QVERIFY(marks[40000 - 1] == u'r' && marks[99999 - 1] == u'r');

        // Written in several pieces, then replaced by a shorter table.
        const QTemporaryDir dir;
        const QString path = dir.filePath("large.csv");
        QCOMPARE(writeResultsCsv(table, path), QString());
        QCOMPARE(readAll(path), bytes);
        QCOMPARE(writeResultsCsv(TableData::standard(), path), QString());
        QCOMPARE(readAll(path), resultsCsvBytes(TableData::standard()));
        QCOMPARE(entries(dir.path()), QStringList{"large.csv"});
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "test_csv.moc"
