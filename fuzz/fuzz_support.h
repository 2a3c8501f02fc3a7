#pragma once

#include "csv/results_csv.h"
#include "csv/results_csv_load.h"
#include "table/table_data.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target shares: the input as a device, and checks on the table a
// reader built. A failed check aborts, so libFuzzer keeps the input that caused it.

inline void fuzzCheck(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// The input without a copy, so that reading past its end is caught.
inline QByteArray fuzzBytes(const uint8_t *data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The table a reader starts from: the standard one, or (for odd first bytes) a table
// without rows, as an empty results CSV leaves it.
inline TableData fuzzCurrentTable(const uint8_t *data, std::size_t size)
{
    return size > 0 && (data[0] & 1) ? TableData() : TableData::standard();
}

// Writes the table as a results CSV and loads that back: every row must come back
// as one line, whatever its cells hold.
inline void checkWrittenTable(const TableData &table)
{
    QByteArray written = resultsCsvBytes(table);
    fuzzCheck(written.count("\r\n") == table.rows(), "one written line per row");
    QBuffer buffer(&written);
    const ImportResult loaded = LoadCSV(buffer, QStringLiteral("written.csv"));
    fuzzCheck(loaded.ok(), "the written table loads");
    fuzzCheck(loaded.table.rows() == table.rows(), "the written table loads with the same rows");
}
