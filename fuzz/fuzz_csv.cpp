#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const ImportResult loaded = LoadCSV(buffer, QStringLiteral("fuzz.csv"));
    fuzzCheck(loaded.ok(), "a results CSV load from memory succeeds");
    checkWrittenTable(loaded.table);

    // A loaded table holds no separators or line ends in its cells, so writing it,
    // loading that and writing again must give the same file.
    QByteArray first = resultsCsvBytes(loaded.table);
    QBuffer again(&first);
    const ImportResult reloaded = LoadCSV(again, QStringLiteral("first.csv"));
    fuzzCheck(resultsCsvBytes(reloaded.table) == first, "save, load and save again give the same file");
    return 0;
}
