#include "command_line.h"
#include "command_line_update.h"

#include <QCommandLineParser>

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
