#pragma once

#include <QString>
#include <QStringView>

#include <array>

// Small text helpers shared by every reader and writer of the program.

// Cuts the text before the first `delimiter` off `text` and returns it; `text` keeps
// what followed the delimiter. Without a delimiter the whole text is returned and
// `text` becomes empty. Nothing is trimmed.
QString NextField(QString &text, QStringView delimiter);
// The same on a view: the field and what is left are views of the same characters,
// so nothing is copied. Parsers use it to take a line apart without a copy per field.
QStringView NextField(QStringView &text, QStringView delimiter);

// Where `c` first stands in `text` at or after `from`; -1 where it does not. For
// the short pieces of a line a plain search is quicker than QStringView::indexOf,
// whose general set-up costs more than the search itself.
qsizetype findChar(QStringView text, QChar c, qsizetype from = 0);
inline bool containsChar(QStringView text, QChar c) { return findChar(text, c) >= 0; }
// Where `a` or `b` first stands in `text` at or after `from`; text.size() where neither does.
qsizetype findEither(QStringView text, QChar a, QChar b, qsizetype from = 0);

// Removes leading and trailing space characters (U+0020 only; tabs stay).
QStringView trimSpaces(QStringView text);

// The leading number of `text`: optional sign, digits, "." as the decimal point in
// every locale, optional exponent. Spaces, tabs and line feeds are skipped wherever
// they stand; reading stops at the first character that cannot continue the number.
// Text without a leading number reads as 0. Magnitudes beyond a double give +-inf.
double readNumber(QStringView text);

// The general number format: at most `significantDigits` significant digits,
// trailing zeros dropped, no grouping, the user's locale decimal separator and
// exponent notation ("1.5E+20") for very large and very small magnitudes.
QString formatGeneral(double value, int significantDigits);
inline QString formatDouble(double value) { return formatGeneral(value, 15); }
inline QString formatSingle(float value) { return formatGeneral(double(value), 7); }
// The same with the decimal separator given, for a reader that writes many numbers
// and asks the locale once.
QString formatGeneral(double value, int significantDigits, QStringView decimalPoint);
inline QString formatDouble(double value, QStringView decimalPoint)
{
    return formatGeneral(value, 15, decimalPoint);
}
inline QString formatSingle(float value, QStringView decimalPoint)
{
    return formatGeneral(double(value), 7, decimalPoint);
}

// A whole number in decimal, written into `text` for a caller that copies it at
// once: cheaper than QString::number() for a text per row.
using DecimalText = std::array<char16_t, 12>;
QStringView writeDecimal(int number, DecimalText &text);

// True when `fileName` ends in `extension` (given with its dot), in any letter case.
bool hasExtension(QStringView fileName, QStringView extension);
