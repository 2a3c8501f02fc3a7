#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Figures of whole runs of a program, as a user who starts it sees them.
struct ProcessFigures
{
    double seconds = -1;    // the median wall time from start to exit
    double cpuSeconds = -1; // the median processor time, user and system
    double peakMb = -1;  // the largest peak resident memory ("Maximum resident set size"
                         // of /usr/bin/time); -1 without that program
    QString error;       // why a run failed; empty when every run succeeded
};

// Runs each of `programs` with `arguments` `runs` times, their output thrown away.
// They take turns, so that a change in the machine's load weighs on each alike.
std::vector<ProcessFigures> runProcesses(const QStringList &programs, const QStringList &arguments, int runs);
