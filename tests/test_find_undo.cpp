#include "import/dbc_import.h"
#include "keys/key_marking.h"
#include "reader_support.h"
#include "table/signal_filter.h"
#include "table/signal_table.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

using Tester = QAbstractItemModelTester;
// Signal rows from 1 on, marked as after a load: Name, CAN ID, Unit, Description,
// Key, min_max. The "#" column holds ten times the row.
TableData signalTable(const QList<QStringList> &rows)
{
    const std::array<int, 6> columns = {Col::Name, Col::CanId, Col::Unit, Col::Description, Col::Key, Col::MinMax};
    TableData table = TableData::standard();
    table.setRows(1);
    for (const QStringList &r : rows) {
        const int row = table.appendRow({});
        table.setText(row, Col::Number, QString::number(row * 10));
        for (std::size_t i = 0; i < columns.size(); ++i)
            table.setText(row, columns[i], r.value(qsizetype(i)));
    }
    table.setFixedRows(1);
    markAllKeys(table);
    return table;
}

TableData withKeys(const QStringList &keys)
{
    QList<QStringList> rows;
    for (const QString &key : keys)
        rows.append({"Sig", "", "", "", key});
    return signalTable(rows);
}

const QList<QStringList> signalRows = {
        {"EngineSpeed", "0 100", "rpm", "Engine ECU", "ENSP", "[0|8031]"},
        {"VehicleSpeed", "0 101", "km/h", "Gateway", "VSPD"},
        {"OilTemp", "0 102", "deg C", "engine", ""},
        {"Gear", "8CF0 4FE", "", "Gateway", "GEAR"},
        {"Pressure", "0 104", "K", "", "PRES"},
        {"GearTarget", "8CF0 4FE", "", "", "GEAR"},
        {"Bahnhof \u017Ftation 12345678", "", "", "x\U00010400y"}, // folded: a long s, a surrogate pair
};

QList<int> shownRows(const SignalFilterModel &filter)
{
    QList<int> rows;
    for (int row = 0; row < filter.rowCount(); ++row)
        rows.append(filter.gridRow(filter.index(row, 0)));
    return rows;
}

} // namespace

