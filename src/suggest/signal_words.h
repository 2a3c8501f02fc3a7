#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The words of a signal name, a description or a comment, as the key suggestions
// compare them: lower case, a/o/u with umlaut written ae/oe/ue and sharp s as ss.

// One word in that form.
QString foldWord(QStringView word);

// Splits a text into its words: at every character that is neither a letter nor a
// digit ("_", spaces, punctuation), between letters and digits, and where the case
// changes ("EngSpd" gives eng, spd; "RPMValue" gives rpm, value). Digit runs are
// words of their own.
std::vector<QString> splitWords(QStringView text);

// True for a word made of digits only.
bool isNumberWord(QStringView word);
