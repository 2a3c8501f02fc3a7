#include "document/recent_files.h"
#include "keys/key_marking.h"
#include "table/cell_transfer.h"
#include "table/signal_table.h"
#include "table/table_status.h"
#include "reader_support.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A table with a heading row and one signal row per given key.
TableData tableWithKeys(const QStringList &keys)
{
    TableData table = TableData::standard();
    table.setRows(1);
    for (const QString &key : keys) {
        const int row = table.appendRow({});
        table.setText(row, Col::Key, key);
        table.setColour(row, Col::Key, CellColour::KeyCell);
    }
    table.setFixedRows(1);
    return table;
}

} // namespace

class TestTable : public QObject
{
    Q_OBJECT

private slots:
    void addItemSplitsAtTabs()
    {
        TableData table;
        table.addItem(u"a\tb\t\td");
        QCOMPARE(rowText(table, 0), "a;b;;d;;;;;;;;;;");
        QString many;
        for (int i = 0; i < 20; ++i)
            many += QString::number(i) + u'\t';
        table.addItem(many); // pieces beyond the last column are dropped
        QCOMPARE(rowText(table, 1), "0;1;2;3;4;5;6;7;8;9;10;11;12;13");
    }

    void cutRowsLeaveTheKeyIndex()
    {
        TableData table = tableWithKeys({"AAAA", "AAAA", "BBBB"});
        QCOMPARE(table.keyIndex().count("AAAA"), 2);
        table.setRows(2);
        QCOMPARE(table.keyIndex().count("AAAA"), 1);
        QCOMPARE(table.keyIndex().count("BBBB"), 0);
        table.setText(1, Col::Key, "BBBB");
        QCOMPARE(table.keyIndex().count("AAAA"), 0);
        QCOMPARE(table.keyIndex().rows("BBBB"), QList<int>{1});
        table.setRows(1);
        QCOMPARE(table.fixedRows(), 0); // a fixed row must stay below the row count
    }

    void keyIndexFollowsEveryChange()
    {
        // Many keys in a small index collide; taking any of them out must leave every
        // other one found.
        TableData table = tableWithKeys({});
        QStringList keys;
        for (int i = 0; i < 300; ++i)
            keys.append(QStringLiteral("K%1").arg(i * 7919 % 97));
        for (const QString &key : std::as_const(keys))
            table.setText(table.appendRow({}), Col::Key, key);
        for (int step = 0; step < 600; ++step) {
            const int row = 1 + step * 131 % 300;
            table.setText(row, Col::Key, step % 3 == 0 ? QString() : QStringLiteral("N%1").arg(step % 41));
            if (step % 50 != 49)
                continue;
            QHash<QString, int> held;
            for (int r = 1; r < table.rows(); ++r)
                held[table.text(r, Col::Key)] += 1;
            for (auto it = held.cbegin(); it != held.cend(); ++it)
                QCOMPARE(table.keyIndex().count(it.key()), it.key().isEmpty() ? 0 : it.value());
            QCOMPARE(table.keyIndex().keyedRows(), table.rows() - 1 - held.value(QString()));
        }
    }

