#pragma once

#include <QString>

// The benchmark's inputs, generated the same way on every run so that figures of
// different runs compare.

struct BenchInputs
{
    QString dbc; // messages of 8 signals each, some extended, some multiplexed
    QString xml; // a receiver configuration with one <CAN_Data_Item> per signal
    QString csv; // a results CSV whose signal rows share 10% of their keys
    // The next revision of `dbc`: 1% of the signals renamed, moved to another message
    // or removed, and every thousandth one rescaled.
    QString dbcRevision;
    // `dbc` with a comment and value descriptions for every signal.
    QString dbcDetailed;
};

inline constexpr int benchSignals = 100'000;

// Writes the files into `folder`, for `signalCount` signals (a multiple of 8), the
// receiver file only `withXml`. Returns an empty text on success, else why not.
QString writeBenchInputs(const QString &folder, BenchInputs &inputs, int signalCount = benchSignals,
                         bool withXml = true);
// Only the results CSV, as `fileName`.
QString writeBenchCsv(const QString &fileName, int signalCount = benchSignals);
