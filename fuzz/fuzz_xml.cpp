#include "fuzz_support.h"

#include "import/xml_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const TableData current = fuzzCurrentTable(data, size);
    const ImportResult result = ReadXML(buffer, QStringLiteral("fuzz.PlexCanRXConfig"), current);
    if (!result.ok()) {
        // No signal in it, or no text file: refused, naming the file.
        fuzzCheck(result.error.contains(u"fuzz.PlexCanRXConfig") && result.table.rows() == 0, "a refused file is named");
        return 0;
    }
    fuzzCheck(result.table.rows() >= 1, "the imported table has its heading row");
    checkWrittenTable(result.table);
    return 0;
}
