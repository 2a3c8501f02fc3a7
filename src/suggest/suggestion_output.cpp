#include "suggestion_output.h"

#include "suggest/signal_words.h"
#include "suggest/suggest_dictionary.h"
#include "table/table_data.h"

#include <QSet>

#include <algorithm>

std::vector<KeyAssignment> confidentAssignments(const std::vector<KeySuggestion> &suggestions,
                                                const TableData &table)
{
    struct Choice
    {
        int score;
        std::size_t key;
        std::size_t rank;
        int row;
    };
    std::vector<Choice> choices;
    for (std::size_t key = 0; key < suggestions.size(); ++key) {
        const KeySuggestion &suggestion = suggestions[key];
        if (suggestion.key.isEmpty() || table.keyIndex().count(suggestion.key) > 0)
            continue;
        for (std::size_t rank = 0; rank < suggestion.candidates.size(); ++rank) {
            const Candidate &candidate = suggestion.candidates[rank];
            if (candidate.score >= KeyMatcher::confidentScore)
                choices.push_back({candidate.score, key, rank, candidate.row});
        }
    }
    std::stable_sort(choices.begin(), choices.end(), [](const Choice &a, const Choice &b) {
        return a.score != b.score ? a.score > b.score : a.rank < b.rank;
    });
    std::vector<int> rowOfKey(suggestions.size(), -1);
    QSet<int> takenRows;
    // A key the list names twice is still given to one row only.
    QSet<QString> givenKeys;
    for (const Choice &choice : choices) {
        const QString &key = suggestions[choice.key].key;
        if (rowOfKey[choice.key] >= 0 || givenKeys.contains(key) || takenRows.contains(choice.row)
            || choice.row < table.fixedRows() || choice.row >= table.rows()
            || !table.cell(choice.row, Col::Key).isEmpty())
            continue;
        rowOfKey[choice.key] = choice.row;
        takenRows.insert(choice.row);
        givenKeys.insert(key);
    }
    std::vector<KeyAssignment> assignments;
    for (std::size_t key = 0; key < suggestions.size(); ++key) {
        if (rowOfKey[key] >= 0)
            assignments.push_back({rowOfKey[key], suggestions[key].key});
    }
    return assignments;
}

QStringList matchingKeys(const QStringList &items, const QString &typed, const SuggestDictionary &dictionary)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return items;
    std::vector<int> meant;
    for (const QString &word : splitWords(text)) {
        const SuggestDictionary::Meaning meaning = dictionary.resolve(word);
        if (meaning.kind == SuggestDictionary::Kind::Concept)
            meant.insert(meant.end(), meaning.concepts.begin(), meaning.concepts.end());
    }
    QStringList found;
    const std::vector<KeyTarget> keys = keyTargets(items);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const KeyTarget &key = keys[i];
        bool matches = key.description.contains(text, Qt::CaseInsensitive);
        for (const QString &word : splitWords(key.description)) {
            if (matches)
                break;
            const int conceptId = dictionary.findConcept(word);
            matches = conceptId >= 0 && std::find(meant.begin(), meant.end(), conceptId) != meant.end();
        }
        if (matches)
            found.append(items[qsizetype(i)]);
    }
    return found;
}

QString suggestionLines(const std::vector<KeySuggestion> &suggestions, const TableData &table)
{
    QString out;
    for (const KeySuggestion &suggestion : suggestions) {
        int rank = 0;
        for (const Candidate &candidate : suggestion.candidates) {
            if (candidate.row < 0 || candidate.row >= table.rows())
                continue;
            const QStringList cells{suggestion.key,
                                    QString::number(++rank),
                                    table.text(candidate.row, Col::Number),
                                    table.text(candidate.row, Col::CanId),
                                    table.text(candidate.row, Col::Name),
                                    QString::number(candidate.score)};
            out += cells.join(u'\t') + u'\n';
        }
    }
    return out;
}
