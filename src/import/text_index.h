#pragma once

#include "import/dbc_details.h"

#include <QString>
#include <QStringView>

#include <vector>

// Texts found by their content: open addressing over the characters of one pool.
class TextIndex
{
public:
    struct Slot
    {
        DbcDetails::Text text; // empty: the slot is free
        qint32 value = -1;
    };

    // The slot that holds `text`, or the free one where it belongs; a free slot
    // taken is to be filled and then counted with taken().
    Slot &slot(const QString &pool, QStringView text);
    void taken() { ++m_count; }

private:
    void grow(const QString &pool);

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};
