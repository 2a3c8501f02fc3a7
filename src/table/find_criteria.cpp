#include "find_criteria.h"

RowMatcher::RowMatcher(const FindCriteria &criteria, const TableData &grid)
    : m_grid(grid),
      m_text(criteria.caseSensitivity == Qt::CaseSensitive ? criteria.text : criteria.text.toCaseFolded()),
      m_case(criteria.caseSensitivity),
      m_first(criteria.column == FindCriteria::allColumns ? Col::Number + 1 : criteria.column),
      m_last(criteria.column == FindCriteria::allColumns ? Col::Count - 1 : criteria.column),
      m_onlyMatching(criteria.onlyMatching), m_withoutKey(criteria.withoutKey), m_sharedKey(criteria.sharedKey)
{
    // A case-insensitive match begins with any character whose case folding is the
    // text's first; there are seldom more than two.
    if (!m_text.isEmpty()) {
        const char16_t first = m_text.front().unicode();
        if (m_case == Qt::CaseSensitive || QChar::isSurrogate(first)) {
            m_firsts = QChar(first);
        } else {
            for (char32_t c = 0; c < 0x10000; ++c) {
                if (!QChar::isSurrogate(c) && QChar::toCaseFolded(c) == first)
                    m_firsts.append(QChar(c));
            }
        }
    }
    for (const QChar c : std::as_const(m_firsts)) {
        if (c.unicode() < 0x80)
            m_asciiFirst[c.unicode()] = true;
    }
    if (m_onlyMatching && m_sharedKey) {
        m_shared.resize(std::size_t(grid.rows()));
        for (const int row : grid.keyIndex().sharedRows())
            m_shared[std::size_t(row)] = true;
    }
}

// Where a match may begin, from `from` on; -1 when nowhere.
qsizetype RowMatcher::nextStart(QStringView text, qsizetype from) const
{
    const qsizetype last = text.size() - m_text.size();
    for (; from <= last; ++from) {
        const char16_t c = text[from].unicode();
        if (c < 0x80 ? m_asciiFirst[c] : m_firsts.contains(QChar(c)))
            return from;
    }
    return -1;
}

bool RowMatcher::matchesAt(QStringView text, qsizetype at) const
{
    return text.sliced(at, m_text.size()).compare(m_text, m_case) == 0;
}

// The same answer as QStringView::contains(), with the text's case folded once.
bool RowMatcher::holds(QStringView text) const
{
    for (qsizetype at = nextStart(text, 0); at >= 0; at = nextStart(text, at + 1)) {
        if (matchesAt(text, at))
            return true;
    }
    return false;
}

bool RowMatcher::cellMatches(int row, int col) const
{
    return !m_text.isEmpty() && col >= m_first && col <= m_last && holds(m_grid.cell(row, col));
}

// One scan over the searched cells back to back: most rows hold the text nowhere,
// and a match found is given to the cell it lies in.
void RowMatcher::appendMatches(int row, std::vector<GridCell> &matches) const
{
    if (m_text.isEmpty())
        return;
    const QStringView cells = m_grid.cells(row, m_first, m_last);
    int col = m_first;
    qsizetype cellEnd = m_grid.cell(row, col).size();
    for (qsizetype at = nextStart(cells, 0); at >= 0; at = nextStart(cells, at + 1)) {
        while (at >= cellEnd)
            cellEnd += m_grid.cell(row, ++col).size();
        if (at + m_text.size() <= cellEnd && matchesAt(cells, at)) {
            matches.push_back({row, col});
            at = cellEnd - 1; // on to the next cell
        }
    }
}

bool RowMatcher::passesQuickFilters(int row) const
{
    if (m_withoutKey && !m_grid.cell(row, Col::Key).isEmpty())
        return false;
    return !m_sharedKey || (std::size_t(row) < m_shared.size() && m_shared[std::size_t(row)]);
}

bool RowMatcher::showsRow(int row) const
{
    if (!m_onlyMatching)
        return true;
    if (!passesQuickFilters(row))
        return false;
    if (m_text.isEmpty())
        return true;
    std::vector<GridCell> matches;
    appendMatches(row, matches);
    return !matches.empty();
}
