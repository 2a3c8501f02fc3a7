#include "text_helpers.h"

#include <QLocale>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace {

qsizetype indexOfDelimiter(QStringView text, QStringView delimiter)
{
    if (delimiter.size() == 1)
        return findChar(text, delimiter.front());
    return delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
}

} // namespace

qsizetype findChar(QStringView text, QChar c, qsizetype from)
{
    const char16_t *const begin = text.utf16();
    const char16_t *const end = begin + text.size();
    const char16_t *at = begin + std::min(std::max(from, qsizetype(0)), text.size());
#if defined(__SSE2__)
    // Eight characters at a time: the readers look for the next space or quote of a
    // line again and again, and this search is a good part of their time.
    const __m128i wanted = _mm_set1_epi16(short(c.unicode()));
    for (; end - at >= 8; at += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted));
        if (hits != 0)
            return at - begin + std::countr_zero(unsigned(hits)) / 2;
    }
#endif
    at = std::find(at, end, c.unicode());
    return at == end ? -1 : at - begin;
}

qsizetype findEither(QStringView text, QChar a, QChar b, qsizetype from)
{
    const char16_t *const begin = text.utf16();
    const char16_t *const end = begin + text.size();
    const char16_t *at = begin + std::min(std::max(from, qsizetype(0)), text.size());
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi16(short(a.unicode()));
    const __m128i second = _mm_set1_epi16(short(b.unicode()));
    for (; end - at >= 8; at += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(block, first), _mm_cmpeq_epi16(block, second)));
        if (hits != 0)
            return at - begin + std::countr_zero(unsigned(hits)) / 2;
    }
#endif
    while (at < end && *at != a.unicode() && *at != b.unicode())
        ++at;
    return at - begin;
}

QString NextField(QString &text, QStringView delimiter)
{
    const qsizetype at = indexOfDelimiter(text, delimiter);
    if (at < 0) {
        QString whole;
        whole.swap(text);
        return whole;
    }
    QString field = text.left(at);
    text.remove(0, at + delimiter.size()); // moves the start of the text; copies nothing
    return field;
}

QStringView NextField(QStringView &text, QStringView delimiter)
{
    const qsizetype at = indexOfDelimiter(text, delimiter);
    if (at < 0)
        return std::exchange(text, QStringView());
    const QStringView field = text.first(at);
    text = text.sliced(at + delimiter.size());
    return field;
}

QStringView writeDecimal(int number, DecimalText &text)
{
    char16_t *const end = text.data() + text.size();
    char16_t *begin = end;
    unsigned magnitude = number < 0 ? 0u - unsigned(number) : unsigned(number);
    do {
        *--begin = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0)
        *--begin = u'-';
    return QStringView(begin, end);
}

QStringView trimSpaces(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Collects the characters of the leading number into plain ASCII for from_chars.
struct NumberText
{
    std::string chars;
    bool negative = false;
    bool anyDigit = false;
    long long integerDigits = 0; // significant digits before the point
    long long leadingFractionZeros = 0;
    bool significantSeen = false;
    long long exponent = 0;
};

NumberText collectNumber(QStringView text)
{
    NumberText n;
    enum class Stage { Sign, Integer, Fraction, ExponentSign, Exponent } stage = Stage::Sign;
    bool exponentNegative = false;
    bool exponentDigits = false;
    std::string mantissa;
    for (const QChar c : text) {
        if (isSkipped(c))
            continue;
        if (stage == Stage::Sign) {
            stage = Stage::Integer;
            if (c == u'+' || c == u'-') {
                n.negative = c == u'-';
                continue;
            }
        }
        if (stage == Stage::Integer || stage == Stage::Fraction) {
            if (isDigit(c)) {
                n.anyDigit = true;
                if (c != u'0')
                    n.significantSeen = true;
                if (stage == Stage::Integer && n.significantSeen)
                    ++n.integerDigits;
                if (stage == Stage::Fraction && !n.significantSeen)
                    ++n.leadingFractionZeros;
                mantissa += char(c.unicode());
                continue;
            }
            if (c == u'.' && stage == Stage::Integer) {
                stage = Stage::Fraction;
                mantissa += '.';
                continue;
            }
            if ((c == u'e' || c == u'E') && n.anyDigit) {
                stage = Stage::ExponentSign;
                continue;
            }
            break;
        }
        if (stage == Stage::ExponentSign) {
            stage = Stage::Exponent;
            if (c == u'+' || c == u'-') {
                exponentNegative = c == u'-';
                continue;
            }
        }
        if (!isDigit(c))
            break;
        exponentDigits = true;
        if (n.exponent < 100000000)
            n.exponent = n.exponent * 10 + (c.unicode() - u'0');
    }
    if (exponentNegative)
        n.exponent = -n.exponent;
    n.chars = mantissa;
    if (exponentDigits)
        n.chars += 'e' + std::to_string(n.exponent);
    return n;
}

} // namespace

