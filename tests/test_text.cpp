#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QBuffer>
#include <QLocale>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

class TestText : public QObject
{
    Q_OBJECT

private slots:
    void nextFieldEdges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("rest");
        QTest::newRow("first of several") << "a;b;c" << "a" << "b;c";
        QTest::newRow("delimiter first") << ";a;b" << "" << "a;b";
        QTest::newRow("delimiter last") << "a;" << "a" << "";
        QTest::newRow("no delimiter") << " a b " << " a b " << "";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("spaces kept") << " a ; b" << " a " << " b";
        QTest::newRow("longer delimiter") << "a;b; c" << "a;b" << "c";
    }

    void nextFieldEdges()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(QString, rest);
        const QString delimiter = QTest::currentDataTag() == QByteArray("longer delimiter") ? "; " : ";";
        QStringView view = text;
        QCOMPARE(NextField(view, delimiter), field);
        QCOMPARE(view, rest);
        QCOMPARE(NextField(text, delimiter), field);
        QCOMPARE(text, rest);
    }

    void trimRemovesSpacesOnly()
    {
        QCOMPARE(trimSpaces(u"  a b  ").toString(), QStringLiteral("a b"));
        QCOMPARE(trimSpaces(u"\t a \t").toString(), QStringLiteral("\t a \t"));
        QCOMPARE(trimSpaces(u"    ").toString(), QString());
    }

    void readNumber_data()
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

    void readNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(::readNumber(text), value);
    }

    void formatGeneral_data()
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

    void formatGeneral()
    {
        QFETCH(double, value);
        QFETCH(int, digits);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(::formatGeneral(value, digits), text);
    }

    void formatUsesLocaleDecimalSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(::formatGeneral(1234.5, 15), QStringLiteral("1234,5"));
        QLocale::setDefault(QLocale::c());
    }

    void everyByteSurvivesDecodeAndEncode()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = decodeCp1252(all);
        QCOMPARE(text.size(), 256);
        // The code page's own characters; its five undefined bytes stand for themselves.
        QCOMPARE(text.mid(0x80, 32), u"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
        QCOMPARE(text.mid(0xA0), QString::fromLatin1(all.mid(0xA0)));
        QByteArray back;
        appendCp1252(back, text);
        QCOMPARE(back, all);
    }

    void unrepresentableCharactersBecomeQuestionMarks()
    {
        QByteArray out;
        appendCp1252(out, u"a\u4E2Db\u0100\u0080\u009F\u0081");
        QCOMPARE(out, QByteArray("a?b???\x81"));
    }

    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("LF") << QByteArray("a\nb\n") << QStringList{"a", "b"};
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
        QTest::newRow("CR, then a line ended by LF") << QByteArray("a\rbc\nd") << QStringList{"a", "bc", "d"};
        QTest::newRow("no end after last") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty lines") << QByteArray("\r\n\n\r") << QStringList{"", "", ""};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }

    void lineEnds()
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

    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // the lines joined by "|"; for a refused file its reason
        QTest::addColumn<QString>("encoding");
        const QString cp1252 = QStringLiteral("Windows-1252");
        const QString utf8 = QStringLiteral("UTF-8");
        QTest::newRow("ASCII") << QByteArray("a\nb") << "a|b" << cp1252;
        QTest::newRow("UTF-8") << QByteArray("ok\n\xC2\xB0" "C \xE2\x82\xAC\n\xF0\x9F\x98\x80") << u"ok|\u00B0C \u20AC|\U0001F600"_s << utf8;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF" "a\nb") << "a|b" << utf8;
        QTest::newRow("mark, then a stray byte") << QByteArray("\xEF\xBB\xBF\xE9\xC3\xA9") << u"\u00E9\u00E9"_s << utf8;
        QTest::newRow("Windows-1252") << QByteArray("caf\xE9 \x80") << u"caf\u00E9 \u20AC"_s << cp1252;
        // One byte that is not UTF-8 anywhere in the file makes all of it Windows-1252.
        QTest::newRow("UTF-8 until the last byte") << QByteArray("\xC3\xA9\nx\xE9") << u"\u00C3\u00A9|x\u00E9"_s << cp1252;
        QTest::newRow("sequence cut at the end") << QByteArray("a\xC3") << u"a\u00C3"_s << cp1252;
        QTest::newRow("overlong form") << QByteArray("\xC0\xAF") << u"\u00C0\u00AF"_s << cp1252;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << u"\u00ED\u00A0\u20AC"_s << cp1252;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << u"\u00F4\u0090\u20AC\u20AC"_s << cp1252;
        QTest::newRow("NUL byte") << QByteArray("a\n\0b", 4) << "it holds a NUL byte, so it is not a text file." << cp1252;
    }

    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        // Tiny chunks split sequences, the mark and lines between reads.
        for (const qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(4096)}) {
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            LineReader reader(buffer, chunk);
            QStringList lines;
            for (QString line; reader.readLine(line);)
                lines << line;
            QCOMPARE(reader.error().isEmpty() ? lines.join(u'|') : reader.error(), text);
            QCOMPARE(reader.encodingName(), encoding);
        }
    }

    void longestLine_data()
    {
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<QString>("error");
        QTest::newRow("16 MiB") << LineReader::maxLineLength << QString();
        QTest::newRow("one byte more") << LineReader::maxLineLength + 1 << "line 2 is longer than 16 MiB.";
    }

    void longestLine()
    {
        QFETCH(qsizetype, length);
        QFETCH(QString, error);
        QByteArray bytes = "first\r\n" + QByteArray(length, 'x') + "\r\nlast";
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        LineReader reader(buffer);
        QStringList lines;
        for (QString line; reader.readLine(line);)
            lines << line.left(3);
        QCOMPARE(reader.error(), error);
        QCOMPARE(lines, error.isEmpty() ? QStringList({"fir", "xxx", "las"}) : QStringList({"fir"}));
    }

    void writeOnlyDeviceIsNamed()
    {
        QBuffer writeOnly;
        QVERIFY(writeOnly.open(QIODevice::WriteOnly));
        const QString error = readLines<QStringView>(writeOnly, QStringLiteral("mem.csv"), [](QStringView, qint64) {});
        QCOMPARE(error, "Cannot read \"mem.csv\": it is not open for reading.");
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
