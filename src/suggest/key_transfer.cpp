#include "key_transfer.h"

#include "table/table_data.h"
#include "table/text_helpers.h"

#include <QHash>

QString looseName(QStringView name)
{
    QString loose;
    loose.reserve(name.size());
    for (QChar c : name) {
        if (c != u'_' && c != u'-' && c != u' ')
            loose += c.toLower();
    }
    return loose;
}

std::vector<KeyProposal> keysFromOtherList(const TableData &table, const TableData &other)
{
    QHash<QString, QString> exact;
    QHash<QString, QString> loose;
    QVarLengthArray<char16_t, 64> buffer; // a view would keep a UTF-16 copy of each chunk
    for (int row = other.fixedRows(); row < other.rows(); ++row) {
        const QString key = other.text(row, Col::Key);
        const QStringView name = trimSpaces(other.cell(row, Col::Name, buffer));
        if (key.isEmpty() || name.isEmpty())
            continue;
        exact.insert(name.toString(), exact.value(name.toString(), key));
        const QString relaxed = looseName(name);
        loose.insert(relaxed, loose.value(relaxed, key));
    }
    std::vector<KeyProposal> proposals;
    if (exact.isEmpty() || table.fixedRows() == 0)
        return proposals;
    for (int row = table.fixedRows(); row < table.rows(); ++row) {
        const QStringView name = trimSpaces(table.cell(row, Col::Name, buffer));
        if (name.isEmpty())
            continue;
        KeyProposal proposal{row, exact.value(name.toString()), 100,
                             QStringLiteral("the same name in the other list")};
        if (proposal.key.isEmpty()) {
            proposal.key = loose.value(looseName(name));
            proposal.score = 90;
            proposal.reason = QStringLiteral("the same name in the other list but for case, \"_\", \"-\" or spaces");
        }
        if (!proposal.key.isEmpty() && proposal.key != table.text(row, Col::Key))
            proposals.push_back(std::move(proposal));
    }
    return proposals;
}
