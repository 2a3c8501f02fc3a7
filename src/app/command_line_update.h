#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;
class QTextStream;
class TableData;
struct CommandLine;
struct ImportResult;

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

// What --export and --update share. readInput reads `fileName` as `tessaly FILE` would
// (with `signalFileOnly`, only a DBC or receiver file), passing warnings on to `err`;
// false, said on `err`, when it cannot. writeOutput saves `table` as File > Save CSV
// (Results) does, warning on `err` about cells that would break the file; false, said
// on `err`, when it cannot.
bool readInput(const QString &fileName, bool signalFileOnly, const TableData &current, double &messageId,
               ImportResult &result, QTextStream &err);
bool writeOutput(const TableData &table, const QString &fileName, QTextStream &err);
