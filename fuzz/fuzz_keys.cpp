#include "fuzz_support.h"

#include "keys/key_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const KeyList list = readKeyList(buffer, QStringLiteral("Preassigned_keys.CSV"));
    fuzzCheck(list.items.size() <= KeyList::capacity, "the key list holds at most its capacity");
    fuzzCheck(list.warning.isEmpty() || list.items.size() == KeyList::capacity,
              "only a list beyond its capacity is shortened");
    for (const QString &item : list.items)
        fuzzCheck(keyOfItem(item).size() <= 4, "a key has at most four characters");
    return 0;
}
