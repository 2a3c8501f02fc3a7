#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;
class QTextStream;
struct CommandLine;

// `tessaly --suggest FILE [--keys LIST]`: prints, for every key of the key list, the
// signals of FILE that most likely carry it.
QCommandLineOption addSuggestOption(QCommandLineParser &parser);

// Turns the command line into a suggestion run when --suggest is given. Returns why
// the arguments do not fit together, or an empty text.
QString takeSuggestOption(const QCommandLineParser &parser, const QCommandLineOption &option, CommandLine &line);

// Reads `line.input` as `tessaly FILE` would and the key list as the window does, and
// prints the suggestions on `out`: "key, rank, #, CAN ID, Name, score" a line,
// separated by tabs (see suggestionLines). Keys the user chose before for the same
// names come first. Warnings go to `err`. Returns 0, or 1 when FILE or the key list
// cannot be read (said on `err`).
int printSuggestions(const CommandLine &line, QTextStream &out, QTextStream &err);
