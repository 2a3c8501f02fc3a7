#include "command_line.h"
#include "command_line_suggest.h"
#include "command_line_update.h"

#include "import/import_result.h"
#include "keys/key_list_places.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

namespace {

// --keys, whose help names the places looked at without it, in order.
QCommandLineOption keysOption()
{
    QStringList places;
    for (const QString &file : KeyListPlaces::standard().files())
        places.append(QStringLiteral("  ") + QDir::toNativeSeparators(file));
    return {QStringLiteral("keys"),
            QStringLiteral("Read the key list from <file>. Without it the first found of these is read:\n")
                    + places.join(u'\n'),
            QStringLiteral("file")};
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Prepares the CAN channel list of a data-acquisition application: imports a DBC file or a\n"
            "receiver configuration (.xml, .PlexCanRXConfig), or loads a results CSV, and saves the\n"
            "table as a results CSV."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption exportTo(
            QStringLiteral("export"),
            QStringLiteral("Convert FILE into the results CSV <out.csv> without opening a window."),
            QStringLiteral("out.csv"));
    parser.addOption(exportTo);
    const QCommandLineOption keys = keysOption();
    parser.addOption(keys);
    const QCommandLineOption showKeys(QStringLiteral("show-key-list"),
                                      QStringLiteral("Print which key list the window reads, and its keys."));
    parser.addOption(showKeys);
    const UpdateOptions update = addUpdateOptions(parser);
    const QCommandLineOption suggest = addSuggestOption(parser);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A .dbc, .xml, .PlexCanRXConfig or .csv file to open."),
                                 QStringLiteral("[FILE]"));

    CommandLine line;
    const auto fail = [&](const QString &reason) {
        line.mode = CommandLine::Mode::Error;
        line.text = reason;
        return line;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        line.mode = CommandLine::Mode::Help;
        line.text = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.mode = CommandLine::Mode::Version;
        line.text = QStringLiteral("Tessaly %1").arg(QStringLiteral(TESSALY_VERSION));
        return line;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("Only one FILE can be opened."));
    line.input = files.value(0);
    line.keys = parser.value(keys);
    if (parser.isSet(keys) && line.keys.isEmpty())
        return fail(QStringLiteral("--keys needs the name of a key list file."));
    if (parser.isSet(showKeys)) {
        line.mode = CommandLine::Mode::KeyList;
        return line;
    }
    if (parser.isSet(exportTo)) {
        line.mode = CommandLine::Mode::Export;
        line.output = parser.value(exportTo);
        if (line.input.isEmpty())
            return fail(QStringLiteral("--export needs the FILE to convert."));
        if (line.output.isEmpty())
            return fail(QStringLiteral("--export needs the name of the CSV file to write."));
    }
    if (const QString error = takeUpdateOptions(parser, update, line); !error.isEmpty())
        return fail(error);
    if (const QString error = takeSuggestOption(parser, suggest, line); !error.isEmpty())
        return fail(error);
    return line;
}

int exportResultsCsv(const QString &input, const QString &output, QTextStream &err)
{
    // The same start as a new window: a reset table and no DBC message read yet.
    double messageId = 0;
    ImportResult result;
    if (!readInput(input, false, TableData::standard(), messageId, result, err))
        return 1;
    return writeOutput(result.table, output, err) ? 0 : 1;
}

int printKeyList(const QString &chosen, QTextStream &out, QTextStream &err)
{
    const KeyListPlaces places = KeyListPlaces::standard();
    const QString file = chosen.isEmpty() ? places.find() : chosen;
    const KeyList list = loadKeyList(chosen, places);
    if (!file.isEmpty())
        out << QDir::toNativeSeparators(file) << '\n';
    for (const QString &item : list.items)
        out << "  " << item << '\n';
    if (list.warning.isEmpty())
        return 0;
    err << "tessaly: " << list.warning << '\n';
    return 1;
}
