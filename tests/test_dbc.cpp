#include "csv/results_csv.h"
#include "import/dbc_import.h"
#include "table/table_data.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QString memoryName = QStringLiteral("memory.dbc");

ImportResult importBytes(const QByteArray &bytes, double &messageId,
                         const TableData &current = TableData::standard())
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        qFatal("cannot open a memory buffer");
    return ReadDBC(buffer, memoryName, current, messageId);
}

QStringList rowTexts(const TableData &table, int row)
{
    QStringList texts;
    for (int col = 0; col < TableData::cols(); ++col)
        texts << table.text(row, col);
    return texts;
}

QString sharedDbc(const QString &name)
{
    return QString(TESSALY_SHARED_DATA) + "/dbc/" + name;
}

bool sharedDataPresent()
{
    return QFileInfo(sharedDbc("SOURCES.md")).isFile();
}

// The line numbers a warning about incomplete lines lists, and how many more it counts.
struct Reported
{
    QList<qint64> listed;
    qint64 more = 0;
};

Reported reportedLines(const QString &warning)
{
    static const QRegularExpression pattern(R"(\blines? (\d+(?:, \d+)*)(?: and (\d+) more)?)");
    Reported reported;
    const QRegularExpressionMatch match = pattern.match(warning);
    if (!match.hasMatch())
        return reported;
    for (const QString &number : match.captured(1).split(", "))
        reported.listed << number.toLongLong();
    reported.more = match.captured(2).toLongLong();
    return reported;
}

// Hands out its bytes, then fails as a disk that went away would.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(const QByteArray &head) : m_head(head)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_head.isEmpty()) {
            setErrorString("disk went away");
            return -1;
        }
        const qint64 count = std::min<qint64>(maxSize, m_head.size());
        std::memcpy(data, m_head.constData(), size_t(count));
        m_head.remove(0, count);
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_head;
};

const QByteArray plainSignal = " SG_ S : 0|8@1+ (1,0) [0|1] \"\" X";

} // namespace

class TestDbc : public QObject
{
    Q_OBJECT

private slots:
    void dbcFileNames_data();
    void dbcFileNames();
    void formatCanId_data();
    void formatCanId();
    void formatCanIdOutOfRange_data();
    void formatCanIdOutOfRange();

    void exampleFileCellByCell();
    void signalLine_data();
    void signalLine();
    void messageIdentifier_data();
    void messageIdentifier();
    void lineKinds();
    void signalRowsCarryNumberColourAndIcon();
    void fileWithoutSignals();
    void signalBeforeFirstMessageKeepsLastIdentifier();
    void headingRowIsCopied();

    void incompleteLinesAreReportedByNumber();
    void longReportIsCut();
    void unreadableFileChangesNothing_data();
    void unreadableFileChangesNothing();
    void readErrorChangesNothing();

    void realFiles_data();
    void realFiles();
    void eightBitUnits_data();
    void eightBitUnits();
    void resultsCsvOfRealFile();
};

void TestDbc::dbcFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isDbc");
    QTest::newRow("lower case") << "/data/car.dbc" << true;
    QTest::newRow("upper case") << "X.DBC" << true;
    QTest::newRow("mixed case") << "x.Dbc" << true;
    QTest::newRow("Windows path") << "C:\\cars\\x.dbc" << true;
    QTest::newRow("another extension after it") << "x.dbc.txt" << false;
    QTest::newRow("similar extension") << "x.dbf" << false;
    QTest::newRow("no dot") << "xdbc" << false;
    QTest::newRow("empty") << "" << false;
}

void TestDbc::dbcFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, isDbc);
    QCOMPARE(isDbcFileName(name), isDbc);
}

