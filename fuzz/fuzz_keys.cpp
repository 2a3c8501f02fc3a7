#include "fuzz_support.h"

#include "keys/key_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const KeyList list = readKeyList(buffer, QStringLiteral("Preassigned_keys.CSV"));
    fuzzCheck(list.items.size() <= KeyList::capacity, "the key list holds at most its capacity");
    // A file that is no text file (a NUL byte) is refused whole, and says so.
    const bool refused = list.items.isEmpty() && list.warning.endsWith(u"No keys can be chosen.");
    fuzzCheck(list.warning.isEmpty() || list.items.size() == KeyList::capacity || list.warning.contains(u"skipped")
                      || refused,
              "only a list beyond its capacity, with lines that hold no key, or refused whole is shortened");
    for (const QString &item : list.items) {
        fuzzCheck(item.size() >= 7 && QStringView(item).mid(4, 3) == u" - ", "an item is a key of four characters and \" - \"");
        for (const QChar c : QStringView(item).left(4))
            fuzzCheck(c.category() != QChar::Other_Control, "a key holds no control character");
    }
    return 0;
}
