#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

class QIODevice;
struct KeyListPlaces;

// What the words of signal names mean in the words of key descriptions, read from
// plain text files (the form is described in resources/suggest_dictionary.txt). A
// concept is one lower-case description word ("engine", "speed"); a spelling is a
// word of a name that stands for one or more concepts ("eng", "rpm", "motordrehzahl")
// or a run of name words that does ("fr_l"). Units name the quantities they
// measure, value tables and first words of names give hints, some words mark a
// signal as something other than the measured value, and some say nothing.
class SuggestDictionary
{
public:
    enum class Kind : unsigned char {
        Unknown,  // not in the dictionary
        Concept,  // stands for concepts
        Negative, // a request, limit, fault, counter ...: not the value itself
        Neutral   // says nothing ("actual", "meas")
    };
    struct Meaning
    {
        Kind kind = Kind::Unknown;
        std::vector<int> concepts;
    };
    // A spelling of two or more name words in a row.
    struct Phrase
    {
        std::vector<QString> words;
        std::vector<int> concepts;
        Kind kind = Kind::Concept;
    };
    // A value table with at least three of `words` among its descriptions (or all of
    // them, when it has fewer) stands for `concepts`.
    struct ValueRule
    {
        std::vector<int> concepts;
        QStringList words;
    };

    static QString fileName() { return QStringLiteral("suggest_dictionary.txt"); }

    // Adds the lines of a dictionary file. Returns an empty text, or why the file could
    // not be read (naming it); lines it cannot use are passed over and named in
    // `warnings` with their line numbers.
    QString addFile(const QString &fileName, QStringList &warnings);
    QString add(QIODevice &device, const QString &fileName, QStringList &warnings);

    // The dictionary this program uses: the one shipped beside the program (or in its
    // data folder), extended by the user's file in the configuration folder when
    // there is one. What could not be read is said in `warnings`.
    static SuggestDictionary standard(const KeyListPlaces &places, QStringList &warnings);
    // The files `standard` reads: the shipped one found first, then the user's file.
    static QStringList files(const KeyListPlaces &places);

    int conceptCount() const { return int(m_conceptNames.size()); }
    QString conceptName(int conceptId) const { return m_conceptNames.value(conceptId); }
    // -1 when `word` is no concept.
    int findConcept(const QString &word) const { return m_concepts.value(word, -1); }

    // What one folded word means: itself, or without a plural "s". Unknown when
    // neither is known.
    Meaning resolve(const QString &word) const;
    // The known words an unknown word is made of ("whlspeed": whl, speed;
    // "kuehlmitteltemp": kuehlmittel, temp), or nothing when it is no such compound.
    QStringList parts(const QString &word) const;
    // The spelling that begins with `start` (three or more letters), for a name cut
    // short at the DBC's 32 characters; empty when there is none.
    QString completion(const QString &start) const;
    // The phrases that begin with `word`, longest first.
    const std::vector<Phrase> *phrasesFrom(const QString &word) const;
    // The concepts a first word of a name hints at, or null when it is no known prefix.
    const std::vector<int> *prefix(const QString &word) const;

    // A unit as the dictionary compares units: lower case, without spaces or a
    // "unit_" prefix, the degree sign written "deg", squares written "2".
    static QString normaliseUnit(QStringView unit);
    // The quantities a normalised unit measures, or null when the unit is unknown.
    const std::vector<int> *unitQuantities(const QString &unit) const;
    // True for a concept that some unit measures.
    bool isQuantity(int conceptId) const { return m_quantities.contains(conceptId); }
    const std::vector<ValueRule> &valueRules() const { return m_valueRules; }
    // The weight of a description word: 1, or 0.5 for a weak one.
    double descriptionWeight(const QString &word) const { return m_weak.contains(word) ? 0.5 : 1.0; }
    // True for a concept whose words cost a key they do not fit only half ("front",
    // "engine": words that often stand beside the words of a key).
    bool isMinor(int conceptId) const { return m_minor.contains(conceptId); }

private:
    int internConcept(const QString &word);
    std::vector<int> internConcepts(const QStringList &words);
    bool addLine(QStringView line);
    void addSpelling(const QString &spelling, const std::vector<int> &concepts, Kind kind = Kind::Concept);
    const Meaning *exact(const QString &word) const;

    QHash<QString, int> m_concepts;
    QStringList m_conceptNames;
    QHash<QString, Meaning> m_words;
    QHash<QString, std::vector<Phrase>> m_phrases;
    QHash<QString, std::vector<int>> m_prefixes;
    QHash<QString, std::vector<int>> m_units;
    QSet<int> m_quantities;
    QSet<QString> m_weak;
    QSet<int> m_minor;
    std::vector<ValueRule> m_valueRules;
    QStringList m_sortedSpellings; // for completing cut names
};
