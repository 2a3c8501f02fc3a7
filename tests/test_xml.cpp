#include "import/xml_import.h"
#include "reader_support.h"
#include "table/table_data.h"

#include <QBuffer>
#include <QLocale>
#include <QTest>

namespace {

ImportResult importBytes(QByteArray bytes, const TableData &current = TableData::standard())
{
    QBuffer buffer(&bytes); // left closed: the reader opens it
    return ReadXML(buffer, QStringLiteral("/data/bus.xml"), current);
}

// One signal: its start tag, then `lines`.
QByteArray item(const QByteArray &lines)
{
    return "<CAN_Data_Item>\n" + lines + '\n';
}

} // namespace

class TestXml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void fileNames()
    {
        QVERIFY(isXmlFileName(u"a.XML") && isXmlFileName(u"/data/bus.plexcanrxconfig"));
        QVERIFY(!isXmlFileName(u"PlexCanRXConfig") && !isXmlFileName(u"busxml") && !isXmlFileName(u""));
    }

    void everyTagFillsItsColumn()
    {
        const ImportResult result = importBytes(R"(<CAN_Data_Item>
  <id>291</id>
  <start_byte>2</start_byte>
  <length>2</length>
  <limit_low>-40</limit_low>
  <label>Engine speed</label>
  <internal_units>rpm</internal_units>
  <multiplier>0.25</multiplier>
  <divisor>2</divisor>
  <offset>-500</offset>
  <little_endian>true</little_endian>
  <gauge_low>0</gauge_low>
  <gauge_high>8000</gauge_high>
</CAN_Data_Item>
<CAN_Data_Item>
  <label>B</label>
)");
        QVERIFY(result.ok() && result.warnings.isEmpty());
        const TableData &table = result.table;
        QCOMPARE(table.rows(), 3);
        QCOMPARE(table.fixedRows(), 1);
        QCOMPARE(rowText(table, 0), rowText(TableData::standard(), 0));
        QCOMPARE(rowText(table, 1),
                 "0;291;2;2;1;Engine speed;rpm;0.125;-500;Engine speed  Mult/Div=0.25 / 2;;;LE;0 .. 8000");
        QCOMPARE(rowText(table, 2), "1;;;;;B;;;;B;;;;");
        for (int row = 0; row < table.rows(); ++row) {
            QCOMPARE(table.rowIcon(row), row > 0);
            for (int col = 0; col < TableData::cols(); ++col)
                QCOMPARE(table.colour(row, col), row > 0 && col == Col::Key ? CellColour::KeyCell : CellColour::Default);
        }
    }

    void row_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expected"); // the row's cells joined by ";"
        const auto add = [](const char *name, const QByteArray &input, int row, const char *expected) {
            QTest::newRow(name) << input << row << QString::fromUtf8(expected);
        };
        // Where a tag stands decides whether it counts: the CAN ID tells.
        const auto id = [&](const char *name, const char *line, const char *expected) {
            add(name, item("<id>old\n" + QByteArray(line)), 1, expected);
        };
        id("two-space indent", "  <id>291</id>", "0;291;;;;;;;;;;;;");
        id("space before >", "  <id  >291</id>", "0;291;;;;;;;;;;;;");
        id("tab indent", "\t<id>291</id>", "0;old;;;;;;;;;;;;");
        id("space inside the tag", "  < id>291</id>", "0;old;;;;;;;;;;;;");
        id("text before the tag", "x<id>291</id>", "0;old;;;;;;;;;;;;");
        id("only the first tag on a line", "<length>8</length><id>291</id>", "0;old;;8;;;;;;;;;;");
        // A signal starts at a start tag of its own; otherwise the <id> below lands in the first.
        const auto start = [&](const char *name, const char *line, const char *expected) {
            add(name, item("<id>1\n" + QByteArray(line) + "\n<id>5</id>"), 1, expected);
        };
        start("indented item", "    <CAN_Data_Item>", "0;1;;;;;;;;;;;;");
        start("item with space before >", "<CAN_Data_Item >", "0;1;;;;;;;;;;;;");
        start("tab-indented item", "\t<CAN_Data_Item>", "0;5;;;;;;;;;;;;");
        start("list of items", "<CAN_Data_Items>", "0;5;;;;;;;;;;;;");
        // Values are taken as written, up to the next "<".
        add("spaces and entities kept", item("<label> Oil &amp; water </label>"), 1,
            "0;;;;; Oil &amp; water ;;;; Oil &amp; water ;;;;");
        add("> inside the value", item("<id>a>b</id>"), 1, "0;a>b;;;;;;;;;;;;");
        add("end tag on a later line", item("<label>Engine\nspeed</label>"), 1, "0;;;;;Engine;;;;Engine;;;;");
        add("Windows-1252 unit", item("<internal_units>\x80\xB0/l</internal_units>"), 1, "0;;;;;;€°/l;;;;;;;");
        // Order within a signal, and what carries over to the next.
        add("divisor before label", item("<multiplier>2</multiplier>\n<divisor>4</divisor>\n<label>X</label>"), 1,
            "0;;;;;X;;0.5;;X;;;;");
        add("first item without multiplier", item("<divisor>5</divisor>"), 1, "0;;;;;;;0;;  Mult/Div=0 / 5;;;;");
        add("multiplier carried over", item("<multiplier>0.5</multiplier>") + item("<divisor>2</divisor>"), 2,
            "1;;;;;;;0.25;;  Mult/Div=0.5 / 2;;;;");
        add("multiplier after divisor", item("<divisor>2</divisor>\n<multiplier>4</multiplier>"), 1,
            "0;;;;;;;0;;  Mult/Div=0 / 2;;;;");
        add("high gauge without low", item("<gauge_high>80</gauge_high>"), 1, "0;;;;;;;;;;;;;80");
        add("high gauge first", item("<gauge_high>80</gauge_high>\n<gauge_low>0</gauge_low>"), 1, "0;;;;;;;;;;;;;0 .. ");
        add("end tag does not end the signal", item("</CAN_Data_Item>\n<length>8</length>"), 1, "0;;;8;;;;;;;;;;");
        add("next signal starts empty", item("<id>1</id>") + item(""), 2, "1;;;;;;;;;;;;;");
        // Only "true" means little-endian; only a negative number a signed value.
        const auto value = [&](const char *name, const char *line, const char *expected) {
            add(name, item(line), 1, expected);
        };
        value("little_endian true", "<little_endian>true</little_endian>", "0;;;;;;;;;;;;LE;");
        value("little_endian True", "<little_endian>True</little_endian>", "0;;;;;;;;;;;;BE;");
        value("little_endian space true", "<little_endian> true</little_endian>", "0;;;;;;;;;;;;BE;");
        value("limit_low negative", "<limit_low>-40</limit_low>", "0;;;;1;;;;;;;;;");
        value("limit_low zero", "<limit_low>-0</limit_low>", "0;;;;0;;;;;;;;;");
        value("limit_low text", "<limit_low>low</limit_low>", "0;;;;0;;;;;;;;;");
        // A repeated element: the last one counts, except for the Scale notes.
        value("repeated id", "<id>1</id>\n<id>2</id>", "0;2;;;;;;;;;;;;");
        value("repeated gauge_low", "<gauge_low>1</gauge_low>\n<gauge_low>5</gauge_low>", "0;;;;;;;;;;;;;5 .. ");
        value("repeated divisor", "<multiplier>1</multiplier>\n<divisor>2</divisor>\n<divisor>4</divisor>",
              "0;;;;;;;0.25;;  Mult/Div=1 / 2  Mult/Div=1 / 4;;;;");
        // Before the first signal, elements write into the heading row (LF-only file).
        const QByteArray heading = "<?xml version=\"1.0\"?>\n<PlexCanRXConfig>\n  <label>Receiver 1</label>\n"
                                   "  <multiplier>2</multiplier>\n  <divisor>4</divisor>\n"
                                   "  <CAN_Data_Item>\n    <divisor>1</divisor>\n</PlexCanRXConfig>\n";
        add("heading row", heading, 0, "#;CAN ID;Offset;Bytes;Signed;Receiver 1;Unit;0.5;Offset;"
                                       "Receiver 1  Mult/Div=2 / 4;Mode;Key;LITTLE_ENDIAN;min_max");
        add("signal after the heading", heading, 1, "0;;;;;;;2;;  Mult/Div=2 / 1;;;;");
    }

    void row()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, row);
        QFETCH(QString, expected);
        const ImportResult result = importBytes(input);
        QVERIFY(row < result.table.rows());
        QCOMPARE(rowText(result.table, row), expected);
    }

    void scale_data()
    {
        QTest::addColumn<QByteArray>("multiplier");
        QTest::addColumn<QByteArray>("divisor");
        QTest::addColumn<QString>("scale"); // empty: cannot be computed, and a warning
        QTest::addColumn<QString>("note");
        const auto add = [](const char *name, const char *multiplier, const char *divisor, const char *scale,
                            const char *note) {
            QTest::newRow(name) << QByteArray(multiplier) << QByteArray(divisor) << QString(scale) << QString(note);
        };
        add("single multiplier widened", "0.1", "1", "0.100000001490116", "  Mult/Div=0.1 / 1");
        add("tenth by division", "1", "10", "0.1", "  Mult/Div=1 / 10");
        add("divisor as written", "1", " 1e1 ", "0.1", "  Mult/Div=1 /  1e1 ");
        add("multiplier rounded to single", "0.123456789", "1", "0.123456791043282", "  Mult/Div=0.1234568 / 1");
        add("exact tie rounds away from zero", "1", "4194304", "2.38418579101563E-07", "  Mult/Div=1 / 4194304");
        add("huge divisor", "1", "1e400", "0", "  Mult/Div=1 / 1e400");
        add("zero divisor", "0.5", "0.0", "", "  Mult/Div=0.5 / 0.0");
        add("divisor not a number", "0.5", "n/a", "", "  Mult/Div=0.5 / n/a");
        add("quotient overflows", "1e30", "1e-300", "", "  Mult/Div=1E+30 / 1e-300");
        add("multiplier overflows", "1e39", "1", "", "  Mult/Div=Inf / 1");
    }

    void scale()
    {
        QFETCH(QByteArray, multiplier);
        QFETCH(QByteArray, divisor);
        QFETCH(QString, scale);
        QFETCH(QString, note);
        const ImportResult result = importBytes(item("<label>Engine speed</label>\n<multiplier>" + multiplier
                                                     + "</multiplier>\n<divisor>" + divisor + "</divisor>"));
        QCOMPARE(result.table.text(1, Col::Scale), scale);
        QCOMPARE(result.table.text(1, Col::Description), "Engine speed" + note);
        QCOMPARE(result.warnings.size(), scale.isEmpty() ? 1 : 0);
        if (scale.isEmpty()) {
            const QStringList lines = result.warnings[0].split(u'\n');
            QVERIFY2(lines[0].contains(u"/data/bus.xml") && lines[0].contains(u" 1 signal"), qPrintable(lines[0]));
            QCOMPARE(lines.mid(1), QStringList{"#0 Engine speed"});
        }
    }

    void scaleWarningListsTwentyRows()
    {
        // The heading row and 24 signals cannot have a Scale. Each of these signals has a
        // good divisor first, then two zero ones; a good signal follows each.
        QByteArray input = "<multiplier>1</multiplier>\n<divisor>0</divisor>\n";
        for (int i = 0; i < 24; ++i) {
            input += item("<label>S" + QByteArray::number(i) + "</label>\n<divisor>2</divisor>\n<divisor>0</divisor>\n"
                          "<divisor>0</divisor>") + item("<divisor>4</divisor>");
        }
        const ImportResult result = importBytes(input);
        const TableData &table = result.table;
        QCOMPARE(table.text(0, Col::Scale), QString());
        QCOMPARE(table.text(0, Col::Description), "Description  Mult/Div=1 / 0");
        QCOMPARE(result.warnings.size(), 1);
        const QStringList lines = result.warnings[0].split(u'\n');
        QCOMPARE(lines.size(), 22); // the text, 20 rows, how many more
        QVERIFY2(lines[0].contains(u" 25 signals"), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(u"heading row"), qPrintable(lines[1]));
        QCOMPARE(lines[21], "... and 5 more.");
        for (int i = 0; i < 24; ++i) {
            const int row = 1 + 2 * i;
            QCOMPARE(table.text(row, Col::Scale), QString());
            const QString zero = QStringLiteral("  Mult/Div=1 / 0");
            QCOMPARE(table.text(row, Col::Description), QStringLiteral("S%1  Mult/Div=1 / 2").arg(i) + zero + zero);
            QCOMPARE(table.text(row + 1, Col::Scale), "0.25");
            if (i < 19)
                QCOMPARE(lines[2 + i], QStringLiteral("#%1 S%2").arg(row - 1).arg(i)); // each listed once
        }
    }

    void headingRow()
    {
        TableData current = TableData::standard();
        current.setText(0, Col::Name, QStringLiteral("Receiver 1"));
        current.setColour(0, Col::Unit, CellColour::DuplicateKey);
        ImportResult result = importBytes(item("<id>291</id>"), current);
        QCOMPARE(rowText(result.table, 0), rowText(current, 0));
        QCOMPARE(result.table.colour(0, Col::Unit), CellColour::DuplicateKey);

        // No signal row is an error that says why: none in the file, or none the
        // reader can see.
        result = importBytes("<?xml version=\"1.0\"?>\n<PlexCanRXConfig/>\n", current);
        QVERIFY2(result.error.contains(u"holds no <CAN_Data_Item> element"), qPrintable(result.error));
        QCOMPARE(result.table.rows(), 0);
        result = importBytes("<PlexCanRXConfig><CAN_Data_Item><id>1</id></CAN_Data_Item></PlexCanRXConfig>", current);
        QVERIFY2(result.error.endsWith(u"This reader needs one element per line."), qPrintable(result.error));

        result = importBytes(item("<id>291</id>"), TableData());
        QCOMPARE(rowText(result.table, 0), QString(Col::Count - 1, u';'));
        QCOMPARE(rowText(result.table, 1), "0;291;;;;;;;;;;;;");
    }
};

QTEST_GUILESS_MAIN(TestXml)
#include "test_xml.moc"
