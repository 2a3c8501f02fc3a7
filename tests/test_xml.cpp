#include "csv/results_csv.h"
#include "import/xml_import.h"
#include "table/table_data.h"
#include "table/text_file.h"

#include <QBuffer>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <initializer_list>

namespace {

// Lines joined with CR LF, the line end of the receiver's own files.
QByteArray xml(std::initializer_list<const char *> lines)
{
    QByteArray bytes;
    for (const char *line : lines)
        bytes.append(line).append("\r\n");
    return bytes;
}

ImportResult importBytes(QByteArray bytes, const TableData &current = TableData::standard(),
                         const QString &fileName = QStringLiteral("bus.xml"))
{
    QBuffer buffer(&bytes); // left closed: the reader opens it
    return ReadXML(buffer, fileName, current);
}

QStringList rowTexts(const TableData &table, int row)
{
    QStringList texts;
    for (int col = 0; col < TableData::cols(); ++col)
        texts.append(table.text(row, col));
    return texts;
}

QStringList standardHeadings()
{
    return rowTexts(TableData::standard(), 0);
}

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(TESSALY_TEST_DATA "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A device whose every read fails, like a file on a vanished network share.
class FailingDevice : public QIODevice
{
protected:
    qint64 readData(char *, qint64) override
    {
        setErrorString(QStringLiteral("the network name is no longer available"));
        return -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }
};

} // namespace

class TestXml : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fullItemFillsEveryColumn();
    void rowsAreNumberedWithIconAndKeyColour();

    // Each of these imports `input` over the standard table and compares one cell.
    void tagLayout_data();
    void tagLayout();
    void valuesAreVerbatim_data();
    void valuesAreVerbatim();
    void orderWithinASignal_data();
    void orderWithinASignal();
    void littleEndian_data();
    void littleEndian();
    void limitLow_data();
    void limitLow();
    void repeatedElements_data();
    void repeatedElements();
    void elementsBeforeFirstItem_data();
    void elementsBeforeFirstItem();

    void itemStartLayout_data();
    void itemStartLayout();
    void scale_data();
    void scale();
    void scaleUsesLocaleDecimalSeparator();

    void headingRowIsCopiedFromCurrent();
    void emptyCurrentGivesEmptyHeadingRow();
    void fileWithoutItemsLeavesHeadingRowUnfixed();

    void xmlFileNames_data();
    void xmlFileNames();
    void unreadableFileIsNamed();
    void readFailureIsNamed();

    void scaleWithoutFiniteValue_data();
    void scaleWithoutFiniteValue();
    void laterZeroDivisorClearsScale();
    void zeroDivisorBeforeFirstItem();
    void scaleWarningListsTwentyRows_data();
    void scaleWarningListsTwentyRows();

    void everyLineEndSplitsLines_data();
    void everyLineEndSplitsLines();
    void receiverConfigurationGivesExpectedCsv();
};

void TestXml::init()
{
    QLocale::setDefault(QLocale::c());
}

void TestXml::fullItemFillsEveryColumn()
{
    const ImportResult result = importBytes(xml({
            "<CAN_Data_Item>",
            "  <id>291</id>",
            "  <start_byte>2</start_byte>",
            "  <length>2</length>",
            "  <limit_low>-40</limit_low>",
            "  <label>Engine speed</label>",
            "  <internal_units>rpm</internal_units>",
            "  <multiplier>0.25</multiplier>",
            "  <divisor>2</divisor>",
            "  <offset>-500</offset>",
            "  <little_endian>true</little_endian>",
            "  <gauge_low>0</gauge_low>",
            "  <gauge_high>8000</gauge_high>",
            "</CAN_Data_Item>",
    }));
    QVERIFY(result.ok());
    QVERIFY(result.warnings.isEmpty());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 2);
    QCOMPARE(table.fixedRows(), 1);
    QCOMPARE(rowTexts(table, 0), standardHeadings());
    const QStringList expected = {
        "0", "291", "2", "2", "1", "Engine speed", "rpm", "0.125", "-500",
        "Engine speed  Mult/Div=0.25 / 2", "", "", "LE", "0 .. 8000",
    };
    QCOMPARE(rowTexts(table, 1), expected);
}

