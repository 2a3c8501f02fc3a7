#include "csv/results_csv.h"
#include "keys/key_marking.h"
#include "recovery/recovery_keeper.h"
#include "table/signal_table.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// Everything of a table: fixed rows, row icons, texts and colours.
QString dump(const TableData &table)
{
    QString text = QString::number(table.fixedRows());
    for (int row = 0; row < table.rows(); ++row) {
        text += u'\n' + QString::number(table.rowIcon(row));
        for (int col = 0; col < TableData::cols(); ++col)
            text += u'|' + table.text(row, col) + QString::number(int(table.colour(row, col)));
    }
    return text;
}

// Imported rows with icons, keys shared and not, and texts a results CSV cannot
// carry: separators (one in a shared key), a character outside the code page, "//"
// in a heading.
TableData importedTable()
{
    TableData table = TableData::standard();
    table.setRows(1);
    table.setText(0, Col::Description, QStringLiteral("Receivers//ECUs"));
    table.appendRow({u"1", u"0 100", u"0|16", u"2", u"0", u"EngineSpeed", u"rpm", u"0.25", u"0", u"ECU;BCM", u"",
                     u"A;B"});
    table.appendRow({u"2", u"0 100", u"16|8", u"1", u"0", u"Temp\u03a9", u"\u00b0C", u"1", u"-40", u"a\tb", u"",
                     u"A;B"});
    table.appendRow({u"3", u"0 101", u"0|8", u"1", u"0", u"Gear", u"", u"1", u"0", u"", u"M", u"GEAR"});
    table.appendRow({u"", u"", u"", u"", u"", u"typed by hand"});
    table.setFixedRows(1);
    for (int row = 1; row <= 3; ++row)
        table.setRowIcon(row, true);
    markAllKeys(table);
    table.setColour(4, Col::Key, CellColour::Default);
    return table;
}

QStringList files(const QString &folder, const QString &pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files);
}

