#include "key_matcher.h"

#include "keys/key_list.h"
#include "suggest/signal_words.h"
#include "suggest/suggestion_memory.h"

#include <algorithm>
#include <cmath>

namespace {

using Kind = SuggestDictionary::Kind;

// How much each kind of evidence says about a concept, 1 being a word of the name.
constexpr float nameStrength = 1.0f;
constexpr float letterStrength = 0.6f; // a one-letter word: "n", "t", "p"
constexpr float prefixStrength = 0.5f;
constexpr float messageStrength = 0.5f;
constexpr float commentStrength = 0.7f;
constexpr float unitStrength = 0.7f;
constexpr float valuesStrength = 0.8f;
constexpr float oneBitStrength = 0.6f;

// What a name word that does not fit the key costs.
constexpr float negativeCost = 0.4f;     // "request", "max", "fault"
constexpr float otherConceptCost = 0.15f; // "oil" for a coolant temperature
constexpr float otherLetterCost = 0.075f;
constexpr float unknownCost = 0.04f;
constexpr float unknownLetterCost = 0.02f;
constexpr float highestCost = 0.7f;

// Factors for a signal of the wrong kind.
constexpr float otherUnitFactor = 0.5f;   // a unit of another quantity
constexpr float oneBitFactor = 0.3f;      // one bit where a measured value is wanted
constexpr float measuredFactor = 0.6f;    // a measured value where a switch is wanted

// A DBC cuts signal names at 32 characters; the last word of such a name may be cut.
constexpr qsizetype cutNameLength = 32;
// Comments are read as far as they are likely to speak about the signal.
constexpr qsizetype commentLength = 2000;
constexpr int valueRuleMatches = 3;
constexpr qsizetype identifierLength = 3;
// A unit that measures many quantities ("%") says less about each.
constexpr std::size_t fewQuantities = 2;
constexpr float vagueUnitStrength = 0.45f;

constexpr int mostConcepts = 1 << 24;

quint32 pack(int conceptId, float strength)
{
    return quint32(conceptId) << 8 | quint32(std::lround(std::clamp(strength, 0.0f, 1.0f) * 255.0f));
}

int conceptOf(quint32 packed)
{
    return int(packed >> 8);
}

float strengthOf(quint32 packed)
{
    return float(packed & 0xFF) / 255.0f;
}

bool contains(const std::vector<int> &list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool sharesAny(const std::vector<int> &a, const std::vector<int> &b)
{
    for (int value : a) {
        if (contains(b, value))
            return true;
    }
    return false;
}

bool isOneBit(const SignalText &text)
{
    if (text.bits == 1)
        return true;
    if (text.bits != 0)
        return false;
    const QString scale = text.scale.trimmed();
    return text.minimum.trimmed() == u"0" && text.maximum.trimmed() == u"1"
           && (scale.isEmpty() || scale == u"1");
}

} // namespace

std::vector<KeyTarget> keyTargets(const QStringList &items)
{
    std::vector<KeyTarget> keys;
    keys.reserve(std::size_t(items.size()));
    for (const QString &item : items) {
        // The key is what choosing the item writes into the Key cell.
        const qsizetype dash = item.indexOf(u" - ");
        keys.push_back({keyOfItem(item), dash < 0 ? QString() : item.mid(dash + 3)});
    }
    return keys;
}

KeyMatcher::KeyMatcher(const SuggestDictionary &dictionary, std::vector<KeyTarget> keys,
                       const std::vector<SignalText> &texts)
    : m_dictionary(&dictionary), m_texts(&texts), m_keys(std::move(keys))
{
    m_switchConcept = dictionary.findConcept(QStringLiteral("switch"));
    m_targets.reserve(m_keys.size());
    for (const KeyTarget &key : m_keys)
        m_targets.push_back(target(key));
    index(texts);
}

int KeyMatcher::keyIndex(const QString &key) const
{
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i].key == key)
            return int(i);
    }
    return -1;
}

QString KeyMatcher::conceptName(int conceptId) const
{
    const int known = m_dictionary->conceptCount();
    return conceptId < known ? m_dictionary->conceptName(conceptId) : m_literalNames.value(conceptId - known);
}

int KeyMatcher::literal(const QString &word) const
{
    if (const int conceptId = m_dictionary->findConcept(word); conceptId >= 0)
        return conceptId;
    const auto found = m_literals.constFind(word);
    if (found != m_literals.cend())
        return *found;
    const int conceptId = m_dictionary->conceptCount() + int(m_literalNames.size());
    m_literals.insert(word, conceptId);
    m_literalNames.append(word);
    return conceptId;
}