void TestXml::rowsAreNumberedWithIconAndKeyColour()
{
    const ImportResult result = importBytes(xml({
            "<CAN_Data_Item>", "<label>A</label>",
            "<CAN_Data_Item>", "<label>B</label>",
            "<CAN_Data_Item>", "<label>C</label>",
    }));
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 4);
    QCOMPARE(table.fixedRows(), 1);
    QVERIFY(!table.rowIcon(0));
    for (int row = 1; row < table.rows(); ++row) {
        QCOMPARE(table.text(row, Col::Number), QString::number(row - 1));
        QVERIFY(table.rowIcon(row));
        for (int col = 0; col < TableData::cols(); ++col) {
            const CellColour expected = col == Col::Key ? CellColour::KeyCell : CellColour::Default;
            QCOMPARE(table.colour(row, col), expected);
        }
    }
    QCOMPARE(table.text(3, Col::Name), QStringLiteral("C"));
    for (int col = 0; col < TableData::cols(); ++col)
        QCOMPARE(table.colour(0, col), CellColour::Default);
}

// --- one cell after an import ---------------------------------------------------------

namespace {

void cellColumns()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("expected");
}

void compareCell()
{
    QFETCH(QByteArray, input);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, expected);
    const ImportResult result = importBytes(input);
    QVERIFY(result.ok());
    QVERIFY(row < result.table.rows());
    QCOMPARE(result.table.text(row, col), expected);
}

// One signal holding "<id>old" and then `line`: the CAN ID tells whether the line counted.
QByteArray idLine(const char *line)
{
    return xml({"<CAN_Data_Item>", "<id>old", line});
}

QByteArray oneItem(std::initializer_list<const char *> lines)
{
    return xml({"<CAN_Data_Item>"}) + xml(lines);
}

} // namespace

void TestXml::tagLayout_data()
{
    cellColumns();
    const int id = Col::CanId;
    QTest::newRow("two spaces") << idLine("  <id>291</id>") << 1 << id << "291";
    QTest::newRow("no indent") << idLine("<id>291</id>") << 1 << id << "291";
    QTest::newRow("deep indent") << idLine("            <id>291</id>") << 1 << id << "291";
    QTest::newRow("space before >") << idLine("  <id  >291</id>") << 1 << id << "291";
    QTest::newRow("no > at all") << idLine("  <id") << 1 << id << "";
    QTest::newRow("tab indent") << idLine("\t<id>291</id>") << 1 << id << "old";
    QTest::newRow("spaces then tab") << idLine("  \t<id>291</id>") << 1 << id << "old";
    QTest::newRow("attribute") << idLine("  <id base=\"10\">291</id>") << 1 << id << "old";
    QTest::newRow("inner space") << idLine("  < id>291</id>") << 1 << id << "old";
    QTest::newRow("upper case") << idLine("  <ID>291</ID>") << 1 << id << "old";
    QTest::newRow("self-closing") << idLine("  <id/>") << 1 << id << "old";
    QTest::newRow("text before tag") << idLine("x<id>291</id>") << 1 << id << "old";
    QTest::newRow("end tag") << idLine("</id>291") << 1 << id << "old";
    QTest::newRow("comment") << idLine("<!-- <id>291</id> -->") << 1 << id << "old";
    QTest::newRow("second tag on a line")
            << idLine("<length>8</length><id>291</id>") << 1 << id << "old";
    QTest::newRow("first tag on a line counts")
            << idLine("<length>8</length><id>291</id>") << 1 << int(Col::Bytes) << "8";
}

void TestXml::tagLayout()
{
    compareCell();
}

void TestXml::valuesAreVerbatim_data()
{
    cellColumns();
    const int name = Col::Name;
    QTest::newRow("spaces at both ends")
            << oneItem({"<label>  Engine speed  </label>"}) << 1 << name << "  Engine speed  ";
    QTest::newRow("tabs inside") << oneItem({"<label>\tx\t</label>"}) << 1 << name << "\tx\t";
    QTest::newRow("entity stays")
            << oneItem({"<label>Oil &amp; coolant</label>"}) << 1 << name << "Oil &amp; coolant";
    QTest::newRow("> inside the value") << oneItem({"<label>a>b</label>"}) << 1 << name << "a>b";
    QTest::newRow("end tag on a later line")
            << oneItem({"<label>Engine", "speed</label>"}) << 1 << name << "Engine";
    QTest::newRow("no end tag") << oneItem({"<label>Engine speed"}) << 1 << name << "Engine speed";
    QTest::newRow("empty") << oneItem({"<label>Old</label>", "<label></label>"}) << 1 << name << "";
    QTest::newRow("label into Description")
            << oneItem({"<label> A &lt; B</label>"}) << 1 << int(Col::Description) << " A &lt; B";
    QTest::newRow("CAN ID not converted") << oneItem({"<id>0x123</id>"}) << 1 << int(Col::CanId) << "0x123";
    QTest::newRow("start byte") << oneItem({"<start_byte> 03</start_byte>"}) << 1 << int(Col::Position)
                                << " 03";
    QTest::newRow("length") << oneItem({"<length>2.0</length>"}) << 1 << int(Col::Bytes) << "2.0";
    QTest::newRow("offset") << oneItem({"<offset>-40.5</offset>"}) << 1 << int(Col::Offset) << "-40.5";
    QTest::newRow("Windows-1252 unit")
            << oneItem({"<internal_units>\xB0" "C</internal_units>"}) << 1 << int(Col::Unit)
            << QString::fromUtf16(u"\u00B0C");
}