// The lock file of a program that was killed (its process is gone), or, with
// `host`, of one that runs on another machine sharing the folder.
void leaveLock(const QString &lockPath, const QByteArray &host = {})
{
    QProcess gone;
    gone.start(QStringLiteral("true"));
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    QByteArrayList lines;
    {
        QLockFile lock(lockPath);
        QVERIFY(lock.tryLock(0));
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        lines = file.readAll().split('\n'); // pid, program, host, machine, ...
    }
    lines[0] = QByteArray::number(pid);
    if (!host.isEmpty()) {
        lines[2] = host;
        lines[3] = host; // the machine's id
    }
    QFile file(lockPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines.join('\n'));
    QVERIFY(file.flush());
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void writeAndRecover_data()
    {
        QTest::addColumn<TableData>("table");
        QTest::newRow("new table") << TableData::standard();
        QTest::newRow("no rows") << TableData();
        QTest::newRow("imported, shared keys, odd texts") << importedTable();
    }

    void writeAndRecover()
    {
        QFETCH(TableData, table);
        QTemporaryDir dir;
        const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
        {
            RecoveryStore crashed(dir.path());
            QCOMPARE(crashed.write(TableData::standard(), QStringLiteral("old.dbc"), time.addSecs(-9)), QString());
            QCOMPARE(crashed.write(table, QStringLiteral("C:\\data\\car.dbc"), time), QString());
        }
        RecoveryStore next(dir.path());
        QStringList notes;
        const QList<RecoveryCopy> copies = next.orphans(notes);
        QCOMPARE(notes, QStringList());
        QCOMPARE(copies.size(), 1);
        QCOMPARE(copies[0].file, QStringLiteral("C:\\data\\car.dbc"));
        QCOMPARE(copies[0].time, time);
        QCOMPARE(copies[0].rows, table.rows());
        const ImportResult recovered = next.load(copies[0]);
        QCOMPARE(recovered.error, QString());
        QCOMPARE(dump(recovered.table), dump(table));
        QCOMPARE(resultsCsvBytes(recovered.table), resultsCsvBytes(table));
        QCOMPARE(files(dir.path(), QStringLiteral("*.csv")).size(), 1); // the first write's CSV is gone
    }

    void locks()
    {
        QTemporaryDir dir;
        auto running = std::make_unique<RecoveryStore>(dir.path());
        QCOMPARE(running->write(TableData::standard(), {}, QDateTime::currentDateTimeUtc()), QString());
        QStringList notes;
        RecoveryStore second(dir.path());
        QCOMPARE(second.orphans(notes).size(), 0);

        const QString id = running->ownId();
        running.reset();
        leaveLock(dir.filePath(id + QStringLiteral(".lock")), "elsewhere");
        QCOMPARE(second.orphans(notes).size(), 0); // however old its lock
        leaveLock(dir.filePath(id + QStringLiteral(".lock")));
        QList<RecoveryCopy> copies = second.orphans(notes);
        QCOMPARE(copies.size(), 1);
        RecoveryStore third(dir.path());
        QCOMPARE(third.orphans(notes).size(), 0); // while the second one asks about it
        second.release(copies[0]);
        copies = third.orphans(notes);
        QCOMPARE(copies.size(), 1);
        third.discard(copies[0]);
        QCOMPARE(files(dir.path(), QStringLiteral("*")), QStringList());
        QCOMPARE(notes, QStringList());
    }

    void damagedCopies_data()
    {
        QTest::addColumn<std::function<void(const QString &, const QString &)>>("damage");
        QTest::addColumn<int>("offered");
        using Damage = std::function<void(const QString &, const QString &)>;
        const auto cutCsv = [](const QString &folder, const QString &id) {
            QFile csv(QDir(folder).filePath(id + QStringLiteral(".1.csv")));
            QVERIFY(csv.resize(csv.size() - 3));
        };
        const auto overwrite = [](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        QTest::newRow("CSV cut short") << Damage(cutCsv) << 0;
        QTest::newRow("CSV missing") << Damage([](const QString &folder, const QString &id) {
            QVERIFY(QFile::remove(QDir(folder).filePath(id + QStringLiteral(".1.csv"))));
        }) << 0;
        QTest::newRow("header not JSON") << Damage([overwrite](const QString &folder, const QString &id) {
            overwrite(QDir(folder).filePath(id + QStringLiteral(".json")), "\x01\xff{{");
        }) << 0;
        QTest::newRow("foreign file beside") << Damage([overwrite](const QString &folder, const QString &) {
            overwrite(QDir(folder).filePath(QStringLiteral("notes.txt")), "x");
        }) << 1;
    }

    void damagedCopies()
    {
        QFETCH(std::function<void(const QString &, const QString &)>, damage);
        QFETCH(int, offered);
        QTemporaryDir dir;
        QString id;
        {
            RecoveryStore crashed(dir.path());
            id = crashed.ownId();
            QCOMPARE(crashed.write(importedTable(), {}, QDateTime::currentDateTimeUtc()), QString());
        }
        damage(dir.path(), id);
        RecoveryStore next(dir.path());
        QStringList notes;
        QCOMPARE(next.orphans(notes).size(), offered);
        QCOMPARE(notes.size(), 1);
    }

    void keeper()
    {
        QTemporaryDir dir;
        SignalTable table;
        RecoveryKeeper keeper(table, dir.path());
        keeper.setDelays(50, 200, 100);
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        table.editText(1, Col::Name, QStringLiteral("x"));
        QVERIFY(written.wait(3000));
        QCOMPARE(files(dir.path(), QStringLiteral("*.json")).size(), 1);
        table.setUnsavedChanges(false); // saved
        QCOMPARE(files(dir.path(), QStringLiteral("*")), QStringList());

        // A folder that cannot be made: one warning, and the table goes on.
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        SignalTable other;
        RecoveryKeeper failing(other, blocker.fileName() + QStringLiteral("/recovery"));
        failing.setDelays(10, 50, 20);
        QSignalSpy failed(&failing, &RecoveryKeeper::writeFailed);
        other.editText(1, Col::Name, QStringLiteral("a"));
        QVERIFY(failed.wait(3000));
        other.editText(1, Col::Name, QStringLiteral("b"));
        QTest::qWait(300);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(other.grid().text(1, Col::Name), QStringLiteral("b"));
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "test_recovery.moc"
