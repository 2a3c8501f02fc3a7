#include "import/dbc_import.h"
#include "reader_support.h"
#include "table/table_data.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTest>

#include <limits>

namespace {

const QByteArray plainSignal = " SG_ S : 0|8@1+ (1,0) [0|1] \"\" X\n";

ImportResult importBytes(QByteArray bytes, double &messageId, const TableData &current = TableData::standard())
{
    QBuffer buffer(&bytes); // left closed: the reader opens it
    return ReadDBC(buffer, QStringLiteral("memory.dbc"), current, messageId);
}

} // namespace

class TestDbc : public QObject
{
    Q_OBJECT

private slots:
    void fileNames()
    {
        QVERIFY(isDbcFileName(u"C:\\cars\\X.DBC") && isDbcFileName(u"x.Dbc"));
        QVERIFY(!isDbcFileName(u"xdbc") && !isDbcFileName(u""));
    }

    void formatCanId_data()
    {
        using limits = std::numeric_limits<double>;
        QTest::addColumn<double>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("standard frame") << 291.0 << "0 123";
        QTest::newRow("extended frame") << 2364540158.0 << "8CF0 4FE";
        QTest::newRow("bit 31 alone") << 2147483648.0 << "8000 0";
        QTest::newRow("largest 32-bit id") << 4294967295.0 << "FFFF FFFF";
        QTest::newRow("tie rounds down to even") << 290.5 << "0 122";
        QTest::newRow("tie rounds up to even") << 291.5 << "0 124";
        QTest::newRow("NaN") << limits::quiet_NaN() << "0 0";
        QTest::newRow("infinity") << limits::infinity() << "7FFFFFFF FFFF";
        QTest::newRow("minus infinity") << -limits::infinity() << "80000000 0";
        QTest::newRow("minus one") << -1.0 << "FFFFFFFF FFFF";
    }

    void formatCanId()
    {
        QFETCH(double, id);
        QFETCH(QString, text);
        QCOMPARE(FormatCanId(id), text);
    }