int KeyMatcher::wordId(const QString &folded) const
{
    const auto found = m_wordIds.constFind(folded);
    if (found != m_wordIds.cend())
        return *found;
    Word word;
    word.text = folded;
    word.strength = folded.size() == 1 ? letterStrength : nameStrength;
    if (isNumberWord(folded)) {
        word.kind = Kind::Neutral;
    } else {
        SuggestDictionary::Meaning meaning = m_dictionary->resolve(folded);
        word.kind = meaning.kind;
        word.concepts = std::move(meaning.concepts);
        // A word the dictionary does not know still matches the same word in a
        // description, so a key list of any trade finds its signals.
        if (word.kind == Kind::Unknown || word.kind == Kind::Negative)
            word.concepts.push_back(literal(folded));
        if (word.kind == Kind::Neutral)
            word.concepts.clear();
        word.startsPhrase = m_dictionary->phrasesFrom(folded) != nullptr;
    }
    const int id = int(m_words.size());
    m_words.push_back(std::move(word));
    m_wordIds.insert(folded, id);
    if (m_words.back().kind == Kind::Unknown) {
        std::vector<int> parts;
        for (const QString &part : m_dictionary->parts(folded))
            parts.push_back(wordId(part));
        m_words[std::size_t(id)].parts = std::move(parts);
    }
    return id;
}

int KeyMatcher::phraseId(const SuggestDictionary::Phrase &phrase) const
{
    QString text;
    for (const QString &word : phrase.words)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    const auto found = m_wordIds.constFind(text);
    if (found != m_wordIds.cend())
        return *found;
    const int id = int(m_words.size());
    m_words.push_back({text, phrase.kind, nameStrength, phrase.concepts, {}, false});
    m_wordIds.insert(text, id);
    return id;
}

int KeyMatcher::unitId(const QString &unit) const
{
    if (const auto known = m_rawUnitIds.constFind(unit); known != m_rawUnitIds.cend())
        return *known;
    const int id = normalUnitId(unit);
    m_rawUnitIds.insert(unit, id);
    return id;
}

int KeyMatcher::normalUnitId(const QString &unit) const
{
    const QString normal = SuggestDictionary::normaliseUnit(unit);
    if (normal.isEmpty())
        return -1;
    const auto found = m_unitIds.constFind(normal);
    if (found != m_unitIds.cend())
        return *found;
    const std::vector<int> *quantities = m_dictionary->unitQuantities(normal);
    const int id = int(m_unitQuantities.size());
    m_unitQuantities.push_back(quantities ? *quantities : std::vector<int>());
    m_unitIds.insert(normal, id);
    return id;
}

qsizetype KeyMatcher::readPhrase(const std::vector<int> &words, qsizetype at, int &id) const
{
    const Word &first = m_words[std::size_t(words[std::size_t(at)])];
    if (!first.startsPhrase)
        return 0;
    for (const SuggestDictionary::Phrase &phrase : *m_dictionary->phrasesFrom(first.text)) {
        const qsizetype length = qsizetype(phrase.words.size());
        if (at + length > qsizetype(words.size()))
            continue;
        qsizetype matched = 1;
        while (matched < length && m_words[std::size_t(words[std::size_t(at + matched)])].text
                                           == phrase.words[std::size_t(matched)])
            ++matched;
        if (matched == length) {
            id = phraseId(phrase);
            return length;
        }
    }
    return 0;
}

