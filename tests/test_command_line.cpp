#include "window_fixture.h"

#include "app/command_line.h"
#include "csv/results_csv.h"
#include "recovery/recovery_keeper.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program as a script would, with nothing in its environment but PATH:
// no display, no platform setting.
Run runTessaly(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSALY_EXECUTABLE), arguments);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// What the window saves after opening `input` at start-up.
QByteArray savedByWindow(const QString &input, const QString &out)
{
    WindowFixture f;
    f.window->openFile(input);
    f.dialogs->answers = {Dialogs::Answer::Yes}; // cells that hold ";" are saved as they are
    return f.saveAs(out);
}

void sendDrop(QWidget *target, const QList<QUrl> &urls, bool *accepted)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    *accepted = enter.isAccepted();
    if (!*accepted)
        return;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// Starts the program with a window on the offscreen platform, its data folder in
// `home`, and `answer` to the recovery question.
void startWindow(QProcess &process, const QString &home, const QString &answer, const QStringList &arguments)
{
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("HOME", home);
    environment.insert("XDG_DATA_HOME", home + "/data");
    environment.insert("XDG_CONFIG_HOME", home + "/config");
    environment.insert("TESSALY_RECOVERY_ANSWER", answer);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSALY_EXECUTABLE), arguments);
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        using M = CommandLine::Mode;
        QTest::newRow("nothing") << QStringList{"tessaly"} << int(M::Window) << "" << "";
        QTest::newRow("file") << QStringList{"tessaly", "a.dbc"} << int(M::Window) << "a.dbc" << "";
        QTest::newRow("export") << QStringList{"tessaly", "--export", "o.csv", "a.dbc"} << int(M::Export) << "a.dbc" << "o.csv";
        QTest::newRow("export after file") << QStringList{"tessaly", "a.xml", "--export=o.csv"} << int(M::Export) << "a.xml" << "o.csv";
        QTest::newRow("export without value") << QStringList{"tessaly", "--export"} << int(M::Error) << "" << "";
        QTest::newRow("two files") << QStringList{"tessaly", "a.dbc", "b.dbc"} << int(M::Error) << "" << "";
        QTest::newRow("update") << QStringList{"tessaly", "--update", "o.csv", "n.dbc", "--export", "u.csv"} << int(M::Update) << "n.dbc" << "u.csv";
        QTest::newRow("update without export") << QStringList{"tessaly", "--update", "o.csv", "n.dbc"} << int(M::Error) << "" << "";
        QTest::newRow("report without update") << QStringList{"tessaly", "--report", "r.txt", "--export", "u.csv", "n.dbc"} << int(M::Error) << "" << "";
        QTest::newRow("suggest") << QStringList{"tessaly", "--suggest", "a.dbc", "--keys", "k.csv"} << int(M::Suggest) << "a.dbc" << "";
        QTest::newRow("suggest and a file") << QStringList{"tessaly", "--suggest", "a.dbc", "b.dbc"} << int(M::Error) << "" << "";
        QTest::newRow("help") << QStringList{"tessaly", "--help"} << int(M::Help) << "" << "";
        QTest::newRow("version") << QStringList{"tessaly", "--version"} << int(M::Version) << "" << "";
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(QString, input);
        QFETCH(QString, output);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(int(line.mode), mode);
        if (line.mode == CommandLine::Mode::Error) {
            QVERIFY(!line.text.isEmpty());
            return;
        }
        QCOMPARE(line.input, input);
        QCOMPARE(line.output, output);
    }

    void exportGivesTheBytesTheWindowSaves_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("dbc") << fixture("engine.dbc") << QByteArray();
        // The "&amp;" of one item is a ";" that the saved row holds.
        QTest::newRow("xml") << fixture("receiver.PlexCanRXConfig")
                             << QByteArray("tessaly: warning: Row #6 holds a \";\", a tab or another control character "
                                           "in a cell. The results CSV separates its cells with \";\" and its lines with "
                                           "CR LF, so such a row does not load back as it was.\n");
        QTest::newRow("results csv") << fixture("results_shared_keys.csv") << QByteArray();
        QTest::newRow("real dbc") << fixture("dbc/vehicle.dbc") << QByteArray();
    }

    void exportGivesTheBytesTheWindowSaves()
    {
        QFETCH(QString, input);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        // The child runs in the C locale; so does the window here.
        QLocale::setDefault(QLocale::c());
        const QByteArray expected = savedByWindow(input, dir.filePath("window.CSV"));
        const Run run = runTessaly({"--export", dir.filePath("script.csv"), input});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, err);
        QCOMPARE(readAll(dir.filePath("script.csv")), expected);
    }

    void exportReportsFailures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("named");
        const QString missing = QDir::temp().filePath("tessaly-no-such-file.dbc");
        QTest::newRow("wrong extension") << QStringList{"--export", "o.csv", fixture("receiver_expected.csv") + ".txt"} << 1 << "Wrong File Format";
        QTest::newRow("missing input") << QStringList{"--export", "o.csv", missing} << 1 << missing;
        QTest::newRow("folder as input") << QStringList{"--export", "o.csv", "{folder}"} << 1 << "folder";
        QTest::newRow("unwritable output") << QStringList{"--export", "/nonexistent-folder/o.csv", fixture("engine.dbc")} << 1 << "/nonexistent-folder/o.csv";
        QTest::newRow("empty output name") << QStringList{"--export=", fixture("engine.dbc")} << 2 << "--export needs the name";
        QTest::newRow("no file") << QStringList{"--export", "o.csv"} << 2 << "--help";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "frobnicate";
        // No command writes over a file it reads, under whatever name.
        QTest::newRow("export onto its input") << QStringList{"--export", "{dbc}", "{dbc}"} << 2 << "same file";
        QTest::newRow("export onto its input, another path") << QStringList{"--export", "{dir}/../{base}/in.dbc", "{dbc}"} << 2 << "same file";
        QTest::newRow("update onto its table") << QStringList{"--update", "{csv}", "{dbc}", "--export", "{csv}"} << 2 << "same file";
        QTest::newRow("report onto the new file") << QStringList{"--update", "{csv}", "{dbc}", "--export", "{dir}/u.csv", "--report", "{dbc}"} << 2 << "same file";
        QTest::newRow("report onto the output") << QStringList{"--update", "{csv}", "{dbc}", "--export", "{dir}/u.csv", "--report", "{dir}/u.csv"} << 2 << "same file";
