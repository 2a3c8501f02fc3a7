#include "table_update.h"

#include "keys/key_marking.h"
#include "update/update_report.h"

#include <QFileInfo>
#include <QHash>

#include <vector>

namespace {

constexpr int none = -1;

// A signal's identity: the CAN ID and Name cells of a row of one of the two tables,
// compared and hashed in place, so matching copies no text.
struct SignalId
{
    const TableData *table;
    int row;

    bool operator==(const SignalId &other) const
    {
        return table->sameText(row, Col::CanId, *other.table, other.row)
                && table->sameText(row, Col::Name, *other.table, other.row);
    }
};

size_t qHash(const SignalId &id, size_t seed = 0)
{
    return id.table->cellHash(id.row, Col::Name, id.table->cellHash(id.row, Col::CanId, seed));
}

// A signal's Name alone, the same way.
struct SignalName
{
    const TableData *table;
    int row;

    bool operator==(const SignalName &other) const
    {
        return table->sameText(row, Col::Name, *other.table, other.row);
    }
};

size_t qHash(const SignalName &name, size_t seed = 0)
{
    return name.table->cellHash(name.row, Col::Name, seed);
}

// The rows below the heading row; none while the heading row is not fixed.
int firstSignalRow(const TableData &table)
{
    return table.fixedRows() > 0 ? 1 : table.rows();
}

// For every imported row, the current row it is paired with, or none. `moved` tells
// the pairs made by Name alone.
struct Pairing
{
    std::vector<int> oldRowOf;
    std::vector<bool> moved;
};

// The identities of the current table's rows: an open hash table of its own that
// keeps each identity's hash, so a look-up compares texts only where the hashes agree
// (QHash compared them at every step of a probe).
class IdentityTable
{
public:
    explicit IdentityTable(const TableData &current) : m_current(current)
    {
        std::size_t capacity = 16;
        while (capacity < std::size_t(current.rows()) * 2)
            capacity *= 2;
        m_slots.assign(capacity, Slot());
    }

    static quint32 hashOf(const TableData &table, int row)
    {
        return quint32(qHash(SignalId{&table, row}, QHashSeed::globalSeed()));
    }

    // The head of the chain of current rows of the identity of `row` of `table`;
    // a new slot whose `sample` is 0 when no current row has it yet.
    int &head(const TableData &table, int row, quint32 hash, int *&sample)
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.sample == 0 || (slot.hash == hash && SignalId{&m_current, slot.sample} == SignalId{&table, row})) {
                slot.hash = hash;
                sample = &slot.sample;
                return slot.head;
            }
        }
    }

private:
    struct Slot
    {
        quint32 hash = 0;
        int sample = 0;  // a current row of the identity; 0 for a free slot
        int head = none; // the next current row of the identity not yet paired
    };

    const TableData &m_current;
    std::vector<Slot> m_slots;
};

// Pairs rows of equal CAN ID and Name in the order they stand. Each current row
// starts a chain to the next current row of the same identity, so every identity is
// looked up once per imported row, whatever the number of duplicates.
void pairByIdentity(const TableData &current, const TableData &imported, Pairing &pairing,
                    std::vector<bool> &oldTaken)
{
    IdentityTable identities(current);
    std::vector<int> next(std::size_t(current.rows()), none);
    int *sample = nullptr;
    for (int row = current.rows() - 1; row >= firstSignalRow(current); --row) {
        int &first = identities.head(current, row, IdentityTable::hashOf(current, row), sample);
        if (*sample == 0)
            *sample = row;
        else
            next[std::size_t(row)] = first;
        first = row;
    }
    for (int row = firstSignalRow(imported); row < imported.rows(); ++row) {
        int &first = identities.head(imported, row, IdentityTable::hashOf(imported, row), sample);
        if (*sample == 0 || first == none)
            continue; // a free slot stays free: its sample is still 0
        const int oldRow = first;
        pairing.oldRowOf[std::size_t(row)] = oldRow;
        oldTaken[std::size_t(oldRow)] = true;
        first = next[std::size_t(oldRow)];
    }
}

// The rows of one table left over with a name, and how many there are.
struct NameSlot
{
    int count = 0;
    int row = none;
};