void KeyMatcher::readWords(const std::vector<QString> &given, Source source, float strength, WordRole role,
                           bool cut, Analysis &analysis) const
{
    // A compound counts as the words it is made of, so that each of them fits the key
    // or costs it on its own ("whlspeed" is a wheel as well as a speed).
    std::vector<int> words;
    words.reserve(given.size());
    for (const QString &text : given) {
        const int id = wordId(text);
        const std::vector<int> &parts = m_words[std::size_t(id)].parts;
        if (parts.empty())
            words.push_back(id);
        else
            words.insert(words.end(), parts.begin(), parts.end());
    }
    const qsizetype count = qsizetype(words.size());
    for (qsizetype at = 0; at < count;) {
        int id = words[std::size_t(at)];
        qsizetype used = readPhrase(words, at, id);
        if (used == 0) {
            used = 1;
            const Word &single = m_words[std::size_t(id)];
            const bool unknown = single.kind == Kind::Unknown;
            if (role == WordRole::Name && at == 0 && (unknown || single.text.size() == 1)) {
                if (const std::vector<int> *hint = unknown ? m_dictionary->prefix(single.text) : nullptr) {
                    for (int conceptId : *hint)
                        analysis.evidence.push_back({conceptId, prefixStrength, Source::Prefix, id});
                    ++at;
                    continue;
                }
                // "P275_", "EP1_", "B10_": a short first word before a number numbers
                // the signal and says nothing about it.
                if (single.text.size() <= identifierLength && count > 1
                    && isNumberWord(m_words[std::size_t(words[1])].text)) {
                    ++at;
                    continue;
                }
            }
            if (unknown && cut && at == count - 1) {
                if (const QString whole = m_dictionary->completion(single.text); !whole.isEmpty())
                    id = wordId(whole);
            }
        }
        at += used;
        const Word &word = m_words[std::size_t(id)];
        for (int conceptId : word.concepts)
            analysis.evidence.push_back({conceptId, strength * word.strength, source, id});
        if (role == WordRole::Name)
            analysis.nameWords.push_back(id);
    }
}

void KeyMatcher::readValues(const QStringList &descriptions, Analysis &analysis) const
{
    if (descriptions.isEmpty())
        return;
    QStringList words;
    for (const QString &description : descriptions) {
        for (const QString &word : splitWords(description))
            words.append(word);
    }
    for (const SuggestDictionary::ValueRule &rule : m_dictionary->valueRules()) {
        int matches = 0;
        for (const QString &word : rule.words)
            matches += words.contains(word) ? 1 : 0;
        const int needed = std::min(valueRuleMatches, std::max(2, int(descriptions.size())));
        if (matches < needed)
            continue;
        for (int conceptId : rule.concepts)
            analysis.evidence.push_back({conceptId, valuesStrength, Source::Values, -1});
    }
}

KeyMatcher::Analysis KeyMatcher::analyse(const SignalText &text) const
{
    Analysis analysis;
    const bool hasLongName = !text.longName.trimmed().isEmpty();
    const QString &shownName = hasLongName ? text.longName : text.name;
    readWords(splitWords(shownName), Source::Name, 1.0f, WordRole::Name, shownName.size() >= cutNameLength,
              analysis);
    if (hasLongName)
        readWords(splitWords(text.name), Source::Name, 1.0f, WordRole::NameEvidence, true, analysis);
    readWords(splitWords(text.messageName), Source::Message, messageStrength, WordRole::Context, false, analysis);
    readWords(splitWords(QStringView(text.comment).left(commentLength)), Source::Comment, commentStrength,
              WordRole::Context, false, analysis);
    analysis.unit = unitId(text.unit);
    if (analysis.unit >= 0) {
        const std::vector<int> &quantities = m_unitQuantities[std::size_t(analysis.unit)];
        const float strength = quantities.size() > fewQuantities ? vagueUnitStrength : unitStrength;
        for (int conceptId : quantities)
            analysis.evidence.push_back({conceptId, strength, Source::Unit, -1});
    }
    readValues(text.valueDescriptions, analysis);
    analysis.boolean = isOneBit(text);
    if (analysis.boolean && m_switchConcept >= 0)
        analysis.evidence.push_back({m_switchConcept, oneBitStrength, Source::Length, -1});
    return analysis;
}

KeyMatcher::Target KeyMatcher::target(const KeyTarget &key) const
{
    Target target;
    for (const QString &word : splitWords(key.description)) {
        std::vector<int> concepts;
        if (const int own = m_dictionary->findConcept(word); own >= 0) {
            concepts.push_back(own);
        } else {
            const SuggestDictionary::Meaning meaning = m_dictionary->resolve(word);
            if (meaning.kind == Kind::Neutral || isNumberWord(word))
                continue;
            concepts = meaning.kind == Kind::Concept ? meaning.concepts : std::vector<int>{literal(word)};
        }
        const float weight = float(m_dictionary->descriptionWeight(word));
        for (int conceptId : concepts) {
            if (contains(target.concepts, conceptId))
                continue;
            target.concepts.push_back(conceptId);
            target.weights.push_back(weight);
            target.total += weight;
            if (conceptId < m_dictionary->conceptCount() && m_dictionary->isQuantity(conceptId))
                target.quantities.push_back(conceptId);
            target.wantsSwitch = target.wantsSwitch || conceptId == m_switchConcept;
        }
    }
    return target;
}

