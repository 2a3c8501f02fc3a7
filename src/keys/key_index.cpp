#include "key_index.h"

#include <QSharedData>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Holds the texts of the keys where they never move, so the hash can be keyed by
// views of them.
class KeyTexts
{
public:
    QStringView store(QStringView key)
    {
        if (m_blocks.empty() || m_used + key.size() > blockSize) {
            m_blocks.push_back(std::make_unique<char16_t[]>(std::size_t(std::max(blockSize, key.size()))));
            m_used = 0;
        }
        char16_t *const at = m_blocks.back().get() + m_used;
        std::copy(key.utf16(), key.utf16() + key.size(), at);
        m_used += key.size();
        return QStringView(at, key.size());
    }
    qsizetype memoryBytes() const { return qsizetype(m_blocks.size()) * blockSize * 2; }

private:
    static constexpr qsizetype blockSize = 2048;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    qsizetype m_used = 0;
};

// The rows of one key. Most keys are held by one row and need no list; `more` is the
// place of the list of the others in Data::others.
struct Holders
{
    int first = -1;
    int more = -1;
};

} // namespace

struct KeyIndex::Data : QSharedData
{
    Data() = default;
    // A copy about to change: its hash gets views of texts of its own.
    Data(const Data &other) : QSharedData(other) { copyFrom(other); }

    void copyFrom(const Data &other)
    {
        rows.reserve(other.rows.size());
        for (auto it = other.rows.cbegin(); it != other.rows.cend(); ++it) {
            Holders holders{it->first, -1};
            if (it->more >= 0) {
                holders.more = int(others.size());
                others.push_back(other.others[std::size_t(it->more)]);
            }
            rows.insert(texts.store(it.key()), holders);
        }
        keyedRows = other.keyedRows;
        sharedKeys = other.sharedKeys;
        liveChars = other.liveChars;
    }

    QList<int> &othersOf(Holders &holders)
    {
        if (holders.more < 0) {
            if (freeOthers.empty()) {
                holders.more = int(others.size());
                others.emplace_back();
            } else {
                holders.more = freeOthers.back();
                freeOthers.pop_back();
            }
        }
        return others[std::size_t(holders.more)];
    }

    void dropOthers(Holders &holders)
    {
        others[std::size_t(holders.more)] = QList<int>();
        freeOthers.push_back(holders.more);
        holders.more = -1;
    }

    QHash<QStringView, Holders> rows;
    KeyTexts texts;
    std::vector<QList<int>> others;
    std::vector<int> freeOthers;
    qsizetype liveChars = 0;   // of the keys in the hash
    qsizetype unusedChars = 0; // of keys that went out of it
    int keyedRows = 0;
    int sharedKeys = 0;
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
    auto it = data.rows.find(key);
    ++data.keyedRows;
    if (it == data.rows.end()) {
        data.rows.insert(data.texts.store(key), Holders{row, -1});
        data.liveChars += key.size();
        return;
    }
    Holders &holders = *it;
    if (holders.more < 0)
        ++data.sharedKeys;
    data.othersOf(holders).append(row);
}

void KeyIndex::remove(QStringView key, int row)
{
    if (key.isEmpty())
        return;
    if (!std::as_const(d)->rows.contains(key))
        return;
    Data &data = *d;
    const auto it = data.rows.find(key);
    Holders &holders = *it;
    if (holders.first != row) {
        if (holders.more < 0 || !data.others[std::size_t(holders.more)].removeOne(row))
            return;
    } else if (holders.more < 0) {
        data.rows.erase(it);
        --data.keyedRows;
        data.liveChars -= key.size();
        data.unusedChars += key.size();
        // Texts of keys gone are given back once they outweigh the keys still held.
        if (data.unusedChars > 4096 && data.unusedChars > data.liveChars) {
            Data packed;
            packed.copyFrom(data);
            std::swap(data.rows, packed.rows);
            std::swap(data.texts, packed.texts);
            std::swap(data.others, packed.others);
            data.freeOthers.clear();
            data.unusedChars = 0;
        }
        return;
    } else {
        holders.first = data.others[std::size_t(holders.more)].takeLast();
    }
    --data.keyedRows;
    if (data.others[std::size_t(holders.more)].isEmpty()) {
        data.dropOthers(holders);
        --data.sharedKeys;
    }
}

void KeyIndex::clear()
{
    d = new Data;
}

void KeyIndex::reserve(qsizetype keys)
{
    d->rows.reserve(keys);
}

QList<int> KeyIndex::rows(QStringView key) const
{
    const auto it = d->rows.constFind(key);
    if (it == d->rows.constEnd())
        return {};
    QList<int> rows;
    if (it->more >= 0)
        rows = d->others[std::size_t(it->more)];
    rows.append(it->first);
    return rows;
}

qsizetype KeyIndex::count(QStringView key) const
{
    const auto it = d->rows.constFind(key);
    if (it == d->rows.constEnd())
        return 0;
    return 1 + (it->more >= 0 ? d->others[std::size_t(it->more)].size() : 0);
}

QList<int> KeyIndex::sharedRows() const
{
    QList<int> rows;
    for (const Holders &holders : d->rows) {
        if (holders.more >= 0) {
            rows.append(holders.first);
            rows.append(d->others[std::size_t(holders.more)]);
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
    qsizetype bytes = qsizetype(sizeof(Data)) + d->texts.memoryBytes();
    // A QHash node of a view and its holders, and the hash's own share per entry.
    bytes += d->rows.capacity() * qsizetype(sizeof(QStringView) + sizeof(Holders) + 4);
    for (const QList<int> &others : d->others)
        bytes += qsizetype(sizeof(QList<int>)) + others.capacity() * qsizetype(sizeof(int));
    return bytes;
}
