#pragma once

#include "import/import_result.h"

#include <QString>

class QIODevice;

// Reads a results CSV back into a signal table. Every line becomes one row: the
// first the heading row (with every "//" taken out), each later line a signal row,
// as it stands. ";" and tab both separate fields; the fields fill columns 1 to 13
// and any further ones are dropped. Column 0 holds the row's index (0 for the
// heading row). Every signal row's Key cell is pale yellow, or red where its
// non-empty key is held by another signal row too. The heading row is fixed when
// there is at least one signal row; an empty file gives a table without rows.
//
// Any file is taken, whatever its name. A file that cannot be opened or read gives
// an error naming it, and no table.
ImportResult LoadCSV(const QString &fileName);

// The same from a device, opened for reading here if it is not open yet.
// `fileName` only names the source in an error.
ImportResult LoadCSV(QIODevice &device, const QString &fileName);
