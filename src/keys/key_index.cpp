#include "key_index.h"

#include <QHashFunctions>
#include <QSharedData>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// One key: where its text is, its hash and its rows. Most keys are held by one row
// and need no list; `more` is the place of the list of the others in Data::others.
struct Slot
{
    quint32 hash = 0;
    qint32 first = -1; // -1: the slot is free
    qint32 more = -1;
    quint32 text = 0; // where the key's length and characters begin in Data::texts
};

constexpr qsizetype lengthUnits = 2; // a key's length stands before it in two units

} // namespace

struct KeyIndex::Data : QSharedData
{
    std::vector<Slot> buckets; // a power of two of them, at most 3/4 in use
    std::vector<char16_t> texts;
    std::vector<QList<int>> others;
    std::vector<int> freeOthers;
    qsizetype keys = 0;
    qsizetype unusedUnits = 0; // of the texts of keys gone
    int keyedRows = 0;
    int sharedKeys = 0;

    static quint32 hashOf(QStringView key)
    {
        return quint32(qHashBits(key.utf16(), std::size_t(key.size()) * 2, QHashSeed::globalSeed()));
    }

    QStringView textOf(const Slot &slot) const
    {
        const char16_t *const at = texts.data() + slot.text;
        return QStringView(at + lengthUnits, qsizetype(at[0]) | qsizetype(at[1]) << 16);
    }

    std::size_t mask() const { return buckets.size() - 1; }

    // The slot of `key`, or the free slot where it would go.
    std::size_t find(QStringView key, quint32 hash) const
    {
        if (buckets.empty())
            return 0;
        for (std::size_t i = hash & mask();; i = (i + 1) & mask()) {
            const Slot &slot = buckets[i];
            if (slot.first < 0 || (slot.hash == hash && textOf(slot) == key))
                return i;
        }
    }

    bool holds(std::size_t i) const { return i < buckets.size() && buckets[i].first >= 0; }

    quint32 storeText(QStringView key)
    {
        const quint32 at = quint32(texts.size());
        texts.push_back(char16_t(key.size() & 0xFFFF));
        texts.push_back(char16_t(quint64(key.size()) >> 16));
        texts.insert(texts.end(), key.utf16(), key.utf16() + key.size());
        return at;
    }

    void grow(std::size_t capacity)
    {
        std::vector<Slot> old;
        old.swap(buckets);
        buckets.assign(capacity, Slot());
        for (const Slot &slot : old) {
            if (slot.first < 0)
                continue;
            std::size_t i = slot.hash & mask();
            while (buckets[i].first >= 0)
                i = (i + 1) & mask();
            buckets[i] = slot;
        }
    }

    // Takes the slot out and moves the buckets after it back where they belong, so that
    // no look-up stops early at the gap.
    void erase(std::size_t gap)
    {
        unusedUnits += lengthUnits + textOf(buckets[gap]).size();
        buckets[gap] = Slot();
        --keys;
        for (std::size_t i = (gap + 1) & mask(); buckets[i].first >= 0; i = (i + 1) & mask()) {
            // The slot may fill the gap when the gap lies on its way from its home.
            const std::size_t home = buckets[i].hash & mask();
            if (((i - home) & mask()) >= ((i - gap) & mask())) {
                buckets[gap] = buckets[i];
                buckets[i] = Slot();
                gap = i;
            }
        }
        if (unusedUnits > 4096 && qsizetype(texts.size()) < 2 * unusedUnits)
            packTexts();
    }

    // Gives back the texts of keys gone once they outweigh the keys still held.
    void packTexts()
    {
        std::vector<char16_t> old;
        old.swap(texts);
        texts.reserve(old.size() - std::size_t(unusedUnits));
        for (Slot &slot : buckets) {
            if (slot.first < 0)
                continue;
            const char16_t *const at = old.data() + slot.text;
            const std::size_t units = std::size_t(lengthUnits + (qsizetype(at[0]) | qsizetype(at[1]) << 16));
            slot.text = quint32(texts.size());
            texts.insert(texts.end(), at, at + units);
        }
        unusedUnits = 0;
    }

    QList<int> &othersOf(Slot &slot)
    {
        if (slot.more < 0) {
            if (freeOthers.empty()) {
                slot.more = int(others.size());
                others.emplace_back();
            } else {
                slot.more = freeOthers.back();
                freeOthers.pop_back();
            }
        }
        return others[std::size_t(slot.more)];
    }