void TestXml::valuesAreVerbatim()
{
    compareCell();
}

void TestXml::orderWithinASignal_data()
{
    cellColumns();
    const int scale = Col::Scale;
    const int description = Col::Description;
    const int minMax = Col::MinMax;
    QTest::newRow("label before divisor keeps the note")
            << oneItem({"<label>X</label>", "<multiplier>2</multiplier>", "<divisor>4</divisor>"})
            << 1 << description << "X  Mult/Div=2 / 4";
    QTest::newRow("divisor before label loses the note")
            << oneItem({"<multiplier>2</multiplier>", "<divisor>4</divisor>", "<label>X</label>"})
            << 1 << description << "X";
    QTest::newRow("divisor before label still sets Scale")
            << oneItem({"<multiplier>2</multiplier>", "<divisor>4</divisor>", "<label>X</label>"})
            << 1 << scale << "0.5";
    QTest::newRow("first item without multiplier")
            << oneItem({"<divisor>5</divisor>"}) << 1 << scale << "0";
    QTest::newRow("first item without multiplier, note")
            << oneItem({"<divisor>5</divisor>"}) << 1 << description << "  Mult/Div=0 / 5";
    const QByteArray carried = xml({
            "<CAN_Data_Item>", "<multiplier>0.5</multiplier>", "<divisor>1</divisor>",
            "<CAN_Data_Item>", "<label>Y</label>", "<divisor>2</divisor>",
    });
    QTest::newRow("multiplier carried to next item") << carried << 2 << scale << "0.25";
    QTest::newRow("multiplier carried, note") << carried << 2 << description << "Y  Mult/Div=0.5 / 2";
    const QByteArray late = xml({
            "<CAN_Data_Item>", "<divisor>2</divisor>", "<multiplier>4</multiplier>",
            "<CAN_Data_Item>", "<divisor>2</divisor>",
    });
    QTest::newRow("multiplier after divisor: not used") << late << 1 << scale << "0";
    QTest::newRow("multiplier after divisor: next item") << late << 2 << scale << "2";
    QTest::newRow("low then high")
            << oneItem({"<gauge_low>0</gauge_low>", "<gauge_high>8000</gauge_high>"}) << 1 << minMax
            << "0 .. 8000";
    QTest::newRow("high without low") << oneItem({"<gauge_high>8000</gauge_high>"}) << 1 << minMax << "8000";
    QTest::newRow("low without high") << oneItem({"<gauge_low>-40</gauge_low>"}) << 1 << minMax << "-40 .. ";
    QTest::newRow("high before low")
            << oneItem({"<gauge_high>8000</gauge_high>", "<gauge_low>0</gauge_low>"}) << 1 << minMax
            << "0 .. ";
    QTest::newRow("end tag does not end the signal")
            << oneItem({"<id>1</id>", "</CAN_Data_Item>", "<length>8</length>"}) << 1
            << int(Col::Bytes) << "8";
    QTest::newRow("new item starts empty")
            << xml({"<CAN_Data_Item>", "<id>1</id>", "<CAN_Data_Item>"}) << 2 << int(Col::CanId) << "";
}

void TestXml::orderWithinASignal()
{
    compareCell();
}

