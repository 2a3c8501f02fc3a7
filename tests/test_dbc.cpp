#include "import/dbc_details.h"
#include "import/dbc_import.h"
#include "import/signal_details.h"
#include "reader_support.h"
#include "table/signal_table.h"
#include "table/table_data.h"

#include <QBuffer>
#include <QDataStream>
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

// What the details of a row say, field by field; "none" without details.
QString detailsOf(const TableData &table, int row)
{
    const std::optional<SignalDetails> d = signalDetails(table, row);
    if (!d)
        return QStringLiteral("none");
    QStringList fields;
    const auto add = [&fields](const char *name, QString value) {
        if (!value.isEmpty() && value != u"-1")
            fields << QLatin1String(name) + u'=' + value.replace(u'\n', u'/');
    };
    add("message", d->messageName);
    add("dlc", QString::number(d->dlc));
    add("cycle", QString::number(d->cycleTimeMs));
    add("tx", d->transmitter);
    add("txComment", d->transmitterComment);
    add("messageComment", d->messageComment);
    add("long", d->longName);
    add("type", d->valueType == u"integer" ? QString() : d->valueType);
    add("comment", d->comment);
    add("values", d->values);
    add("mux", d->multiplexing);
    return fields.join(QStringLiteral("; "));
}

// Two messages that both have a signal "Speed".
const QByteArray detailsBase = "BO_ 100 Engine: 8 ECU\n"
                               " SG_ Speed : 0|16@1+ (1,0) [0|100] \"rpm\" GW\n"
                               " SG_ Gear : 16|8@1+ (1,0) [0|7] \"\" GW\n"
                               "BO_ 2364540158 Brake: 6 ABS\n"
                               " SG_ Speed : 0|16@1+ (1,0) [0|100] \"km/h\" GW\n";

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
        ImportResult result = importBytes("VERSION \"\"\r\nBO_ 2047 A: 8 N\r\n" + plainSignal, messageId, current);
        QCOMPARE(result.table.fixedRows(), 1);
        QCOMPARE(rowText(result.table, 0), rowText(current, 0));
        QCOMPARE(result.table.colour(0, Col::Unit), CellColour::DuplicateKey);

        result = importBytes(plainSignal, messageId, TableData());
        QCOMPARE(rowText(result.table, 0), QString(Col::Count - 1, u';'));
        QCOMPARE(result.table.fixedRows(), 1);

        // Without a signal line there is nothing to import: an error, and no table.
        messageId = 5;
        result = importBytes("VERSION \"\"\r\nBO_ 2047 A: 8 N\r\n SG_MUL_VAL_ 2047 A B 1-1;\r\n", messageId, current);
        QCOMPARE(result.error, "Cannot import \"memory.dbc\": it holds no signal line (\"SG_\"), so there is nothing to import.");
        QCOMPARE(result.table.rows(), 0);
        QCOMPARE(messageId, 5.0);
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

    void details_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("rows"); // detailsOf rows 1 to 3
        QTest::addColumn<QString>("warning");  // how the warnings end; empty for none
        const QString engine = QStringLiteral("message=Engine; dlc=8; tx=ECU");
        const QString brake = QStringLiteral("message=Brake; dlc=6; tx=ABS");
        const QStringList plain = {engine, engine, brake};
        const auto add = [&](const char *name, const QByteArray &before, const QByteArray &after, QStringList rows,
                             const QString &warning = {}) {
            QTest::newRow(name) << before + detailsBase + after << rows << warning;
        };
        const auto skipped = [&](const char *name, const QByteArray &after, const QString &lines = "line 6 ") {
            add(name, {}, after, plain, lines);
        };
        add("nothing more", "NS_ :\n\tCM_\n    VAL_\n", "CM_ EV_ Env \"not kept\";\nBA_ \"Other\" BO_ 100 1;\n", plain);
        add("comment on a shared name", {}, "CM_ SG_ 2364540158 Speed \"brake speed\";\n",
            {engine, engine, brake + "; comment=brake speed"});
        add("comment over lines, with quotes", {}, "CM_ SG_ 100 Gear \"first\r\nsecond \\\"quoted\\\" \\\\\nthird\" ;\n",
            {engine, engine + R"(; comment=first/second "quoted" \/third)", brake});
        add("message, node and network comments", {},
            "CM_ BO_ 100 \"engine frame\";\nCM_ BU_ ECU \"engine unit\";\nCM_ \"the bus\";\n",
            {engine + "; txComment=engine unit; messageComment=engine frame",
             engine + "; txComment=engine unit; messageComment=engine frame", brake});
        add("value descriptions over two lines", {}, "VAL_ 100 Gear 0 \"P\" 1 \"R\"\n 2 \"N\" -1 \"D\" ;\n",
            {engine, engine + "; values=0 = P/1 = R/2 = N/-1 = D", brake});
        add("value table by name", "VAL_TABLE_ Gears 0 \"P\" 1 \"R\" ;\n", "VAL_ 100 Gear Gears ;\n",
            {engine, engine + "; values=0 = P/1 = R", brake});
        add("cycle time and long name", {},
            "BA_ \"GenMsgCycleTime\" BO_ 100 20;\nBA_ \"SystemSignalLongSymbol\" SG_ 2364540158 Speed \"Brake_Speed_Long\";\n",
            {"message=Engine; dlc=8; cycle=20; tx=ECU", "message=Engine; dlc=8; cycle=20; tx=ECU",
             brake + "; long=Brake_Speed_Long"});
        add("value types", {}, "SIG_VALTYPE_ 100 Speed : 1;\nSIG_VALTYPE_ 2364540158 Speed: 2 ;\nSIG_VALTYPE_ 100 Gear : 0;\n",
            {engine + "; type=IEEE float (32 bit)", engine, brake + "; type=IEEE double (64 bit)"},
            "2 signals are IEEE floating point; the channel list has no column for it.");
        add("extended multiplexing", {}, "SG_MUL_VAL_ 100 Gear Speed 3-3, 5-7;\nSG_MUL_VAL_ 100 Gear Other 1-1;\n",
            {engine, engine + "; mux=Speed 3-3, 5-7; Other 1-1", brake});
        add("statements before their signals", "CM_ SG_ 100 Gear \"early\";\nBA_ \"GenMsgCycleTime\" BO_ 2364540158 5;\n", {},
            {engine, engine + "; comment=early", "message=Brake; dlc=6; cycle=5; tx=ABS"});
        add("several on one line", {}, "CM_ BO_ 100 \"a;b\"; BA_ \"GenMsgCycleTime\" BO_ 100 10;\n",
            {"message=Engine; dlc=8; cycle=10; tx=ECU; messageComment=a;b", "message=Engine; dlc=8; cycle=10; tx=ECU; messageComment=a;b", brake});
        skipped("comment without quotes", "CM_ SG_ 100 Gear text;\n");
        skipped("comment on no signal", "CM_ SG_ 100 Nope \"x\";\n");
        skipped("comment on no message", "CM_ BO_ 7 \"x\";\n");
        skipped("unknown comment kind", "CM_ XX_ 100 \"x\";\n");
        skipped("values without a description", "VAL_ 100 Gear 0 \"P\" 1 ;\n");
        skipped("unknown value table", "VAL_ 100 Gear Missing ;\n");
        skipped("cycle time not a number", "BA_ \"GenMsgCycleTime\" BO_ 100 fast;\n");
        skipped("long name without quotes", "BA_ \"SystemSignalLongSymbol\" SG_ 100 Gear Long;\n");
        skipped("value type 7", "SIG_VALTYPE_ 100 Gear : 7;\n");
        skipped("multiplexing range not a number", "SG_MUL_VAL_ 100 Gear Speed 3-x;\n");
        skipped("comment left open at the end", "CM_ SG_ 100 Gear \"open\nmore\n");
        skipped("values not ended before the next statement", "VAL_ 100 Gear 0 \"P\"\nCM_ BO_ 7 \"x\";\n", "lines 6, 7.");
        // The signal lines end it; a quote closed later does not make it a comment of the lines between.
        add("comment left open before a signal line", "CM_ SG_ 100 Gear \"open\n", "x\";\n", plain, "line 1 ");
    }

    void details()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, rows);
        QFETCH(QString, warning);
        double messageId = 0;
        const ImportResult result = importBytes(file, messageId);
        // The rows are exactly those of the message and signal lines alone.
        QCOMPARE(tableDump(result.table), tableDump(importBytes(detailsBase, messageId).table));
        QCOMPARE((QStringList{detailsOf(result.table, 1), detailsOf(result.table, 2), detailsOf(result.table, 3)}), rows);
        const QString said = result.warnings.join(u'\n');
        QVERIFY2(warning.isEmpty() ? said.isEmpty() : said.contains(warning), qPrintable(said));
    }

    void texts()
    {
        double messageId = 0;
        const ImportResult result = importBytes(detailsBase + "CM_ SG_ 2364540158 Speed \"at the wheels\";\n"
                                                               "CM_ BO_ 2364540158 \"brake frame\";\n"
                                                               "SIG_VALTYPE_ 2364540158 Speed : 1;\n",
                                                messageId);
        QCOMPARE(detailsText(result.table, 3),
                 "Message: Brake\nIdentifier: 0x0CF004FE (217056510), extended frame; the file writes 2364540158\n"
                 "J1939: PGN 0xF004 (61444), priority 3, source address 0xFE (254)\nLength: 6 bytes\n"
                 "Transmitter: ABS\nMessage comment: brake frame\nValue type: IEEE float (32 bit)\n"
                 "Comment: at the wheels");
        QCOMPARE(detailsText(result.table, 1).section(u'\n', 1, 1), "Identifier: 0x064 (100), standard frame");
        QCOMPARE(detailsToolTip(result.table, 3, Col::Name), "at the wheels");
        QCOMPARE(detailsToolTip(result.table, 3, Col::CanId), "Message: Brake\nbrake frame");
        QVERIFY(isFloatRow(result.table, 3) && !isFloatRow(result.table, 1));
        SignalTable model;
        model.replace(result.table);
        QVERIFY(model.headerData(2, Qt::Vertical, Qt::ToolTipRole).toString().startsWith("IEEE floating point"));
        QVERIFY(!model.headerData(0, Qt::Vertical, Qt::ToolTipRole).isValid());
        QVERIFY(detailsText(TableData::standard(), 1).startsWith("No DBC details: the rows do not come from a DBC file"));
    }

    void j1939_data()
    {
        QTest::addColumn<quint32>("id");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QList<int>>("fields"); // priority, PGN, source, destination
        QTest::newRow("largest standard") << 0x7FFu << false << QList<int>{0, 0, 0xFF, 0x07};
        QTest::newRow("beyond 11 bits") << 0x800u << true << QList<int>{0, 0, 0, 0x08};
        QTest::newRow("PDU2, bit 31 set") << 0x98FEF100u << true << QList<int>{6, 0xFEF1, 0x00, -1};
        QTest::newRow("PDU1 request") << 0x18EA00F9u << true << QList<int>{6, 0xEA00, 0xF9, 0x00};
        QTest::newRow("data page") << 0x19FEF1FEu << true << QList<int>{6, 0x1FEF1, 0xFE, -1};
    }

    void j1939()
    {
        QFETCH(quint32, id);
        QFETCH(bool, extended);
        QFETCH(QList<int>, fields);
        QCOMPARE(isExtendedId(id), extended);
        const J1939Id j = j1939Of(id);
        QCOMPARE((QList<int>{j.priority, int(j.pgn), j.sourceAddress, j.destinationAddress}), fields);
    }

    void detailsCopy_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("read");
        QTest::newRow("whole") << "" << true;
        QTest::newRow("without details") << "none" << true;
        QTest::newRow("cut short") << "cut" << false;
        QTest::newRow("row of no signal") << "row" << false;
        QTest::newRow("text beyond the pool") << "text" << false;
        QTest::newRow("huge pool") << "pool" << false;
    }

    void detailsCopy()
    {
        QFETCH(QString, damage);
        QFETCH(bool, read);
        double messageId = 0;
        TableData table = damage == u"none" ? TableData::standard()
                                            : importBytes(detailsBase + "CM_ SG_ 100 Gear \"g\";\nVAL_ 100 Gear 0 \"P\";\n", messageId).table;
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        writeTableDetails(out, table);
        if (damage == u"cut")
            bytes.chop(bytes.size() / 2);
        if (damage == u"row")
            bytes[bytes.size() - 1] = 9; // the last row's signal: there are three
        if (damage == u"pool")
            bytes[5] = char(0x7F); // the pool's size, after the flag and the version
        if (damage == u"text")
            bytes[bytes.size() - 4 * 4 - 4 - 4 - 1] = char(0x7F); // the size of the last signal's last text
        TableData copy = table;
        copy.setDetails(nullptr);
        QDataStream in(bytes);
        QCOMPARE(readTableDetails(in, copy), read);
        QCOMPARE(in.status() == QDataStream::Ok, read);
        for (int row = 0; row < table.rows(); ++row)
            QCOMPARE(detailsText(copy, row), read ? detailsText(table, row) : detailsText(TableData::standard(), 1));
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
        // The signals and the units that hold a space, as the corpus' SOURCES.md counts them;
        // the signals with a comment, with value descriptions, with a long name, with
        // extended multiplexing and as floating point; the statements the file gets
        // wrong (naming a signal of another message).
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("signalCount");
        QTest::addColumn<int>("unitsWithSpace");
        QTest::addColumn<QList<int>>("details");
        QTest::addColumn<int>("skipped");
        const QList<std::tuple<const char *, int, int, QList<int>, int>> files = {
            {"gm_global_a_lowspeed_1818125.dbc", 3210, 38, {0, 0, 0, 0, 0}, 0},
            {"ford_lincoln_base_pt.dbc", 2150, 8, {241, 1571, 0, 0, 0}, 0},
            {"j1939.dbc", 2390, 0, {0, 0, 1298, 0, 0}, 0},
            {"vw_pq.dbc", 1331, 0, {180, 180, 0, 18, 0}, 7},
            {"ESR.dbc", 868, 0, {0, 5, 0, 0, 0}, 0},
            {"tesla_can.dbc", 572, 2, {0, 171, 0, 0, 0}, 1},
            {"psa_aee2010_r3.dbc", 536, 1, {136, 57, 0, 0, 0}, 0},
            {"vehicle.dbc", 462, 0, {236, 15, 0, 0, 0}, 0},
            {"_toyota_2017.dbc", 310, 0, {80, 51, 0, 0, 0}, 0},
            {"tesla_model3_vehicle.dbc", 209, 0, {0, 99, 0, 0, 0}, 0},
            {"abs.dbc", 89, 0, {61, 5, 0, 0, 0}, 0},
            {"multiplex_2.dbc", 19, 0, {0, 0, 0, 12, 2}, 0},
            {"open_actuator.dbc", 21, 0, {4, 1, 0, 0, 0}, 0},
            {"test.dbc", 2, 0, {1, 1, 0, 0, 0}, 0}};
        for (const auto &[name, signalCount, spaced, details, skipped] : files) {
            QTest::newRow(name) << QStringLiteral(TESSALY_TEST_DATA "/dbc/") + QLatin1String(name) << signalCount << spaced
                                << details << skipped;
        }
    }

    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, signalCount);
        QFETCH(int, unitsWithSpace);
        QFETCH(QList<int>, details);
        QFETCH(int, skipped);
        double messageId = 0;
        const ImportResult result = ReadDBC(file, TableData::standard(), messageId);
        QVERIFY2(result.ok(), qPrintable(result.error));
        // Every signal line of the corpus is complete.
        QVERIFY2(!result.warnings.join(u' ').contains(u"could not be read completely"), qPrintable(result.warnings.join(u' ')));
        QCOMPARE(result.table.rows() - 1, signalCount);
        int spaced = 0;
        QList<int> found(5, 0);
        for (int row = 1; row < result.table.rows(); ++row) {
            QCOMPARE(result.table.text(row, Col::Number), QString::number(row - 1));
            const QStringView unit = result.table.cell(row, Col::Unit);
            QVERIFY(!unit.contains(u'"'));
            spaced += unit.contains(u' ') ? 1 : 0;
            const std::optional<SignalDetails> d = signalDetails(result.table, row);
            QVERIFY(d && !d->messageName.isEmpty());
            const QList<bool> has = {!d->comment.isEmpty(), !d->values.isEmpty(), !d->longName.isEmpty(),
                                     !d->multiplexing.isEmpty(), isFloatRow(result.table, row)};
            for (qsizetype i = 0; i < has.size(); ++i)
                found[i] += has[i] ? 1 : 0;
        }
        QCOMPARE(spaced, unitsWithSpace);
        QCOMPARE(found, details);
        const QString said = result.warnings.join(u' ');
        QCOMPARE(said.contains(u"skipped"), skipped > 0);
        if (skipped > 1)
            QVERIFY2(said.contains(QStringLiteral(": %1 lines of comments").arg(skipped)), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestDbc)
#include "test_dbc.moc"