void TestDbc::formatCanId_data()
{
    QTest::addColumn<double>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0 0";
    QTest::newRow("291") << 291.0 << "0 123";
    QTest::newRow("largest standard id") << 2047.0 << "0 7FF";
    QTest::newRow("65536") << 65536.0 << "1 0";
    QTest::newRow("extended frame") << 2364540158.0 << "8CF0 4FE";
    QTest::newRow("bit 31 alone") << 2147483648.0 << "8000 0";
    QTest::newRow("independent signals message") << 3221225472.0 << "C000 0";
    QTest::newRow("largest 32-bit id") << 4294967295.0 << "FFFF FFFF";
    QTest::newRow("tie rounds down to even") << 290.5 << "0 122";
    QTest::newRow("tie rounds up to even") << 291.5 << "0 124";
    QTest::newRow("fraction below half") << 291.25 << "0 123";
}

void TestDbc::formatCanId()
{
    QFETCH(double, id);
    QFETCH(QString, text);
    QCOMPARE(FormatCanId(id), text);
}

void TestDbc::formatCanIdOutOfRange_data()
{
    using limits = std::numeric_limits<double>;
    QTest::addColumn<double>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("NaN") << limits::quiet_NaN() << "0 0";
    QTest::newRow("infinity") << limits::infinity() << "7FFFFFFF FFFF";
    QTest::newRow("largest double") << limits::max() << "7FFFFFFF FFFF";
    QTest::newRow("first beyond the upper half") << std::ldexp(1.0, 47) << "7FFFFFFF FFFF";
    QTest::newRow("minus infinity") << -limits::infinity() << "80000000 0";
    QTest::newRow("lowest double") << limits::lowest() << "80000000 0";
    QTest::newRow("minus one") << -1.0 << "FFFFFFFF FFFF";
    QTest::newRow("negative zero") << -0.0 << "0 0";
    QTest::newRow("smallest subnormal") << limits::denorm_min() << "0 0";
}

void TestDbc::formatCanIdOutOfRange()
{
    QFETCH(double, id);
    QFETCH(QString, text);
    const QString got = FormatCanId(id);
    QVERIFY2(QRegularExpression("^[0-9A-F]{1,8} [0-9A-F]{1,5}$").match(got).hasMatch(), qPrintable(got));
    QCOMPARE(got, text);
}

void TestDbc::exampleFileCellByCell()
{
    double messageId = 0;
    const ImportResult result = ReadDBC(QString(TESSALY_TEST_DATA) + "/engine.dbc", TableData::standard(), messageId);
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.warnings, QStringList());
    QCOMPARE(result.table.rows(), 3);
    QCOMPARE(rowTexts(result.table, 1),
             (QStringList{"0", "0 123", "24|16", "0", "0", "EngineSpeed", "rpm", "0.125", "0", "Gateway", "", "",
                          "1", "[0|8031.875]"}));
    QCOMPARE(rowTexts(result.table, 2),
             (QStringList{"1", "8CF0 4FE", "8|8", "0", "1", "Torque", "%", "1", "-125", "Gateway,Dash", "m2 ", "",
                          "0", "[-125|125]"}));
    QCOMPARE(messageId, 2364540158.0);
}