void TestXml::littleEndian_data()
{
    cellColumns();
    const int col = Col::LittleEndian;
    const auto item = [](const char *line) { return oneItem({"<label>X</label>", line}); };
    QTest::newRow("true") << item("<little_endian>true</little_endian>") << 1 << col << "LE";
    QTest::newRow("True") << item("<little_endian>True</little_endian>") << 1 << col << "BE";
    QTest::newRow("TRUE") << item("<little_endian>TRUE</little_endian>") << 1 << col << "BE";
    QTest::newRow("1") << item("<little_endian>1</little_endian>") << 1 << col << "BE";
    QTest::newRow("false") << item("<little_endian>false</little_endian>") << 1 << col << "BE";
    QTest::newRow("space before true") << item("<little_endian> true</little_endian>") << 1 << col << "BE";
    QTest::newRow("empty") << item("<little_endian></little_endian>") << 1 << col << "BE";
    QTest::newRow("missing") << item("<other>true</other>") << 1 << col << "";
}

void TestXml::littleEndian()
{
    compareCell();
}

void TestXml::limitLow_data()
{
    cellColumns();
    const int col = Col::Signed;
    const auto item = [](const char *line) { return oneItem({"<label>X</label>", line}); };
    QTest::newRow("-40") << item("<limit_low>-40</limit_low>") << 1 << col << "1";
    QTest::newRow("0") << item("<limit_low>0</limit_low>") << 1 << col << "0";
    QTest::newRow("10") << item("<limit_low>10</limit_low>") << 1 << col << "0";
    QTest::newRow("non-numeric") << item("<limit_low>low</limit_low>") << 1 << col << "0";
    QTest::newRow("minus then text") << item("<limit_low>-x</limit_low>") << 1 << col << "0";
    QTest::newRow("-0") << item("<limit_low>-0</limit_low>") << 1 << col << "0";
    QTest::newRow("small negative") << item("<limit_low>-1e-300</limit_low>") << 1 << col << "1";
    QTest::newRow("fraction") << item("<limit_low>-0.5</limit_low>") << 1 << col << "1";
    QTest::newRow("spaces inside") << item("<limit_low> - 4 0</limit_low>") << 1 << col << "1";
    QTest::newRow("missing") << item("<other>-40</other>") << 1 << col << "";
}

void TestXml::limitLow()
{
    compareCell();
}

void TestXml::repeatedElements_data()
{
    cellColumns();
    QTest::newRow("id") << oneItem({"<id>1</id>", "<id>2</id>"}) << 1 << int(Col::CanId) << "2";
    QTest::newRow("unit") << oneItem({"<internal_units>V</internal_units>", "<internal_units>mV</internal_units>"})
                          << 1 << int(Col::Unit) << "mV";
    QTest::newRow("label, Name") << oneItem({"<label>A</label>", "<label>B</label>"}) << 1 << int(Col::Name)
                                 << "B";
    QTest::newRow("label, Description")
            << oneItem({"<label>A</label>", "<label>B</label>"}) << 1 << int(Col::Description) << "B";
    QTest::newRow("limit_low") << oneItem({"<limit_low>-1</limit_low>", "<limit_low>1</limit_low>"}) << 1
                               << int(Col::Signed) << "0";
    QTest::newRow("little_endian")
            << oneItem({"<little_endian>true</little_endian>", "<little_endian>false</little_endian>"}) << 1
            << int(Col::LittleEndian) << "BE";
    QTest::newRow("gauge_low") << oneItem({"<gauge_low>1</gauge_low>", "<gauge_low>5</gauge_low>"}) << 1
                               << int(Col::MinMax) << "5 .. ";
    const QByteArray twoDivisors =
            oneItem({"<label>X</label>", "<multiplier>1</multiplier>", "<divisor>2</divisor>", "<divisor>4</divisor>"});
    QTest::newRow("divisor, Scale") << twoDivisors << 1 << int(Col::Scale) << "0.25";
    QTest::newRow("divisor, both notes")
            << twoDivisors << 1 << int(Col::Description) << "X  Mult/Div=1 / 2  Mult/Div=1 / 4";
}

void TestXml::repeatedElements()
{
    compareCell();
}

