#include "import/dbc_details.h"
#include "update/table_update.h"
#include "update/update_report.h"

#include <QTest>

namespace {

// Signal rows written "canId:name:scale[:key]", separated by spaces; a scale written
// "*5" was typed by hand.
TableData table(const QString &rows)
{
    TableData t = TableData::standard();
    t.setRows(1);
    for (const QString &row : rows.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = row.split(u':');
        const QString scale = f[2].startsWith(u'*') ? f[2].mid(1) : f[2];
        const int r = t.appendRow({u"", f[0], u"0|8", u"0", u"0", f[1], u"", scale, u"0", u"ECU", u"", f.value(3)});
        if (f[2].startsWith(u'*'))
            t.setHandMade(r, 1u << Col::Scale);
    }
    t.setFixedRows(t.rows() > 1 ? 1 : 0);
    return t;
}

// One word per row of the updated table: its key ("-" for none), scale and mark.
QString column(const TableData &t, int col)
{
    QStringList cells;
    for (int row = 1; row < t.rows(); ++row)
        cells.append(t.text(row, col).isEmpty() ? QStringLiteral("-") : t.text(row, col));
    return cells.join(u' ');
}

QString marks(const TableData &t)
{
    QString marks;
    for (int row = 1; row < t.rows(); ++row)
        marks += QStringLiteral(".ac").at(int(t.rowMark(row)));
    return marks;
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

private slots:
    void matching_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("imported");
        QTest::addColumn<QString>("keys");   // of the updated rows
        QTest::addColumn<QString>("scales"); // of the updated rows
        QTest::addColumn<QString>("marks");  // . kept as it was, a added, c changed or moved
        QTest::addColumn<QString>("counts"); // kept, moved, added, removed
        QTest::addColumn<QString>("reported");

        QTest::newRow("kept, in the new order") << "1:A:1:KA 1:B:1:KB" << "1:B:1 1:A:1" << "KB KA" << "1 1" << ".."
                                                << "2 0 0 0" << "Kept: 2\nMoved: 0\nAdded: 0\nRemoved: 0\nChanged: 0\n";
        QTest::newRow("moved") << "1:A:1:KA 1:B:1:KB" << "1:B:1 2:A:1" << "KB KA" << "1 1" << ".c" << "1 1 0 0"
                               << "  1 -> 2  A  key KA\n";
        QTest::newRow("added and removed") << "1:A:1:KA" << "1:B:1" << "-" << "1" << "a" << "0 0 1 1"
                                           << "Removed (their keys are free now):\n  1  A  key KA\n";
        QTest::newRow("renamed in its message") << "1:A:1:KA 1:B:1:KB" << "1:A:1 1:C:1" << "KA -" << "1 1" << ".a"
                                                << "1 0 1 1" << "Added:\n  1  C\n";
        QTest::newRow("case differs: renamed") << "1:a:1:KA" << "1:A:1" << "-" << "1" << "a" << "0 0 1 1" << "";
        QTest::newRow("twice in the current table") << "1:A:1:K1 1:A:1:K2" << "1:A:1" << "K1" << "1" << "." << "1 0 0 1"
                                                    << "  1  A  key K2\n";
        QTest::newRow("twice in both, in order") << "1:A:1:K1 1:A:1:K2" << "1:A:2 1:A:1" << "K1 K2" << "2 1" << "c."
                                                 << "2 0 0 0" << "";
        QTest::newRow("twice in the new file") << "1:A:1:K1" << "1:A:1 1:A:1" << "K1 -" << "1 1" << ".a" << "1 0 1 0"
                                               << "";
        QTest::newRow("name left twice: not moved") << "1:A:1:K1 2:A:1:K2" << "3:A:1" << "-" << "1" << "a" << "0 0 1 2"
                                                    << "";
        QTest::newRow("kept beside a move of its name") << "1:A:1:K1 2:A:1:K2" << "1:A:1 3:A:1" << "K1 K2" << "1 1"
                                                        << ".c" << "1 1 0 0" << "";
        QTest::newRow("changed scale") << "1:A:0.125:KA" << "1:A:0.25" << "KA" << "0.25" << "c" << "1 0 0 0"
                                       << "Changed (old -> new):\n  1  A  key KA\n      scale: 0.125 -> 0.25\n";
        QTest::newRow("hand-typed scale carried") << "1:A:*5:KA" << "1:A:0.25" << "KA" << "5" << "c" << "1 0 0 0"
                                                  << "scale: 5 -> 0.25 (your 5 kept)\n";
        QTest::newRow("shared key stays shared") << "1:A:1:KK 1:B:1:KK 1:C:1:KC" << "1:C:1 1:A:1 1:B:1"
                                                 << "KC KK KK" << "1 1 1" << "..." << "3 0 0 0" << "";
        QTest::newRow("empty names never move") << "1::1:K1" << "2::1" << "-" << "1" << "a" << "0 0 1 1" << "";
    }

    void matching()
    {
        QFETCH(QString, current);
        QFETCH(QString, imported);
        QFETCH(QString, keys);
        QFETCH(QString, scales);
        QFETCH(QString, marks);
        QFETCH(QString, counts);
        QFETCH(QString, reported);

        // The new file's details: each row keeps its signal, whatever the update carries.
        TableData fresh = table(imported);
        const auto details = std::make_shared<const DbcDetails>();
        fresh.setDetails(details);
        for (int row = 1; row < fresh.rows(); ++row)
            fresh.setDetailsSignal(row, 10 * row);
        const TableUpdate update = updateTable(table(current), fresh, QStringLiteral("new.dbc"));
        const TableData &t = update.table;
        QCOMPARE(t.details(), details);
        QCOMPARE(column(t, Col::Key), keys);
        QCOMPARE(column(t, Col::Scale), scales);
        QCOMPARE(::marks(t), marks);
        const UpdateReport &r = update.report;
        QCOMPARE(QStringLiteral("%1 %2 %3 %4").arg(r.kept).arg(r.moved).arg(r.added).arg(r.removed), counts);
        QVERIFY2(reportText(r).contains(reported), qPrintable(reportText(r)));
        for (int row = 1; row < t.rows(); ++row) {
            const QString key = t.text(row, Col::Key);
            const bool shared = t.keyIndex().count(key) > 1;
            QCOMPARE(t.colour(row, Col::Key), shared ? CellColour::DuplicateKey : CellColour::KeyCell);
            // A carried hand-typed cell stays hand-typed for the next update.
            QCOMPARE(t.handMade(row) != 0, scales.split(u' ')[row - 1] == u"5");
            QCOMPARE(t.detailsSignal(row), 10 * row);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "test_update.moc"
