#include "keys/key_marking.h"
#include "table/signal_filter.h"
#include "table/signal_table.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {

// Signal rows 1 to 6; row 3 has no key, rows 4 and 6 share one.
TableData signalTable()
{
    TableData table = TableData::standard();
    table.setRows(1);
    const QList<QStringList> rows = {
            {"EngineSpeed", "0 100", "rpm", "Engine ECU", "ENSP", "[0|8031]"},
            {"VehicleSpeed", "0 101", "km/h", "Gateway", "VSPD"},
            {"OilTemp", "0 102", "deg C", "engine", ""},
            {"Gear", "8CF0 4FE", "", "Gateway", "GEAR"},
            {"Straße", "0 104", "K", "", "PRES"},
            {"GearTarget", "8CF0 4FE", "", "", "GEAR"},
    };
    for (const QStringList &r : rows) {
        const int row = table.appendRow({});
        table.setText(row, Col::Number, QString::number(row * 10));
        table.setText(row, Col::Name, r[0]);
        table.setText(row, Col::CanId, r[1]);
        table.setText(row, Col::Unit, r[2]);
        table.setText(row, Col::Description, r[3]);
        table.setText(row, Col::Key, r[4]);
        table.setText(row, Col::MinMax, r.value(5));
    }
    table.setFixedRows(1);
    markAllKeys(table);
    return table;
}

FindCriteria criteria(const QString &text, int column = FindCriteria::allColumns, bool onlyMatching = true)
{
    FindCriteria c;
    c.text = text;
    c.column = column;
    c.onlyMatching = onlyMatching;
    return c;
}

QList<int> shownRows(const SignalFilterModel &filter)
{
    QList<int> rows;
    for (int row = 0; row < filter.rowCount(); ++row)
        rows.append(filter.gridRow(filter.index(row, 0)));
    return rows;
}

} // namespace

class TestFind : public QObject
{
    Q_OBJECT

private slots:
    void filterChoosesRows_data();
    void filterChoosesRows();
    void caseFoldingAsQt_data();
    void caseFoldingAsQt();
    void mappingKeepsTableNumbers();
    void findMovesThroughMatches();
};

void TestFind::filterChoosesRows_data()
{
    QTest::addColumn<FindCriteria>("find");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("matches");
    const FindCriteria withoutKey = [] { FindCriteria c = criteria(""); c.withoutKey = true; return c; }();
    const FindCriteria shared = [] { FindCriteria c = criteria(""); c.sharedKey = true; return c; }();
    const FindCriteria sharedGear = [] { FindCriteria c = criteria("target"); c.sharedKey = true; return c; }();
    const FindCriteria matchCase = [] {
        FindCriteria c = criteria("Engine");
        c.caseSensitivity = Qt::CaseSensitive;
        return c;
    }();
    QTest::newRow("every column, any case") << criteria("engine") << QList<int>{1, 3} << 3;
    QTest::newRow("match case") << matchCase << QList<int>{1} << 2;
    QTest::newRow("Description only") << criteria("engine", Col::Description) << QList<int>{1, 3} << 2;
    QTest::newRow("Name only") << criteria("speed", Col::Name) << QList<int>{1, 2} << 2;
    QTest::newRow("CAN ID") << criteria("4fe", Col::CanId) << QList<int>{4, 6} << 2;
    QTest::newRow("Key") << criteria("GEAR", Col::Key) << QList<int>{4, 6} << 2;
    QTest::newRow("Unit") << criteria("k", Col::Unit) << QList<int>{2, 5} << 2;
    QTest::newRow("last column") << criteria("|8") << QList<int>{1} << 1;
    QTest::newRow("across cells is no match") << criteria("GatewayGEAR") << QList<int>{} << 0;
    QTest::newRow("no match") << criteria("xyz") << QList<int>{} << 0;
    QTest::newRow("rows without a key") << withoutKey << QList<int>{3} << 0;
    QTest::newRow("rows whose key is shared") << shared << QList<int>{4, 6} << 0;
    QTest::newRow("shared key and text") << sharedGear << QList<int>{6} << 1;
    QTest::newRow("not filtering") << criteria("gear", FindCriteria::allColumns, false)
                                   << QList<int>{1, 2, 3, 4, 5, 6} << 4;
}

void TestFind::filterChoosesRows()
{
    QFETCH(FindCriteria, find);
    QFETCH(QList<int>, rows);
    QFETCH(int, matches);
    SignalTable table;
    table.replace(signalTable());
    SignalFilterModel filter(table);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setCriteria(find);
    QCOMPARE(shownRows(filter), rows);
    QCOMPARE(int(filter.matches().size()), matches);
    for (const GridCell &cell : filter.matches())
        QVERIFY(filter.data(filter.viewIndex(cell.row, cell.col), SignalFilterModel::MatchRole).toBool());
    QCOMPARE(filter.statusText(),
             find.onlyMatching ? QStringLiteral("showing %1 of 6 signals").arg(rows.size()) : QString());
    QCOMPARE(filter.headerData(Col::Name - 1, Qt::Horizontal).toString(), "Name");
}

