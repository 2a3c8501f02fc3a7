#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const ImportResult loaded = LoadCSV(buffer, QStringLiteral("fuzz.csv"));
    if (!loaded.ok()) {
        fuzzCheck(loaded.error.contains(u"fuzz.csv") && loaded.table.rows() == 0, "a refused file is named");
        return 0;
    }
    checkWrittenTable(loaded.table);

    // A loaded table holds no separators or line ends in its cells, so writing it,
    // loading that and writing again must give the same file; unless the written
    // bytes happen to be well-formed UTF-8, and are read as such.
    QByteArray first = resultsCsvBytes(loaded.table);
    QBuffer again(&first);
    const ImportResult reloaded = LoadCSV(again, QStringLiteral("first.csv"));
    fuzzCheck(reloaded.encoding == u"UTF-8" || resultsCsvBytes(reloaded.table) == first,
              "save, load and save again give the same file");
    return 0;
}
