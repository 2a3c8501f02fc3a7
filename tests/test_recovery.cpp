#include "import/dbc_import.h"
#include "import/signal_details.h"
#include "keys/key_marking.h"
#include "reader_support.h"
#include "recovery/recovery_keeper.h"
#include "table/signal_table.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace {

// Everything a copy must carry back: texts with line ends, separators, NUL and
// characters outside the code page, colours that a load would not give them, row
// icons, hand-made columns, update marks with their notes.
TableData hostileTable()
{
    TableData table = TableData::standard();
    table.setRows(1);
    table.setText(0, Col::Description, QStringLiteral("Receivers//ECUs"));
    table.appendRow({u"1", u"0 100", u"0|16", u"2", u"0", u"Engine\rSpeed", u"rpm\n", u"0.25", u"0", u"ECU;BCM", u"",
                     u"A;B"});
    table.appendRow({u"2", u"0 100", u"16|8", u"1", u"0", u"Temp\u03a9\u20ac", u"\u00b0C", u"1", u"-40", u"a\tb", u"",
                     u"A;B"});
    table.appendRow({u"3", u"0 101", u"0|8", u"1", u"0", QStringView(u"nul\0here", 8), u"\U0001F600", u"1", u"0",
                     u"\r\n", u"M", u"GEAR"});
    table.appendRow({u"", u"", u"", u"", u"", u"typed by hand"});
    table.setFixedRows(1);
    for (int row = 1; row <= 3; ++row)
        table.setRowIcon(row, true);
    markAllKeys(table);
    table.setColour(4, Col::Key, CellColour::Default);
    table.setColour(2, Col::Unit, CellColour::DuplicateKey);
    table.setHandMade(4, 1 << Col::Name | 1 << Col::MinMax);
    table.setRowMark(1, RowMark::Changed, QStringLiteral("Scale 0.5 \u2192 0.25\r\nunit"));
    table.setRowMark(4, RowMark::Added, {});
    return table;
}

// A DBC import with comments, value descriptions and a cycle time.
TableData importedTable()
{
    double messageId = 0;
    return ReadDBC(QStringLiteral(TESSALY_TEST_DATA "/dbc/test.dbc"), TableData::standard(), messageId).table;
}

// What tableDump leaves out.
QStringList fullDump(const TableData &table)
{
    QStringList dump = tableDump(table);
    for (int row = 0; row < table.rows(); ++row)
        dump[row] += QStringLiteral("|%1|%2|%3|%4")
                             .arg(table.handMade(row))
                             .arg(int(table.rowMark(row)))
                             .arg(table.rowNote(row), detailsText(table, row));
    dump.append(QString::number(table.fixedRows()));
    return dump;
}

