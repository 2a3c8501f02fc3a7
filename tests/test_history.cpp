#include "keys/key_marking.h"
#include "table/signal_table.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr CellColour D = CellColour::Default;

// A loaded table with one signal row per key, marked.
TableData tableWithKeys(const QStringList &keys)
{
    TableData table = TableData::standard();
    table.setRows(1);
    for (const QString &key : keys)
        table.setText(table.appendRow({u"", u"0 100", u"", u"", u"", u"Sig"}), Col::Key, key);
    table.setFixedRows(1);
    markAllKeys(table);
    return table;
}

// Every cell's text and colour, row by row.
QStringList snapshot(const TableData &table)
{
    QStringList rows;
    for (int row = 0; row < table.rows(); ++row) {
        QString line;
        for (int col = 0; col < TableData::cols(); ++col)
            line += table.text(row, col) + u'/' + QString::number(int(table.colour(row, col))) + u';';
        rows.append(line);
    }
    return rows;
}

QSet<int> changedRows(const SignalTable &model, const QSignalSpy &spy)
{
    QSet<int> rows;
    for (const QList<QVariant> &args : spy)
        rows.insert(model.gridRow(args.at(0).toModelIndex()));
    return rows;
}

QSet<int> differingRows(const QStringList &a, const QStringList &b)
{
    QSet<int> rows;
    for (int row = 0; row < a.size(); ++row) {
        if (a[row] != b[row])
            rows.insert(row);
    }
    return rows;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void undoAndRedoAreExact_data();
    void undoAndRedoAreExact();
    void wholeTableStep();
    void unsavedFollowsTheSavedStep();
};

void TestHistory::undoAndRedoAreExact_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<int>("unmarkedRow"); // a Key cell left without colour, or 0
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("step");
    QTest::newRow("text") << QStringList{"AAAA", "AAAA"} << 0 << 2 << int(Col::Name) << "Speed"
                          << "text in row 2, Name";
    QTest::newRow("key joins a pair") << QStringList{"AAAA", "", "BBBB"} << 0 << 2 << int(Col::Key) << "AAAA"
                                      << "key AAAA in row 2";
    QTest::newRow("key leaves a pair") << QStringList{"AAAA", "AAAA", "BBBB"} << 0 << 1 << int(Col::Key)
                                       << "BBBB" << "key BBBB in row 1";
    QTest::newRow("key cleared") << QStringList{"AAAA", "AAAA", "AAAA"} << 0 << 2 << int(Col::Key) << ""
                                 << "key cleared in row 2";
    QTest::newRow("uncoloured cell") << QStringList{"AAAA", "", "AAAA"} << 2 << 2 << int(Col::Key) << "AAAA"
                                     << "key AAAA in row 2";
}

void TestHistory::undoAndRedoAreExact()
{
    QFETCH(QStringList, keys);
    QFETCH(int, unmarkedRow);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, text);
    QFETCH(QString, step);
    TableData grid = tableWithKeys(keys);
    if (unmarkedRow > 0)
        grid.setColour(unmarkedRow, Col::Key, D);
    SignalTable model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.replace(grid);
    const QStringList before = snapshot(model.grid());
    QSignalSpy moved(&model, &SignalTable::undoneOrRedone);
    col == Col::Key ? model.chooseKey(row, text) : model.editText(row, col, text);
    const QStringList after = snapshot(model.grid());
    QCOMPARE(model.history().undoText(), step);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.history().undo();
    QCOMPARE(snapshot(model.grid()), before);
    QCOMPARE(changedRows(model, changed), differingRows(before, after));
    QCOMPARE(moved.size(), 1); // an undo moves to the cell, doing the change does not
    QCOMPARE(moved.takeFirst(), (QList<QVariant>{row, col}));
    model.history().redo();
    QCOMPARE(snapshot(model.grid()), after);
    QCOMPARE(moved.size(), 1);
    if (col == Col::Key)
        QCOMPARE(model.grid().keyIndex().count(text), keys.count(text) + (text.isEmpty() ? 0 : 1));
}

void TestHistory::wholeTableStep()
{
    SignalTable model;
    model.replace(tableWithKeys({"AAAA"}));
    model.chooseKey(1, "BBBB");
    const QStringList before = snapshot(model.grid());
    const QStringList after = snapshot(tableWithKeys({"CCCC", "CCCC"}));
    model.replaceUndoable(tableWithKeys({"CCCC", "CCCC"}), "update from car.dbc");
    QCOMPARE(snapshot(model.grid()), after);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &SignalTable::undoneOrRedone);
    QCOMPARE(model.history().undoText(), "update from car.dbc");
    model.history().undo();
    QCOMPARE(snapshot(model.grid()), before);
    QCOMPARE(model.grid().keyIndex().count("CCCC"), 0);
    QCOMPARE(reset.size(), 1);
    QCOMPARE(moved.takeFirst(), (QList<QVariant>{-1, -1}));
    model.history().undo();
    QCOMPARE(model.grid().text(1, Col::Key), "AAAA");
    model.history().redo();
    model.history().redo();
    QCOMPARE(snapshot(model.grid()), after);
}

void TestHistory::unsavedFollowsTheSavedStep()
{
    SignalTable model;
    QSignalSpy unsaved(&model, &SignalTable::unsavedChangesChanged);
    QUndoStack &history = model.history();
    auto states = [&unsaved] {
        QList<bool> list;
        for (const QList<QVariant> &args : std::as_const(unsaved))
            list.append(args.at(0).toBool());
        unsaved.clear();
        return list;
    };
    model.editText(1, Col::Name, "a");
    model.editText(1, Col::Name, "b"); // a step of its own
    QCOMPARE(history.count(), 2);
    model.setUnsavedChanges(false); // saved at "b"
    QCOMPARE(states(), (QList<bool>{true, false}));
    history.undo();
    history.undo();
    history.redo();
    QVERIFY(model.unsavedChanges());
    history.redo();
    QVERIFY(!model.unsavedChanges());
    QCOMPARE(states(), (QList<bool>{true, false}));

    // An import starts a fresh history that holds no saved state.
    model.replace(tableWithKeys({"AAAA"}));
    QVERIFY(!history.canUndo());
    model.setUnsavedChanges(true);
    model.chooseKey(1, "BBBB");
    history.undo();
    QVERIFY(model.unsavedChanges());
    model.replace(tableWithKeys({"AAAA"})); // stays unsaved, without a word in between
    QCOMPARE(states(), (QList<bool>{true}));
    model.reset();
    QVERIFY(!model.unsavedChanges() && !history.canUndo());
    QCOMPARE(states(), (QList<bool>{false}));
}

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
