#pragma once

#include <QString>
#include <QStringList>

class Document;
class QTextStream;

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Mode {
        Window,  // open the main window, and `input` in it when given
        Export,  // convert `input` to the results CSV `output`, without a window
        Update,  // carry the keys of `previous` over to `input`, save as `output`
        Help,    // print `text` and stop
        Version, // print `text` and stop
        Error,   // print `text` (the reason) and stop with status 2
        KeyList, // print which key list the window would read, and its keys
        Suggest  // print the signals of `input` that most likely carry each key
    };
    Mode mode = Mode::Window;
    QString input;
    QString output;
    QString text;
    QString keys; // the key list given with --keys; empty: look for one
    QString previous; // the table an update starts from
    QString report;   // where an update writes its whole report, if anywhere
};

// Parses the arguments, the program's name first.
CommandLine parseCommandLine(const QStringList &arguments);

// Opens `input` in `document` as File > Open does in a new window, saying on `err` why
// it failed or what warnings it had. True when it succeeded.
bool openInput(Document &document, const QString &input, QTextStream &err);

// Reads `input` as the matching File command does in a new window and writes
// `output` as File > Save CSV (Results) does. Warnings go to `err`. Returns the exit
// status: 0 on success, 1 when the input or the output failed (said on `err`).
int exportResultsCsv(const QString &input, const QString &output, QTextStream &err);

// Prints the key list the window would read (`chosen`, or the first found where key
// lists are looked for) and its items to `out`. Returns 0, or 1 with the reason on
// `err` when the list is missing or not entirely read.
int printKeyList(const QString &chosen, QTextStream &out, QTextStream &err);

// The headless update: reads the table `previous` and the newer signal file `input`
// as the window does, carries the keys over (see updateTable), writes `output` as
// File > Save CSV (Results) does and `report` when given, and prints the report's
// summary on `out`. Exit status as exportResultsCsv.
int updateResultsCsv(const CommandLine &line, QTextStream &out, QTextStream &err);
