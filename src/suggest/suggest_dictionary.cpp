#include "suggest_dictionary.h"

#include "keys/key_list_places.h"
#include "suggest/signal_words.h"
#include "table/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Compounds are looked for only in words of a plausible length: the search costs the
// square of the length.
constexpr qsizetype shortestCompound = 6;
constexpr qsizetype longestCompound = 48;
constexpr qsizetype shortestPart = 3;
constexpr int reportedLines = 10;
// Bounds that keep a hostile or mistaken file from making every name slow to read.
constexpr std::size_t mostPhrasesPerWord = 64;
constexpr std::size_t mostConceptsPerSpelling = 16;
constexpr std::size_t mostValueRules = 256;
constexpr qsizetype mostValueWords = 64;

QStringList splitSpaced(QStringView text)
{
    QStringList words;
    for (const QStringView word : text.split(u' ', Qt::SkipEmptyParts)) {
        for (const QStringView piece : word.split(u'\t', Qt::SkipEmptyParts))
            words.append(piece.toString());
    }
    return words;
}

void addUnique(std::vector<int> &to, const std::vector<int> &from)
{
    for (int conceptId : from) {
        if (to.size() < mostConceptsPerSpelling && std::find(to.begin(), to.end(), conceptId) == to.end())
            to.push_back(conceptId);
    }
}

QString lineWarning(const QString &fileName, const std::vector<qint64> &lines, qint64 more)
{
    QStringList numbers;
    for (qint64 line : lines)
        numbers.append(QString::number(line));
    QString text = QStringLiteral("%1: line %2").arg(displayName(fileName), numbers.join(QStringLiteral(", ")));
    if (more > 0)
        text += QStringLiteral(" and %1 more").arg(more);
    return text + QStringLiteral(" could not be used (a line is \"words: spellings\"); the rest was read.");
}

} // namespace

QString SuggestDictionary::normaliseUnit(QStringView unit)
{
    QString out;
    out.reserve(unit.size() + 4);
    for (QChar c : unit) {
        switch (c.unicode()) {
        case u' ':
        case u'\t':
        case 0x00C2: // what a UTF-8 degree or micro sign leaves when read as Windows-1252
            break;
        case 0x00B0:
        case 0x00BA:
            out += u"deg";
            break;
        case 0x00B5:
        case 0x03BC:
            out += u'u';
            break;
        case 0x00B2:
            out += u'2';
            break;
        case 0x00E9:
        case 0x00E8:
            out += u'e';
            break;
        case 0x03BB:
            out += u"lambda";
            break;
        default:
            out += c.toLower();
        }
    }
    if (out.startsWith(u"unit_"))
        out.remove(0, 5);
    out.replace(QStringLiteral("**2"), QStringLiteral("2"));
    out.replace(QStringLiteral("^2"), QStringLiteral("2"));
    return out;
}

int SuggestDictionary::internConcept(const QString &word)
{
    const auto found = m_concepts.constFind(word);
    if (found != m_concepts.cend())
        return *found;
    const int id = int(m_conceptNames.size());
    m_concepts.insert(word, id);
    m_conceptNames.append(word);
    return id;
}

std::vector<int> SuggestDictionary::internConcepts(const QStringList &words)
{
    std::vector<int> ids;
    for (const QString &word : words) {
        const int id = internConcept(foldWord(word));
        addUnique(ids, {id});
        addSpelling(foldWord(word), {id});
    }
    return ids;
}

