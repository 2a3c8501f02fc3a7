#include "reader_support.h"

#include "document/document.h"
#include "update/table_update.h"

#include <QTemporaryDir>
#include <QUndoStack>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(TESSALY_TEST_DATA "/") + name;
}

// Everything of the document a command could change.
QStringList state(Document &document)
{
    QStringList state = tableDump(document.grid());
    state << document.table().currentFile() << (document.table().unsavedChanges() ? "unsaved" : "saved")
          << QString::number(document.currentMessageId()) << QString::number(document.table().history().count());
    return state;
}

using Command = DocumentResult (Document::*)(const QString &);

} // namespace

using namespace Qt::StringLiterals;

// The file commands as the window and the command line both run them; their callers'
// tests check only what they add (dialogs, captions, exit statuses).
class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void failedCommandsChangeNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // a null array: no such file
        QTest::addColumn<QString>("reason");

        const QByteArray dbc = "BO_ 1 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" X\n";
        const QByteArray picture = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"_ba;
        QTest::newRow("import DBC, another extension") << "ReadDBC" << "x.dbc.txt" << dbc << "Wrong File Format";
        QTest::newRow("import XML, another extension") << "ReadXML" << "d.xml.bak" << dbc << "Wrong File Format";
        QTest::newRow("open, unknown kind") << "open" << "x.txt" << dbc << "Wrong File Format";
        QTest::newRow("update from a results CSV") << "UpdateFrom" << "x.csv" << headingLine << "Wrong File Format";
        QTest::newRow("import DBC, missing") << "ReadDBC" << "gone.dbc" << QByteArray() << "gone.dbc";
        QTest::newRow("import DBC, no signals") << "ReadDBC" << "m.dbc" << "BO_ 1 A: 8 X\n"_ba << "no signal line";
        QTest::newRow("import DBC, a picture") << "ReadDBC" << "p.dbc" << picture << "not a text file";
        QTest::newRow("import XML, on one line") << "ReadXML" << "o.PlexCanRXConfig"
                                                 << "<a><CAN_Data_Item><id>1</id></CAN_Data_Item></a>"_ba
                                                 << "one element per line";
        QTest::newRow("load CSV, a picture") << "LoadCSV" << "p.csv" << picture << "not a text file";
        QTest::newRow("open, missing") << "open" << "gone.csv" << QByteArray() << "gone.csv";
        QTest::newRow("update, no signals") << "UpdateFrom" << "m.dbc" << "VERSION \"\"\n"_ba << "no signal line";
        QTest::newRow("update, missing") << "UpdateFrom" << "gone.PlexCanRXConfig" << QByteArray() << "gone";
    }

    void failedCommandsChangeNothing()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QMap<QString, Command> commands = {{"open", &Document::open},       {"ReadDBC", &Document::ReadDBC},
                                                 {"ReadXML", &Document::ReadXML}, {"LoadCSV", &Document::LoadCSV},
                                                 {"UpdateFrom", &Document::UpdateFrom}};
        const QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (!bytes.isNull())
            writeFile(path, bytes);
        Document document;
        QVERIFY(document.ReadDBC(fixture("engine.dbc")).ok());
        document.table().chooseKey(1, "ENSP");
        const QStringList before = state(document);

        const DocumentResult result = (document.*commands.value(command))(path);
        QVERIFY(!result.ok());
        QVERIFY2(result.error.contains(reason), qPrintable(result.error));
        QCOMPARE(result.wrongFormat, reason == "Wrong File Format");
        QVERIFY2(result.wrongFormat || result.error.contains(QDir::toNativeSeparators(path)), qPrintable(result.error));
        QCOMPARE(state(document), before);
    }

    void messageIdCarriesOverToTheNextImport()
    {
        const QTemporaryDir dir;
        writeFile(dir.filePath("first.dbc"), "BO_ 1000 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" X\n");
        writeFile(dir.filePath("second.dbc"), " SG_ Early : 0|8@1+ (1,0) [0|255] \"\" X\nBO_ 16 B: 8 X\n");
        writeFile(dir.filePath("broken.dbc"), "BO_ 7 C: 8 X\n");
        Document document;
        QVERIFY(document.ReadDBC(dir.filePath("second.dbc")).ok());
        QCOMPARE(document.grid().text(1, Col::CanId), "0 0");
        QVERIFY(document.ReadDBC(dir.filePath("first.dbc")).ok());
        QVERIFY(!document.ReadDBC(dir.filePath("broken.dbc")).ok()); // its message is not taken
        QVERIFY(document.ReadDBC(dir.filePath("second.dbc")).ok());
        QCOMPARE(document.grid().text(1, Col::CanId), "0 3E8");
    }

    // A save names, before it writes, every kind of cell that does not come back as it
    // stands: one warning each, for the window's question and the command line alike.
    void saveWarnsOfEveryKind()
    {
        const QTemporaryDir dir;
        writeFile(dir.filePath("u.dbc"), "BO_ 1 M: 8 X\n SG_ A : 0|8@1+ (1,0) [0|1] \"\xce\xa9\" X\n"
                                         " SG_ B : 8|8@1+ (1,0) [0|1] \"\xc2\xb0" "C\" X\n");
        Document document;
        QVERIFY(document.ReadDBC(dir.filePath("u.dbc")).ok());
        QCOMPARE(document.saveWarnings().size(), 1); // the Omega; the degree sign is Windows-1252's
        QVERIFY2(document.saveWarnings()[0].contains("\"\u03a9\""), qPrintable(document.saveWarnings()[0]));
        document.table().editText(2, Col::Description, "a;b");
        document.table().editText(2, Col::Signed, "yes");
        const QStringList warnings = document.saveWarnings();
        QCOMPARE(warnings.size(), 3);
        QVERIFY2(warnings[0].contains("\";\"") && warnings[2].contains("Signed holds \"yes\""),
                 qPrintable(warnings.join('\n')));
    }

    void updateOfATableWithoutSignalsImports()
    {
        Document document;
        const DocumentResult result = document.UpdateFrom(fixture("engine.dbc"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QVERIFY(result.report);
        QCOMPARE(result.report->added, document.grid().rows() - 1);
        QCOMPARE(document.table().currentFile(), fixture("engine.dbc"));
        QVERIFY(document.table().unsavedChanges());
    }
};

QTEST_MAIN(TestDocument)
#include "test_document.moc"
