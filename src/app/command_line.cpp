#include "command_line.h"
#include "command_line_suggest.h"
#include "command_line_update.h"

#include "document/document.h"
#include "table/text_file.h"
#include "update/update_report.h"
#include "keys/key_list_places.h"
#include "table/same_file.h"
#include "table/file_writing.h"

#include <QCommandLineParser>
#include <QDir>
#include <QSaveFile>
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

// Why an export or update would write over a file it reads or writes already (the
// input replaced by its own CSV without a word); empty when it would not.
QString writesOverItsFiles(const CommandLine &line)
{
    using Named = std::pair<QString, QString>;
    const QList<Named> outputs = {{QStringLiteral("--export"), line.output}, {QStringLiteral("--report"), line.report}};
    QList<Named> taken = {{QStringLiteral("FILE"), line.input}, {QStringLiteral("--update"), line.previous}};
    for (const auto &[option, file] : outputs) {
        for (const auto &[otherOption, otherFile] : std::as_const(taken)) {
            if (sameFile(file, otherFile)) {
                return QStringLiteral("%1 %2 is the same file as %3 %4; nothing was written.")
                        .arg(option, displayName(file), otherOption, displayName(otherFile));
            }
        }
        taken.append({option, file});
    }
    return {};
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
    if (const QString error = writesOverItsFiles(line); !error.isEmpty())
        return fail(error);
    return line;
}

namespace {

QTextStream &said(QTextStream &err)
{
    return err << "tessaly: ";
}

// Says on `err` why a command of the document failed, or what the user should know
// about its input. True when it succeeded.
bool tell(const DocumentResult &result, const QString &fileName, QTextStream &err)
{
    if (!result.ok()) {
        said(err) << (result.wrongFormat ? displayName(fileName) + QStringLiteral(": ") : QString()) << result.error
                  << '\n';
        return false;
    }
    for (const QString &warning : result.warnings)
        said(err) << "warning: " << warning << '\n';
    return true;
}

// Saves the document as File > Save CSV (Results) does, with its question turned
// into a warning.
bool save(Document &document, const QString &fileName, QTextStream &err)
{
    for (const QString &warning : document.saveWarnings())
        said(err) << "warning: " << warning << '\n';
    const QString error = document.WriteCSV(fileName);
    if (!error.isEmpty())
        said(err) << error << '\n';
    return error.isEmpty();
}

} // namespace

bool openInput(Document &document, const QString &input, QTextStream &err)
{
    return tell(document.open(input), input, err);
}

int exportResultsCsv(const QString &input, const QString &output, QTextStream &err)
{
    // The same start as a new window: a reset table and no DBC message read yet.
    Document document;
    if (!openInput(document, input, err))
        return 1;
    return save(document, output, err) ? 0 : 1;
}

int updateResultsCsv(const CommandLine &line, QTextStream &out, QTextStream &err)
{
    Document document;
    if (!openInput(document, line.previous, err))
        return 1;
    const DocumentResult update = document.UpdateFrom(line.input);
    if (!tell(update, line.input, err))
        return 1;
    // The report is written completely before the table and replaces its file only
    // once the table is saved too, so a failure leaves both files as they were.
    QSaveFile report(line.report);
    const auto reportFailed = [&](const QString &reason) {
        said(err) << "Cannot write " << displayName(line.report) << ": " << reason << '\n';
        return 1;
    };
    if (!line.report.isEmpty()) {
        if (!report.open(writeMode))
            return reportFailed(report.errorString());
        if (const QString reason = writeAll(report, reportBytes(*update.report)); !reason.isEmpty())
            return reportFailed(reason);
    }
    if (!save(document, line.output, err))
        return 1;
    if (!line.report.isEmpty()) {
        if (const QString reason = commitFile(report); !reason.isEmpty())
            return reportFailed(reason);
    }
    for (const QString &summary : summaryLines(*update.report))
        out << summary << '\n';
    return 0;
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