void SuggestDictionary::addSpelling(const QString &spelling, const std::vector<int> &concepts, Kind kind)
{
    QStringList words = spelling.split(u'_', Qt::SkipEmptyParts);
    if (words.size() > 1) {
        Phrase phrase;
        for (const QString &word : std::as_const(words))
            phrase.words.push_back(foldWord(word));
        phrase.concepts = concepts;
        phrase.kind = kind;
        std::vector<Phrase> &phrases = m_phrases[phrase.words.front()];
        if (phrases.size() >= mostPhrasesPerWord)
            return;
        phrases.push_back(std::move(phrase));
        std::stable_sort(phrases.begin(), phrases.end(),
                         [](const Phrase &a, const Phrase &b) { return a.words.size() > b.words.size(); });
        return;
    }
    if (words.isEmpty())
        return;
    Meaning &meaning = m_words[foldWord(words.front())];
    if (meaning.kind != Kind::Negative)
        meaning.kind = Kind::Concept;
    addUnique(meaning.concepts, concepts);
}

bool SuggestDictionary::addLine(QStringView line)
{
    const QStringView text = line.trimmed();
    if (text.isEmpty() || text.startsWith(u"//"))
        return true;
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0)
        return false;
    QStringList left = splitSpaced(text.left(colon));
    const QStringList right = splitSpaced(text.mid(colon + 1));
    if (left.isEmpty() || right.isEmpty())
        return false;
    const QString keyword = left.front();
    if (keyword == u"not" || keyword == u"neutral" || keyword == u"weak" || keyword == u"minor") {
        if (left.size() != 1)
            return false;
        for (const QString &word : right) {
            const QString folded = foldWord(word);
            if (keyword == u"weak") {
                m_weak.insert(folded);
            } else if (keyword == u"minor") {
                m_minor.insert(internConcept(folded));
            } else if (folded.contains(u'_')) {
                addSpelling(folded, {}, keyword == u"not" ? Kind::Negative : Kind::Neutral);
            } else if (keyword == u"not") {
                m_words[folded].kind = Kind::Negative;
            } else {
                Meaning &meaning = m_words[folded];
                if (meaning.kind == Kind::Unknown)
                    meaning.kind = Kind::Neutral;
            }
        }
        return true;
    }
    const bool special = keyword == u"unit" || keyword == u"values" || keyword == u"prefix";
    if (special)
        left.removeFirst();
    if (left.isEmpty() && keyword != u"prefix")
        return false;
    const std::vector<int> concepts = internConcepts(left);
    for (const QString &spelling : right) {
        if (keyword == u"unit") {
            std::vector<int> &quantities = m_units[normaliseUnit(spelling)];
            addUnique(quantities, concepts);
            for (int conceptId : concepts)
                m_quantities.insert(conceptId);
        } else if (keyword == u"prefix") {
            addUnique(m_prefixes[foldWord(spelling)], concepts);
        } else if (keyword != u"values") {
            addSpelling(spelling, concepts);
        }
    }
    if (keyword == u"values") {
        if (m_valueRules.size() >= mostValueRules || right.size() > mostValueWords)
            return false;
        ValueRule rule{concepts, {}};
        for (const QString &word : right)
            rule.words.append(foldWord(word));
        m_valueRules.push_back(std::move(rule));
    }
    return true;
}

QString SuggestDictionary::add(QIODevice &device, const QString &fileName, QStringList &warnings)
{
    std::vector<qint64> badLines;
    qint64 moreBadLines = 0;
    const QString error = readLines<QStringView>(device, fileName, [&](QStringView line, qint64 number) {
        if (addLine(line))
            return;
        if (badLines.size() < std::size_t(reportedLines))
            badLines.push_back(number);
        else
            ++moreBadLines;
    });
    if (!badLines.empty())
        warnings.append(lineWarning(fileName, badLines, moreBadLines));
    m_sortedSpellings = m_words.keys();
    m_sortedSpellings.sort();
    return error;
}

QString SuggestDictionary::addFile(const QString &fileName, QStringList &warnings)
{
    QFile file(fileName);
    QString error;
    if (!openForReading(file, error))
        return error;
    return add(file, fileName, warnings);
}

