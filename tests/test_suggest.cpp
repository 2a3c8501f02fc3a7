#include "reader_support.h"

#include "csv/results_csv_load.h"
#include "import/dbc_import.h"
#include "keys/key_list.h"
#include "keys/key_list_places.h"
#include "suggest/key_matcher.h"
#include "suggest/key_memory_file.h"
#include "suggest/key_transfer.h"
#include "suggest/label_set.h"
#include "suggest/signal_text.h"
#include "suggest/signal_words.h"
#include "suggest/suggest_dictionary.h"
#include "suggest/suggestion_memory.h"
#include "suggest/suggestion_output.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString resources = QStringLiteral(TESSALY_TEST_DATA "/../../resources/");

const SuggestDictionary &shippedDictionary()
{
    static const SuggestDictionary dictionary = [] {
        SuggestDictionary loaded;
        QStringList warnings;
        const QString error = loaded.addFile(resources + SuggestDictionary::fileName(), warnings);
        if (!error.isEmpty() || !warnings.isEmpty())
            qFatal("The shipped dictionary does not read cleanly: %s", qPrintable(error + warnings.join(u' ')));
        return loaded;
    }();
    return dictionary;
}

// A signal from a compact text: "name|unit|bits|message|comment|values", values
// separated by ",".
SignalText signalFrom(const QString &compact, int row = 1)
{
    const QStringList f = compact.split(u'|');
    SignalText text;
    text.row = row;
    text.name = f.value(0);
    text.unit = f.value(1);
    text.bits = f.value(2).toInt();
    text.messageName = f.value(3);
    text.comment = f.value(4);
    if (!f.value(5).isEmpty())
        text.valueDescriptions = f.value(5).split(u',');
    return text;
}

int scoreFor(const QString &description, const QString &compact)
{
    const std::vector<SignalText> texts{signalFrom(compact)};
    const KeyMatcher matcher(shippedDictionary(), {{QStringLiteral("KEY1"), description}}, texts);
    return matcher.score(0, 1);
}

// A results CSV table of "name;key" lines.
TableData tableOf(const QStringList &rows)
{
    QByteArray csv = "//CAN ID;Offset;Bytes;Signed;Name;Unit;Scale;Offset;Description;Mode;Key;LITTLE_ENDIAN;min_max;\r\n";
    for (const QString &row : rows) {
        const QStringList f = row.split(u';');
        csv += "0 1;0|8;0;0;" + f.value(0).toLatin1() + ";;1;0;;;" + f.value(1).toLatin1() + ";1;[0|1];\r\n";
    }
    QBuffer buffer(&csv);
    return LoadCSV(buffer, QStringLiteral("t.csv")).table;
}

} // namespace