// Pairs the rows left over that are the only ones of their name on each side.
void pairByName(const TableData &current, const TableData &imported, Pairing &pairing,
                const std::vector<bool> &oldTaken)
{
    QHash<SignalName, NameSlot> oldNames;
    for (int row = firstSignalRow(current); row < current.rows(); ++row) {
        if (!oldTaken[std::size_t(row)] && !current.isEmpty(row, Col::Name)) {
            NameSlot &slot = oldNames[SignalName{&current, row}];
            ++slot.count;
            slot.row = row;
        }
    }
    if (oldNames.isEmpty())
        return;
    QHash<SignalName, NameSlot> newNames;
    for (int row = firstSignalRow(imported); row < imported.rows(); ++row) {
        const SignalName name{&imported, row};
        if (pairing.oldRowOf[std::size_t(row)] == none && oldNames.contains(name)) {
            NameSlot &slot = newNames[name];
            ++slot.count;
            slot.row = row;
        }
    }
    for (auto it = newNames.cbegin(); it != newNames.cend(); ++it) {
        const NameSlot old = oldNames.value(it.key());
        if (it.value().count == 1 && old.count == 1) {
            pairing.oldRowOf[std::size_t(it.value().row)] = old.row;
            pairing.moved[std::size_t(it.value().row)] = true;
        }
    }
}

LoneSignal loneSignal(const TableData &table, int row)
{
    return {row, table.text(row, Col::CanId), table.text(row, Col::Name), table.text(row, Col::Key),
            table.text(row, Col::Number)};
}

// Compares the fields of a pair; read before anything is carried into the new row.
QList<FieldChange> fieldChanges(const TableData &current, int oldRow, const TableData &imported, int row)
{
    QList<FieldChange> changes;
    const quint16 handMade = current.handMade(oldRow);
    for (int col = 1; col < Col::Count; ++col) {
        if (!isComparedField(col) || current.sameText(oldRow, col, imported, row))
            continue;
        changes.append({col, current.text(oldRow, col), imported.text(row, col), (handMade & (1u << col)) != 0});
    }
    return changes;
}

// Gives the new row the Key and the hand-made cells of its current row.
void carryOver(const TableData &current, int oldRow, TableData &table, int row)
{
    if (!current.isEmpty(oldRow, Col::Key))
        table.setText(row, Col::Key, current.text(oldRow, Col::Key));
    const quint16 handMade = current.handMade(oldRow);
    for (int col = 0; col < Col::Count; ++col) {
        if (col != Col::Key && (handMade & (1u << col)))
            table.setText(row, col, current.text(oldRow, col));
    }
    table.setHandMade(row, handMade);
}

} // namespace

bool isComparedField(int col)
{
    switch (col) {
    case Col::Position:
    case Col::Bytes:
    case Col::Signed:
    case Col::Scale:
    case Col::Offset:
    case Col::Unit:
    case Col::LittleEndian:
        return true;
    default:
        return false;
    }
}

bool hasSignalRows(const TableData &table)
{
    for (int row = firstSignalRow(table); row < table.rows(); ++row) {
        for (int col = 1; col < Col::Count; ++col) {
            if (!table.isEmpty(row, col))
                return true;
        }
    }
    return false;
}

TableUpdate updateTable(const TableData &current, TableData imported, const QString &newFile)
{
    TableUpdate update;
    UpdateReport &report = update.report;
    report.newFile = newFile;

    Pairing pairing;
    pairing.oldRowOf.assign(std::size_t(imported.rows()), none);
    pairing.moved.assign(std::size_t(imported.rows()), false);
    std::vector<bool> oldTaken(std::size_t(current.rows()), false);
    pairByIdentity(current, imported, pairing, oldTaken);
    pairByName(current, imported, pairing, oldTaken);

    const QString fileName = QFileInfo(newFile).fileName();
    TableData &table = update.table;
    table = std::move(imported);
    // Its keys are the current rows' keys carried over, no more.
    table.reserveKeys(current.keyIndex().keyedRows());
    for (int row = firstSignalRow(table); row < table.rows(); ++row) {
        const int oldRow = pairing.oldRowOf[std::size_t(row)];
        if (oldRow == none) {
            ++report.added;
            report.addedSignals.append(loneSignal(table, row));
            table.setRowMark(row, RowMark::Added, QStringLiteral("New in %1").arg(fileName));
            continue;
        }
        oldTaken[std::size_t(oldRow)] = true;
        const bool moved = pairing.moved[std::size_t(row)];
        ++(moved ? report.moved : report.kept);
        QList<FieldChange> fields = fieldChanges(current, oldRow, table, row);
        if (!moved && fields.isEmpty()) {
            carryOver(current, oldRow, table, row);
            continue;
        }
        const QString canId = table.text(row, Col::CanId); // before a hand-typed one is carried
        carryOver(current, oldRow, table, row);
        ChangedSignal changed{row,
                              table.text(row, Col::Name),
                              canId,
                              current.text(oldRow, Col::CanId),
                              table.text(row, Col::Key),
                              std::move(fields),
                              table.text(row, Col::Number)};
        table.setRowMark(row, RowMark::Changed, changeNote(changed));
        report.changedSignals.append(std::move(changed));
    }
    for (int row = firstSignalRow(current); row < current.rows(); ++row) {
        if (!oldTaken[std::size_t(row)]) {
            ++report.removed;
            report.removedSignals.append(loneSignal(current, row));
        }
    }
    markAllKeys(table);
    return update;
}
