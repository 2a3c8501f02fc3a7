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
                               << "  #11  1 -> 2  A  key KA\n";
        QTest::newRow("added and removed") << "1:A:1:KA" << "1:B:1" << "-" << "1" << "a" << "0 0 1 1"
                                           << "Removed (their keys are free now):\n  1  A  key KA\n";
        QTest::newRow("renamed in its message") << "1:A:1:KA 1:B:1:KB" << "1:A:1 1:C:1" << "KA -" << "1 1" << ".a"
                                                << "1 0 1 1" << "Added:\n  #11  1  C\n";
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
                                       << "Changed (old -> new):\n  #10  1  A  key KA\n      scale: 0.125 -> 0.25\n";
        QTest::newRow("hand-typed scale carried") << "1:A:*5:KA" << "1:A:0.25" << "KA" << "5" << "c" << "1 0 0 0"
                                                  << "scale: 5 -> 0.25 (your 5 kept)\n";
        QTest::newRow("shared key stays shared") << "1:A:1:KK 1:B:1:KK 1:C:1:KC" << "1:C:1 1:A:1 1:B:1"
                                                 << "KC KK KK" << "1 1 1" << "..." << "3 0 0 0" << "";
        // Omega has no byte in Windows-1252, the euro sign has: the current table keeps
        // its rows as UTF-16, the new one as bytes.
        QTest::newRow("kept from a table kept as UTF-16") << "1:\u20AC:1:KE 1:\u03A9:1:KO" << "1:\u20AC:1" << "KE" << "1"
                                                          << "." << "1 0 0 1" << "  1  \u03A9  key KO\n";
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
        // The new rows' "#", by which the report names them (not a removed one: it has no row).
        TableData fresh = table(imported);
        for (int row = 1; row < fresh.rows(); ++row)
            fresh.setText(row, Col::Number, QString::number(row + 9));
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
        // Every section heading stands over at least one signal.
        const QStringList lines = reportText(r).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].endsWith(u':') && !lines[i].startsWith(u' '))
                QVERIFY2(lines.value(i + 1).startsWith(u"  "), qPrintable(reportText(r)));
        }
        for (int row = 1; row < t.rows(); ++row) {
            const QString key = t.text(row, Col::Key);
            const bool shared = t.keyIndex().count(key) > 1;
            QCOMPARE(t.colour(row, Col::Key), shared ? CellColour::DuplicateKey : CellColour::KeyCell);
            // A carried hand-typed cell stays hand-typed for the next update.
            QCOMPARE(t.handMade(row) != 0, scales.split(u' ')[row - 1] == u"5");
            QCOMPARE(t.detailsSignal(row), 10 * row);
        }
    }

    void fieldChanges_data()
    {
        // The row before: position 0|8, bytes 0, signed 0, no unit, scale 1, offset 0,
        // description ECU, no mode, no byte order, no range.
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("reported"); // empty: the field is not compared
        QTest::newRow("position") << int(Col::Position) << "8|8" << "position: 0|8 -> 8|8";
        QTest::newRow("bytes") << int(Col::Bytes) << "1" << "bytes: 0 -> 1";
        QTest::newRow("signed") << int(Col::Signed) << "1" << "signed: 0 -> 1";
        QTest::newRow("unit") << int(Col::Unit) << "rpm" << "unit: (empty) -> rpm";
        QTest::newRow("scale") << int(Col::Scale) << "0.5" << "scale: 1 -> 0.5";
        QTest::newRow("offset") << int(Col::Offset) << "-40" << "offset: 0 -> -40";
        QTest::newRow("byte order") << int(Col::LittleEndian) << "1" << "byte order: (empty) -> 1";
        QTest::newRow("description is not compared") << int(Col::Description) << "Gateway" << "";
        QTest::newRow("mode is not compared") << int(Col::Mode) << "M" << "";
        QTest::newRow("range is not compared") << int(Col::MinMax) << "[0|1]" << "";
    }

    void fieldChanges()
    {
        QFETCH(int, col);
        QFETCH(QString, after);
        QFETCH(QString, reported);
        TableData imported = table("1:A:1");
        imported.setText(1, col, after);
        const TableUpdate update = updateTable(table("1:A:1:KA"), imported, QStringLiteral("new.dbc"));
        const TableData &t = update.table;
        const bool changed = !reported.isEmpty();
        QCOMPARE(t.text(1, col), after);
        QCOMPARE(t.text(1, Col::Key), "KA");
        QCOMPARE(t.rowMark(1), changed ? RowMark::Changed : RowMark::None);
        QCOMPARE(summaryLines(update.report).last(), changed ? "Changed: 1" : "Changed: 0");
        if (changed) {
            QVERIFY2(reportText(update.report).contains("  1  A  key KA\n      " + reported + "\n"),
                     qPrintable(reportText(update.report)));
            QVERIFY2(t.rowNote(1).contains(reported), qPrintable(t.rowNote(1)));
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "test_update.moc"
