#pragma once

#include "suggest/signal_text.h"
#include "suggest/suggest_dictionary.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class SuggestionMemory;

// One key of the key list: its four characters and its description.
struct KeyTarget
{
    QString key;
    QString description;
};

// The keys of key list items ("ENSP - Engine speed"), in list order: the key is what
// choosing the item writes into the Key cell, its first four characters.
std::vector<KeyTarget> keyTargets(const QStringList &items);

// A signal that may carry a key: its row, a score from 0 to 100 and why.
struct Candidate
{
    int row = 0;
    int score = 0;
    QString reasons;
};

// The best candidates for one key, best first; empty when no signal fits at all.
struct KeySuggestion
{
    QString key;
    QString description;
    std::vector<Candidate> candidates;
};

// Proposes, for every key, the signals that most likely carry it. The signals are
// read once into sets of concepts (the dictionary's words for what their names,
// units, messages, comments and value tables say) with an index from each concept to
// the signals that have it, so that a key is compared only with the signals that
// share a concept with its description.
//
// A score is the share of the description's concepts the signal shows (name words
// count fully, message words and prefixes half, comments and units a little less),
// lowered for name words that speak of something else ("oil" for a coolant
// temperature) or of something other than the value itself ("request", "max"), for a
// unit of another quantity and for a one-bit signal where a measured value is wanted.
// It never assigns a key.
//
// The dictionary and the signals must outlive the matcher.
class KeyMatcher
{
public:
    static constexpr int confidentScore = 70;
    static constexpr int candidatesPerKey = 3;
    // Below this a signal shares too little with a key to be worth showing.
    static constexpr int minimumScore = 20;

    KeyMatcher(const SuggestDictionary &dictionary, std::vector<KeyTarget> keys, const std::vector<SignalText> &texts);

    const std::vector<KeyTarget> &keys() const { return m_keys; }
    // The index of `key` in keys(), or -1.
    int keyIndex(const QString &key) const;

    // For every key, in list order, up to three candidates scoring minimumScore or
    // more, best first. A signal
    // whose name `memory` remembers with the key comes first, with 100.
    std::vector<KeySuggestion> suggest(const SuggestionMemory &memory) const;
    // The score of key `key` (an index into keys()) for the signal in `row`; 0 for a
    // row without a signal.
    int score(int key, int row) const;
    // Why: "name: engine + speed; unit rpm".
    QString reasons(int key, int row) const;

private:
    enum class Source : unsigned char { Name, Prefix, Message, Comment, Unit, Values, Length };
    struct Word
    {
        QString text;
        SuggestDictionary::Kind kind = SuggestDictionary::Kind::Unknown;
        float strength = 1.0f;
        std::vector<int> concepts;
        std::vector<int> parts;    // the words of an unknown compound
        bool startsPhrase = false; // some phrase of the dictionary begins with it
    };
    struct Evidence
    {
        int conceptId;
        float strength;
        Source source;
        int word; // the word that gave it, or -1
    };
    struct Analysis
    {
        std::vector<Evidence> evidence;
        std::vector<int> nameWords; // the words that count against a key they do not fit
        int unit = -1;
        bool boolean = false;
    };
    struct Target
    {
        std::vector<int> concepts;
        std::vector<float> weights;
        float total = 0;
        std::vector<int> quantities;
        bool wantsSwitch = false;
    };
    enum class WordRole { Name, NameEvidence, Context };

    int literal(const QString &word) const;
    int wordId(const QString &folded) const;
    int phraseId(const SuggestDictionary::Phrase &phrase) const;
    int unitId(const QString &unit) const;
    int normalUnitId(const QString &unit) const;
    qsizetype readPhrase(const std::vector<int> &words, qsizetype at, int &id) const;
    void readWords(const std::vector<QString> &words, Source source, float strength, WordRole role, bool cut,
                   Analysis &analysis) const;
    void readValues(const QStringList &descriptions, Analysis &analysis) const;
    Analysis analyse(const SignalText &text) const;
    Target target(const KeyTarget &key) const;
    void index(const std::vector<SignalText> &texts);
    // `costs`: what each word costs the target, or null to work it out. A signal that
    // cannot score `atLeast` may get 0.
    int scoreOf(const Target &target, int signal, const float *costs, int atLeast) const;
    float wordCost(const Target &target, const Word &word) const;
    bool explains(const Target &target, const Word &word) const;
    bool isMinor(const Word &word) const;
    int signalOfRow(int row) const;
    QString conceptName(int conceptId) const;

    const SuggestDictionary *m_dictionary;
    const std::vector<SignalText> *m_texts;
    std::vector<KeyTarget> m_keys;
    std::vector<Target> m_targets;
    int m_switchConcept = -1;

    // What words and units mean, each read once: a cache that explaining a score
    // reads again, hence mutable.
    mutable std::vector<Word> m_words;
    mutable QHash<QString, int> m_wordIds;
    mutable QHash<QString, int> m_literals;
    mutable QStringList m_literalNames;
    mutable std::vector<std::vector<int>> m_unitQuantities;
    mutable QHash<QString, int> m_unitIds;
    mutable QHash<QString, int> m_rawUnitIds;

    // Per signal, one after the other: its concepts with their strength (concept << 8
    // | strength in 1/255), the words of its name, its unit and whether it is one bit.
    std::vector<quint32> m_evidenceStart;
    std::vector<quint32> m_evidence;
    std::vector<quint32> m_wordStart;
    std::vector<int> m_nameWords;
    std::vector<int> m_unit;
    std::vector<bool> m_boolean;
    // Per concept, the signals that have it.
    std::vector<quint32> m_postingStart;
    std::vector<int> m_postings;
    // (row, signal index) by row.
    std::vector<std::pair<int, int>> m_signalOfRow;
};
