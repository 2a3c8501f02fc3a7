#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Mode {
        Window,  // open the main window, and `input` in it when given
        Export,  // convert `input` to the results CSV `output`, without a window
        Help,    // print `text` and stop
        Version, // print `text` and stop
        Error    // print `text` (the reason) and stop with status 2
    };
    Mode mode = Mode::Window;
    QString input;
    QString output;
    QString text;
};

// Parses the arguments, the program's name first.
CommandLine parseCommandLine(const QStringList &arguments);

// Reads `input` as the matching File command does in a new window and writes
// `output` as File > Save CSV (Results) does. Warnings go to `err`. Returns the exit
// status: 0 on success, 1 when the input or the output failed (said on `err`).
int exportResultsCsv(const QString &input, const QString &output, QTextStream &err);