void TestDbc::signalLine_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("complete");

    const QByteArray engine = "BO_ 291 EngineData: 8 Engine";
    const QStringList engineSpeed{"0", "0 123", "24|16", "0", "0", "EngineSpeed", "rpm", "0.125", "0", "Gateway",
                                  "", "", "1", "[0|8031.875]"};
    QTest::newRow("first example")
            << engine << QByteArray(R"( SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Gateway)")
            << engineSpeed << true;
    QTest::newRow("second example")
            << QByteArray("BO_ 2364540158 TorqueData: 8 Engine")
            << QByteArray(R"( SG_ Torque m2 : 8|8@0- (1,-125) [-125|125] "%" Gateway,Dash)")
            << QStringList{"0", "8CF0 4FE", "8|8", "0", "1", "Torque", "%", "1", "-125", "Gateway,Dash", "m2 ", "",
                           "0", "[-125|125]"}
            << true;
    QTest::newRow("extra spaces between tokens")
            << engine << QByteArray(R"(   SG_ EngineSpeed :   24|16@1+   (0.125,0)  [0|8031.875]    "rpm" Gateway   )")
            << engineSpeed << true;
    QTest::newRow("extra spaces before name and colon")
            << engine << QByteArray(R"(SG_   EngineSpeed   : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Gateway)")
            << engineSpeed << true;
    QTest::newRow("multiplexer")
            << engine << QByteArray(R"( SG_ Mux M : 0|8@1+ (1,0) [0|255] "" Gateway)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "Mux", "", "1", "0", "Gateway", "M ", "", "1", "[0|255]"}
            << true;
    QTest::newRow("multiplexer glued to the colon")
            << engine << QByteArray(R"( SG_ VCLEFT_switchStatusIndex M: 0|2@1+ (1,0) [0|2] "" gtw)")
            << QStringList{"0", "0 123", "0|2", "0", "0", "VCLEFT_switchStatusIndex", "", "1", "0", "gtw", "M", "",
                           "1", "[0|2]"}
            << true;
    QTest::newRow("multiplexed without a number")
            << engine << QByteArray(R"( SG_ MO2_Mp_Code m : 6|2@1+ (1,0) [0|3] "" Gateway)")
            << QStringList{"0", "0 123", "6|2", "0", "0", "MO2_Mp_Code", "", "1", "0", "Gateway", "m ", "", "1",
                           "[0|3]"}
            << true;
    QTest::newRow("two spaces before the receivers")
            << engine << QByteArray(R"( SG_ AY1 : 32|16@1+ (0.000127465,-4.1768) [-4.1768|4.1765] "g"  ABS)")
            << QStringList{"0", "0 123", "32|16", "0", "0", "AY1", "g", "0.000127465", "-4.1768", " ABS", "", "",
                           "1", "[-4.1768|4.1765]"}
            << true;
    QTest::newRow("empty unit")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ (1,0) [0|1] "" Gateway)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "", "1", "0", "Gateway", "", "", "1", "[0|1]"} << true;
    QTest::newRow("no receivers")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ (1,0) [0|1] "u")")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "u", "1", "0", "", "", "", "1", "[0|1]"} << true;
    QTest::newRow("numbers in exponent notation")
            << engine << QByteArray(R"( SG_ X : 7|64@0- (2E-05,-0.0025) [-3.4E+038|3.4E+038] "m-1" A, B)")
            << QStringList{"0", "0 123", "7|64", "0", "1", "X", "m-1", "2E-05", "-0.0025", "A, B", "", "", "0",
                           "[-3.4E+038|3.4E+038]"}
            << true;
    QTest::newRow("tabs stay in their cells")
            << engine << QByteArray(" SG_ Engine\tSpeed : 0|8@1+ (1,0) [0|1] \"r\tpm\" Gateway\tDash")
            << QStringList{"0", "0 123", "0|8", "0", "0", "Engine\tSpeed", "r\tpm", "1", "0", "Gateway\tDash", "",
                           "", "1", "[0|1]"}
            << true;

    // Lines that lack a part: every piece stays in its own column.
    QTest::newRow("unit with a space")
            << engine << QByteArray(R"( SG_ T : 0|8@0+ (0.5,-40) [-40|87.5] "deg C" Gateway)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "T", "deg", "0.5", "-40", "C\" Gateway", "", "", "0",
                           "[-40|87.5]"}
            << false;
    QTest::newRow("unit without quotes")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ (1,0) [0|1] u X)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "u", "1", "0", "X", "", "", "1", "[0|1]"} << false;
    QTest::newRow("no colon")
            << engine << QByteArray(R"( SG_ S 0|8@1+ (1,0) [0|1] "u" X)")
            << QStringList{"0", "0 123", "", "0", "0", "S", "", "", "", "", R"(0|8@1+ (1,0) [0|1] "u" X)", "", "0",
                           ""}
            << false;
    QTest::newRow("name glued to the colon")
            << engine << QByteArray(R"( SG_ S: 0|8@1+ (1,0) [0|1] "u" X)")
            << QStringList{"0", "0 123", "", "0", "0", "S:", "", "", "", "", R"(0|8@1+ (1,0) [0|1] "u" X)", "",
                           "0", ""}
            << false;
    QTest::newRow("no @ in the position")
            << engine << QByteArray(R"( SG_ S : 0|8 (1,0) [0|1] "u" X)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "u", "1", "0", "X", "", "", "0", "[0|1]"} << false;
    QTest::newRow("factor without comma")
            << engine << QByteArray(R"( SG_ S : 0|8@1- (2) [0|1] "u" X)")
            << QStringList{"0", "0 123", "0|8", "0", "1", "S", "u", "2", "", "X", "", "", "1", "[0|1]"} << false;
    QTest::newRow("factor with two commas")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ (1,2,3) [0|1] "u" X)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "u", "1", "2,3", "X", "", "", "1", "[0|1]"} << false;
    QTest::newRow("factor without parentheses")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ 1,0 [0|1] "u" X)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "u", "1", "0", "X", "", "", "1", "[0|1]"} << false;
    QTest::newRow("no range")
            << engine << QByteArray(R"( SG_ S : 0|8@1+ (1,0) "u" X)")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "X", "1", "0", "", "", "", "1", "\"u\""} << false;
    QTest::newRow("tab between tokens")
            << engine << QByteArray(" SG_ S : 0|8@1+\t(1,0) [0|1] \"u\" X")
            << QStringList{"0", "0 123", "0|8", "0", "0", "S", "X", "[0|1]", "", "", "", "", "1", "\"u\""} << false;
    QTest::newRow("keyword only")
            << engine << QByteArray("SG_")
            << QStringList{"0", "0 123", "", "0", "0", "", "", "", "", "", "", "", "0", ""} << false;
}

