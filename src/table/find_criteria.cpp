#include "find_criteria.h"

#include "import/dbc_details.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The table columns a find looks through: every one but "#", one, or none.
int firstColumn(int column)
{
    return column == FindCriteria::allColumns ? Col::Number + 1 : column >= 0 ? column : Col::Count;
}

int lastColumn(int column)
{
    return column == FindCriteria::allColumns ? Col::Count - 1 : column >= 0 ? column : Col::Count - 1;
}

} // namespace

RowMatcher::RowMatcher(const FindCriteria &criteria, const TableData &grid)
    : m_grid(grid), m_details(grid.details().get()),
      m_inDetails(!m_details                                         ? InDetails::No
                  : criteria.column == FindCriteria::allColumns     ? InDetails::All
                  : criteria.column == FindCriteria::messageColumn ? InDetails::Message
                  : criteria.column == FindCriteria::commentColumn ? InDetails::Comment
                                                                    : InDetails::No),
      m_text(criteria.caseSensitivity == Qt::CaseSensitive ? criteria.text : criteria.text.toCaseFolded()),
      m_case(criteria.caseSensitivity),
      m_first(firstColumn(criteria.column)),
      m_last(lastColumn(criteria.column)),
      m_onlyMatching(criteria.onlyMatching), m_withoutKey(criteria.withoutKey), m_sharedKey(criteria.sharedKey),
      m_added(criteria.addedByUpdate), m_changed(criteria.changedByUpdate)
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
    int ascii = 0;
    for (const QChar c : std::as_const(m_firsts)) {
        if (c.unicode() >= 0x80) {
            m_wideFirsts = true;
        } else {
            m_asciiFirst[c.unicode()] = true;
            if (ascii < 2)
                m_asciiFirsts[ascii++] = c.unicode();
        }
    }
    if (m_onlyMatching && m_sharedKey) {
        m_shared.resize(std::size_t(grid.rows()));
        for (const int row : grid.keyIndex().sharedRows())
            m_shared[std::size_t(row)] = true;
    }
}

bool RowMatcher::beginsMatch(char16_t c) const
{
    return c < 0x80 ? m_asciiFirst[c] : m_wideFirsts && m_firsts.contains(QChar(c));
}

// Where a match may begin, from `from` on; -1 when nowhere. This scan is most of the
// time a find takes, so it passes over eight characters at a time where it can.
qsizetype RowMatcher::nextStart(QStringView text, qsizetype from) const
{
    const qsizetype last = text.size() - m_text.size();
    const char16_t *const chars = text.utf16();
    while (from <= last) {
#if defined(__SSE2__)
        const __m128i first = _mm_set1_epi16(short(m_asciiFirsts[0]));
        const __m128i second = _mm_set1_epi16(short(m_asciiFirsts[1]));
        const __m128i wide = _mm_set1_epi16(m_wideFirsts ? short(0xFF80) : 0);
        for (; from + 8 <= last + 1; from += 8) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(chars + from));
            const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(block, wide), _mm_setzero_si128());
            const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(block, first), _mm_cmpeq_epi16(block, second));
            if (_mm_movemask_epi8(_mm_or_si128(hits, _mm_xor_si128(ascii, _mm_set1_epi16(-1)))) != 0)
                break;
        }
#endif
        for (const qsizetype stop = std::min(last, from + 7); from <= stop; ++from) {
            if (beginsMatch(chars[from]))
                return from;
        }
    }
    return -1;
}

// Compares without a call per character: in a case-insensitive find, the table's
// characters are folded one by one as QString folds them, and Qt compares only where
// a surrogate pair may fold as a whole.
bool RowMatcher::matchesAt(QStringView text, qsizetype at) const
{
    const char16_t *const chars = text.utf16() + at;
    const char16_t *const wanted = QStringView(m_text).utf16();
    const qsizetype size = m_text.size();
    if (m_case == Qt::CaseSensitive)
        return std::equal(wanted, wanted + size, chars);
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i];
        if (c < 0x80) {
            if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != wanted[i])
                return false;
        } else if (QChar::isSurrogate(c) || QChar::isSurrogate(wanted[i])) {
            return text.sliced(at, size).compare(m_text, Qt::CaseInsensitive) == 0;
        } else if (QChar::toCaseFolded(c) != wanted[i]) {
            return false;
        }
    }
    return true;
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

bool RowMatcher::detailsHold(int row) const
{
    const int index = m_inDetails == InDetails::No ? -1 : m_grid.detailsSignal(row);
    if (index < 0 || index >= m_details->signalCount())
        return false;
    const DbcDetails::Signal &signal = m_details->signal(index);
    const DbcDetails::Message *message = signal.message >= 0 ? &m_details->message(signal.message) : nullptr;
    const auto has = [this](DbcDetails::Text text) { return text.size > 0 && holds(m_details->text(text)); };
    switch (m_inDetails) {
    case InDetails::Message: return message && has(message->name);
    case InDetails::Comment: return has(signal.comment) || (message && has(message->comment));
    case InDetails::All:
        // The descriptions stand apart by NUL characters, which no find text holds.
        return (message && (has(message->name) || has(message->comment))) || has(signal.comment)
                || has(signal.longName) || has(signal.valueLabels);
    case InDetails::No: break;
    }
    return false;
}

bool RowMatcher::cellMatches(int row, int col) const
{
    if (m_text.isEmpty())
        return false;
    return (col >= m_first && col <= m_last && holds(m_grid.cell(row, col))) || (col == Col::Name && detailsHold(row));
}

// One scan over the searched cells back to back: most rows hold the text nowhere,
// and a match found is given to the cell it lies in. A match in the details is the
// Name cell's, in its place among the row's cells.
void RowMatcher::appendMatches(int row, std::vector<GridCell> &matches) const
{
    if (m_text.isEmpty())
        return;
    const std::size_t before = matches.size();
    if (m_first <= m_last)
        appendCellMatches(row, matches);
    if (m_inDetails == InDetails::No)
        return;
    const auto rowMatches = matches.begin() + std::ptrdiff_t(before);
    const auto after = std::find_if(rowMatches, matches.end(), [](const GridCell &c) { return c.col >= Col::Name; });
    if ((after == matches.end() || after->col != Col::Name) && detailsHold(row))
        matches.insert(after, {row, Col::Name});
}

void RowMatcher::appendCellMatches(int row, std::vector<GridCell> &matches) const
{
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
    if (m_added || m_changed) {
        const RowMark mark = m_grid.rowMark(row);
        if (!(m_added && mark == RowMark::Added) && !(m_changed && mark == RowMark::Changed))
            return false;
    }
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
