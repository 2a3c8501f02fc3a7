#pragma once

#include <QString>
#include <QStringList>

// Figures of whole runs of a program, as a user who starts it sees them.
struct ProcessFigures
{
    double seconds = -1; // the median wall time from start to exit
    double peakMb = -1;  // the largest peak resident memory ("Maximum resident set size"
                         // of /usr/bin/time); -1 without that program
    QString error;       // why a run failed; empty when every run succeeded
};

// Runs `program` with `arguments` `runs` times, its output thrown away.
ProcessFigures runProcess(const QString &program, const QStringList &arguments, int runs);