void TestDbc::signalLine()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, signal);
    QFETCH(QStringList, cells);
    QFETCH(bool, complete);

    double messageId = 0;
    const ImportResult result = importBytes(message + "\n" + signal + "\n", messageId);
    QVERIFY(result.ok());
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(rowTexts(result.table, 1), cells);
    QCOMPARE(result.table.colour(1, Col::Key), CellColour::KeyCell);
    QCOMPARE(result.warnings.size(), complete ? 0 : 1);
    if (!complete)
        QCOMPARE(reportedLines(result.warnings.front()).listed, QList<qint64>{2});
}

void TestDbc::messageIdentifier_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("canId");
    QTest::addColumn<bool>("complete");
    QTest::newRow("decimal") << QByteArray("BO_ 291 EngineData: 8 Engine") << "0 123" << true;
    QTest::newRow("indented") << QByteArray(" BO_ 291 EngineData: 8 Engine") << "0 123" << true;
    QTest::newRow("two spaces before the identifier") << QByteArray("BO_  291 EngineData: 8 Engine") << "0 123" << true;
    QTest::newRow("space before the name's colon") << QByteArray("BO_ 869 DSU_CRUISE : 7 DSU") << "0 365" << true;
    QTest::newRow("zero") << QByteArray("BO_ 0 M: 8 N") << "0 0" << true;
    QTest::newRow("leading zero") << QByteArray("BO_ 0291 M: 8 N") << "0 123" << true;
    QTest::newRow("largest") << QByteArray("BO_ 4294967295 M: 8 N") << "FFFF FFFF" << true;
    QTest::newRow("one beyond the largest") << QByteArray("BO_ 4294967296 M: 8 N") << "10000 0" << false;
    QTest::newRow("plus sign") << QByteArray("BO_ +291 M: 8 N") << "0 123" << false;
    QTest::newRow("negative") << QByteArray("BO_ -1 M: 8 N") << "FFFFFFFF FFFF" << false;
    QTest::newRow("fraction") << QByteArray("BO_ 1.5 M: 8 N") << "0 2" << false;
    QTest::newRow("exponent") << QByteArray("BO_ 1e3 M: 8 N") << "0 3E8" << false;
    QTest::newRow("trailing letters") << QByteArray("BO_ 12abc M: 8 N") << "0 C" << false;
    QTest::newRow("no number") << QByteArray("BO_ abc M: 8 N") << "0 0" << false;
    QTest::newRow("keyword only") << QByteArray("BO_") << "0 0" << false;
    QTest::newRow("huge") << QByteArray("BO_ 99999999999999999999 M: 8 N") << "7FFFFFFF FFFF" << false;
    QTest::newRow("beyond a double") << QByteArray("BO_ 1e999 M: 8 N") << "7FFFFFFF FFFF" << false;
}