    void signalLine_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("badLine"); // the line reported, 0 for none
        // A signal line after "BO_ 291", and a message line before a plain signal line.
        const auto sg = [](const char *name, const QByteArray &line, const QString &row, int bad = 0) {
            QTest::newRow(name) << "BO_ 291 EngineData: 8 Engine\n" + line << row << bad;
        };
        const auto bo = [](const char *name, const QByteArray &line, const QString &canId, int bad = 0) {
            QTest::newRow(name) << line + "\n" + plainSignal << "0;" + canId + ";0|8;0;0;S;;1;0;X;;;1;[0|1]" << bad;
        };
        sg("first example", R"( SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Gateway)",
           "0;0 123;24|16;0;0;EngineSpeed;rpm;0.125;0;Gateway;;;1;[0|8031.875]");
        QTest::newRow("second example") << QByteArray("BO_ 2364540158 TorqueData: 8 Engine\n"
                                                      R"( SG_ Torque m2 : 8|8@0- (1,-125) [-125|125] "%" Gateway,Dash)")
                                        << "0;8CF0 4FE;8|8;0;1;Torque;%;1;-125;Gateway,Dash;m2 ;;0;[-125|125]" << 0;
        sg("extra spaces", R"(   SG_   EngineSpeed :   24|16@1+   (0.125,0)  [0|8031.875]    "rpm" Gateway   )",
           "0;0 123;24|16;0;0;EngineSpeed;rpm;0.125;0;Gateway;;;1;[0|8031.875]");
        sg("multiplexer glued to the colon", R"( SG_ Index M: 0|2@1+ (1,0) [0|2] "" gtw)",
           "0;0 123;0|2;0;0;Index;;1;0;gtw;M;;1;[0|2]");
        sg("receivers after two spaces", R"( SG_ AY1 : 32|16@1+ (0.000127465,-4.1768) [-4.1768|4.1765] "g"  ABS)",
           "0;0 123;32|16;0;0;AY1;g;0.000127465;-4.1768; ABS;;;1;[-4.1768|4.1765]");
        sg("empty unit, no receivers", R"( SG_ S : 0|8@1+ (1,0) [0|1] "")", "0;0 123;0|8;0;0;S;;1;0;;;;1;[0|1]");
        sg("tabs stay in their cells", " SG_ \tEngine\tSpeed : 0|8@1+ (1,0) [0|1] \"r\tpm\" Gateway\tDash\t",
           "0;0 123;0|8;0;0;\tEngine\tSpeed;r\tpm;1;0;Gateway\tDash\t;;;1;[0|1]");
        sg("Windows-1252 unit", " SG_ S : 0|8@1+ (1,0) [0|1] \"\x80\xB0\xC2\xB5\" X",
           QString::fromUtf16(u"0;0 123;0|8;0;0;S;\u20AC\u00B0\u00C2\u00B5;1;0;X;;;1;[0|1]"));
        // Signal lines that lack a part: every piece still lands in its own column.
        sg("unit with a space", R"( SG_ T : 0|8@0+ (0.5,-40) [-40|87.5] "deg C"  Gateway)",
           R"(0;0 123;0|8;0;0;T;deg C;0.5;-40; Gateway;;;0;[-40|87.5])", 0);
        sg("unit without its closing quote", R"( SG_ T : 0|8@0+ (0.5,-40) [-40|87.5] "deg C Gateway)",
           R"(0;0 123;0|8;0;0;T;deg;0.5;-40;C Gateway;;;0;[-40|87.5])", 2);
        sg("no colon", R"( SG_ S 0|8@1+ (1,0) [0|1] "u" X)", R"(0;0 123;;0;0;S;;;;;0|8@1+ (1,0) [0|1] "u" X;;0;)", 2);
        sg("no @ in the position", R"( SG_ S : 0|8 (1,0) [0|1] "u" X)", "0;0 123;0|8;0;0;S;u;1;0;X;;;0;[0|1]", 2);
        sg("factor with two commas", R"( SG_ S : 0|8@1- (1,2,3) [0|1] "u" X)", "0;0 123;0|8;0;1;S;u;1;2,3;X;;;1;[0|1]", 2);
        sg("factor without parentheses", R"( SG_ S : 0|8@1+ 1,0 [0|1] "u" X)", "0;0 123;0|8;0;0;S;u;1;0;X;;;1;[0|1]", 2);
        sg("no range", R"( SG_ S : 0|8@1+ (1,0) "u" X)", R"(0;0 123;0|8;0;0;S;X;1;0;;;;1;"u")", 2);
        sg("signal keyword only", "SG_", "0;0 123;;0;0;;;;;;;;0;", 2);
        // Message lines: a bad identifier is reported, and its leading number used.
        bo("message with extra spaces", "  BO_  291 EngineData : 8 Engine  ", "0 123");
        bo("largest identifier", "BO_ 4294967295 M: 8 N", "FFFF FFFF");
        bo("one beyond the largest", "BO_ 4294967296 M: 8 N", "10000 0", 1);
        bo("negative identifier", "BO_ -1 M: 8 N", "FFFFFFFF FFFF", 1);
        bo("fraction", "BO_ 1.5 M: 8 N", "0 2", 1);
        bo("trailing letters", "BO_ 12abc M: 8 N", "0 C", 1);
        bo("no number", "BO_ abc M: 8 N", "0 0", 1);
        bo("message keyword only", "BO_", "0 0", 1);
    }

    void signalLine()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, row);
        QFETCH(int, badLine);
        double messageId = 7; // left by an earlier import
        const ImportResult result = importBytes(file, messageId);
        QCOMPARE(result.table.rows(), 2);
        QCOMPARE(rowText(result.table, 1), row);
        QCOMPARE(FormatCanId(messageId), row.section(u';', 1, 1));
        QCOMPARE(result.table.colour(1, Col::Key), CellColour::KeyCell);
        QVERIFY(result.table.rowIcon(1) && !result.table.rowIcon(0));
        QCOMPARE(result.warnings.size(), badLine ? 1 : 0);
        if (badLine)
            QVERIFY2(result.warnings[0].contains(QStringLiteral(" line %1 ").arg(badLine)), qPrintable(result.warnings[0]));
    }

    void lineKinds()
    {
        const QByteArray file = "VERSION \"\"\n"
                                " SG_ Early : 0|8@1+ (1,0) [0|1] \"\" A\n"
                                "\tSG_MUL_VAL_\n\tBO_TX_BU_\nBU_: A B\n"
                                " BO_ 291 EngineData: 8 A\n"
                                " SG_ First : 0|8@1+ (1,0) [0|1] \"\" A\n"
                                "\tSG_ Tabbed : 0|8@1+ (1,0) [0|1] \"\" A\n"
                                "BO_TX_BU_ 4660 : A,B;\n"
                                "SG_ Second : 8|8@1+ (1,0) [0|1] \"\" A\n"
                                "SG_MUL_VAL_ 291 Second First 1-1;\n"
                                "CM_ SG_ 291 First \"text\";\nCM_ BO_ 2047 \"text\";\n"
                                "\tBO_ 2047 Other: 8 A\nBO_\t2047 Other: 8 A\n"
                                " SG_ Third : 16|8@1+ (1,0) [0|1] \"\" A\n"
                                "   BO_ 2047 Other: 8 A   \n"
                                "  SG_ Fourth : 0|8@1+ (1,0) [0|1] \"\" A\n";
        double messageId = 7; // left by an earlier import
        const ImportResult result = importBytes(file, messageId);
        QCOMPARE(result.warnings, QStringList());
        QStringList rows;
        for (int row = 1; row < result.table.rows(); ++row)
            rows << rowText(result.table, row).section(u';', 0, 1) + u' ' + result.table.text(row, Col::Name);
        QCOMPARE(rows, (QStringList{"0;0 7 Early", "1;0 123 First", "2;0 123 Second", "3;0 123 Third", "4;0 7FF Fourth"}));
        QCOMPARE(messageId, 2047.0);
    }

    void headingRowAndFixedRow()
    {
        TableData current = TableData::standard();
        current.setText(0, Col::Name, QStringLiteral("Signal name"));
        current.setColour(0, Col::Unit, CellColour::DuplicateKey);
        double messageId = 0;
        ImportResult result = importBytes("VERSION \"\"\r\nBO_ 2047 A: 8 N\r\n", messageId, current);
        QCOMPARE(result.table.rows(), 1);
        QCOMPARE(result.table.fixedRows(), 0); // no signal rows: nothing to fix
        QCOMPARE(rowText(result.table, 0), rowText(current, 0));
        QCOMPARE(result.table.colour(0, Col::Unit), CellColour::DuplicateKey);

        result = importBytes(plainSignal, messageId, TableData());
        QCOMPARE(rowText(result.table, 0), QString(Col::Count - 1, u';'));
        QCOMPARE(result.table.fixedRows(), 1);
    }

    void incompleteLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("listed");
        // Every kind of line end ends a line; comments and other lines are not checked.
        QTest::newRow("mixed line ends") << QByteArray("VERSION \"\"\r\nBO_ 291 A: 8 N\n"
                                                       " SG_ Good1 : 0|8@1+ (1,0) [0|1] \"\" X\r"
                                                       " SG_ Bad1 0|8@1+ (1,0) [0|1] \"\" X\r\n\n"
                                                       "BO_ x12 B: 8 N\r"
                                                       " SG_ Good2 : 0|8@1+ (1,0) [0|1] \"\" X\n"
                                                       " SG_ Bad2 : 0|8@1+ (1,0) 0|1 \"deg C\" X\r\n"
                                                       "CM_ SG_ 291 Good1 \"no unit\";\n"
                                                       " SG_ Bad3 : 0|8@1+ (1,0) [0|1]")
                                         << "4 lines" << "lines 4, 6, 8, 10.";
        for (const int broken : {20, 25}) {
            QByteArray file = "BO_ 1 A: 8 N\n";
            QStringList listed;
            for (int i = 0; i < broken; ++i) {
                file += plainSignal + " SG_ Broken\n";
                listed << QString::number(2 * i + 3);
            }
            const QString more = broken > 20 ? QStringLiteral(" and %1 more").arg(broken - 20) : QString();
            QTest::addRow("%d broken", broken) << file << QString::number(broken) + " lines"
                                               << "lines " + listed.mid(0, 20).join(", ") + more + '.';
        }
    }

    void incompleteLines()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, count);
        QFETCH(QString, listed);
        double messageId = 0;
        const ImportResult result = importBytes(file, messageId);
        QCOMPARE(result.warnings.size(), 1);
        const QString &warning = result.warnings.front();
        QVERIFY2(warning.contains(u"memory.dbc") && warning.contains(count) && warning.endsWith(listed),
                 qPrintable(warning));
    }

    void readFailureKeepsMessageId()
    {
        FailingDevice device;
        device.setData("BO_ 2047 A: 8 N\n" + plainSignal);
        double messageId = 1234;
        const ImportResult result = ReadDBC(device, QStringLiteral("car.dbc"), TableData::standard(), messageId);
        QVERIFY2(result.error.contains(u"car.dbc") && result.error.contains(u"disk went away"), qPrintable(result.error));
        QCOMPARE(result.table.rows(), 0);
        QCOMPARE(messageId, 1234.0);
    }

    void realFiles_data()
    {
        // The signals and the units that hold a space, as the corpus' SOURCES.md counts them.
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("signalCount");
        QTest::addColumn<int>("unitsWithSpace");
        const QList<std::tuple<const char *, int, int>> files = {
            {"gm_global_a_lowspeed_1818125.dbc", 3210, 38}, {"ford_lincoln_base_pt.dbc", 2150, 8}, {"j1939.dbc", 2390, 0},
            {"vw_pq.dbc", 1331, 0}, {"ESR.dbc", 868, 0}, {"tesla_can.dbc", 572, 2}, {"psa_aee2010_r3.dbc", 536, 1},
            {"vehicle.dbc", 462, 0}, {"_toyota_2017.dbc", 310, 0}, {"tesla_model3_vehicle.dbc", 209, 0},
            {"abs.dbc", 89, 0}, {"multiplex_2.dbc", 19, 0}, {"open_actuator.dbc", 21, 0}, {"test.dbc", 2, 0}};
        for (const auto &[name, signalCount, spaced] : files)
            QTest::newRow(name) << QStringLiteral(TESSALY_TEST_DATA "/dbc/") + QLatin1String(name) << signalCount << spaced;
    }

    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, signalCount);
        QFETCH(int, unitsWithSpace);
        double messageId = 0;
        const ImportResult result = ReadDBC(file, TableData::standard(), messageId);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.warnings, QStringList()); // every signal line of the corpus is complete
        QCOMPARE(result.table.rows() - 1, signalCount);
        int spaced = 0;
        for (int row = 1; row < result.table.rows(); ++row) {
            QCOMPARE(result.table.text(row, Col::Number), QString::number(row - 1));
            const QStringView unit = result.table.cell(row, Col::Unit);
            QVERIFY(!unit.contains(u'"'));
            spaced += unit.contains(u' ') ? 1 : 0;
        }
        QCOMPARE(spaced, unitsWithSpace);
    }
};

QTEST_GUILESS_MAIN(TestDbc)
#include "test_dbc.moc"