QStringList files(const QString &folder, const QString &pattern = QStringLiteral("*"))
{
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
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

// A copy file: magic, version and payload size, the payload's SHA-256, the payload.
constexpr int hashAt = 20;
constexpr int payloadAt = 52;

// The copy of a table of one row ("ab" in its first cell) with one mark; its payload
// holds the file name at 0, the time at 4, the row count at 12, the row's text at 16,
// its cell lengths at 24, colours at 80, hand-made bits at 94, icon at 96, the fixed
// rows at 97, the mark count at 101, the mark (row, kind, note) at 105 and whether DBC
// details follow at 114.
QByteArray smallCopy()
{
    TableData table;
    table.appendRow({u"ab"});
    table.setRowMark(0, RowMark::Added, {});
    QTemporaryDir dir;
    RecoveryStore store(dir.path());
    if (!store.write(table, {}, QDateTime::fromMSecsSinceEpoch(0, Qt::UTC)).isEmpty())
        return {};
    QFile file(store.copyPath(store.ownId()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray patched(QByteArray bytes, int at, const QByteArray &with)
{
    return bytes.replace(at, with.size(), with);
}

// The same with the checksum made to fit, as a careful forger would.
QByteArray sealed(QByteArray bytes, int at, const QByteArray &with)
{
    bytes = patched(bytes, payloadAt + at, with);
    return patched(bytes, hashAt, QCryptographicHash::hash(bytes.mid(payloadAt), QCryptographicHash::Sha256));
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
        QTest::newRow("hostile texts, colours, icons, marks") << hostileTable();
        QTest::newRow("DBC details") << importedTable();
    }

    void writeAndRecover()
    {
        QFETCH(TableData, table);
        QTemporaryDir dir;
        const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 8), Qt::UTC);
        const QString file = QStringLiteral("C:\\data\\car;\r\n\u20ac.dbc");
        RecoveryStore(dir.path()).write(TableData::standard(), QStringLiteral("old.dbc"), time.addSecs(-9));
        {
            RecoveryStore crashed(dir.path());
            const qsizetype memory = table.memoryBytes();
            for (int write = 0; write < 3; ++write)
                QCOMPARE(crashed.write(table, file, time), QString());
            QCOMPARE(table.memoryBytes(), memory); // writing kept no UTF-16 copy of the texts
            const QString id = crashed.ownId();
            QCOMPARE(files(dir.path(), id + u'*'), (QStringList{id + QStringLiteral(".lock"), id + QStringLiteral(".recovery")}));
            QCOMPARE(files(dir.path()).size(), 3);
        }
        RecoveryStore next(dir.path());
        QStringList notes;
        const QList<RecoveryCopy> copies = next.orphans(notes);
        QCOMPARE(notes, QStringList());
        QCOMPARE(copies.size(), 2);
        QCOMPARE((std::tuple(copies[0].file, copies[0].time, copies[0].rows, copies[1].file)),
                 std::tuple(file, time, table.rows(), QStringLiteral("old.dbc")));
        const ImportResult recovered = next.load(copies[0]);
        QCOMPARE(recovered.error, QString());
        QCOMPARE(fullDump(recovered.table), fullDump(table));
        QCOMPARE(recovered.table.keyIndex().sharedRows().size(), table.keyIndex().sharedRows().size());
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
        const QString lockPath = running->lockPath(id);
        running.reset();
        leaveLock(lockPath, "elsewhere");
        QCOMPARE(second.orphans(notes).size(), 0); // however old its lock
        // A lock file a power cut left empty: a program may be creating it right now,
        // but not for long.
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.close();
        QCOMPARE(second.orphans(notes).size(), 0);
        QVERIFY(lock.remove());
        leaveLock(lockPath);
        QList<RecoveryCopy> copies = second.orphans(notes);
        QCOMPARE(copies.size(), 1);
        RecoveryStore third(dir.path());
        QCOMPARE(third.orphans(notes).size(), 0); // while the second one asks about it
        second.release(copies[0]);
        copies = third.orphans(notes);
        QCOMPARE(copies.size(), 1);
        third.discard(copies[0]);
        QCOMPARE(files(dir.path()), QStringList());
        QCOMPARE(notes, QStringList());
    }

    // What a power cut, a failing disk or another program may leave in the folder.
    void damagedCopies_data()
    {
        QTest::addColumn<QString>("name"); // "ID" stands for the copy's id
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("offered");
        QTest::addColumn<bool>("kept");
        const QByteArray good = smallCopy();
        QVERIFY(good.size() == payloadAt + 115);
        const QByteArray four1("\0\0\0\1", 4);
        const QByteArray huge("\xff\xff\xff\xff", 4);
        const auto damaged = [](const char *what, const QByteArray &content) {
            QTest::newRow(what) << QStringLiteral("ID.recovery") << content << 0 << true;
        };
        QTest::newRow("sound") << QStringLiteral("ID.recovery") << good << 1 << true;
        damaged("one byte changed", patched(good, payloadAt + 21, "b"));
        damaged("checksum changed", patched(good, hashAt + 31, QByteArray(1, char(good[hashAt + 31] ^ 1))));
        damaged("junk of the same length", QByteArray(good.size(), 'x'));
        damaged("payload junk of the same length", good.left(payloadAt) + QByteArray(good.size() - payloadAt, 'x'));
        damaged("cut short", good.chopped(1));
        damaged("a byte more", good + '\0');
        damaged("empty", QByteArray(""));
        damaged("an older version", patched(good, 11, "\1"));
        damaged("row count huge", sealed(good, 12, huge));
        damaged("row count past the end", sealed(good, 12, "\x7f\xff\xff\xff"));
        damaged("row count one more", sealed(good, 12, QByteArray("\0\0\0\2", 4)));
        damaged("text of an odd size", sealed(good, 16, QByteArray("\0\0\0\3", 4)));
        damaged("text past the end", sealed(good, 16, "\x7f\xff\xff\xfe"));
        damaged("cells shorter than the row", sealed(good, 24, four1));
        damaged("cell longer than the row", sealed(good, 24, QByteArray("\0\0\0\3", 4)));
        damaged("unknown colour", sealed(good, 80, "\3"));
        damaged("hand-made column past the last", sealed(good, 94, QByteArray("\x40\0", 2)));
        damaged("icon neither on nor off", sealed(good, 96, "\2"));
        damaged("heading row fixed in a table without signals", sealed(good, 97, four1));
        damaged("mark count huge", sealed(good, 101, huge));
        damaged("mark past the last row", sealed(good, 105, four1));
        damaged("unknown mark", sealed(good, 109, "\3"));
        damaged("details neither there nor not", sealed(good, 114, "\2"));
        QTest::newRow("foreign file beside") << QStringLiteral("notes.txt") << QByteArray("x") << 1 << true;
        QTest::newRow("temporary file of a save cut short")
                << QStringLiteral("ID.recovery.aB3dEf") << QByteArray("x") << 1 << false;
        QTest::newRow("lock file empty") << QStringLiteral("ID.lock") << QByteArray("") << 1 << true;
        QTest::newRow("lock file of junk") << QStringLiteral("ID.lock") << QByteArray("\x01\xff\n") << 1 << true;
    }

    void damagedCopies()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, offered);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        QString copyPath;
        {
            RecoveryStore crashed(dir.path());
            QCOMPARE(crashed.write(TableData::standard(), {}, QDateTime::currentDateTimeUtc()), QString());
            copyPath = crashed.copyPath(crashed.ownId());
            name.replace(QStringLiteral("ID"), crashed.ownId());
        }
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size());
        QVERIFY(file.flush() && file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
        file.close();
        RecoveryStore next(dir.path());
        QStringList said;
        QCOMPARE(next.orphans(said).size(), offered);
        // Whatever is passed over is said, naming the file.
        QCOMPARE(said.size(), name.endsWith(QStringLiteral(".txt")) || offered == 0 ? 1 : 0);
        if (!said.isEmpty())
            QVERIFY2(said[0].contains(QFileInfo(offered ? name : copyPath).fileName()), qPrintable(said[0]));
        QCOMPARE(file.exists(), kept);
    }

    // Steps: "c<t>" a change at time t, "=<t>" the next copy is due at t (-1: none),
    // "n<t>" at t no copy is written yet, "w<t>" at t a copy is written.
    void schedule_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("quiet after the last change") << QStringList{"c0", "c1000", "c2500", "=4500", "n4499", "w4500", "=-1"};
        QTest::newRow("longest wait while changes go on")
                << QStringList{"c0", "c1500", "c3000", "c4500", "c6000", "c7500", "c9000", "=10000", "w10000"};
        QTest::newRow("least interval after a write") << QStringList{"c0", "w2000", "c2500", "=7000", "n6999", "w7000"};
        QTest::newRow("longest wait from the first change after a write")
                << QStringList{"c0", "w2000", "c3000", "c5000", "c7000", "c9000", "c11000", "c12500", "=13000"};
    }

    void schedule()
    {
        QFETCH(QStringList, steps);
        QTemporaryDir dir;
        SignalTable table;
        RecoveryKeeper keeper(table, dir.path());
        qint64 now = 0;
        keeper.setClock([&now] { return now; });
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        for (const QString &step : std::as_const(steps)) {
            const qint64 t = step.mid(1).toLongLong();
            if (step[0] == u'=') {
                QCOMPARE(keeper.nextWrite(), t);
                continue;
            }
            now = t;
            if (step[0] == u'c') {
                table.editText(1, Col::Name, step);
            } else if (step[0] == u'n') {
                QVERIFY(!keeper.writeIfDue());
            } else {
                QVERIFY(keeper.writeIfDue());
                QVERIFY(written.wait(5000));
            }
        }
    }

    void keeper()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        SignalTable table;
        RecoveryKeeper keeper(table, folder);
        qint64 now = 0;
        keeper.setClock([&now] { return now; });
        QSignalSpy written(&keeper, &RecoveryKeeper::written);
        QSignalSpy failed(&keeper, &RecoveryKeeper::writeFailed);
        const auto changeAndWrite = [&](const QString &text) {
            table.editText(1, Col::Name, text);
            now += 60000;
            return keeper.writeIfDue();
        };
        for (const QString &text : {QStringLiteral("x"), QStringLiteral("y\r\n"), QStringLiteral("z")}) {
            QVERIFY(changeAndWrite(text));
            QVERIFY(written.wait(5000));
        }
        const QString id = keeper.store().ownId();
        QCOMPARE(files(folder), (QStringList{id + QStringLiteral(".lock"), id + QStringLiteral(".recovery")}));
        table.setUnsavedChanges(false); // saved
        QCOMPARE(files(folder), QStringList());

        // The folder cannot be written any more: one warning, however many writes fail.
        QFile blocker(folder);
        QVERIFY(QDir(folder).removeRecursively() && blocker.open(QIODevice::WriteOnly));
        QVERIFY(changeAndWrite(QStringLiteral("a")));
        QVERIFY(failed.wait(5000));
        QVERIFY(changeAndWrite(QStringLiteral("b")));
        QTRY_VERIFY(!keeper.writing());
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "test_recovery.moc"