    void modelPresentsGridWithoutFixedParts()
    {
        SignalTable model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        TableData grid = TableData::standard();
        grid.setRows(1);
        const int row = grid.appendRow({u"0", u"0 123", u"24|16"});
        grid.setRowIcon(row, true);
        grid.setColour(row, Col::Key, CellColour::KeyCell);
        grid.setFixedRows(1);
        model.replace(grid);
        model.setRowIconDecoration(QStringLiteral("icon"));

        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.columnCount(), 13);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), "CAN ID");
        QCOMPARE(model.headerData(12, Qt::Horizontal).toString(), "min_max");
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), "0");
        QCOMPARE(model.headerData(0, Qt::Vertical, Qt::DecorationRole).toString(), "icon");
        QCOMPARE(model.index(0, 0).data().toString(), "0 123");
        QCOMPARE(model.index(0, Col::Key - 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 160));
        QVERIFY(!model.index(0, 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(model.gridRow(model.index(0, 4)), 1);
        QCOMPARE(SignalTable::gridCol(model.index(0, 4)), 5);
        QCOMPARE(model.modelIndex(1, 5), model.index(0, 4));
    }

    void userEditsMakeTheTableUnsaved()
    {
        SignalTable model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.editText(1, Col::Name, QString());
        QVERIFY(!model.unsavedChanges()); // an unchanged text is no change
        QCOMPARE(changed.size(), 0);
        QVERIFY(model.setData(model.index(0, Col::Name - 1), "Speed"));
        QVERIFY(model.unsavedChanges());
        QCOMPARE(model.grid().text(1, Col::Name), "Speed");
        QCOMPARE(changed.size(), 1);
        model.reset();
        QVERIFY(!model.unsavedChanges());
        QCOMPARE(model.grid().text(1, Col::Name), "");
        model.chooseKey(1, "ENSP");
        QVERIFY(model.unsavedChanges());
    }

    void chooseKeyMarks_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("marks"); // of the Key cells, as marksOf() writes them
        QTest::newRow("unique key") << QStringList{"AAAA", "", "BBBB"} << 2 << "CCCC" << "yyy";
        QTest::newRow("two others hold it") << QStringList{"AAAA", "", "AAAA", "BBBB"} << 2 << "AAAA" << "rrry";
        QTest::newRow("stale mark cleared") << QStringList{"AAAA", "AAAA", "BBBB"} << 1 << "CCCC" << "yyy";
        QTest::newRow("still shared by two") << QStringList{"AAAA", "AAAA", "AAAA"} << 1 << "CCCC" << "yrr";
        QTest::newRow("case differs") << QStringList{"abcd", ""} << 2 << "ABCD" << "yy";
        QTest::newRow("trailing space differs") << QStringList{"AB -", ""} << 2 << "AB  " << "yy";
        QTest::newRow("empty keys never marked") << QStringList{"", "", ""} << 1 << "" << "yyy";
        QTest::newRow("same key again") << QStringList{"AAAA", "AAAA"} << 1 << "AAAA" << "rr";
        QTest::newRow("key emptied") << QStringList{"AAAA", "AAAA"} << 1 << "" << "yy";
    }

    void chooseKeyMarks()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, row);
        QFETCH(QString, key);
        QFETCH(QString, marks);
        TableData grid = tableWithKeys(keys);
        markAllKeys(grid);
        SignalTable model;
        model.replace(grid);
        model.chooseKey(row, key);
        QCOMPARE(model.grid().text(row, Col::Key), key);
        QCOMPARE(marksOf(model.grid()), marks);
    }

    void chooseKeyEmitsChangesForEveryRecolouredRow()
    {
        TableData grid = tableWithKeys({"AAAA", "", "", "AAAA", "BBBB"});
        markAllKeys(grid);
        SignalTable model;
        model.replace(grid);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.chooseKey(1, "BBBB"); // row 4 loses its partner, row 5 gains one
        QSet<int> rows;
        for (const QList<QVariant> &args : std::as_const(changed))
            rows.insert(model.gridRow(args.at(0).toModelIndex()));
        QCOMPARE(rows, (QSet<int>{1, 4, 5}));
        QCOMPARE(marksOf(model.grid()), "ryyyr");
    }

    void markAllKeysMatchesPairwiseMarking()
    {
        const QStringList keys = {"K1", "K2", "", "K1", "k1", "K3", "K2", "", "K1", "K4 "};
        TableData grid = tableWithKeys(keys);
        // Rows that were never given a colour get one too.
        grid.setColour(3, Col::Key, CellColour::Default);
        markAllKeys(grid);
        for (int i = 0; i < keys.size(); ++i) {
            const bool shared = !keys[i].isEmpty() && keys.count(keys[i]) > 1;
            QCOMPARE(grid.colour(i + 1, Col::Key), shared ? CellColour::DuplicateKey : CellColour::KeyCell);
        }
    }

    void statusAndNextSharedKey_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("clearRow"); // a key taken away again, 0 for none
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<int>>("visits"); // rows the next shared key reaches from row 0 on
        QTest::addColumn<QString>("tip");       // of the first row's Key cell
        QTest::newRow("reset table") << QStringList{""} << 0 << "0 signals, 0 with a key, 0 shared keys" << QList<int>{-1}
                                     << "";
        QTest::newRow("one signal") << QStringList{"A"} << 0 << "1 signal, 1 with a key, 0 shared keys" << QList<int>{-1}
                                    << "";
        QTest::newRow("shared, going round") << QStringList{"A", "", "A", "B", "B", "C"} << 0
                                             << "6 signals, 5 with a key, 2 shared keys" << QList<int>{1, 3, 4, 5, 1}
                                             << "A is also in row 3";
        QTest::newRow("three holders, one cleared") << QStringList{"A", "A", "A", "B", "B"} << 5
                                                    << "5 signals, 4 with a key, 1 shared key" << QList<int>{1, 2, 3, 1}
                                                    << "A is also in rows 2 and 3";
        QTest::newRow("pair, one cleared") << QStringList{"B", "B", "A"} << 1 << "3 signals, 2 with a key, 0 shared keys"
                                           << QList<int>{-1} << "";
        QTest::newRow("many holders") << QStringList(14, "K") << 0 << "14 signals, 14 with a key, 1 shared key"
                                      << QList<int>{1, 2, 3} << "K is also in rows 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 and 3 more";
    }

    void statusAndNextSharedKey()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, clearRow);
        QFETCH(QString, status);
        QFETCH(QList<int>, visits);
        QFETCH(QString, tip);
        TableData table = tableWithKeys(keys);
        if (clearRow > 0)
            table.setText(clearRow, Col::Key, QString());
        QCOMPARE(tableStatusText(table), status);
        QList<int> seen;
        for (int row = 0; seen.size() < visits.size(); row = seen.last())
            seen.append(nextSharedKeyRow(table, row));
        QCOMPARE(seen, visits);
        SignalTable model;
        model.replace(table);
        QCOMPARE(model.data(model.index(0, Col::Key - 1), Qt::ToolTipRole).toString(), tip);
    }

    void recentFilesKeepTheirRules_data()
    {
        QTest::addColumn<QStringList>("added"); // in this order; "settings:" gives what the settings hold
        QTest::addColumn<QStringList>("files");
        QStringList eleven;
        for (int i = 1; i <= 11; ++i)
            eleven.append(QStringLiteral("/d/%1.dbc").arg(i));
        QStringList tenNewest = eleven.mid(1);
        std::reverse(tenNewest.begin(), tenNewest.end());
        QTest::newRow("newest first") << QStringList{"/d/a.dbc", "/d/b.xml", "/d/c.CSV"}
                                      << QStringList{"/d/c.CSV", "/d/b.xml", "/d/a.dbc"};
        QTest::newRow("again goes first, once") << QStringList{"/d/a.dbc", "/d/b.dbc", "/d/./x/../a.dbc"}
                                                << QStringList{"/d/a.dbc", "/d/b.dbc"};
        QTest::newRow("only files the program opens") << QStringList{"/d/a.txt", "", "/d/b.PlexCanRXConfig"}
                                                       << QStringList{"/d/b.PlexCanRXConfig"};
        QTest::newRow("ten at most") << eleven << tenNewest;
        QTest::newRow("damaged settings") << QStringList{"settings:@ByteArray(/d/a.dbc)"} << QStringList{};
        QTest::newRow("one entry in the settings") << QStringList{"settings:/d/a.dbc"} << QStringList{"/d/a.dbc"};
        QTest::newRow("settings checked too") << QStringList{"settings:/d/a.exe, /d/b.dbc, /d/b.dbc"}
                                              << QStringList{"/d/b.dbc"};
    }

    void recentFilesKeepTheirRules()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString settingsFile = dir.filePath("tessaly.conf");
        RecentFiles recent;
        for (const QString &file : std::as_const(added)) {
            if (file.startsWith("settings:"))
                writeFile(settingsFile, "[files]\nrecent=" + file.mid(9).toUtf8() + "\n");
            else
                recent.add(file);
        }
        if (QFile::exists(settingsFile))
            recent = RecentFiles::read(QSettings(settingsFile, QSettings::IniFormat));
        QCOMPARE(recent.files(), files);
        // What is written reads back the same.
        {
            QSettings settings(dir.filePath("again.conf"), QSettings::IniFormat);
            recent.write(settings);
        }
        QCOMPARE(RecentFiles::read(QSettings(dir.filePath("again.conf"), QSettings::IniFormat)).files(), files);
    }

    void rowsBreakingCsvAreFound()
    {
        TableData table = tableWithKeys({"", "", "", "", ""});
        table.setText(2, Col::Description, "a;b");
        table.setText(3, Col::Number, "3;"); // the "#" column is not saved
        table.setText(4, Col::MinMax, "0\t1");
        table.setText(5, Col::CanId, ";");
        table.setText(1, Col::Unit, "\r\n"); // typed: a line end would start another line
        QCOMPARE(rowsBreakingCsv(table, 10), (QList<int>{1, 2, 4, 5}));
        QCOMPARE(rowsBreakingCsv(table, 2), (QList<int>{1, 2}));
        QVERIFY(csvSeparatorWarning(TableData::standard()).isEmpty());
        table.setText(4, Col::Number, "17");
        QCOMPARE(csvSeparatorWarning(table), "Rows 1, 2, #17, 5 hold a \";\", a tab or another control character in a cell. "
                                             "The results CSV separates its cells with \";\" and its lines with CR LF, "
                                             "so such a row does not load back as it was.");
    }

    void cellFormsAreChecked_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("description"); // Ω keeps the row's chunk as UTF-16
        const auto add = [](const char *name, int col, const char *text, bool readable, const char *description = "") {
            QTest::newRow(name) << col << QString(text) << readable << QString::fromUtf8(description);
        };
        add("signed 1", Col::Signed, "1", true);
        add("signed yes", Col::Signed, "yes", false);
        add("signed -", Col::Signed, "-", false);
        add("byte order BE", Col::LittleEndian, "BE", true);
        add("byte order 0", Col::LittleEndian, "0", true);
        add("byte order le", Col::LittleEndian, "le", false);
        add("scale 1e-05", Col::Scale, "1e-05", true);
        add("scale with a comma", Col::Scale, "0,5", false);
        add("scale inf", Col::Scale, "inf", false);
        add("scale .5", Col::Scale, ".5", true);
        add("scale 0,5 in UTF-16", Col::Scale, "0,5", false, "Ω");
        add("scale .5 in UTF-16", Col::Scale, ".5", true, "Ω");
        add("offset -40", Col::Offset, "-40", true);
        add("offset empty", Col::Offset, "", true);
        add("position 24|16", Col::Position, "24|16", true);
        add("start byte", Col::Position, "3", true);
        add("position 24|", Col::Position, "24|", false);
        add("position -1", Col::Position, "-1", false);
        add("a name is free text", Col::Name, "x|y", true);
    }

    void cellFormsAreChecked()
    {
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(bool, readable);
        QFETCH(QString, description);
        SignalTable table;
        TableData grid = tableWithKeys({"", ""});
        grid.setText(2, col, text);
        grid.setText(2, Col::Description, description);
        grid.setText(2, Col::Number, "7");
        table.replace(std::move(grid));
        const QString problem = cellFormProblem(table.grid(), 2, col);
        QCOMPARE(problem.isEmpty(), readable);
        // The heading row and other rows are never named; the cell shows why in its tooltip.
        QVERIFY(cellFormProblem(table.grid(), 1, col).isEmpty() && cellFormProblem(table.grid(), 0, col).isEmpty());
        const QModelIndex cell = table.index(1, col - 1);
        QCOMPARE(table.data(cell, Qt::ToolTipRole).toString().startsWith(problem), true);
        QCOMPARE(table.data(cell, Qt::ForegroundRole).isValid(), !readable);
        QCOMPARE(cellFormWarning(table.grid()).startsWith("Row #7 holds a cell"), !readable);
    }

    // Clipboard text as spreadsheets write it, cut into rows and cells (at most 2 x 2
    // here); a copied block read back gives its cells again.
    void clipboardText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cells"); // rows joined by "|", cells by ","
        QTest::addColumn<bool>("cut");
        QTest::newRow("CR LF, last line end") << "a\tb\r\nc\r\n" << "a,b|c" << false;
        QTest::newRow("CR alone, empty cells") << "\t\rx" << ",|x" << false;
        QTest::newRow("quoted tab, line break, quote") << "\"a\tb\"\t\"1\n\"\"2\"" << "a\tb,1\n\"2" << false;
        QTest::newRow("more rows and cells") << "a\tb\tc\nd\ne" << "a,b|d" << true;
    }

    void clipboardText()
    {
        QFETCH(QString, text);
        QFETCH(QString, cells);
        QFETCH(bool, cut);
        const TextCells read = readTextCells(text, 2, 2);
        QStringList rows;
        for (const QStringList &row : read.rows)
            rows << row.join(u',');
        QCOMPARE(rows.join(u'|'), cells);
        QCOMPARE(read.cutRows || read.cutCols, cut);
        // Written as a copy writes it, the cells come back the same.
        TableData table = TableData::standard();
        table.setRows(1 + int(read.rows.size()));
        std::vector<GridCell> chosen;
        for (std::size_t r = 0; r < read.rows.size(); ++r) {
            for (qsizetype c = 0; c < 2; ++c) {
                table.setText(int(r) + 1, Col::Name + int(c), read.rows[r].value(c));
                chosen.push_back({int(r) + 1, Col::Name + int(c)});
            }
        }
        const TextCells again = readTextCells(blockAsText(table, cellBlock(chosen)), 2, 2);
        for (std::size_t r = 0; r < read.rows.size(); ++r)
            QCOMPARE(again.rows[r].mid(0, read.rows[r].size()), read.rows[r]);
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