#ifdef Q_OS_UNIX
        QTest::newRow("export onto a link to its input") << QStringList{"--export", "{dir}/link.csv", "{dbc}"} << 2 << "same file";
        QTest::newRow("export onto a hard link to its input") << QStringList{"--export", "{dir}/hard.csv", "{dbc}"} << 2 << "same file";
#endif
        QTest::newRow("suggest for a missing file") << QStringList{"--suggest", missing} << 1 << missing;
    }

    void exportReportsFailures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, named);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.dbc"));
        const QByteArray dbc = readAll(fixture("engine.dbc"));
        const QByteArray csv = readAll(fixture("channels_a.csv"));
        writeFile(dir.filePath("in.dbc"), dbc);
        writeFile(dir.filePath("old.csv"), csv);
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(dir.filePath("in.dbc"), dir.filePath("link.csv")));
        QCOMPARE(::link(QFile::encodeName(dir.filePath("in.dbc")).constData(),
                        QFile::encodeName(dir.filePath("hard.csv")).constData()), 0);
#endif
        arguments.replaceInStrings("{folder}", dir.filePath("folder.dbc"));
        arguments.replaceInStrings("{dbc}", dir.filePath("in.dbc"));
        arguments.replaceInStrings("{csv}", dir.filePath("old.csv"));
        arguments.replaceInStrings("{dir}", dir.path());
        arguments.replaceInStrings("{base}", QFileInfo(dir.path()).fileName());
        const Run run = runTessaly(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(named.toLocal8Bit()), run.err.constData());
        QVERIFY(run.err.startsWith("tessaly: "));
        QVERIFY(!QFileInfo::exists("o.csv") && !QFileInfo::exists(dir.filePath("u.csv")));
        QCOMPARE(readAll(dir.filePath("in.dbc")), dbc);
        QCOMPARE(readAll(dir.filePath("old.csv")), csv);
    }

    void exportPassesWarningsOn()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("bad.dbc"), "BO_ 1 A: 8 X\n SG_ Broken 0|8\n");
        const Run run = runTessaly({"--export", dir.filePath("o.csv"), dir.filePath("bad.dbc")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.startsWith("tessaly: warning: "), run.err.constData());
        QVERIFY(readAll(dir.filePath("o.csv")).contains(";Broken;"));
    }

    void helpAndVersionNeedNoDisplay()
    {
        const Run help = runTessaly({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("--export <out.csv>"));
        const Run version = runTessaly({"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out.trimmed(), QByteArray("Tessaly " TESSALY_VERSION));
    }

    void suggestPrintsCandidatesPerKey()
    {
        const Run run = runTessaly({"--suggest", fixture("dbc/vehicle.dbc"), "--keys",
                                    QStringLiteral(TESSALY_TEST_DATA "/../../resources/Preassigned_keys.CSV")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("ENSP\t1\t"), run.out.left(200).constData());
        QVERIFY(run.out.contains("\tRPM\t"));
        QVERIFY(!run.out.contains("BATV\t")); // no candidate, no line
    }

    void droppedFileOpensAfterTheSaveQuestion()
    {
        WindowFixture f;
        bool accepted = false;
        sendDrop(f.window.get(), {QUrl::fromLocalFile(fixture("engine.dbc")), QUrl::fromLocalFile(fixture("x.dbc"))}, &accepted);
        QVERIFY(!accepted); // one file at a time
        sendDrop(f.window.get(), {QUrl("https://example.invalid/x.dbc")}, &accepted);
        QVERIFY(!accepted);
        sendDrop(f.window.get(), {QUrl::fromLocalFile(fixture("engine.dbc"))}, &accepted);
        QVERIFY(accepted);
        QCOMPARE(f.window->table().grid().rows(), 3);
        QVERIFY(f.dialogs->shown.isEmpty());
        // With unsaved work the question comes first, and Cancel keeps the table.
        f.dialogs->answers = {Dialogs::Answer::Cancel};
        sendDrop(f.window.get(), {QUrl::fromLocalFile(fixture("results_shared_keys.csv"))}, &accepted);
        QCOMPARE(f.dialogs->kinds(), QStringList{"ask"});
        QCOMPARE(f.window->table().grid().rows(), 3);
    }

    void recoveryComesBeforeTheFileToOpen()
    {
        QTemporaryDir folder;
        RecoveryStore(folder.path()).write(TableData::standard(), "C:/data/car.dbc", QDateTime::currentDateTimeUtc());
        WindowFixture f;
        f.window->keepRecoveryCopies(folder.path());
        f.dialogs->recoveryAnswers = {Dialogs::RecoveryAnswer::Recover};
        f.window->openAtStart(fixture("results_shared_keys.csv"));
        // The recovered work is not replaced without the question; Cancel keeps it.
        QCOMPARE(f.dialogs->kinds(), (QStringList{"recover", "ask"}));
        QVERIFY(f.dialogs->shown[0].text.contains("(C:/data/car.dbc, 1 signals)?"));
        QCOMPARE(f.window->windowTitle(), "Tessaly [C:/data/car.dbc]");
    }

    void killedWorkIsRecovered()
    {
        QTemporaryDir home;
        const QDir recovery(home.filePath("data/tessaly/recovery"));
        const QString dbc = fixture("engine.dbc");
        QCOMPARE(runTessaly({"--export", home.filePath("saved.csv"), dbc}).status, 0);
        const auto copies = [&recovery] { return recovery.entryList({"*.recovery"}, QDir::Files); };
        const auto kill = [](QProcess &process) {
            process.kill(); // SIGKILL: nothing of the program runs any more
            QVERIFY(process.waitForFinished());
        };

        QProcess first; // imports, then dies before a save
        startWindow(first, home.path(), {}, {dbc});
        QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 20000);
        kill(first);
        const QStringList killed = copies();

        QProcess second; // recovers; its own copy of the recovered table follows
        startWindow(second, home.path(), "recover", {});
        QTRY_VERIFY_WITH_TIMEOUT(copies().size() == 1 && copies() != killed, 20000);
        kill(second);
        RecoveryStore store(recovery.path());
        QStringList notes;
        const QList<RecoveryCopy> left = store.orphans(notes);
        QCOMPARE(left.size(), 1);
        QCOMPARE(resultsCsvBytes(store.load(left[0]).table), readAll(home.filePath("saved.csv")));
    }

    void updateCarriesKeysToTheNewFile()
    {
        QTemporaryDir dir;
        const QString channels = fixture("channels_a.csv");
        const Run run = runTessaly({"--update", channels, fixture("revision_b.dbc"), "--export", dir.filePath("b.csv"),
                                    "--report", dir.filePath("b.txt")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.out, QByteArray("Kept: 5\nMoved: 1\nAdded: 2\nRemoved: 2\nChanged: 2\n"));
        const QByteArray csv = readAll(dir.filePath("b.csv"));
        QVERIFY(csv.contains("\r\n0 104;0|8;0;0;OilPressure;kPa;4;0;Dash;;EOPR;1;[0|1020];\r\n"));
        QVERIFY(csv.contains("\r\n0 100;24|8;0;0;AccelPedalPos;%;0.4;0;TCM;;;1;[0|100];\r\n"));
        QVERIFY(readAll(dir.filePath("b.txt")).contains("\r\n  98FE F5FE  OilTemp  key TOTP\r\n"));
        // A failure leaves both files as they were: a report that was there keeps its
        // bytes, one that was not is not made.
        writeFile(dir.filePath("old.txt"), "old report");
        QVERIFY(QDir(dir.path()).mkdir("folder.csv"));
        const QString revision = fixture("revision_b.dbc");
        for (const QStringList &wrong : {QStringList{channels, channels, "c.csv", "c.txt"},
                                         QStringList{channels, revision, "c.csv", "no/c.txt"},
                                         QStringList{channels, revision, "no/c.csv", "c.txt"},
                                         QStringList{channels, revision, "no/c.csv", "old.txt"},
                                         QStringList{channels, revision, "folder.csv", "old.txt"}}) {
            const Run failed = runTessaly({"--update", wrong[0], wrong[1], "--export", dir.filePath(wrong[2]),
                                           "--report", dir.filePath(wrong[3])});
            QCOMPARE(failed.status, 1);
            QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     (QStringList{"b.csv", "b.txt", "folder.csv", "old.txt"}));
            QCOMPARE(readAll(dir.filePath("old.txt")), "old report");
        }
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