QStringList SuggestDictionary::files(const KeyListPlaces &places)
{
    QStringList found;
    for (const QString &folder : {places.programFolder, places.installedFolder}) {
        const QString file = QDir(folder).filePath(fileName());
        if (!folder.isEmpty() && QFileInfo::exists(file)) {
            found.append(file);
            break;
        }
    }
    const QString own = QDir(places.userFolder).filePath(fileName());
    if (!places.userFolder.isEmpty() && QFileInfo::exists(own))
        found.append(own);
    return found;
}

SuggestDictionary SuggestDictionary::standard(const KeyListPlaces &places, QStringList &warnings)
{
    SuggestDictionary dictionary;
    const QStringList found = files(places);
    if (found.isEmpty())
        warnings.append(QStringLiteral("No %1 was found beside the program or in its data folder; "
                                       "keys are suggested from the words of their descriptions only.")
                                .arg(fileName()));
    for (const QString &file : found) {
        const QString error = dictionary.addFile(file, warnings);
        if (!error.isEmpty())
            warnings.append(error);
    }
    return dictionary;
}

const SuggestDictionary::Meaning *SuggestDictionary::exact(const QString &word) const
{
    const auto found = m_words.constFind(word);
    return found == m_words.cend() ? nullptr : &*found;
}

QStringList SuggestDictionary::parts(const QString &word) const
{
    if (word.size() < shortestCompound || word.size() > longestCompound || resolve(word).kind != Kind::Unknown)
        return {};
    // cover[i]: the fewest known words that make up the first i characters, and
    // where the last of them begins and ends; a German linking "s" may follow a part.
    struct Cover
    {
        int parts = -1;
        qsizetype from = 0;
        qsizetype partEnd = 0;
    };
    const qsizetype length = word.size();
    std::vector<Cover> cover(std::size_t(length) + 1);
    cover[0].parts = 0;
    for (qsizetype i = 0; i < length; ++i) {
        if (cover[std::size_t(i)].parts < 0)
            continue;
        for (qsizetype j = i + shortestPart; j <= length; ++j) {
            const Meaning *part = exact(word.mid(i, j - i));
            if (!part || part->kind == Kind::Unknown)
                continue;
            const int parts = cover[std::size_t(i)].parts + 1;
            for (qsizetype end : {j, j + 1}) {
                if (end > length || (end == j + 1 && word[j] != u's'))
                    continue;
                Cover &best = cover[std::size_t(end)];
                if (best.parts < 0 || parts < best.parts)
                    best = {parts, i, j};
            }
        }
    }
    QStringList found;
    if (cover.back().parts < 2)
        return found;
    for (qsizetype end = length; end > 0;) {
        const Cover &step = cover[std::size_t(end)];
        found.prepend(word.mid(step.from, step.partEnd - step.from));
        end = step.from;
    }
    return found;
}

SuggestDictionary::Meaning SuggestDictionary::resolve(const QString &word) const
{
    if (const Meaning *meaning = exact(word))
        return *meaning;
    if (word.size() > 3 && word.endsWith(u's')) {
        if (const Meaning *meaning = exact(word.chopped(1)))
            return *meaning;
    }
    return {};
}

QString SuggestDictionary::completion(const QString &start) const
{
    if (start.size() < shortestPart)
        return {};
    const auto found = std::lower_bound(m_sortedSpellings.cbegin(), m_sortedSpellings.cend(), start);
    if (found == m_sortedSpellings.cend() || !found->startsWith(start))
        return {};
    return *found;
}

const std::vector<SuggestDictionary::Phrase> *SuggestDictionary::phrasesFrom(const QString &word) const
{
    const auto found = m_phrases.constFind(word);
    return found == m_phrases.cend() ? nullptr : &*found;
}

const std::vector<int> *SuggestDictionary::prefix(const QString &word) const
{
    const auto found = m_prefixes.constFind(word);
    return found == m_prefixes.cend() ? nullptr : &*found;
}

const std::vector<int> *SuggestDictionary::unitQuantities(const QString &unit) const
{
    const auto found = m_units.constFind(unit);
    return found == m_units.cend() ? nullptr : &*found;
}