void TestXml::elementsBeforeFirstItem_data()
{
    cellColumns();
    const QByteArray input = xml({
            "<?xml version=\"1.0\"?>",
            "<PlexCanRXConfig>",
            "  <label>Receiver 1</label>",
            "  <id>7</id>",
            "  <multiplier>2</multiplier>",
            "  <divisor>4</divisor>",
            "  <CAN_Data_Item>",
            "    <divisor>1</divisor>",
            "  </CAN_Data_Item>",
            "</PlexCanRXConfig>",
    });
    QTest::newRow("heading Name") << input << 0 << int(Col::Name) << "Receiver 1";
    QTest::newRow("heading CAN ID") << input << 0 << int(Col::CanId) << "7";
    QTest::newRow("heading Scale") << input << 0 << int(Col::Scale) << "0.5";
    QTest::newRow("heading Description")
            << input << 0 << int(Col::Description) << "Receiver 1  Mult/Div=2 / 4";
    QTest::newRow("heading untouched column") << input << 0 << int(Col::Unit) << "Unit";
    QTest::newRow("heading #") << input << 0 << int(Col::Number) << "#";
    QTest::newRow("signal starts empty") << input << 1 << int(Col::CanId) << "";
    QTest::newRow("multiplier carried into signal") << input << 1 << int(Col::Scale) << "2";
}

void TestXml::elementsBeforeFirstItem()
{
    compareCell();
}

// --- signal boundaries and Scale --------------------------------------------------------

void TestXml::itemStartLayout_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("rows");
    QTest::newRow("plain") << QByteArray("<CAN_Data_Item>") << 2;
    QTest::newRow("indented") << QByteArray("    <CAN_Data_Item>") << 2;
    QTest::newRow("space before >") << QByteArray("<CAN_Data_Item >") << 2;
    QTest::newRow("tab indent") << QByteArray("\t<CAN_Data_Item>") << 1;
    QTest::newRow("attribute") << QByteArray("<CAN_Data_Item index=\"1\">") << 1;
    QTest::newRow("self-closing") << QByteArray("<CAN_Data_Item/>") << 1;
    QTest::newRow("end tag") << QByteArray("</CAN_Data_Item>") << 1;
    QTest::newRow("list element") << QByteArray("<CAN_Data_Items>") << 1;
    QTest::newRow("lower case") << QByteArray("<can_data_item>") << 1;
}

void TestXml::itemStartLayout()
{
    QFETCH(QByteArray, line);
    QFETCH(int, rows);
    const ImportResult result = importBytes(line + "\r\n<id>5</id>\r\n");
    QCOMPARE(result.table.rows(), rows);
    // Without a signal row the element lands in the heading row.
    QCOMPARE(result.table.text(rows - 1, Col::CanId), QStringLiteral("5"));
    QCOMPARE(result.table.fixedRows(), rows - 1);
}

void TestXml::scale_data()
{
    QTest::addColumn<QByteArray>("multiplier");
    QTest::addColumn<QByteArray>("divisor");
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QString>("description");
    QTest::newRow("single multiplier widened")
            << QByteArray("0.1") << QByteArray("1") << "0.100000001490116" << "Engine speed  Mult/Div=0.1 / 1";
    QTest::newRow("tenth by division")
            << QByteArray("1") << QByteArray("10") << "0.1" << "Engine speed  Mult/Div=1 / 10";
    QTest::newRow("exact quarter")
            << QByteArray("0.25") << QByteArray("1") << "0.25" << "Engine speed  Mult/Div=0.25 / 1";
    QTest::newRow("negative") << QByteArray("-0.5") << QByteArray("2") << "-0.25"
                              << "Engine speed  Mult/Div=-0.5 / 2";
    QTest::newRow("divisor text verbatim")
            << QByteArray("1") << QByteArray(" 1e1 ") << "0.1" << "Engine speed  Mult/Div=1 /  1e1 ";
    QTest::newRow("multiplier with trailing text")
            << QByteArray("3 rpm") << QByteArray("1") << "3" << "Engine speed  Mult/Div=3 / 1";
    QTest::newRow("multiplier rounded to single")
            << QByteArray("0.123456789") << QByteArray("1") << "0.123456791043282"
            << "Engine speed  Mult/Div=0.1234568 / 1";
    QTest::newRow("third") << QByteArray("1") << QByteArray("3") << "0.333333333333333"
                           << "Engine speed  Mult/Div=1 / 3";
    QTest::newRow("exponent notation")
            << QByteArray("1e30") << QByteArray("1e-10") << "1.00000001504747E+40"
            << "Engine speed  Mult/Div=1E+30 / 1e-10";
    QTest::newRow("largest single")
            << QByteArray("3.4028235e38") << QByteArray("1") << "3.40282346638529E+38"
            << "Engine speed  Mult/Div=3.402823E+38 / 1";
    QTest::newRow("huge divisor") << QByteArray("1") << QByteArray("1e400") << "0"
                                  << "Engine speed  Mult/Div=1 / 1e400";
}

