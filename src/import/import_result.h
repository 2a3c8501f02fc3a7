#pragma once

#include "table/table_data.h"

#include <QString>
#include <QStringList>

// What a reader of a signal file hands back to the window. On failure nothing of the
// user's table is to change; on success `table` replaces it.
struct ImportResult
{
    QString error;        // why the file could not be read, naming the file; empty on success
    TableData table;      // the new contents of the signal table
    QStringList warnings; // what the user should know about the input; the rows stand
    QString encoding;     // how the file's text was read: "UTF-8" or "Windows-1252"

    bool ok() const { return error.isEmpty(); }
};