    void dropOthers(Slot &slot)
    {
        others[std::size_t(slot.more)] = QList<int>();
        freeOthers.push_back(slot.more);
        slot.more = -1;
    }
};

KeyIndex::KeyIndex() : d(new Data) {}
KeyIndex::KeyIndex(const KeyIndex &other) = default;
KeyIndex::KeyIndex(KeyIndex &&other) noexcept = default;
KeyIndex &KeyIndex::operator=(const KeyIndex &other) = default;
KeyIndex &KeyIndex::operator=(KeyIndex &&other) noexcept = default;
KeyIndex::~KeyIndex() = default;

void KeyIndex::add(QStringView key, int row)
{
    if (key.isEmpty())
        return;
    Data &data = *d;
    if (std::size_t(data.keys + 1) * 4 > data.buckets.size() * 3)
        data.grow(std::max<std::size_t>(16, data.buckets.size() * 2));
    const quint32 hash = Data::hashOf(key);
    const std::size_t i = data.find(key, hash);
    Slot &slot = data.buckets[i];
    ++data.keyedRows;
    if (slot.first < 0) {
        slot = Slot{hash, row, -1, data.storeText(key)};
        ++data.keys;
        return;
    }
    if (slot.more < 0)
        ++data.sharedKeys;
    data.othersOf(slot).append(row);
}

void KeyIndex::remove(QStringView key, int row)
{
    if (key.isEmpty())
        return;
    const quint32 hash = Data::hashOf(key);
    if (!std::as_const(d)->holds(std::as_const(d)->find(key, hash)))
        return;
    Data &data = *d;
    const std::size_t i = data.find(key, hash);
    Slot &slot = data.buckets[i];
    if (slot.first != row) {
        if (slot.more < 0 || !data.others[std::size_t(slot.more)].removeOne(row))
            return;
    } else if (slot.more < 0) {
        --data.keyedRows;
        data.erase(i);
        return;
    } else {
        slot.first = data.others[std::size_t(slot.more)].takeLast();
    }
    --data.keyedRows;
    if (data.others[std::size_t(slot.more)].isEmpty()) {
        data.dropOthers(slot);
        --data.sharedKeys;
    }
}

void KeyIndex::clear()
{
    d = new Data;
}

void KeyIndex::reserve(qsizetype keys)
{
    std::size_t capacity = 16;
    while (capacity * 3 < std::size_t(keys) * 4)
        capacity *= 2;
    if (capacity > d->buckets.size())
        d->grow(capacity);
}

QList<int> KeyIndex::rows(QStringView key) const
{
    if (key.isEmpty())
        return {};
    const std::size_t i = d->find(key, Data::hashOf(key));
    if (!d->holds(i))
        return {};
    const Slot &slot = d->buckets[i];
    QList<int> rows;
    if (slot.more >= 0)
        rows = d->others[std::size_t(slot.more)];
    rows.append(slot.first);
    return rows;
}

qsizetype KeyIndex::count(QStringView key) const
{
    if (key.isEmpty())
        return 0;
    const std::size_t i = d->find(key, Data::hashOf(key));
    if (!d->holds(i))
        return 0;
    const Slot &slot = d->buckets[i];
    return 1 + (slot.more >= 0 ? d->others[std::size_t(slot.more)].size() : 0);
}

QList<int> KeyIndex::sharedRows() const
{
    QList<int> rows;
    for (const Slot &slot : d->buckets) {
        if (slot.first >= 0 && slot.more >= 0) {
            rows.append(slot.first);
            rows.append(d->others[std::size_t(slot.more)]);
        }
    }
    return rows;
}

int KeyIndex::keyedRows() const
{
    return d->keyedRows;
}

int KeyIndex::sharedKeys() const
{
    return d->sharedKeys;
}

qsizetype KeyIndex::memoryBytes() const
{
    qsizetype bytes = qsizetype(sizeof(Data) + d->buckets.capacity() * sizeof(Slot) + d->texts.capacity() * 2);
    for (const QList<int> &others : d->others)
        bytes += qsizetype(sizeof(QList<int>)) + others.capacity() * qsizetype(sizeof(int));
    return bytes;
}
