#pragma once

#include "suggest/label_set.h"

#include <QString>

// The key suggestions on 100,000 generated signals with names in the styles of real
// DBC files, and their quality on the labelled DBC corpus of the tests.
struct SuggestBenchFigures
{
    int signalCount = 0;
    int keyCount = 0;
    double indexSeconds = 0;   // reading the signals into the matcher
    double suggestSeconds = 0; // three candidates with reasons for every key
    double totalSeconds = 0;   // both, as a window or the command line does them
    double heapMb = -1;        // heap the matcher and its suggestions hold
    SuggestionFigures quality;
    QString qualityError;      // why the labelled set could not be measured
};

SuggestBenchFigures measureSuggestions(int runs);

class TableData;
// What the suggestions panel works out when it opens on `table`: the signals read from
// the table's cells and details, and three candidates with reasons for each of 49 keys.
double suggestionPanelSeconds(const TableData &table, int runs);