void KeyMatcher::index(const std::vector<SignalText> &texts)
{
    const std::size_t count = texts.size();
    m_evidenceStart.reserve(count + 1);
    m_wordStart.reserve(count + 1);
    m_unit.reserve(count);
    m_boolean.reserve(count);
    m_evidenceStart.push_back(0);
    m_wordStart.push_back(0);
    std::vector<std::pair<int, float>> best;
    for (const SignalText &text : texts) {
        const Analysis analysis = analyse(text);
        // Evidence of one concept from several places adds up as independent hints do:
        // "P" and a unit "bar" say "pressure" more surely than either alone. Repeats
        // of one source count once.
        best.clear();
        std::vector<std::pair<int, Source>> counted;
        for (const Evidence &evidence : analysis.evidence) {
            const std::pair<int, Source> where{evidence.conceptId, evidence.source};
            auto found = std::find_if(best.begin(), best.end(),
                                      [&](const auto &entry) { return entry.first == evidence.conceptId; });
            if (found == best.end()) {
                best.emplace_back(evidence.conceptId, evidence.strength);
                counted.push_back(where);
            } else if (std::find(counted.begin(), counted.end(), where) == counted.end()) {
                found->second = 1.0f - (1.0f - found->second) * (1.0f - evidence.strength);
                counted.push_back(where);
            } else {
                found->second = std::max(found->second, evidence.strength);
            }
        }
        for (const auto &[conceptId, strength] : best) {
            if (conceptId < mostConcepts) // beyond, a concept would not fit the packing
                m_evidence.push_back(pack(conceptId, strength));
        }
        m_evidenceStart.push_back(quint32(m_evidence.size()));
        m_nameWords.insert(m_nameWords.end(), analysis.nameWords.begin(), analysis.nameWords.end());
        m_wordStart.push_back(quint32(m_nameWords.size()));
        m_unit.push_back(analysis.unit);
        m_boolean.push_back(analysis.boolean);
    }

    const std::size_t concepts = std::size_t(m_dictionary->conceptCount() + m_literalNames.size());
    m_postingStart.assign(concepts + 1, 0);
    for (quint32 packed : m_evidence)
        ++m_postingStart[std::size_t(conceptOf(packed)) + 1];
    for (std::size_t i = 1; i <= concepts; ++i)
        m_postingStart[i] += m_postingStart[i - 1];
    m_postings.resize(m_evidence.size());
    std::vector<quint32> fill(m_postingStart.begin(), m_postingStart.end() - 1);
    for (std::size_t signal = 0; signal < count; ++signal) {
        for (quint32 e = m_evidenceStart[signal]; e < m_evidenceStart[signal + 1]; ++e)
            m_postings[fill[std::size_t(conceptOf(m_evidence[e]))]++] = int(signal);
    }

    m_signalOfRow.reserve(count);
    for (std::size_t signal = 0; signal < count; ++signal)
        m_signalOfRow.emplace_back(texts[signal].row, int(signal));
    std::stable_sort(m_signalOfRow.begin(), m_signalOfRow.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
}

bool KeyMatcher::isMinor(const Word &word) const
{
    return !word.concepts.empty()
           && std::all_of(word.concepts.begin(), word.concepts.end(), [this](int conceptId) {
                  return conceptId < m_dictionary->conceptCount() && m_dictionary->isMinor(conceptId);
              });
}

bool KeyMatcher::explains(const Target &target, const Word &word) const
{
    return sharesAny(word.concepts, target.concepts);
}

float KeyMatcher::wordCost(const Target &target, const Word &word) const
{
    if (word.kind == Kind::Neutral || explains(target, word))
        return 0;
    const bool letter = word.text.size() == 1;
    if (word.kind == Kind::Negative)
        return negativeCost;
    if (word.kind == Kind::Concept)
        return (letter ? otherLetterCost : otherConceptCost) * (isMinor(word) ? 0.5f : 1.0f);
    return letter ? unknownLetterCost : unknownCost;
}

int KeyMatcher::scoreOf(const Target &target, int signal, const float *costs, int atLeast) const
{
    const quint32 *begin = m_evidence.data() + m_evidenceStart[std::size_t(signal)];
    const quint32 *end = m_evidence.data() + m_evidenceStart[std::size_t(signal) + 1];
    float covered = 0;
    for (std::size_t i = 0; i < target.concepts.size(); ++i) {
        float strength = 0;
        for (const quint32 *e = begin; e != end; ++e) {
            if (conceptOf(*e) == target.concepts[i])
                strength = std::max(strength, strengthOf(*e));
        }
        covered += target.weights[i] * strength;
    }
    if (covered <= 0 || target.total <= 0)
        return 0;
    // Costs and factors only lower the share covered, so a signal whose share cannot
    // reach `atLeast` is done with.
    if (100.0f * covered / target.total < float(atLeast) - 0.5f)
        return 0;

    float cost = 0;
    for (quint32 w = m_wordStart[std::size_t(signal)]; w < m_wordStart[std::size_t(signal) + 1]; ++w) {
        const int word = m_nameWords[w];
        cost += costs ? costs[word] : wordCost(target, m_words[std::size_t(word)]);
    }

    float factor = 1.0f;
    const int unit = m_unit[std::size_t(signal)];
    const bool measured = unit >= 0 && !m_unitQuantities[std::size_t(unit)].empty();
    if (measured && !target.quantities.empty() && !sharesAny(m_unitQuantities[std::size_t(unit)], target.quantities))
        factor *= otherUnitFactor;
    if (m_boolean[std::size_t(signal)]) {
        if (!target.quantities.empty())
            factor *= oneBitFactor;
    } else if (measured && target.wantsSwitch) {
        factor *= measuredFactor;
    }
    const float score = 100.0f * covered / target.total * (1.0f - std::min(cost, highestCost)) * factor;
    return std::clamp(int(std::lround(score)), 0, 100);
}

int KeyMatcher::signalOfRow(int row) const
{
    const auto found = std::lower_bound(m_signalOfRow.begin(), m_signalOfRow.end(), row,
                                        [](const auto &entry, int wanted) { return entry.first < wanted; });
    return found != m_signalOfRow.end() && found->first == row ? found->second : -1;
}

int KeyMatcher::score(int key, int row) const
{
    const int signal = signalOfRow(row);
    if (key < 0 || std::size_t(key) >= m_targets.size() || signal < 0)
        return 0;
    return scoreOf(m_targets[std::size_t(key)], signal, nullptr, 0);
}

QString KeyMatcher::reasons(int key, int row) const
{
    const int signal = signalOfRow(row);
    if (key < 0 || std::size_t(key) >= m_targets.size() || signal < 0)
        return {};
    const Target &target = m_targets[std::size_t(key)];
    const SignalText &text = (*m_texts)[std::size_t(signal)];
    const Analysis analysis = analyse(text);

    const auto matched = [&](Source source, bool words) {
        QStringList names;
        for (const Evidence &evidence : analysis.evidence) {
            if (evidence.source != source || !contains(target.concepts, evidence.conceptId))
                continue;
            const QString name = words && evidence.word >= 0 ? m_words[std::size_t(evidence.word)].text
                                                              : conceptName(evidence.conceptId);
            if (!names.contains(name))
                names.append(name);
        }
        return names;
    };
    QStringList parts;
    if (const QStringList names = matched(Source::Name, false); !names.isEmpty())
        parts.append(QStringLiteral("name: ") + names.join(QStringLiteral(" + ")));
    if (const QStringList names = matched(Source::Prefix, false); !names.isEmpty())
        parts.append(QStringLiteral("name begins like a %1 signal").arg(names.join(QStringLiteral(" or "))));
    if (const QStringList names = matched(Source::Message, false); !names.isEmpty())
        parts.append(QStringLiteral("message %1: %2").arg(text.messageName, names.join(QStringLiteral(" + "))));
    if (const QStringList words = matched(Source::Comment, true); !words.isEmpty())
        parts.append(QStringLiteral("comment '%1'").arg(words.join(QStringLiteral("', '"))));
    const bool unitFits = !matched(Source::Unit, false).isEmpty();
    const bool unitKnown = analysis.unit >= 0 && !m_unitQuantities[std::size_t(analysis.unit)].empty();
    if (unitFits)
        parts.append(QStringLiteral("unit ") + text.unit.trimmed());
    else if (unitKnown && !target.quantities.empty())
        parts.append(QStringLiteral("but the unit %1 measures something else").arg(text.unit.trimmed()));
    if (const QStringList names = matched(Source::Values, false); !names.isEmpty())
        parts.append(QStringLiteral("values: ") + names.join(QStringLiteral(" + ")));
    if (analysis.boolean)
        parts.append(target.quantities.empty() ? QStringLiteral("one bit")
                                               : QStringLiteral("but one bit, no measured value"));
    QStringList negative;
    QStringList other;
    for (int id : analysis.nameWords) {
        const Word &word = m_words[std::size_t(id)];
        if (explains(target, word))
            continue;
        if (word.kind == Kind::Negative && !negative.contains(word.text))
            negative.append(word.text);
        else if (word.kind == Kind::Concept && !other.contains(word.text))
            other.append(word.text);
    }
    if (!negative.isEmpty())
        parts.append(QStringLiteral("but: ") + negative.join(QStringLiteral(", ")));
    if (!other.isEmpty())
        parts.append(QStringLiteral("also: ") + other.join(QStringLiteral(", ")));
    return parts.join(QStringLiteral("; "));
}

std::vector<KeySuggestion> KeyMatcher::suggest(const SuggestionMemory &memory) const
{
    const std::size_t signalCount = m_unit.size();
    std::vector<std::vector<int>> remembered(m_keys.size());
    if (!memory.isEmpty()) {
        for (std::size_t signal = 0; signal < signalCount; ++signal) {
            const QString chosen = memory.keyOf((*m_texts)[signal].name);
            const int key = chosen.isEmpty() ? -1 : keyIndex(chosen);
            if (key >= 0 && remembered[std::size_t(key)].size() < std::size_t(candidatesPerKey))
                remembered[std::size_t(key)].push_back(int(signal));
        }
    }

    std::vector<KeySuggestion> suggestions;
    suggestions.reserve(m_keys.size());
    std::vector<int> seen(signalCount, -1);
    std::vector<float> costs;
    for (std::size_t key = 0; key < m_keys.size(); ++key) {
        KeySuggestion suggestion{m_keys[key].key, m_keys[key].description, {}};
        for (int signal : remembered[key]) {
            seen[std::size_t(signal)] = int(key);
            const QString &name = (*m_texts)[std::size_t(signal)].name;
            suggestion.candidates.push_back({(*m_texts)[std::size_t(signal)].row, 100,
                                             QStringLiteral("chosen before for %1").arg(name)});
        }
        // The best (score, signal) pairs, best first; of two with the same score the
        // shorter name goes first (the plain signal before its variants), then the
        // earlier one.
        std::vector<std::pair<int, int>> best;
        const std::size_t room = std::size_t(candidatesPerKey) - suggestion.candidates.size();
        const Target &target = m_targets[key];
        // What each word of a name costs this key, worked out once for all signals.
        costs.resize(m_words.size());
        for (std::size_t word = 0; word < m_words.size(); ++word)
            costs[word] = wordCost(target, m_words[word]);
        for (int conceptId : target.concepts) {
            if (std::size_t(conceptId) + 1 >= m_postingStart.size())
                continue;
            for (quint32 p = m_postingStart[std::size_t(conceptId)]; p < m_postingStart[std::size_t(conceptId) + 1]; ++p) {
                const int signal = m_postings[p];
                if (seen[std::size_t(signal)] == int(key))
                    continue;
                seen[std::size_t(signal)] = int(key);
                if (room == 0)
                    continue;
                const int atLeast = best.size() == room ? best.back().first : minimumScore;
                const int score = scoreOf(target, signal, costs.data(), atLeast);
                if (score < minimumScore)
                    continue;
                const std::pair<int, int> entry{score, signal};
                const auto better = [this](const std::pair<int, int> &a, const std::pair<int, int> &b) {
                    if (a.first != b.first)
                        return a.first > b.first;
                    const quint32 wordsA = m_wordStart[std::size_t(a.second) + 1] - m_wordStart[std::size_t(a.second)];
                    const quint32 wordsB = m_wordStart[std::size_t(b.second) + 1] - m_wordStart[std::size_t(b.second)];
                    return wordsA != wordsB ? wordsA < wordsB : a.second < b.second;
                };
                if (best.size() == room && !better(entry, best.back()))
                    continue;
                best.insert(std::upper_bound(best.begin(), best.end(), entry, better), entry);
                if (best.size() > room)
                    best.pop_back();
            }
        }
        for (const auto &[score, signal] : best) {
            const int row = (*m_texts)[std::size_t(signal)].row;
            suggestion.candidates.push_back({row, score, reasons(int(key), row)});
        }
        suggestions.push_back(std::move(suggestion));
    }
    return suggestions;
}