void TestXml::scale()
{
    QFETCH(QByteArray, multiplier);
    QFETCH(QByteArray, divisor);
    QFETCH(QString, scale);
    QFETCH(QString, description);
    const ImportResult result = importBytes("<CAN_Data_Item>\r\n<label>Engine speed</label>\r\n<multiplier>"
                                            + multiplier + "</multiplier>\r\n<divisor>" + divisor
                                            + "</divisor>\r\n");
    QCOMPARE(result.table.text(1, Col::Scale), scale);
    QCOMPARE(result.table.text(1, Col::Description), description);
    QCOMPARE(result.table.text(1, Col::Name), QStringLiteral("Engine speed"));
    QVERIFY(result.warnings.isEmpty());
}

void TestXml::scaleUsesLocaleDecimalSeparator()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const ImportResult result = importBytes(oneItem({
            "<label>Engine speed</label>", "<multiplier>0.1</multiplier>", "<divisor>1.0</divisor>",
    }));
    QCOMPARE(result.table.text(1, Col::Scale), QStringLiteral("0,100000001490116"));
    QCOMPARE(result.table.text(1, Col::Description), QStringLiteral("Engine speed  Mult/Div=0,1 / 1.0"));
}

// --- the heading row ------------------------------------------------------------------

void TestXml::headingRowIsCopiedFromCurrent()
{
    TableData current = TableData::standard();
    current.setText(0, Col::Name, QStringLiteral("Receiver 1"));
    current.setText(0, Col::Scale, QStringLiteral("0.5"));
    current.setText(1, Col::CanId, QStringLiteral("99"));
    current.appendRow({u"1", u"100"});
    const QStringList heading = rowTexts(current, 0);

    const ImportResult result = importBytes(xml({"<CAN_Data_Item>", "<id>291</id>"}), current);
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(rowTexts(result.table, 0), heading);
    QCOMPARE(result.table.text(1, Col::CanId), QStringLiteral("291"));
    QCOMPARE(current.rows(), 3); // the user's table is left to the window
}

void TestXml::emptyCurrentGivesEmptyHeadingRow()
{
    const ImportResult result = importBytes(xml({"<CAN_Data_Item>", "<id>291</id>"}), TableData());
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(rowTexts(result.table, 0), QStringList(TableData::cols(), QString()));
    QCOMPARE(result.table.text(1, Col::Number), QStringLiteral("0"));
}

void TestXml::fileWithoutItemsLeavesHeadingRowUnfixed()
{
    for (const QByteArray &input : {QByteArray(), xml({"<?xml version=\"1.0\"?>", "<PlexCanRXConfig/>"})}) {
        const ImportResult result = importBytes(input);
        QVERIFY(result.ok());
        QVERIFY(result.warnings.isEmpty());
        QCOMPARE(result.table.rows(), 1);
        QCOMPARE(result.table.fixedRows(), 0);
        QCOMPARE(rowTexts(result.table, 0), standardHeadings());
    }
}

// --- file names and failures ------------------------------------------------------------

void TestXml::xmlFileNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a.XML") << "a.XML" << true;
    QTest::newRow("b.PlexCanRXConfig") << "b.PlexCanRXConfig" << true;
    QTest::newRow("lower case config") << "/data/bus.plexcanrxconfig" << true;
    QTest::newRow("upper case config") << "C:\\BUS.PLEXCANRXCONFIG" << true;
    QTest::newRow("extension only") << ".xml" << true;
    QTest::newRow("c.txt") << "c.txt" << false;
    QTest::newRow("d.xml.bak") << "d.xml.bak" << false;
    QTest::newRow("folder named .xml") << "/data/x.xml/bus.dbc" << false;
    QTest::newRow("no dot") << "busxml" << false;
    QTest::newRow("short") << "f.xm" << false;
    QTest::newRow("config without dot") << "PlexCanRXConfig" << false;
    QTest::newRow("empty") << "" << false;
}

void TestXml::xmlFileNames()
{
    QFETCH(QString, fileName);
    QFETCH(bool, accepted);
    QCOMPARE(isXmlFileName(fileName), accepted);
}

