#include "app/dialog_folder.h"
#include "keys/key_list_places.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// An installed layout in `dir`: u(ser folder), p(rogram) = bin, i(nstalled data) =
// share/tessaly, c (a folder of the user's), d(ocuments).
QString place(const QTemporaryDir &dir, QChar c)
{
    return dir.filePath(c == 'p' ? "bin" : c == 'i' ? "share/tessaly" : QString(c));
}

// Makes the folders, with a key list in those named in `lists` whose key is the
// place's letter four times.
KeyListPlaces layOut(const QTemporaryDir &dir, const QString &lists)
{
    for (const QChar c : QStringLiteral("upicd"))
        QDir().mkpath(place(dir, c));
    for (const QChar c : lists) {
        QFile file(QDir(place(dir, c)).filePath(KeyList::fileName()));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(4, c.toLatin1()) + ";x;y\r\n");
    }
    return {place(dir, 'u'), place(dir, 'p'), KeyListPlaces::installedFolderOf(place(dir, 'p'))};
}

} // namespace

class TestPlaces : public QObject
{
    Q_OBJECT

private slots:
    void firstKeyListFoundWins_data()
    {
        QTest::addColumn<QString>("lists");
        QTest::addColumn<QString>("keys"); // the file in "c" given with --keys
        QTest::addColumn<QString>("read"); // the key read; else the places the warning names
        QTest::newRow("--keys before all") << "upic" << KeyList::fileName() << "cccc";
        QTest::newRow("user folder") << "upic" << "" << "uuuu";
        QTest::newRow("beside the program") << "pic" << "" << "pppp";
        QTest::newRow("installed default") << "ic" << "" << "iiii";
        QTest::newRow("--keys missing, never replaced") << "upic" << "missing" << "c";
        QTest::newRow("none found") << "c" << "" << "upi";
    }

    void firstKeyListFoundWins()
    {
        QFETCH(QString, lists);
        QFETCH(QString, keys);
        QFETCH(QString, read);
        QTemporaryDir dir;
        const KeyListPlaces places = layOut(dir, lists);
        const QString chosen = keys.isEmpty() ? QString() : QDir(place(dir, 'c')).filePath(keys);
        const KeyList list = loadKeyList(chosen, places);
        QCOMPARE(list.items, read.size() == 4 ? QStringList{read + " - y"} : QStringList());
        for (const QChar c : read.size() == 4 ? QString() : read)
            QVERIFY(list.warning.contains(QDir::toNativeSeparators(place(dir, c) + '/' + (c == 'c' ? keys : KeyList::fileName()))));
    }

    void dialogsStartWhereTheProgramLives_data()
    {
        QTest::addColumn<QString>("lists"); // "-": no installed data folder
        QTest::addColumn<QString>("last");  // the last run chose a file in "c"; "gone": and removed "c"
        QTest::addColumn<QChar>("start");
        QTest::newRow("copied program folder") << "p" << "c" << QChar('p');
        QTest::newRow("no data folder") << "u-" << "c" << QChar('p');
        QTest::newRow("installed, first run") << "u" << "" << QChar('d');
        QTest::newRow("installed, folder of the last run") << "u" << "c" << QChar('c');
        QTest::newRow("installed, last folder gone") << "u" << "gone" << QChar('d');
    }

    void dialogsStartWhereTheProgramLives()
    {
        QFETCH(QString, lists);
        QFETCH(QString, last);
        QFETCH(QChar, start);
        QTemporaryDir dir;
        const KeyListPlaces places = layOut(dir, lists.left(1));
        if (lists.endsWith('-'))
            QDir(place(dir, 'i')).removeRecursively();
        const auto run = [&] { return DialogFolder(places, place(dir, 'u') + "/tessaly.conf", place(dir, 'd')); };
        if (!last.isEmpty())
            QCOMPARE(run().afterChoice(place(dir, 'c') + "/car.dbc", run().start()), place(dir, start == 'p' ? 'p' : 'c'));
        if (last == "gone")
            QDir(place(dir, 'c')).removeRecursively();
        QCOMPARE(run().start(), place(dir, start));
    }
};

QTEST_GUILESS_MAIN(TestPlaces)
#include "test_places.moc"
