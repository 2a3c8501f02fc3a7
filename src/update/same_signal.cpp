#include "same_signal.h"

#include "table/table_data.h"

namespace {

bool sameSignal(const TableData &a, int rowA, const TableData &b, int rowB, bool byCanId)
{
    return a.sameText(rowA, Col::Name, b, rowB) && (!byCanId || a.sameText(rowA, Col::CanId, b, rowB));
}

} // namespace

int sameSignalRow(const TableData &before, int row, const TableData &after)
{
    if (row < before.fixedRows() || row >= before.rows() || before.fixedRows() == 0)
        return -1;
    int earlier = 0; // rows above `row` with the same CAN ID and Name
    for (int r = before.fixedRows(); r < row; ++r)
        earlier += sameSignal(before, row, before, r, true) ? 1 : 0;
    int byName = -1;
    int named = 0;
    for (int r = after.fixedRows(); r < after.rows(); ++r) {
        if (sameSignal(before, row, after, r, true) && earlier-- == 0)
            return r;
        if (sameSignal(before, row, after, r, false)) {
            byName = r;
            ++named;
        }
    }
    return named == 1 && !before.isEmpty(row, Col::Name) ? byName : -1;
}
