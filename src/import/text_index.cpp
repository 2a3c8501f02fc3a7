#include "text_index.h"

#include <QHash>

#include <algorithm>

TextIndex::Slot &TextIndex::slot(const QString &pool, QStringView text)
{
    if (2 * (m_count + 1) > m_slots.size())
        grow(pool);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = qHash(text) & mask;; at = (at + 1) & mask) {
        Slot &slot = m_slots[at];
        if (slot.text.size == 0 || QStringView(pool).sliced(slot.text.start, slot.text.size) == text)
            return slot;
    }
}

void TextIndex::grow(const QString &pool)
{
    std::vector<Slot> old(std::max<std::size_t>(1024, 2 * m_slots.size()));
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.text.size == 0)
            continue;
        std::size_t at = qHash(QStringView(pool).sliced(slot.text.start, slot.text.size)) & mask;
        while (m_slots[at].text.size != 0)
            at = (at + 1) & mask;
        m_slots[at] = slot;
    }
}