void TestXml::unreadableFileIsNamed()
{
    const QString missing = QStringLiteral(TESSALY_TEST_DATA "/no such file.xml");
    const ImportResult gone = ReadXML(missing, TableData::standard());
    QVERIFY(!gone.ok());
    QVERIFY2(gone.error.contains(displayName(missing)), qPrintable(gone.error));

    const QString folder = QStringLiteral(TESSALY_TEST_DATA);
    const ImportResult dir = ReadXML(folder, TableData::standard());
    QVERIFY(!dir.ok());
    QVERIFY2(dir.error.contains(displayName(folder)), qPrintable(dir.error));
    QVERIFY2(dir.error.contains(QStringLiteral("folder")), qPrintable(dir.error));
}

void TestXml::readFailureIsNamed()
{
    FailingDevice device;
    QVERIFY(device.open(QIODevice::ReadOnly));
    const ImportResult result = ReadXML(device, QStringLiteral("/mnt/share/bus.xml"), TableData::standard());
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains(displayName(QStringLiteral("/mnt/share/bus.xml"))), qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("no longer available")), qPrintable(result.error));
}

// --- Scale without a finite value -------------------------------------------------------

void TestXml::scaleWithoutFiniteValue_data()
{
    QTest::addColumn<QByteArray>("multiplier");
    QTest::addColumn<QByteArray>("divisor");
    QTest::addColumn<QString>("note");
    QTest::newRow("0") << QByteArray("0.5") << QByteArray("0") << "  Mult/Div=0.5 / 0";
    QTest::newRow("0.0") << QByteArray("0.5") << QByteArray("0.0") << "  Mult/Div=0.5 / 0.0";
    QTest::newRow("-0") << QByteArray("0.5") << QByteArray("-0") << "  Mult/Div=0.5 / -0";
    QTest::newRow("text") << QByteArray("0.5") << QByteArray("n/a") << "  Mult/Div=0.5 / n/a";
    QTest::newRow("empty") << QByteArray("0.5") << QByteArray("") << "  Mult/Div=0.5 / ";
    QTest::newRow("zero by zero") << QByteArray("0") << QByteArray("0") << "  Mult/Div=0 / 0";
    QTest::newRow("quotient overflows")
            << QByteArray("1e30") << QByteArray("1e-300") << "  Mult/Div=1E+30 / 1e-300";
    QTest::newRow("multiplier beyond single")
            << QByteArray("1e39") << QByteArray("1") << "  Mult/Div=Inf / 1";
    QTest::newRow("both infinite")
            << QByteArray("-1e39") << QByteArray("1e400") << "  Mult/Div=-Inf / 1e400";
}

void TestXml::scaleWithoutFiniteValue()
{
    QFETCH(QByteArray, multiplier);
    QFETCH(QByteArray, divisor);
    QFETCH(QString, note);
    const QByteArray input = xml({"<CAN_Data_Item>", "<label>Engine speed</label>", "<divisor>2</divisor>",
                                  "<CAN_Data_Item>", "<label>Oil temp</label>"})
            + "<multiplier>" + multiplier + "</multiplier>\r\n<divisor>" + divisor + "</divisor>\r\n"
            + xml({"<CAN_Data_Item>", "<label>Coolant</label>", "<multiplier>1</multiplier>",
                   "<divisor>4</divisor>"});
    const ImportResult result = importBytes(input, TableData::standard(), QStringLiteral("/data/bus.xml"));
    QVERIFY(result.ok());
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 4);
    QCOMPARE(table.text(1, Col::Scale), QStringLiteral("0"));
    QCOMPARE(table.text(2, Col::Scale), QString());
    QCOMPARE(table.text(2, Col::Description), QStringLiteral("Oil temp") + note);
    // The import goes on after the row.
    QCOMPARE(table.text(3, Col::Scale), QStringLiteral("0.25"));
    QCOMPARE(table.text(3, Col::Description), QStringLiteral("Coolant  Mult/Div=1 / 4"));

    QCOMPARE(result.warnings.size(), 1);
    const QStringList lines = result.warnings.first().split(u'\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].contains(displayName(QStringLiteral("/data/bus.xml"))), qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("#1 Oil temp"));
}

void TestXml::laterZeroDivisorClearsScale()
{
    const ImportResult result = importBytes(oneItem({
            "<label>X</label>", "<multiplier>1</multiplier>", "<divisor>2</divisor>", "<divisor>0</divisor>",
            "<divisor>0</divisor>",
    }));
    QCOMPARE(result.table.text(1, Col::Scale), QString());
    QCOMPARE(result.table.text(1, Col::Description),
             QStringLiteral("X  Mult/Div=1 / 2  Mult/Div=1 / 0  Mult/Div=1 / 0"));
    QCOMPARE(result.warnings.size(), 1);
    QCOMPARE(result.warnings.first().split(u'\n').mid(1), QStringList{"#0 X"}); // listed once
}

