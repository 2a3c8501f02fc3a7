#include "keys/key_list.h"

#include <QBuffer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

KeyList read(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readKeyList(buffer, "Preassigned_keys.CSV");
}

} // namespace

class TestKeys : public QObject
{
    Q_OBJECT

private slots:
    void entriesBecomeItems_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("skipped"); // the line numbers the warning names
        QTest::newRow("entry") << QByteArray("A001;x;Engine speed\r\n") << QStringList{"A001 - Engine speed"} << "";
        QTest::newRow("comments only") << QByteArray("// a\r\n//b\r\n") << QStringList{} << "";
        QTest::newRow("space before slashes is an entry") << QByteArray(" //x;y;z\r\n") << QStringList{" //x - z"} << "";
        QTest::newRow("empty line") << QByteArray("A001;x;a\r\n\r\nA002;x;b\r\n") << QStringList{"A001 - a", "A002 - b"} << "";
        QTest::newRow("no semicolon") << QByteArray("ABCD\r\n") << QStringList{"ABCD - "} << "";
        QTest::newRow("one semicolon") << QByteArray("ABCD;hidden\r\n") << QStringList{"ABCD - "} << "";
        QTest::newRow("further semicolons stay") << QByteArray("ABCD;x;a;b;c\r\n") << QStringList{"ABCD - a;b;c"} << "";
        QTest::newRow("spaces kept") << QByteArray(" AB ;x; d \r\n") << QStringList{" AB  -  d "} << "";
        QTest::newRow("file order, LF ends") << QByteArray("ZZZZ;;z\nAAAA;;a\n") << QStringList{"ZZZZ - z", "AAAA - a"} << "";
        QTest::newRow("Windows-1252") << QByteArray("TEMP;x;Temperatur \xB0" "C\r\n") << QStringList{"TEMP - Temperatur \u00B0C"} << "";
        // A key is four characters; other lines are skipped and named.
        QTest::newRow("two-character key") << QByteArray("AB;x;Short\r\nABCD;x;d\r\n") << QStringList{"ABCD - d"} << "line 1";
        QTest::newRow("five-character key") << QByteArray("ABCD;x;d\r\nABCDE;x;Long\r\n") << QStringList{"ABCD - d"} << "line 2";
        QTest::newRow("control character in the key") << "A\x01" "CD;x;d\r\n//\r\nA\tCD;x;d\r\nABCD;\x01;d\x02\r\n"_ba
                                                      << QStringList{u"ABCD - d\x02"_s} << "lines 1, 3";
        QByteArray many;
        for (int i = 0; i < 25; ++i)
            many += "K" + QByteArray::number(i) + ";x;d\r\n";
        QTest::newRow("many skipped") << many << QStringList{} << "lines 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, "
                                                                  "16, 17, 18, 19, 20 and 5 more";
    }

    void entriesBecomeItems()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, items);
        QFETCH(QString, skipped);
        const KeyList list = read(file);
        QCOMPARE(list.items, items);
        if (skipped.isEmpty())
            QCOMPARE(list.warning, QString());
        else
            QVERIFY2(list.warning.contains("\"Preassigned_keys.CSV\"") && list.warning.endsWith("skipped: " + skipped + "."),
                     qPrintable(list.warning));
    }

    void capacityIsFortyNineEntries()
    {
        QByteArray file;
        for (int i = 0; i < 49; ++i)
            file += "// comment " + QByteArray::number(i) + "\r\nK" + QByteArray::number(100 + i) + ";x;d\r\n";
        KeyList list = read(file);
        QCOMPARE(list.items.size(), 49);
        QCOMPARE(list.items.last(), "K148 - d");
        QVERIFY(list.warning.isEmpty());

        file += "K149;x;d\r\nK150;x;d\r\n// not counted\r\n";
        list = read(file);
        QCOMPARE(list.items.size(), 49);
        QCOMPARE(list.items.last(), "K148 - d");
        QCOMPARE(list.warning, "The key list \"Preassigned_keys.CSV\" holds more than 49 keys; the last 2 were not loaded.");
    }
};

QTEST_GUILESS_MAIN(TestKeys)
#include "test_keys.moc"
