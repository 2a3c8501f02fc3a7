#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;
struct CommandLine;

// The options of `tessaly --update OLD NEW --export OUT [--report FILE]`.
struct UpdateOptions
{
    QCommandLineOption update;
    QCommandLineOption report;
};

UpdateOptions addUpdateOptions(QCommandLineParser &parser);

// Turns an export into an update when --update is given. Returns why the arguments
// do not fit together, or an empty text.
QString takeUpdateOptions(const QCommandLineParser &parser, const UpdateOptions &options, CommandLine &line);