void TestDbc::messageIdentifier()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, canId);
    QFETCH(bool, complete);

    double messageId = 7; // an earlier import's message
    const ImportResult result = importBytes(message + "\n" + plainSignal + "\n", messageId);
    QVERIFY(result.ok());
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(result.table.text(1, Col::CanId), canId);
    QCOMPARE(FormatCanId(messageId), canId);
    QCOMPARE(result.warnings.size(), complete ? 0 : 1);
    if (!complete)
        QCOMPARE(reportedLines(result.warnings.front()).listed, QList<qint64>{1});
}

void TestDbc::lineKinds()
{
    const QByteArray file = "VERSION \"\"\n"
                            "NS_ :\n"
                            "\tSG_MUL_VAL_\n"
                            "\tBO_TX_BU_\n"
                            "BU_: A B\n"
                            " BO_ 291 EngineData: 8 A\n"
                            " SG_ First : 0|8@1+ (1,0) [0|1] \"\" A\n"
                            "\tSG_ Tabbed : 0|8@1+ (1,0) [0|1] \"\" A\n"
                            "BO_TX_BU_ 4660 : A,B;\n"
                            "SG_ Second : 8|8@1+ (1,0) [0|1] \"\" A\n"
                            "SG_MUL_VAL_ 291 Second First 1-1;\n"
                            "CM_ SG_ 291 First \"text\";\n"
                            "CM_ BO_ 2047 \"text\";\n"
                            "\tBO_ 2047 Other: 8 A\n"
                            "BO_\t2047 Other: 8 A\n"
                            " SG_ Third : 16|8@1+ (1,0) [0|1] \"\" A\n"
                            "BU_SG_REL_ 2047 A;\n"
                            "   BO_ 2047 Other: 8 A   \n"
                            "  SG_ Fourth : 0|8@1+ (1,0) [0|1] \"\" A\n";
    double messageId = 0;
    const ImportResult result = importBytes(file, messageId);
    QVERIFY(result.ok());
    QCOMPARE(result.warnings, QStringList());
    QCOMPARE(result.table.rows(), 5);
    const QStringList names{"First", "Second", "Third", "Fourth"};
    const QStringList canIds{"0 123", "0 123", "0 123", "0 7FF"};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(result.table.text(i + 1, Col::Name), names[i]);
        QCOMPARE(result.table.text(i + 1, Col::CanId), canIds[i]);
    }
    QCOMPARE(messageId, 2047.0);
}

void TestDbc::signalRowsCarryNumberColourAndIcon()
{
    const QByteArray file = "BO_ 1 A: 8 N\n" + plainSignal + "\n" + plainSignal + "\n\nBO_ 2 B: 8 N\n" + plainSignal + "\n";
    double messageId = 0;
    const ImportResult result = importBytes(file, messageId);
    const TableData &table = result.table;
    QCOMPARE(table.rows(), 4);
    QCOMPARE(table.fixedRows(), 1);
    QVERIFY(!table.rowIcon(0));
    for (int row = 1; row < table.rows(); ++row) {
        QCOMPARE(table.text(row, Col::Number), QString::number(row - 1));
        QVERIFY(table.rowIcon(row));
        for (int col = 0; col < TableData::cols(); ++col)
            QCOMPARE(table.colour(row, col), col == Col::Key ? CellColour::KeyCell : CellColour::Default);
    }
    QCOMPARE(table.text(3, Col::CanId), QString("0 2"));
}