double readNumber(QStringView text)
{
    const NumberText n = collectNumber(text);
    if (!n.anyDigit)
        return 0.0;
    double value = 0.0;
    const char *begin = n.chars.data();
    const auto [end, error] = std::from_chars(begin, begin + n.chars.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        // Decide between overflow and underflow from the decimal magnitude.
        const long long magnitude = n.significantSeen
                ? (n.integerDigits > 0 ? n.integerDigits : -n.leadingFractionZeros) + n.exponent
                : 0;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return n.negative ? -value : value;
}

namespace {

// Whether `value` can lie exactly halfway between two roundings to `digits`
// significant digits. Its exact decimal expansion must then end in a 5 at digit
// digits + 1: a whole number needs that many digits, and a fraction with k binary
// places has more than 0.69 k significant decimal digits.
bool mayBeTie(double value, int digits)
{
    int exponent = 0;
    const double mantissa = std::frexp(std::abs(value), &exponent);
    const auto bits = static_cast<quint64>(std::ldexp(mantissa, 53));
    const int binaryPlaces = 53 - exponent - std::countr_zero(bits);
    if (binaryPlaces <= 0)
        return std::abs(value) >= std::pow(10.0, digits);
    return binaryPlaces * 69 < (digits + 1) * 100;
}

// The text of QString::number(value, 'g', digits) for a finite value other than 0,
// which std::to_chars writes many times faster. They differ only where the value
// lies exactly halfway between two roundings: Qt rounds away from zero, to_chars to
// even. Such a tie shows as a 5 in the digit after the last one kept, and those
// values are left to Qt.
QString numberInGeneralFormat(double value, int digits)
{
    std::array<char, 64> buffer;
    char *const begin = buffer.data();
    char *const end = begin + buffer.size();
    if (mayBeTie(value, digits)) {
        const auto [longer, error] = std::to_chars(begin, end, value, std::chars_format::scientific, digits);
        const char *const exponent = std::find(begin, longer, 'e');
        if (error != std::errc() || exponent == longer || exponent[-1] == '5')
            return QString::number(value, 'g', digits);
    }
    const auto [written, error] = std::to_chars(begin, end, value, std::chars_format::general, digits);
    if (error != std::errc())
        return QString::number(value, 'g', digits);
    return QString::fromLatin1(begin, written - begin);
}

} // namespace

QString formatGeneral(double value, int significantDigits)
{
    return formatGeneral(value, significantDigits, QLocale().decimalPoint());
}

QString formatGeneral(double value, int significantDigits, QStringView decimalPoint)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0.0
    QString text = numberInGeneralFormat(value, significantDigits);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0)
        text[e] = u'E';
    if (decimalPoint != u".")
        text.replace(u'.', decimalPoint.toString());
    return text;
}

bool hasExtension(QStringView fileName, QStringView extension)
{
    return fileName.endsWith(extension, Qt::CaseInsensitive);
}
