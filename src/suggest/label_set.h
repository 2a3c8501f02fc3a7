#pragma once

#include "suggest/key_matcher.h"

#include <QString>
#include <QStringList>

#include <vector>

class SuggestDictionary;

// How well the suggestions find the signals a test engineer accepts, measured on a
// label file: lines "file;KEY;name;name;..." name the signals of a DBC file that carry
// KEY; a line "file" alone names a file in which no key has a fitting signal. Every
// key of the key list without a line for a file has no fitting signal there. Lines
// that begin with "//" are comments.
struct SuggestionFigures
{
    int keysWithSignal = 0;   // (file, key) pairs with an accepted signal
    int inTopThree = 0;       // ... among the three candidates
    int first = 0;            // ... as the first candidate
    int keysWithout = 0;      // (file, key) pairs without one
    int withoutConfident = 0; // ... whose best candidate is not confident
    QStringList misses;       // "file KEY: first candidate" for each pair that missed

    double topThreeShare() const { return keysWithSignal ? double(inTopThree) / keysWithSignal : 0; }
    double firstShare() const { return keysWithSignal ? double(first) / keysWithSignal : 0; }
    double quietShare() const { return keysWithout ? double(withoutConfident) / keysWithout : 0; }
};

// Reads `labelFile`, imports each DBC it names from `dbcFolder` and adds up the
// figures of the suggestions for `keys`. Returns an empty text, or why a file could
// not be read.
QString measureLabelSet(const QString &labelFile, const QString &dbcFolder, const std::vector<KeyTarget> &keys,
                        const SuggestDictionary &dictionary, SuggestionFigures &figures);