void TestDbc::fileWithoutSignals()
{
    double messageId = 0;
    const ImportResult result = importBytes("VERSION \"\"\r\nBO_ 2047 A: 8 N\r\n", messageId);
    QVERIFY(result.ok());
    QCOMPARE(result.table.rows(), 1);
    QCOMPARE(result.table.fixedRows(), 0);
    QCOMPARE(rowTexts(result.table, 0), rowTexts(TableData::standard(), 0));
    QCOMPARE(messageId, 2047.0);
}

void TestDbc::signalBeforeFirstMessageKeepsLastIdentifier()
{
    double messageId = 0; // as at program start
    ImportResult result = importBytes(plainSignal + "\n", messageId);
    QCOMPARE(result.table.text(1, Col::CanId), QString("0 0"));

    result = importBytes("BO_ 291 A: 8 N\n", messageId);
    QCOMPARE(messageId, 291.0);

    result = importBytes(plainSignal + "\nBO_ 2047 B: 8 N\n" + plainSignal + "\n", messageId);
    QCOMPARE(result.table.text(1, Col::CanId), QString("0 123"));
    QCOMPARE(result.table.text(2, Col::CanId), QString("0 7FF"));
    QCOMPARE(messageId, 2047.0);
}

void TestDbc::headingRowIsCopied()
{
    TableData current = TableData::standard();
    current.setText(0, Col::Name, "Signal name");
    current.setColour(0, Col::Unit, CellColour::DuplicateKey);
    current.appendRow({u"old", u"0 1", u"0|1"});
    const QStringList heading = rowTexts(current, 0);

    double messageId = 0;
    ImportResult result = importBytes("BO_ 1 A: 8 N\n" + plainSignal + "\n", messageId, current);
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(rowTexts(result.table, 0), heading);
    QCOMPARE(result.table.colour(0, Col::Unit), CellColour::DuplicateKey);
    QCOMPARE(result.table.text(1, Col::Name), QString("S"));

    result = importBytes(plainSignal + "\n", messageId, TableData());
    QCOMPARE(result.table.rows(), 2);
    QCOMPARE(rowTexts(result.table, 0), QStringList(TableData::cols(), QString()));
}

void TestDbc::incompleteLinesAreReportedByNumber()
{
    // Every kind of line end ends a line.
    const QByteArray file = "VERSION \"\"\r\n"                                     // 1
                            "BO_ 291 A: 8 N\n"                                     // 2
                            " SG_ Good1 : 0|8@1+ (1,0) [0|1] \"\" X\r"             // 3
                            " SG_ Bad1 0|8@1+ (1,0) [0|1] \"\" X\r\n"              // 4
                            "\n"                                                   // 5
                            "BO_ x12 B: 8 N\r"                                     // 6
                            " SG_ Good2 : 0|8@1+ (1,0) [0|1] \"\" X\n"             // 7
                            " SG_ Bad2 : 0|8@1+ (1,0) [0|1] \"deg C\" X\r\n"       // 8
                            "CM_ SG_ 291 Good1 \"no unit\";\n"                     // 9
                            " SG_ Bad3 : 0|8@1+ (1,0) [0|1]";                      // 10
    double messageId = 0;
    const ImportResult result = importBytes(file, messageId);
    QVERIFY(result.ok());
    QCOMPARE(result.table.rows(), 6);
    QStringList names;
    for (int row = 1; row < result.table.rows(); ++row)
        names << result.table.text(row, Col::Name);
    QCOMPARE(names, (QStringList{"Good1", "Bad1", "Good2", "Bad2", "Bad3"}));
    QCOMPARE(result.warnings.size(), 1);
    const QString &warning = result.warnings.front();
    QVERIFY2(warning.contains(memoryName), qPrintable(warning));
    QVERIFY2(warning.contains("4 lines"), qPrintable(warning));
    const Reported reported = reportedLines(warning);
    QCOMPARE(reported.listed, (QList<qint64>{4, 6, 8, 10}));
    QCOMPARE(reported.more, 0);
}

