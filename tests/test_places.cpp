#include "app/dialog_folder.h"
#include "keys/key_list_places.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Temporary folders laid out like an installed program (prefix/bin, prefix/share/
// tessaly) plus a user folder and a documents folder.
struct Places
{
    Places()
    {
        for (const char *folder : {"user", "prefix/bin", "prefix/share/tessaly", "documents"})
            QDir(dir.path()).mkpath(QLatin1String(folder));
    }
    KeyListPlaces places() const
    {
        const QString program = dir.filePath("prefix/bin");
        return {dir.filePath("user"), program, KeyListPlaces::installedFolderOf(program)};
    }
    // A key list whose one key names the place it lies in.
    void writeKeyList(const QString &folder, const QByteArray &key)
    {
        QFile file(QDir(dir.filePath(folder)).filePath(KeyList::fileName()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(key + ";x;" + key + "\r\n");
    }
    DialogFolder dialogFolder() const
    {
        return {places(), dir.filePath("user/tessaly.conf"), dir.filePath("documents")};
    }

    QTemporaryDir dir;
};

} // namespace

class TestPlaces : public QObject
{
    Q_OBJECT

private slots:
    void firstKeyListFoundWins_data();
    void firstKeyListFoundWins();
    void missingKeyListNamesThePlacesLookedAt();
    void dialogsStartWhereTheProgramLives_data();
    void dialogsStartWhereTheProgramLives();
};

void TestPlaces::firstKeyListFoundWins_data()
{
    QTest::addColumn<QStringList>("present"); // folders holding a key list
    QTest::addColumn<bool>("chosen");         // --keys names the list in "chosen"
    QTest::addColumn<QString>("items");
    const QStringList all{"user", "prefix/bin", "prefix/share/tessaly"};
    QTest::newRow("--keys before all") << all << true << "CHOS - CHOS";
    QTest::newRow("user folder") << all << false << "USER - USER";
    QTest::newRow("beside the program") << all.mid(1) << false << "PROG - PROG";
    QTest::newRow("installed default") << all.mid(2) << false << "INST - INST";
}

void TestPlaces::firstKeyListFoundWins()
{
    QFETCH(QStringList, present);
    QFETCH(bool, chosen);
    QFETCH(QString, items);
    Places p;
    const QHash<QString, QByteArray> keys{{"user", "USER"}, {"prefix/bin", "PROG"}, {"prefix/share/tessaly", "INST"}};
    for (const QString &folder : present)
        p.writeKeyList(folder, keys.value(folder));
    QDir(p.dir.path()).mkpath("chosen");
    p.writeKeyList("chosen", "CHOS");
    const QString chosenFile = chosen ? p.dir.filePath("chosen/" + KeyList::fileName()) : QString();
    const KeyList list = loadKeyList(chosenFile, p.places());
    QCOMPARE(list.warning, QString());
    QCOMPARE(list.items, QStringList{items});
}

void TestPlaces::missingKeyListNamesThePlacesLookedAt()
{
    Places p;
    p.writeKeyList("prefix/share/tessaly", "INST");
    // A list named on the command line is read or reported, never replaced by another.
    const QString missing = p.dir.filePath("nowhere.CSV");
    KeyList list = loadKeyList(missing, p.places());
    QCOMPARE(list.items, QStringList());
    QVERIFY2(list.warning.contains(QDir::toNativeSeparators(missing)), qPrintable(list.warning));

    QVERIFY(QFile::remove(p.dir.filePath("prefix/share/tessaly/" + KeyList::fileName())));
    list = loadKeyList({}, p.places());
    QCOMPARE(list.items, QStringList());
    for (const QString &file : p.places().files())
        QVERIFY2(list.warning.contains(QDir::toNativeSeparators(file)), qPrintable(list.warning));
}

void TestPlaces::dialogsStartWhereTheProgramLives_data()
{
    QTest::addColumn<bool>("keysBesideProgram");
    QTest::addColumn<bool>("installedData");
    QTest::addColumn<bool>("chooseFile");   // a file was chosen in the previous run
    QTest::addColumn<bool>("removeFolder"); // and its folder is gone since
    QTest::addColumn<QString>("start");     // "program", "documents" or "chosen"
    QTest::newRow("build folder") << true << false << true << false << "program";
    QTest::newRow("copied program folder beside installed data") << true << true << true << false << "program";
    QTest::newRow("no data folder") << false << false << true << false << "program";
    QTest::newRow("installed, first run") << false << true << false << false << "documents";
    QTest::newRow("installed, folder of the last run") << false << true << true << false << "chosen";
    QTest::newRow("installed, last folder gone") << false << true << true << true << "documents";
}

void TestPlaces::dialogsStartWhereTheProgramLives()
{
    QFETCH(bool, keysBesideProgram);
    QFETCH(bool, installedData);
    QFETCH(bool, chooseFile);
    QFETCH(bool, removeFolder);
    QFETCH(QString, start);
    Places p;
    if (keysBesideProgram)
        p.writeKeyList("prefix/bin", "PROG");
    if (!installedData)
        QVERIFY(QDir(p.dir.filePath("prefix/share/tessaly")).removeRecursively());
    const QString chosen = p.dir.filePath("work/cars");
    QDir(p.dir.path()).mkpath("work/cars");
    if (chooseFile) {
        const DialogFolder firstRun = p.dialogFolder();
        const QString next = firstRun.afterChoice(chosen + "/car.dbc", firstRun.start());
        QCOMPARE(next, start == "program" ? p.dir.filePath("prefix/bin") : chosen);
    }
    if (removeFolder)
        QVERIFY(QDir(chosen).removeRecursively());
    const QHash<QString, QString> expected{{"program", p.dir.filePath("prefix/bin")},
                                           {"documents", p.dir.filePath("documents")},
                                           {"chosen", chosen}};
    QCOMPARE(p.dialogFolder().start(), expected.value(start));
}

QTEST_GUILESS_MAIN(TestPlaces)
#include "test_places.moc"