class TestFindUndo : public QObject
{
    Q_OBJECT

private slots:
    void undoAndRedoAreExact_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("more"); // further "row:key" choices of the same step
        const int key = Col::Key;
        // A step names its row by the "#" number, ten times the row here.
        QTest::newRow("text") << QStringList{"AAAA", "AAAA"} << 2 << int(Col::Name) << "Speed" << "text in row 20, Name" << "";
        QTest::newRow("key joins") << QStringList{"AAAA", "", "B"} << 2 << key << "AAAA" << "key AAAA in row 20" << "";
        QTest::newRow("key leaves") << QStringList{"AAAA", "AAAA", "B"} << 1 << key << "B" << "key B in row 10" << "";
        QTest::newRow("key cleared") << QStringList{"A", "A", "A"} << 2 << key << "" << "key cleared in row 20" << "";
        QTest::newRow("keys in one step") << QStringList{"AAAA", "", "B", ""} << 2 << key << "AAAA" << "2 keys"
                                          << "4:B";
        QTest::newRow("keys whose marks meet") << QStringList{"AAAA", "AAAA", "B"} << 1 << key << "C" << "2 keys"
                                               << "2:C 2:B";
    }

    void undoAndRedoAreExact()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(QString, step);
        QFETCH(QString, more);
        TableData grid = withKeys(keys);
        grid.setColour(row, Col::Key, CellColour::Default); // undo must bring back even this
        SignalTable model;
        Tester tester(&model, Tester::FailureReportingMode::QtTest);
        model.replace(grid);
        const QStringList before = tableDump(model.grid());
        QSignalSpy moved(&model, &SignalTable::undoneOrRedone);
        std::vector<std::pair<int, QString>> choices{{row, text}};
        for (const QString &choice : more.split(u' ', Qt::SkipEmptyParts))
            choices.emplace_back(choice.section(u':', 0, 0).toInt(), choice.section(u':', 1));
        if (choices.size() > 1)
            QCOMPARE(model.chooseKeys(choices, step), 2);
        else
            col == Col::Key ? model.chooseKey(row, text) : model.editText(row, col, text);
        const QStringList after = tableDump(model.grid());
        QCOMPARE(model.history().undoText(), step);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.history().undo();
        QCOMPARE(tableDump(model.grid()), before);
        QSet<int> changedRows, differing;
        for (const QList<QVariant> &args : std::as_const(changed))
            changedRows.insert(model.gridRow(args.at(0).toModelIndex()));
        for (int r = 0; r < before.size(); ++r) {
            if (before[r] != after[r])
                differing.insert(r);
        }
        QCOMPARE(changedRows, differing);
        QCOMPARE(moved.size(), 1); // an undo moves to the cell, doing the change does not
        QCOMPARE(moved.takeFirst(), (QList<QVariant>{row, col}));
        model.history().redo();
        QCOMPARE(tableDump(model.grid()), after);
        QCOMPARE(moved.size(), 1);
    }

    void wholeTableStep()
    {
        SignalTable model;
        model.replace(withKeys({"AAAA"}));
        model.chooseKey(1, "BBBB");
        const QStringList before = tableDump(model.grid());
        model.replaceUndoable(withKeys({"CCCC", "CCCC"}), "update from car.dbc");
        QSignalSpy moved(&model, &SignalTable::undoneOrRedone);
        QCOMPARE(model.history().undoText(), "update from car.dbc");
        model.history().undo();
        QCOMPARE(tableDump(model.grid()), before);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved.takeFirst(), (QList<QVariant>{-1, -1}));
        model.history().undo();
        model.history().redo();
        model.history().redo();
        QCOMPARE(tableDump(model.grid()), tableDump(withKeys({"CCCC", "CCCC"})));
    }

    void historyKeepsWithinItsLimit()
    {
        SignalTable model;
        model.replace(withKeys({"AAAA", "BBBB"}));
        QUndoStack &history = model.history();
        QSignalSpy dropped(&model, &SignalTable::olderStepsDroppedChanged);
        model.editText(1, Col::Name, "n1");
        model.setHistoryLimit(3 * model.historyBytes() + 16); // about three text steps
        for (int i = 2; i <= 9; ++i)
            model.editText(1, Col::Name, QStringLiteral("n%1").arg(i));
        QVERIFY(model.olderStepsDropped());
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(history.count(), 3);
        QVERIFY(model.historyBytes() <= model.historyLimit());
        model.setUnsavedChanges(false); // saved at "n9"
        model.chooseKey(2, "AAAA");      // drops the step to "n7"
        QCOMPARE(history.count(), 3);
        history.undo();
        QVERIFY(!model.unsavedChanges()); // the saved step is where it was
        QCOMPARE(model.grid().colour(1, Col::Key), CellColour::KeyCell);
        while (history.canUndo())
            history.undo();
        QCOMPARE(model.grid().text(1, Col::Name), "n7"); // as the last dropped step left it
        while (history.canRedo())
            history.redo();
        QCOMPARE(model.grid().text(1, Col::Name), "n9");
        QCOMPARE(model.grid().colour(1, Col::Key), CellColour::DuplicateKey);

        // A table step bigger than the limit stays while it is the one just done.
        model.replaceUndoable(withKeys({"CCCC"}), "update from car.dbc");
        QCOMPARE(history.count(), 1);
        QVERIFY(model.unsavedChanges()); // the saved state went with the dropped steps
        history.undo();
        QCOMPARE(model.grid().text(2, Col::Key), "AAAA");
        model.replace(withKeys({"AAAA"}));
        QVERIFY(!model.olderStepsDropped());
        QCOMPARE(dropped.size(), 2);
    }

    void unsavedFollowsTheSavedStep()
    {
        SignalTable model;
        QList<bool> said;
        connect(&model, &SignalTable::unsavedChangesChanged, this, [&said](bool unsaved) { said.append(unsaved); });
        const auto states = [&said] { return std::exchange(said, {}); };
        QUndoStack &history = model.history();
        model.editText(1, Col::Name, "a");
        model.editText(1, Col::Name, "b"); // a step of its own
        QCOMPARE(history.count(), 2);
        model.setUnsavedChanges(false); // saved at "b"
        QCOMPARE(states(), (QList<bool>{true, false}));
        history.undo();
        history.undo();
        history.redo();
        history.redo();
        QCOMPARE(states(), (QList<bool>{true, false}));

        // An import starts a fresh history that holds no saved state.
        model.replace(withKeys({"AAAA"}));
        QVERIFY(!history.canUndo());
        model.setUnsavedChanges(true);
        model.chooseKey(1, "BBBB");
        history.undo();
        model.replace(withKeys({"AAAA"})); // stays unsaved, without a word in between
        QCOMPARE(states(), (QList<bool>{true}));
        model.reset();
        QVERIFY(!history.canUndo());
        QCOMPARE(states(), (QList<bool>{false}));
    }

    void filterChoosesRows_data()
    {
        QTest::addColumn<FindCriteria>("find");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("matches");
        QTest::addColumn<int>("hidden"); // matches in rows the quick filters hide
        QTest::newRow("every column, any case") << FindCriteria{.text = "engine", .onlyMatching = true}
                                                << QList<int>{1, 3} << 3 << 0;
        QTest::newRow("match case") << FindCriteria{.text = "Engine", .caseSensitivity = Qt::CaseSensitive,
                                                    .onlyMatching = true} << QList<int>{1} << 2 << 0;
        QTest::newRow("Description") << FindCriteria{"engine", Col::Description, {}, true} << QList<int>{1, 3} << 2 << 0;
        QTest::newRow("CAN ID") << FindCriteria{"4fe", Col::CanId, {}, true} << QList<int>{4, 6} << 2 << 0;
        QTest::newRow("Key") << FindCriteria{"GEAR", Col::Key, {}, true} << QList<int>{4, 6} << 2 << 0;
        QTest::newRow("Unit") << FindCriteria{"k", Col::Unit, {}, true} << QList<int>{2, 5} << 2 << 0;
        QTest::newRow("last column") << FindCriteria{.text = "|8", .onlyMatching = true} << QList<int>{1} << 1 << 0;
        QTest::newRow("not across cells") << FindCriteria{.text = "GatewayGEAR", .onlyMatching = true} << QList<int>{}
                                          << 0 << 0;
        QTest::newRow("no match") << FindCriteria{.text = "xyz", .onlyMatching = true} << QList<int>{} << 0 << 0;
        QTest::newRow("long s") << FindCriteria{.text = "STATION", .onlyMatching = true} << QList<int>{7} << 1 << 0;
        QTest::newRow("Deseret") << FindCriteria{.text = "\U00010428Y", .onlyMatching = true} << QList<int>{7} << 1 << 0;
        QTest::newRow("without a key") << FindCriteria{.text = "", .onlyMatching = true, .withoutKey = true}
                                       << QList<int>{3, 7} << 0 << 0;
        QTest::newRow("shared key") << FindCriteria{.text = "", .onlyMatching = true, .sharedKey = true} << QList<int>{4, 6} << 0 << 0;
        QTest::newRow("shared key and text") << FindCriteria{.text = "target", .onlyMatching = true, .sharedKey = true}
                                             << QList<int>{6} << 1 << 0;
        QTest::newRow("not filtering") << FindCriteria{.text = "gear"} << QList<int>{1, 2, 3, 4, 5, 6, 7} << 4 << 0;
        QTest::newRow("text a quick filter hides") << FindCriteria{.text = "engine", .onlyMatching = true, .withoutKey = true}
                                                   << QList<int>{3} << 1 << 2;
        // Rows 2 and 5 were added and changed by an update.
        QTest::newRow("added by the update") << FindCriteria{.text = "", .onlyMatching = true, .addedByUpdate = true}
                                             << QList<int>{2} << 0 << 0;
        QTest::newRow("added or changed") << FindCriteria{.text = "", .onlyMatching = true, .addedByUpdate = true,
                                                          .changedByUpdate = true} << QList<int>{2, 5} << 0 << 0;
        QTest::newRow("changed, with a key") << FindCriteria{.text = "", .onlyMatching = true, .sharedKey = true,
                                                             .changedByUpdate = true} << QList<int>{} << 0 << 0;
    }

    void filterChoosesRows()
    {
        QFETCH(FindCriteria, find);
        QFETCH(QList<int>, rows);
        QFETCH(int, matches);
        QFETCH(int, hidden);
        SignalTable table;
        TableData grid = signalTable(signalRows);
        grid.setRowMark(2, RowMark::Added, {});
        grid.setRowMark(5, RowMark::Changed, "unit: kPa -> bar");
        table.replace(std::move(grid));
        SignalFilterModel filter(table);
        Tester tester(&filter, Tester::FailureReportingMode::QtTest);
        filter.setCriteria(find);
        QCOMPARE(shownRows(filter), rows);
        QCOMPARE(int(filter.matches().size()), matches);
        for (const GridCell &cell : filter.matches())
            QVERIFY(filter.data(filter.viewIndex(cell.row, cell.col), SignalFilterModel::MatchRole).toBool());
        QCOMPARE(filter.statusText(),
                 find.onlyMatching ? QStringLiteral("showing %1 of 7 signals").arg(rows.size()) : QString());
        // The count names the matches the quick filters hide.
        QCOMPARE(filter.hiddenMatches(), hidden);
        QCOMPARE(filter.matchText({0, 0}).endsWith(QStringLiteral(", %1 hidden by the filters").arg(hidden)), hidden > 0);
    }

    void findLooksInDetails_data()
    {
        QTest::addColumn<FindCriteria>("find");
        QTest::addColumn<QList<GridCell>>("matches");
        const int name = Col::Name;
        QTest::newRow("message comment") << FindCriteria{.text = "FRAME"} << QList<GridCell>{{3, name}};
        QTest::newRow("value description") << FindCriteria{.text = "park"} << QList<GridCell>{{2, name}};
        QTest::newRow("a name cell once") << FindCriteria{.text = "speed"} << QList<GridCell>{{1, name}, {3, name}};
        QTest::newRow("in the order of the cells") << FindCriteria{.text = "km"}
                                                   << QList<GridCell>{{3, name}, {3, Col::Unit}};
        QTest::newRow("Message") << FindCriteria{"engine", FindCriteria::messageColumn} << QList<GridCell>{{1, name}, {2, name}};
        QTest::newRow("Comment") << FindCriteria{"wheel", FindCriteria::commentColumn} << QList<GridCell>{{3, name}};
        QTest::newRow("message comment in Comment") << FindCriteria{"brake", FindCriteria::commentColumn} << QList<GridCell>{{3, name}};
        QTest::newRow("Message is not Comment") << FindCriteria{"wheel", FindCriteria::messageColumn} << QList<GridCell>{};
        QTest::newRow("one column stays one") << FindCriteria{"park", Col::Name} << QList<GridCell>{};
    }

    void findLooksInDetails()
    {
        QFETCH(FindCriteria, find);
        QFETCH(QList<GridCell>, matches);
        QByteArray dbc = "BO_ 100 Engine: 8 ECU\n SG_ Speed : 0|16@1+ (1,0) [0|100] \"rpm\" GW\n"
                         " SG_ Gear : 16|8@1+ (1,0) [0|7] \"\" GW\nBO_ 2364540158 Brake: 6 ABS\n"
                         " SG_ Speed : 0|16@1+ (1,0) [0|100] \"km/h\" GW\nCM_ BO_ 2364540158 \"brake frame\";\n"
                         "CM_ SG_ 2364540158 Speed \"at the wheels, in km/h\";\nVAL_ 100 Gear 0 \"Park\" 1 \"Reverse\";\n";
        QBuffer buffer(&dbc);
        double messageId = 0;
        SignalTable table;
        table.replace(ReadDBC(buffer, "car.dbc", TableData::standard(), messageId).table);
        SignalFilterModel filter(table);
        filter.setCriteria(find);
        QCOMPARE(QList<GridCell>(filter.matches().begin(), filter.matches().end()), matches);
        for (const GridCell &cell : matches)
            QVERIFY(filter.data(filter.viewIndex(cell.row, cell.col), SignalFilterModel::MatchRole).toBool());
        find.onlyMatching = true;
        filter.setCriteria(find);
        QList<int> rows;
        for (const GridCell &cell : matches) {
            if (!rows.contains(cell.row))
                rows.append(cell.row);
        }
        QCOMPARE(shownRows(filter), rows);
    }

    void mappingAndFindOrder()
    {
        SignalTable table;
        table.replace(signalTable(signalRows));
        SignalFilterModel filter(table);
        Tester tester(&filter, Tester::FailureReportingMode::QtTest);
        filter.setCriteria({.text = "gear", .onlyMatching = true});
        QCOMPARE(filter.headerData(1, Qt::Vertical).toString(), "60");
        QCOMPARE(filter.viewIndex(6, Col::Key), filter.index(1, Col::Key - 1));
        QVERIFY(!filter.viewIndex(5, Col::Key).isValid());

        // An edit keeps its row where it is and brings the matches up to date.
        table.editText(4, Col::Name, "Clutch");
        QCOMPARE(shownRows(filter), (QList<int>{4, 6}));
        QCOMPARE(filter.matches().front(), (GridCell{4, Col::Key}));
        table.editText(1, Col::Name, "Gearbox"); // hidden rows stay hidden and unmatched
        QCOMPARE(filter.matches().size(), std::size_t(3));
        filter.refilter();
        QCOMPARE(shownRows(filter), (QList<int>{1, 4, 6}));
        table.replaceUndoable(signalTable(signalRows), "update"); // a new table: its rows are chosen again
        QCOMPARE(shownRows(filter), (QList<int>{4, 6}));
        filter.setCriteria({.text = "speed", .onlyMatching = true});
        QCOMPARE(shownRows(filter), (QList<int>{1, 2}));
        filter.setCriteria({.text = "ea"}); // (4, Name), (4, Key), (6, Name), (6, Key)
        QCOMPARE(filter.firstMatchFrom({4, Col::Key}), (GridCell{4, Col::Key}));
        QCOMPARE(filter.firstMatchFrom({5, Col::Name}), (GridCell{6, Col::Name}));
        QCOMPARE(filter.nextMatch({4, Col::Key}), (GridCell{6, Col::Name}));
        QCOMPARE(filter.nextMatch({6, Col::Key}), (GridCell{4, Col::Name}));
        QCOMPARE(filter.previousMatch({4, Col::Name}), (GridCell{6, Col::Key}));
        QCOMPARE(filter.previousMatch({6, Col::Name}), (GridCell{4, Col::Key}));
        QCOMPARE(filter.matchText({6, Col::Name}), "3 of 4");
        QCOMPARE(filter.matchText({2, Col::Name}), "0 of 4");
        filter.setCriteria({.text = "none"});
        QVERIFY(!filter.nextMatch({1, 1}) && !filter.previousMatch({1, 1}) && !filter.firstMatchFrom({1, 1}));
        QCOMPARE(filter.matchText({1, 1}), "0 of 0");
        filter.setCriteria({.text = "none", .onlyMatching = true});
        QCOMPARE(filter.headerData(Col::Key - 1, Qt::Horizontal).toString(), "Key");
    }

    void sameRowsRepaintTheirMatches()
    {
        SignalTable table;
        table.replace(signalTable(signalRows));
        SignalFilterModel filter(table);
        filter.setCriteria({.text = "en", .onlyMatching = true});
        const QModelIndex key = filter.viewIndex(1, Col::Key); // "ENSP"
        QVERIFY(filter.data(key, SignalFilterModel::MatchRole).toBool());
        QSignalSpy reset(&filter, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&filter, &QAbstractItemModel::dataChanged);
        filter.setCriteria({.text = "eng", .onlyMatching = true}); // rows 1 and 3 still, without the Key cell
        QCOMPARE(shownRows(filter), (QList<int>{1, 3}));
        QVERIFY(!filter.data(key, SignalFilterModel::MatchRole).toBool());
        // The view repaints the cell that is no match any more.
        bool repainted = !reset.isEmpty();
        for (const QList<QVariant> &args : std::as_const(changed)) {
            const QModelIndex from = args.at(0).toModelIndex(), to = args.at(1).toModelIndex();
            const auto roles = args.at(2).value<QList<int>>();
            repainted |= from.row() <= key.row() && key.row() <= to.row() && from.column() <= key.column()
                         && key.column() <= to.column() && (roles.isEmpty() || roles.contains(SignalFilterModel::MatchRole));
        }
        QVERIFY(repainted);
    }
};

QTEST_GUILESS_MAIN(TestFindUndo)
#include "test_find_undo.moc"