void TestDbc::longReportIsCut()
{
    QByteArray file = "BO_ 1 A: 8 N\n";
    QList<qint64> firstTwenty;
    for (int i = 0; i < 25; ++i) {
        file += plainSignal + "\n SG_ Broken\n";
        if (firstTwenty.size() < 20)
            firstTwenty << 2 * i + 3;
    }
    double messageId = 0;
    const ImportResult result = importBytes(file, messageId);
    QCOMPARE(result.table.rows(), 51);
    QCOMPARE(result.warnings.size(), 1);
    QVERIFY2(result.warnings.front().contains("25 lines"), qPrintable(result.warnings.front()));
    const Reported reported = reportedLines(result.warnings.front());
    QCOMPARE(reported.listed, firstTwenty);
    QCOMPARE(reported.more, 5);
}

void TestDbc::unreadableFileChangesNothing_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("missing file") << false;
    QTest::newRow("folder") << true;
}

void TestDbc::unreadableFileChangesNothing()
{
    QFETCH(bool, folder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("car.dbc");
    if (folder)
        QVERIFY(QDir(dir.path()).mkdir("car.dbc"));

    double messageId = 1234;
    const ImportResult result = ReadDBC(path, TableData::standard(), messageId);
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains(QDir::toNativeSeparators(path)), qPrintable(result.error));
    QCOMPARE(messageId, 1234.0);
}

void TestDbc::readErrorChangesNothing()
{
    FailingDevice device("BO_ 2047 A: 8 N\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" X\n");
    double messageId = 1234;
    const ImportResult result = ReadDBC(device, "car.dbc", TableData::standard(), messageId);
    QVERIFY(!result.ok());
    QVERIFY2(result.error.contains("car.dbc"), qPrintable(result.error));
    QVERIFY2(result.error.contains("disk went away"), qPrintable(result.error));
    QCOMPARE(messageId, 1234.0);
}

void TestDbc::realFiles_data()
{
    // "signals" and the lines whose unit holds a space, as SOURCES.md counts them.
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("signalLines");
    QTest::addColumn<int>("unitsWithSpace");
    QTest::newRow("gm") << "gm_global_a_lowspeed_1818125.dbc" << 3210 << 38;
    QTest::newRow("ford") << "ford_lincoln_base_pt.dbc" << 2150 << 8;
    QTest::newRow("j1939") << "j1939.dbc" << 2390 << 0;
    QTest::newRow("vw") << "vw_pq.dbc" << 1331 << 0;
    QTest::newRow("esr") << "ESR.dbc" << 868 << 0;
    QTest::newRow("tesla") << "tesla_can.dbc" << 572 << 2;
    QTest::newRow("psa") << "psa_aee2010_r3.dbc" << 536 << 1;
    QTest::newRow("vehicle") << "vehicle.dbc" << 462 << 0;
    QTest::newRow("toyota") << "_toyota_2017.dbc" << 310 << 0;
    QTest::newRow("model3") << "tesla_model3_vehicle.dbc" << 209 << 0;
    QTest::newRow("abs") << "abs.dbc" << 89 << 0;
    QTest::newRow("multiplex") << "multiplex_2.dbc" << 19 << 0;
    QTest::newRow("actuator") << "open_actuator.dbc" << 21 << 0;
    QTest::newRow("test") << "test.dbc" << 2 << 0;
}

void TestDbc::realFiles()
{
    if (!sharedDataPresent())
        QSKIP("The shared DBC files are not there (TESSALY_SHARED_DATA/dbc).");
    QFETCH(QString, file);
    QFETCH(int, signalLines);
    QFETCH(int, unitsWithSpace);

    double messageId = 0;
    const ImportResult result = ReadDBC(sharedDbc(file), TableData::standard(), messageId);
    QVERIFY2(result.ok(), qPrintable(result.error));
    const TableData &table = result.table;
    QCOMPARE(table.rows(), signalLines + 1);
    QCOMPARE(table.fixedRows(), 1);
    if (unitsWithSpace == 0) {
        QCOMPARE(result.warnings, QStringList());
    } else {
        QCOMPARE(result.warnings.size(), 1);
        const Reported reported = reportedLines(result.warnings.front());
        QCOMPARE(reported.listed.size() + reported.more, unitsWithSpace);
    }
    // Valid signal lines keep their layout: the pieces that hold no space stay in place.
    static const QRegularExpression position("^\\d+\\|\\d+$");
    for (int row = 1; row < table.rows(); ++row) {
        QCOMPARE(table.text(row, Col::Number), QString::number(row - 1));
        QCOMPARE(table.text(row, Col::Bytes), QString("0"));
        QVERIFY2(position.match(table.cell(row, Col::Position)).hasMatch(), qPrintable(table.text(row, Col::Name)));
        QVERIFY(table.cell(row, Col::LittleEndian) == u"0" || table.cell(row, Col::LittleEndian) == u"1");
        QVERIFY(table.cell(row, Col::MinMax).startsWith(u'[') && table.cell(row, Col::MinMax).endsWith(u']'));
        QVERIFY(!table.cell(row, Col::Name).isEmpty());
        QVERIFY(table.rowIcon(row));
    }
}

void TestDbc::eightBitUnits_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("unit");
    QTest::newRow("Windows-1252 degree sign") << "abs.dbc" << "Yaw_Rate" << QStringLiteral("\u00B0/s");
    QTest::newRow("Latin-1 degree sign") << "test.dbc" << "someTestSignal" << QStringLiteral("specialCharUnit\u00B0$");
    QTest::newRow("UTF-8 bytes read one by one") << "vw_pq.dbc" << "MO5_Verbrauch" << QStringLiteral("\u00C2\u00B5l");
}

