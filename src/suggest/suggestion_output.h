#pragma once

#include "suggest/key_matcher.h"

#include <QString>
#include <QStringList>

#include <vector>

class TableData;
class SuggestDictionary;

// A key to give a row.
struct KeyAssignment
{
    int row = 0;
    QString key;
};

// "Accept all confident": for each key, its best candidate with a confident score
// (KeyMatcher::confidentScore or more), best scores first. Keys some row of `table`
// holds already and rows that hold a key are left out, and each row is given at most
// one key: when a key's best row went to a key with a higher score, its next
// confident candidate is taken. In the order of the key list.
std::vector<KeyAssignment> confidentAssignments(const std::vector<KeySuggestion> &suggestions,
                                                const TableData &table);

// The key list items whose description holds `typed` ("cool" finds "ECTP - Engine
// coolant temperature"), or a word that the dictionary gives the same meaning
// ("kuehl" finds it too). All items for an empty text.
QStringList matchingKeys(const QStringList &items, const QString &typed, const SuggestDictionary &dictionary);

// The suggestions as the command line prints them: for every key, in key list order,
// one line per candidate, best first: key, rank (1 to 3), "#" and CAN ID as the table
// shows them, Name and score, separated by tabs. A key without a candidate prints
// nothing.
QString suggestionLines(const std::vector<KeySuggestion> &suggestions, const TableData &table);