void TestFind::caseFoldingAsQt_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("text");
    QTest::newRow("Kelvin sign") << "Temperature in \u212A" << "k";
    QTest::newRow("long s") << "Bahnhof \u017Ftation 12345678" << "STATION";
    QTest::newRow("sharp s is no ss") << "Straße" << "strasse";
    QTest::newRow("Greek") << "\u03A3\u039F\u03A3" << "\u03C3\u03BF\u03C2";
    QTest::newRow("Deseret") << "x\U00010400y" << "\U00010428Y";
    QTest::newRow("at the end") << "ABCab" << "cAB";
}

void TestFind::caseFoldingAsQt()
{
    QFETCH(QString, cell);
    QFETCH(QString, text);
    TableData grid = signalTable();
    grid.setText(2, Col::Name, cell);
    const RowMatcher matcher(criteria(text, Col::Name), grid);
    QCOMPARE(matcher.cellMatches(2, Col::Name), cell.contains(text, Qt::CaseInsensitive));
    std::vector<GridCell> matches;
    matcher.appendMatches(2, matches);
    QCOMPARE(matches.size(), std::size_t(cell.contains(text, Qt::CaseInsensitive)));
}

void TestFind::mappingKeepsTableNumbers()
{
    SignalTable table;
    table.replace(signalTable());
    SignalFilterModel filter(table);
    QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setCriteria(criteria("gear"));
    QCOMPARE(filter.headerData(1, Qt::Vertical).toString(), "60");
    QCOMPARE(filter.viewIndex(6, Col::Key), filter.index(1, Col::Key - 1));
    QVERIFY(!filter.viewIndex(5, Col::Key).isValid());
    QCOMPARE(SignalFilterModel::gridCol(filter.index(1, Col::Key - 1)), int(Col::Key));

    // An edit keeps its row where it is and brings the matches up to date.
    table.editText(4, Col::Name, "Clutch");
    QCOMPARE(shownRows(filter), (QList<int>{4, 6}));
    QCOMPARE(filter.matches().front(), (GridCell{4, Col::Key}));
    table.editText(1, Col::Name, "Gearbox"); // hidden rows stay hidden and unmatched
    QCOMPARE(filter.matches().size(), std::size_t(3));
    filter.refilter();
    QCOMPARE(shownRows(filter), (QList<int>{1, 4, 6}));
    table.replaceUndoable(signalTable(), "update"); // a new table: its rows are chosen again
    QCOMPARE(shownRows(filter), (QList<int>{4, 6}));
    filter.setCriteria(criteria("speed"));
    QCOMPARE(shownRows(filter), (QList<int>{1, 2}));
    filter.setCriteria(criteria("none"));
    QCOMPARE(filter.headerData(Col::Key - 1, Qt::Horizontal).toString(), "Key");
}

void TestFind::findMovesThroughMatches()
{
    SignalTable table;
    table.replace(signalTable());
    SignalFilterModel filter(table);
    filter.setCriteria(criteria("ea", FindCriteria::allColumns, false)); // (4, Name), (4, Key), (6, Name), (6, Key)
    QCOMPARE(filter.matches().size(), std::size_t(4));
    QCOMPARE(filter.firstMatchFrom({4, Col::Key}), (GridCell{4, Col::Key}));
    QCOMPARE(filter.firstMatchFrom({5, Col::Name}), (GridCell{6, Col::Name}));
    QCOMPARE(filter.nextMatch({4, Col::Key}), (GridCell{6, Col::Name}));
    QCOMPARE(filter.nextMatch({6, Col::Key}), (GridCell{4, Col::Name}));
    QCOMPARE(filter.previousMatch({4, Col::Name}), (GridCell{6, Col::Key}));
    QCOMPARE(filter.previousMatch({6, Col::Name}), (GridCell{4, Col::Key}));
    QCOMPARE(filter.matchText({6, Col::Name}), "3 of 4");
    QCOMPARE(filter.matchText({2, Col::Name}), "0 of 4");
    filter.setCriteria(criteria("none"));
    QVERIFY(!filter.nextMatch({1, 1}) && !filter.previousMatch({1, 1}) && !filter.firstMatchFrom({1, 1}));
    QCOMPARE(filter.matchText({1, 1}), "0 of 0");
}

QTEST_GUILESS_MAIN(TestFind)
#include "test_find.moc"
