#pragma once

#include "import/import_result.h"

#include <QString>
#include <QStringView>

class QIODevice;
class TableData;

// Import of a CAN receiver's configuration (".PlexCanRXConfig") or of any XML file
// laid out the same way. The reader is line-oriented, not an XML parser: only the
// first tag on each line counts, it must stand first on its line behind nothing but
// spaces, and its value is the text up to the next "<" on the same line. Every
// "<CAN_Data_Item>" line starts a new signal row; nesting and end tags are not
// looked at.

// True when the name ends in ".plexcanrxconfig" or ".xml", in any letter case.
bool isXmlFileName(QStringView fileName);

// Reads the file into a new table whose row 0 starts as a copy of current's row 0
// (an empty row if current has none); elements before the first <CAN_Data_Item>
// write into it. The error names the file when it cannot be opened or read, and
// when no <CAN_Data_Item> line gives a signal row.
ImportResult ReadXML(const QString &fileName, const TableData &current);
// The same for a device; `fileName` only names the input in messages. A device that
// is not open yet is opened for reading.
ImportResult ReadXML(QIODevice &device, const QString &fileName, const TableData &current);