void TestDbc::eightBitUnits()
{
    if (!sharedDataPresent())
        QSKIP("The shared DBC files are not there (TESSALY_SHARED_DATA/dbc).");
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(QString, unit);

    double messageId = 0;
    const ImportResult result = ReadDBC(sharedDbc(file), TableData::standard(), messageId);
    QVERIFY2(result.ok(), qPrintable(result.error));
    int found = 0;
    for (int row = 1; row < result.table.rows(); ++row) {
        if (result.table.cell(row, Col::Name) == name) {
            QCOMPARE(result.table.text(row, Col::Unit), unit);
            ++found;
        }
    }
    QCOMPARE(found, 1);
}

void TestDbc::resultsCsvOfRealFile()
{
    if (!sharedDataPresent())
        QSKIP("The shared DBC files are not there (TESSALY_SHARED_DATA/dbc).");
    // The file begins with a message line, so the identifier left by an earlier
    // import must not matter.
    double messageId = 0;
    const ImportResult first = ReadDBC(sharedDbc("abs.dbc"), TableData::standard(), messageId);
    messageId = 2047;
    const ImportResult second = ReadDBC(sharedDbc("abs.dbc"), TableData::standard(), messageId);
    QVERIFY(first.ok() && second.ok());
    const QByteArray bytes = resultsCsvBytes(first.table);
    QCOMPARE(resultsCsvBytes(second.table), bytes);
    QVERIFY(bytes.startsWith("//CAN ID;"));
    QVERIFY(bytes.contains("\r\n0 70;0|16;0;0;Yaw_Rate;\xB0/s;0.005;-163.84; ABS;;;1;[-163.84|163.83];\r\n"));
}

QTEST_GUILESS_MAIN(TestDbc)
#include "test_dbc.moc"
