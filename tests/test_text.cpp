#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QBuffer>
#include <QLocale>
#include <QTest>

#include <cmath>

class TestText : public QObject
{
    Q_OBJECT

private slots:
    void nextFieldWalksALine();
    void nextFieldEdges_data();
    void nextFieldEdges();
    void trimRemovesSpacesOnly();
    void readNumber_data();
    void readNumber();
    void formatGeneral_data();
    void formatGeneral();
    void formatUsesLocaleDecimalSeparator();
    void everyByteSurvivesDecodeAndEncode();
    void unrepresentableCharactersBecomeQuestionMarks();
    void lineEnds_data();
    void lineEnds();
    void crLfSplitAcrossChunks();
    void missingFileAndFolderAreNamed();
};

void TestText::nextFieldWalksALine()
{
    QString line = QStringLiteral("SG_ Speed : 0|8@1+");
    QCOMPARE(NextField(line, u" "), QStringLiteral("SG_"));
    QCOMPARE(NextField(line, u" "), QStringLiteral("Speed"));
    QCOMPARE(NextField(line, u":"), QStringLiteral(""));
    QCOMPARE(line, QStringLiteral(" 0|8@1+"));
    QCOMPARE(NextField(line, u"@"), QStringLiteral(" 0|8"));
    QCOMPARE(NextField(line, u"@"), QStringLiteral("1+"));
    QCOMPARE(line, QString());
    QCOMPARE(NextField(line, u"@"), QString());
}

void TestText::nextFieldEdges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("rest");
    QTest::newRow("delimiter first") << ";a;b" << "" << "a;b";
    QTest::newRow("delimiter last") << "a;" << "a" << "";
    QTest::newRow("no delimiter") << " a b " << " a b " << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("spaces kept") << " a ; b" << " a " << " b";
    QTest::newRow("case-sensitive single char") << "aXbx" << "aXbx" << "";
}

void TestText::nextFieldEdges()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, rest);
    const QString delimiter = QTest::currentDataTag() == QByteArray("case-sensitive single char")
            ? QStringLiteral("y") : QStringLiteral(";");
    QCOMPARE(NextField(text, delimiter), field);
    QCOMPARE(text, rest);
}

void TestText::trimRemovesSpacesOnly()
{
    QCOMPARE(trimSpaces(u"  a b  ").toString(), QStringLiteral("a b"));
    QCOMPARE(trimSpaces(u"\t a \t").toString(), QStringLiteral("\t a \t"));
    QCOMPARE(trimSpaces(u"    ").toString(), QString());
}

void TestText::readNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "291" << 291.0;
    QTest::newRow("decimal") << "0.125" << 0.125;
    QTest::newRow("negative") << "-40" << -40.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("exponent") << "1.5E3" << 1500.0;
    QTest::newRow("negative exponent") << "25e-2" << 0.25;
    QTest::newRow("spaces inside") << " 1 2 . 5" << 12.5;
    QTest::newRow("tabs and line feeds") << "\t-\n3" << -3.0;
    QTest::newRow("trailing text") << "10 rpm" << 10.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("comma stops") << "0,5" << 0.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("e without digits") << "5e" << 5.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("huge exponent digits") << "1e99999999999999" << qInf();
    QTest::newRow("long mantissa") << QString(400, u'9') << qInf();
}

void TestText::readNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::readNumber(text), value);
}

void TestText::formatGeneral_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("single 0.1 widened") << double(0.1f) << 15 << "0.100000001490116";
    QTest::newRow("single 0.1") << double(0.1f) << 7 << "0.1";
    QTest::newRow("tenth") << 0.1 << 15 << "0.1";
    QTest::newRow("integer") << 8031.0 << 15 << "8031";
    QTest::newRow("negative") << -125.5 << 15 << "-125.5";
    QTest::newRow("zero") << 0.0 << 15 << "0";
    QTest::newRow("negative zero") << -0.0 << 15 << "0";
    QTest::newRow("large") << 1e20 << 15 << "1E+20";
    QTest::newRow("small") << 1.5e-7 << 15 << "1.5E-07";
    QTest::newRow("third") << 1.0 / 3.0 << 15 << "0.333333333333333";
}

void TestText::formatGeneral()
{
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(::formatGeneral(value, digits), text);
}

void TestText::formatUsesLocaleDecimalSeparator()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(::formatGeneral(1234.5, 15), QStringLiteral("1234,5"));
    QLocale::setDefault(QLocale::c());
}

void TestText::everyByteSurvivesDecodeAndEncode()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = decodeCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC)); // euro sign
    QCOMPARE(text.at(0xB0), QChar(0x00B0)); // degree sign
    QByteArray back;
    appendCp1252(back, text);
    QCOMPARE(back, all);
}

void TestText::unrepresentableCharactersBecomeQuestionMarks()
{
    QByteArray out;
    appendCp1252(out, u"a\u4E2Db\u0100");
    QCOMPARE(out, QByteArray("a?b?"));
}

void TestText::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("no end after last") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\n\r") << QStringList{"", "", ""};
    QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("NUL bytes") << QByteArray("a\0b\n", 4) << QStringList{QString::fromUtf16(u"a\0b", 3)};
}

void TestText::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    for (const qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(4096)}) {
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        LineReader reader(buffer, chunk);
        QStringList got;
        QString line;
        while (reader.readLine(line))
            got.append(line);
        QCOMPARE(got, lines);
        QCOMPARE(reader.error(), QString());
        QCOMPARE(reader.lineNumber(), qint64(lines.size()));
    }
}

void TestText::crLfSplitAcrossChunks()
{
    QByteArray bytes("abc\r\ndef\r\n");
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    LineReader reader(buffer, 4); // the CR ends the first chunk, the LF starts the next
    QString line;
    QVERIFY(reader.readLine(line));
    QCOMPARE(line, QStringLiteral("abc"));
    QVERIFY(reader.readLine(line));
    QCOMPARE(line, QStringLiteral("def"));
    QVERIFY(!reader.readLine(line));
}

void TestText::missingFileAndFolderAreNamed()
{
    QString error;
    QFile missing(QStringLiteral("/nonexistent/x.dbc"));
    QVERIFY(!openForReading(missing, error));
    QVERIFY(error.contains(QStringLiteral("/nonexistent/x.dbc")));
    QFile folder(QStringLiteral(TESSALY_TEST_DATA));
    QVERIFY(!openForReading(folder, error));
    QVERIFY2(error.contains(QStringLiteral("folder")), qPrintable(error));
    // A device that cannot be read says so, with the name it was given.
    QBuffer writeOnly;
    QVERIFY(writeOnly.open(QIODevice::WriteOnly));
    error = readLines<QStringView>(writeOnly, QStringLiteral("mem.csv"), [](QStringView, qint64) {});
    QVERIFY2(error.contains(QStringLiteral("mem.csv")), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
