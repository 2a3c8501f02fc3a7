#include "command_line.h"
#include "command_line_update.h"

#include "csv/results_csv.h"
#include "import/signal_file.h"
#include "table/file_writing.h"
#include "table/table_status.h"
#include "table/text_file.h"
#include "update/table_update.h"
#include "update/update_report.h"

#include <QCommandLineParser>
#include <QSaveFile>
#include <QTextStream>

UpdateOptions addUpdateOptions(QCommandLineParser &parser)
{
    UpdateOptions options{
            QCommandLineOption(QStringLiteral("update"),
                               QStringLiteral("Carry the keys and the hand-typed cells of the table <old.csv> over to "
                                              "FILE, a newer DBC or receiver file, and save the result with --export. "
                                              "Prints how many signals were kept, moved, added and removed."),
                               QStringLiteral("old.csv")),
            QCommandLineOption(QStringLiteral("report"),
                               QStringLiteral("With --update, write the whole report of the update to <report.txt>."),
                               QStringLiteral("report.txt"))};
    parser.addOption(options.update);
    parser.addOption(options.report);
    return options;
}

QString takeUpdateOptions(const QCommandLineParser &parser, const UpdateOptions &options, CommandLine &line)
{
    if (!parser.isSet(options.update))
        return parser.isSet(options.report) ? QStringLiteral("--report needs --update.") : QString();
    line.previous = parser.value(options.update);
    line.report = parser.value(options.report);
    if (line.mode != CommandLine::Mode::Export)
        return QStringLiteral("--update needs --export and the new FILE.");
    if (line.previous.isEmpty())
        return QStringLiteral("--update needs the table to update.");
    line.mode = CommandLine::Mode::Update;
    return {};
}

bool readInput(const QString &fileName, bool signalFileOnly, const TableData &current, double &messageId,
               ImportResult &result, QTextStream &err)
{
    const FileKind kind = fileKindOf(fileName);
    if (kind == FileKind::Unknown || (signalFileOnly && kind == FileKind::ResultsCsv)) {
        err << "tessaly: " << displayName(fileName) << ": Wrong File Format\n";
        return false;
    }
    result = readSignalFile(kind, fileName, current, messageId);
    if (!result.ok()) {
        err << "tessaly: " << result.error << '\n';
        return false;
    }
    for (const QString &warning : std::as_const(result.warnings))
        err << "tessaly: warning: " << warning << '\n';
    return true;
}

bool writeOutput(const TableData &table, const QString &fileName, QTextStream &err)
{
    if (const QString warning = csvSeparatorWarning(table); !warning.isEmpty())
        err << "tessaly: warning: " << warning << '\n';
    const QString error = writeResultsCsv(table, fileName);
    if (!error.isEmpty())
        err << "tessaly: " << error << '\n';
    return error.isEmpty();
}

int updateResultsCsv(const CommandLine &line, QTextStream &out, QTextStream &err)
{
    double messageId = 0;
    ImportResult previous;
    ImportResult fresh;
    if (!readInput(line.previous, false, TableData::standard(), messageId, previous, err)
        || !readInput(line.input, true, previous.table, messageId, fresh, err))
        return 1;
    const TableUpdate update = updateTable(previous.table, std::move(fresh.table), line.input);
    // The report is written completely before the table and replaces its file only
    // once the table is saved too, so a failure leaves both files as they were.
    QSaveFile report(line.report);
    const auto reportFailed = [&](const QString &reason) {
        err << "tessaly: Cannot write " << displayName(line.report) << ": " << reason << '\n';
        return 1;
    };
    if (!line.report.isEmpty()) {
        if (!report.open(writeMode))
            return reportFailed(report.errorString());
        if (const QString reason = writeAll(report, reportBytes(update.report)); !reason.isEmpty())
            return reportFailed(reason);
    }
    if (!writeOutput(update.table, line.output, err))
        return 1;
    if (!line.report.isEmpty()) {
        if (const QString reason = commitFile(report); !reason.isEmpty())
            return reportFailed(reason);
    }
    for (const QString &summary : summaryLines(update.report))
        out << summary << '\n';
    return 0;
}