void TestXml::zeroDivisorBeforeFirstItem()
{
    const ImportResult result = importBytes(xml({"<divisor>0</divisor>", "<CAN_Data_Item>", "<label>X</label>"}));
    QCOMPARE(result.table.text(0, Col::Scale), QString());
    QCOMPARE(result.table.text(0, Col::Description), QStringLiteral("Description  Mult/Div=0 / 0"));
    QCOMPARE(result.warnings.size(), 1);
    const QStringList lines = result.warnings.first().split(u'\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[1].contains(QStringLiteral("heading row")), qPrintable(lines[1]));
}

void TestXml::scaleWarningListsTwentyRows_data()
{
    QTest::addColumn<int>("affected");
    QTest::addColumn<int>("more");
    QTest::newRow("one") << 1 << 0;
    QTest::newRow("twenty") << 20 << 0;
    QTest::newRow("twenty-one") << 21 << 1;
    QTest::newRow("twenty-five") << 25 << 5;
}

void TestXml::scaleWarningListsTwentyRows()
{
    QFETCH(int, affected);
    QFETCH(int, more);
    QByteArray input = xml({"<CAN_Data_Item>", "<label>Fine</label>", "<divisor>1</divisor>"});
    for (int i = 0; i < affected; ++i) {
        input += "<CAN_Data_Item>\r\n<label>S" + QByteArray::number(i) + "</label>\r\n<divisor>0</divisor>\r\n";
        input += "<CAN_Data_Item>\r\n<divisor>3</divisor>\r\n"; // a good row between
    }
    const ImportResult result = importBytes(input);
    QCOMPARE(result.table.rows(), 2 + 2 * affected);
    QCOMPARE(result.warnings.size(), 1);
    const QStringList lines = result.warnings.first().split(u'\n');
    const int listed = affected - more;
    QCOMPARE(lines.size(), 1 + listed + (more > 0 ? 1 : 0));
    QVERIFY2(lines[0].contains(QString::number(affected) + QStringLiteral(" signal")), qPrintable(lines[0]));
    for (int i = 0; i < listed; ++i)
        QCOMPARE(lines[1 + i], QStringLiteral("#%1 S%2").arg(1 + 2 * i).arg(i));
    if (more > 0)
        QVERIFY2(lines.last().contains(QStringLiteral(" %1 more").arg(more)), qPrintable(lines.last()));
}

// --- whole files ------------------------------------------------------------------------

void TestXml::everyLineEndSplitsLines_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void TestXml::everyLineEndSplitsLines()
{
    QFETCH(QByteArray, lineEnd);
    QByteArray input = xml({
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
            "<PlexCanRXConfig>",
            "  <CAN_Data_Item>",
            "    <id>291</id>",
            "  </CAN_Data_Item>",
            "  <CAN_Data_Item>",
            "    <id>292</id>",
            "  </CAN_Data_Item>",
            "</PlexCanRXConfig>",
    });
    input.replace("\r\n", lineEnd);
    const ImportResult result = importBytes(input);
    QCOMPARE(result.table.rows(), 3);
    QCOMPARE(result.table.text(1, Col::CanId), QStringLiteral("291"));
    QCOMPARE(result.table.text(2, Col::CanId), QStringLiteral("292"));
}

void TestXml::receiverConfigurationGivesExpectedCsv()
{
    const QString path = QStringLiteral(TESSALY_TEST_DATA "/receiver.PlexCanRXConfig");
    const QByteArray expected = fixture("receiver_expected.csv");
    QVERIFY(!expected.isEmpty());
    const ImportResult result = ReadXML(path, TableData::standard());
    QVERIFY2(result.ok(), qPrintable(result.error));
    QVERIFY(result.warnings.isEmpty());
    QCOMPARE(result.table.fixedRows(), 1);
    const QByteArray csv = resultsCsvBytes(result.table);
    if (csv != expected) {
        const QList<QByteArray> got = csv.split('\n');
        const QList<QByteArray> want = expected.split('\n');
        for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
            QCOMPARE(got[i], want[i]);
    }
    QCOMPARE(csv, expected);
}

QTEST_GUILESS_MAIN(TestXml)
#include "test_xml.moc"
