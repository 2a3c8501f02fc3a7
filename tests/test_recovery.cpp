#include "keys/key_marking.h"
#include "reader_support.h"
#include "recovery/recovery_keeper.h"
#include "table/signal_table.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace {

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
    QLockFile lock(lockPath);
    QVERIFY(lock.tryLock(0));
    QFile file(lockPath);
    QByteArrayList lines = (file.open(QIODevice::ReadOnly), file.readAll().split('\n')); // pid, program, host, machine
    file.close();
    lock.unlock();
    lines[0] = QByteArray::number(pid);
    if (!host.isEmpty())
        lines[2] = lines[3] = host;
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lines.join('\n')) > 0 && file.flush());
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
        QCOMPARE(copies.size(), 1);
        QCOMPARE((std::tuple(copies[0].file, copies[0].time, copies[0].rows)),
                 std::tuple(QStringLiteral("C:\\data\\car.dbc"), time, table.rows()));
        const ImportResult recovered = next.load(copies[0]);
        QCOMPARE(tableDump(recovered.table), tableDump(table));
        QCOMPARE(recovered.table.fixedRows(), table.fixedRows());
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
    }

    // What a power cut or another program may leave in the folder.
    void damagedCopies_data()
    {
        QTest::addColumn<QString>("name"); // "ID" stands for the copy's id
        QTest::addColumn<QByteArray>("content"); // null: the file is removed
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("notes");
        QTest::addColumn<bool>("kept");
        QTest::newRow("CSV cut short") << "ID.1.csv" << QByteArray("//CAN ID;\r\n") << 0 << 1 << true;
        QTest::newRow("CSV missing") << "ID.1.csv" << QByteArray() << 0 << 1 << false;
        QTest::newRow("header not JSON") << "ID.json" << QByteArray("\x01\xff{{") << 0 << 1 << true;
        QTest::newRow("foreign file beside") << "notes.txt" << QByteArray("x") << 1 << 1 << true;
        QTest::newRow("CSV of a write cut short") << "ID.2.csv" << QByteArray("x") << 1 << 0 << false;
    }

    void damagedCopies()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, offered);
        QFETCH(int, notes);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        auto crashed = std::make_unique<RecoveryStore>(dir.path());
        QCOMPARE(crashed->write(importedTable(), {}, QDateTime::currentDateTimeUtc()), QString());
        QFile file(dir.filePath(name.replace(QStringLiteral("ID"), crashed->ownId())));
        crashed.reset();
        QVERIFY(content.isNull() ? file.remove() : file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        file.close();
        RecoveryStore next(dir.path());
        QStringList said;
        QCOMPARE(next.orphans(said).size(), offered);
        QCOMPARE(said.size(), notes);
        QCOMPARE(file.exists(), kept);
    }

    void keeper()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        SignalTable table;
        RecoveryKeeper keeper(table, folder);
        keeper.setDelays(50, 200, 100);
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        QSignalSpy failed(&keeper, &RecoveryKeeper::writeFailed);
        table.editText(1, Col::Name, QStringLiteral("x"));
        QVERIFY(written.wait(3000));
        QCOMPARE(files(folder, QStringLiteral("*.json")).size(), 1);
        table.setUnsavedChanges(false); // saved
        QCOMPARE(files(folder, QStringLiteral("*")), QStringList());

        // The folder cannot be written any more: one warning, however many writes fail.
        QFile blocker(folder);
        QVERIFY(QDir(folder).removeRecursively() && blocker.open(QIODevice::WriteOnly));
        table.editText(1, Col::Name, QStringLiteral("a"));
        QVERIFY(failed.wait(3000));
        table.editText(1, Col::Name, QStringLiteral("b"));
        QTest::qWait(400);
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "test_recovery.moc"