class TestSuggest : public QObject
{
    Q_OBJECT

private slots:
    void namesSplitIntoWords_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("underscores and case") << "EngSpd_Actl" << QStringList{"eng", "spd", "actl"};
        QTest::newRow("capital run") << "RPMValue" << QStringList{"rpm", "value"};
        QTest::newRow("digits") << "P000_Com_nEng" << QStringList{"p", "000", "com", "n", "eng"};
        QTest::newRow("umlaut") << "K\u00FChlmittel_Temp" << QStringList{"kuehlmittel", "temp"};
        QTest::newRow("prefix and compound") << "ESP_VL_Radgeschw" << QStringList{"esp", "vl", "radgeschw"};
    }
    void namesSplitIntoWords()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, words);
        const std::vector<QString> split = splitWords(name);
        QCOMPARE(QStringList(split.begin(), split.end()), words);
    }

    void signalTextsFromCells_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("read");
        QTest::newRow("dbc signal") << "0 1;24|16;0;0;EngSpd;rpm;0.25;0;;;;1;[0|8031.875]" << "EngSpd rpm 16 0 8031.875";
        QTest::newRow("receiver item") << "256;2;1;0;Temp;C;1;-40;;;;LE;-40 .. 150" << "Temp C 8 -40 150";
        QTest::newRow("no range") << "0 1;7|1;0;0;Bls;;1;0;;;;1;" << "Bls  1  ";
        QTest::newRow("no name") << "0 1;7|1;0;0; ;;1;0;;;;1;[0|1]" << "";
        // A DBC file adds its message name, long name, comment and value descriptions.
        QTest::newRow("dbc details")
                << "BO_ 100 EngineData: 8 ECU\n SG_ EngSpd : 0|16@1+ (0.25,0) [0|8031.875] \"rpm\" X\n"
                   "CM_ SG_ 100 EngSpd \"Motordrehzahl\";\nVAL_ 100 EngSpd 0 \"Off\" 1 \"On\" ;\n"
                   "BA_ \"SystemSignalLongSymbol\" SG_ 100 EngSpd \"Engine_Speed_Long\";\n"
                << "EngSpd rpm 16 0 8031.875 EngineData Engine_Speed_Long Motordrehzahl Off,On";
    }
    void signalTextsFromCells()
    {
        QFETCH(QString, row);
        QFETCH(QString, read);
        const bool dbc = row.startsWith(u"BO_");
        QByteArray bytes = dbc ? row.toLatin1() : "//heading\r\n" + row.toLatin1() + "\r\n";
        QBuffer buffer(&bytes);
        double messageId = 0;
        const TableData table = dbc ? ReadDBC(buffer, QStringLiteral("t.dbc"), TableData::standard(), messageId).table
                                    : LoadCSV(buffer, QStringLiteral("t.csv")).table;
        const qsizetype memory = table.memoryBytes();
        const std::vector<SignalText> texts = signalTexts(table);
        QCOMPARE(table.memoryBytes(), memory); // reading kept no UTF-16 copy of the texts
        QStringList got;
        for (const SignalText &t : texts) {
            got << t.name << t.unit << QString::number(t.bits) << t.minimum << t.maximum;
            if (dbc)
                got << t.messageName << t.longName << t.comment << t.valueDescriptions.join(u',');
        }
        QCOMPARE(got.join(u' '), read);
        if (!texts.empty())
            QCOMPARE(texts.front().row, 1);
    }

    void dictionaryGivesMeanings_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("meaning");
        QTest::newRow("abbreviation") << "eng" << "engine";
        QTest::newRow("one word, two concepts") << "rpm" << "engine speed";
        QTest::newRow("german") << "motordrehzahl" << "engine speed";
        QTest::newRow("compound of known words") << "whlspeed" << "(made of) whl speed";
        QTest::newRow("plural") << "wheels" << "wheel";
        QTest::newRow("not the value") << "request" << "(negative)";
        QTest::newRow("says nothing") << "actl" << "(neutral)";
        QTest::newRow("unknown") << "xyzzy" << "(unknown)";
    }
    void dictionaryGivesMeanings()
    {
        QFETCH(QString, word);
        QFETCH(QString, meaning);
        const SuggestDictionary &dictionary = shippedDictionary();
        const SuggestDictionary::Meaning found = dictionary.resolve(word);
        QStringList names;
        for (int id : found.concepts)
            names.append(dictionary.conceptName(id));
        names.sort();
        if (found.kind == SuggestDictionary::Kind::Negative)
            names = {QStringLiteral("(negative)")};
        else if (found.kind == SuggestDictionary::Kind::Neutral)
            names = {QStringLiteral("(neutral)")};
        else if (!dictionary.parts(word).isEmpty())
            names = QStringList{QStringLiteral("(made of)")} + dictionary.parts(word);
        else if (found.kind == SuggestDictionary::Kind::Unknown)
            names = {QStringLiteral("(unknown)")};
        QCOMPARE(names.join(u' '), meaning);
    }

    void userDictionaryAddsAndWarns()
    {
        QByteArray text = "// mine\r\nhydraulic: hyd hydr\r\nno colon here\r\nunit pressure: psig\r\n";
        QBuffer buffer(&text);
        SuggestDictionary dictionary = shippedDictionary();
        QStringList warnings;
        QCOMPARE(dictionary.add(buffer, QStringLiteral("mine.txt"), warnings), QString());
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.front().contains(u"line 3"));
        QCOMPARE(dictionary.conceptName(dictionary.resolve(QStringLiteral("hyd")).concepts.at(0)), "hydraulic");
        QVERIFY(dictionary.unitQuantities(QStringLiteral("psig")));
        QVERIFY(dictionary.resolve(QStringLiteral("eng")).kind == SuggestDictionary::Kind::Concept);
    }

    // Each row: the signal that should score higher for the description than the
    // other, and whether the better one is confident.
    void evidenceRanksSignals_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("better");
        QTest::addColumn<QString>("worse");
        QTest::addColumn<bool>("confident");
        QTest::newRow("unit of the quantity") << "Engine speed" << "N|rpm" << "N" << false;
        QTest::newRow("name words") << "Engine speed" << "EngSpd|rpm" << "N|rpm" << true;
        QTest::newRow("unit of another quantity") << "Engine speed" << "EngSpd|rpm" << "EngSpd|degC" << true;
        QTest::newRow("comment") << "Engine speed" << "X1|||M|Motordrehzahl in U/min" << "X1|||M|" << true;
        QTest::newRow("message") << "Wheel speed front left" << "FL|km/h||WHEEL_SPEEDS" << "FL|km/h||DOORS"
                                 << true;
        QTest::newRow("value table P/R/N/D") << "Selected gear" << "Gear||3|||P,R,N,D" << "Gear||3" << true;
        QTest::newRow("request is not the value") << "Vehicle speed" << "VehSpd|km/h" << "VehSpd_Rq|km/h"
                                                  << true;
        QTest::newRow("word of another thing") << "Engine coolant temperature" << "EngClntTmp|degC"
                                               << "EngOilClntTmp|degC" << true;
        QTest::newRow("one bit for a value") << "Brake pressure" << "BrkPrs|bar|16" << "BrkPrs||1" << true;
        QTest::newRow("one bit for a switch") << "Brake pedal switch" << "BLS||1" << "BrkPdlPos|%|8" << true;
        QTest::newRow("name cut at 32") << "Engine oil pressure" << "Engine_Auxiliary_Oil_Unit_Pressu"
                                        << "Engine_Auxiliary_Oil_Unit_Xyzabc" << true;
        QTest::newRow("words of any key list") << "Hydraulic pump pressure" << "HydraulicPumpPrs|bar"
                                               << "EngOilPrs|bar" << true;
    }
    void evidenceRanksSignals()
    {
        QFETCH(QString, description);
        QFETCH(QString, better);
        QFETCH(QString, worse);
        QFETCH(bool, confident);
        const int high = scoreFor(description, better);
        const int low = scoreFor(description, worse);
        QVERIFY2(high > low, qPrintable(QStringLiteral("%1 against %2").arg(high).arg(low)));
        QCOMPARE(high >= KeyMatcher::confidentScore, confident);
    }

    void reasonsSayWhy()
    {
        const std::vector<SignalText> texts{signalFrom(QStringLiteral("EngSpd|rpm"), 1),
                                            signalFrom(QStringLiteral("EngSpd_Rq_Oil|%"), 2)};
        const KeyMatcher matcher(shippedDictionary(), {{QStringLiteral("ENSP"), QStringLiteral("Engine speed")}},
                                 texts);
        QCOMPARE(matcher.reasons(0, 1), "name: engine + speed; unit rpm");
        QCOMPARE(matcher.reasons(0, 2),
                 "name: engine + speed; but the unit % measures something else; but: rq; also: oil");
        QCOMPARE(matcher.reasons(0, 3), QString());
    }

    // The shipped dictionary is the program's or else the installed one; the user's
    // own file comes after it and adds to it.
    void dictionaryFilesInOrder()
    {
        QTemporaryDir dir;
        const KeyListPlaces places{dir.filePath("user"), dir.filePath("program"), dir.filePath("installed")};
        for (const QString &folder : {places.userFolder, places.installedFolder}) {
            QVERIFY(QDir().mkpath(folder));
            writeFile(QDir(folder).filePath(SuggestDictionary::fileName()), "hydraulic: hyd\n");
        }
        QCOMPARE(SuggestDictionary::files(places),
                 (QStringList{QDir(places.installedFolder).filePath(SuggestDictionary::fileName()),
                              QDir(places.userFolder).filePath(SuggestDictionary::fileName())}));
        QStringList warnings;
        QVERIFY(SuggestDictionary::standard(places, warnings).findConcept(QStringLiteral("hydraulic")) >= 0);
        QVERIFY(warnings.isEmpty());
        QVERIFY(QDir().mkpath(places.programFolder));
        writeFile(QDir(places.programFolder).filePath(SuggestDictionary::fileName()), "x: y\n");
        QCOMPARE(SuggestDictionary::files(places).front(),
                 QDir(places.programFolder).filePath(SuggestDictionary::fileName()));
    }

    void rememberedNames_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("warnings");
        QTest::newRow("entry") << QByteArray("EngSpd;ENSP\r\n") << "EngSpd" << "ENSP" << 0;
        QTest::newRow("comments and a bad line") << QByteArray("// x\nno key\nEngSpd;ENSP\n") << "EngSpd" << "ENSP"
                                                 << 1;
        QTest::newRow("later line wins") << QByteArray("A;K001\rA;K002\r") << "A" << "K002" << 0;
        QTest::newRow("key holds ;") << QByteArray("A;K;01\r\n") << "A" << "K;01" << 0;
    }
    void rememberedNames()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(int, warnings);
        QBuffer buffer(&file);
        SuggestionMemory memory;
        QStringList said;
        QCOMPARE(memory.load(buffer, QStringLiteral("m.txt"), said), QString());
        QCOMPARE(memory.keyOf(name), key);
        QCOMPARE(said.size(), warnings);

        // What is saved reads back the same, and a name that would break the file is
        // not taken.
        memory.add(QStringLiteral("Bad;Name"), QStringLiteral("K003"));
        QCOMPARE(memory.keyOf(QStringLiteral("Bad;Name")), QString());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/remembered.txt"));
        QCOMPARE(memory.save(path), QString());
        SuggestionMemory again;
        QCOMPARE(again.load(path, said), QString());
        QCOMPARE(again.keyOf(name), key);
        QCOMPARE(again.size(), memory.size());
        QCOMPARE(again.keyOf(QStringLiteral("Bad;Name")), QString());
    }

    // The user's file of remembered keys takes each choice beside what it held, and one
    // that cannot be read is left as it is until it reads again.
    void memoryFileKeepsWhatItHeld_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("readable");
        QTest::newRow("names of before") << QByteArray("Other;K001\r\n") << true;
        QTest::newRow("no file yet") << QByteArray() << true;
        QTest::newRow("cannot be read") << QByteArray("Other;K001\r\n").append('\0') << false;
    }
    void memoryFileKeepsWhatItHeld()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, readable);
        QTemporaryDir dir;
        const QString path = dir.filePath(SuggestionMemory::fileName());
        if (!file.isEmpty())
            writeFile(path, file);
        KeyMemoryFile memory(path);
        const TableData table = tableOf({"EngSpd;ENSP", "VehSpd;VSPD", "NoKey;"});
        QCOMPARE(memory.remember(table, {1, 3}).isEmpty(), readable);
        QCOMPARE(memory.memory().keyOf("EngSpd"), "ENSP");
        if (!readable) {
            QCOMPARE(readAll(path), file);
            writeFile(path, "Other;K001\r\n"); // mended: the choices so far join it
        }
        QCOMPARE(memory.remember(table, {2}), QString());
        SuggestionMemory written;
        QStringList warnings;
        QCOMPARE(written.load(path, warnings), QString());
        QCOMPARE(written.keyOf("EngSpd"), "ENSP");
        QCOMPARE(written.keyOf("VehSpd"), "VSPD");
        QCOMPARE(written.keyOf("Other"), file.isEmpty() ? "" : "K001");
        QCOMPARE(written.size(), file.isEmpty() ? 2 : 3);
    }

    void rememberedNameComesFirst()
    {
        const std::vector<SignalText> texts{signalFrom(QStringLiteral("EngSpd|rpm"), 1),
                                            signalFrom(QStringLiteral("Odd_Name"), 2)};
        const KeyMatcher matcher(shippedDictionary(), {{QStringLiteral("ENSP"), QStringLiteral("Engine speed")}},
                                 texts);
        SuggestionMemory memory;
        memory.add(QStringLiteral("Odd_Name"), QStringLiteral("ENSP"));
        const std::vector<KeySuggestion> suggestions = matcher.suggest(memory);
        QCOMPARE(suggestions.at(0).candidates.size(), 2u);
        QCOMPARE(suggestions[0].candidates[0].row, 2);
        QCOMPARE(suggestions[0].candidates[0].score, 100);
        QCOMPARE(suggestions[0].candidates[1].row, 1);
    }

    void keysFromAnotherList_data()
    {
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<int>("score");
        QTest::newRow("same name") << "EngSpd;" << "EngSpd;ENSP" << 100;
        QTest::newRow("case and separators") << "eng_spd;" << "ENG-SPD;ENSP" << 90;
        QTest::newRow("another name") << "EngSpd;" << "EngSpeed;ENSP" << 0;
        QTest::newRow("holds the key already") << "EngSpd;ENSP" << "EngSpd;ENSP" << 0;
        QTest::newRow("no key there") << "EngSpd;" << "EngSpd;" << 0;
    }
    void keysFromAnotherList()
    {
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(int, score);
        const std::vector<KeyProposal> proposals = keysFromOtherList(tableOf({ours}), tableOf({theirs}));
        QCOMPARE(proposals.empty() ? 0 : proposals.front().score, score);
        if (score > 0)
            QCOMPARE(proposals.front().key, "ENSP");
    }

    void acceptConfidentLeavesTakenKeysAndRows()
    {
        const TableData table = tableOf({"A;", "B;VSPD", "C;", "D;"});
        std::vector<KeySuggestion> suggestions{
                {"ENSP", "", {{1, 90, ""}, {3, 80, ""}}}, // row 1 goes to ECTP, so row 3
                {"ECTP", "", {{1, 95, ""}}},
                {"VSPD", "", {{3, 99, ""}}},              // a row holds VSPD already
                {"EOTP", "", {{2, 99, ""}}},              // row 2 holds a key
                {"GEAR", "", {{3, 60, ""}}},              // not confident
                {"ENSP", "again", {{4, 75, ""}}}};        // the list names ENSP twice
        const std::vector<KeyAssignment> chosen = confidentAssignments(suggestions, table);
        QCOMPARE(chosen.size(), 2u);
        QCOMPARE(chosen[0].key, "ENSP");
        QCOMPARE(chosen[0].row, 3);
        QCOMPARE(chosen[1].key, "ECTP");
        QCOMPARE(chosen[1].row, 1);
    }

    void typedWordNarrowsKeyList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("part of a word") << "cool" << QStringList{"ECTP - Engine coolant temperature"};
        QTest::newRow("another language") << "kuehl" << QStringList{"ECTP - Engine coolant temperature"};
        QTest::newRow("nothing typed") << "" << QStringList{"ENSP - Engine speed", "ECTP - Engine coolant temperature"};
    }
    void typedWordNarrowsKeyList()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, keys);
        const QStringList items{"ENSP - Engine speed", "ECTP - Engine coolant temperature"};
        QCOMPARE(matchingKeys(items, typed, shippedDictionary()), keys);
    }

    void commandLineLines()
    {
        const TableData table = tableOf({"EngSpd;", "N;"});
        const std::vector<KeySuggestion> suggestions{{"ENSP", "", {{1, 96, ""}, {2, 40, ""}}}, {"ECTP", "", {}}};
        QCOMPARE(suggestionLines(suggestions, table), "ENSP\t1\t1\t0 1\tEngSpd\t96\nENSP\t2\t2\t0 1\tN\t40\n");
    }

    // The floors on the labelled DBC corpus: the accepted signal among the three
    // candidates for 90% of the keys that have one, first for 75%, and no confident
    // candidate for 80% of the keys that have none.
    void labelledCorpusFloors()
    {
        const KeyList keyList = readKeyList(resources + KeyList::fileName());
        SuggestionFigures figures;
        QCOMPARE(measureLabelSet(QStringLiteral(TESSALY_TEST_DATA "/suggest_labels.txt"),
                                 QStringLiteral(TESSALY_TEST_DATA "/dbc"), keyTargets(keyList.items),
                                 shippedDictionary(), figures),
                 QString());
        qInfo("among three %d/%d, first %d/%d, quiet %d/%d", figures.inTopThree, figures.keysWithSignal,
              figures.first, figures.keysWithSignal, figures.withoutConfident, figures.keysWithout);
        if (qEnvironmentVariableIsSet("TESSALY_SUGGEST_MISSES")) {
            for (const QString &miss : std::as_const(figures.misses))
                qInfo("%s", qPrintable(miss));
        }
        QVERIFY(figures.keysWithSignal > 150);
        QVERIFY(figures.topThreeShare() >= 0.90);
        QVERIFY(figures.firstShare() >= 0.75);
        QVERIFY(figures.quietShare() >= 0.80);
    }
};

QTEST_GUILESS_MAIN(TestSuggest)
#include "test_suggest.moc"
