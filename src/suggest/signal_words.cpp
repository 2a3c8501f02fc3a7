#include "signal_words.h"

namespace {

void appendFolded(QString &out, QChar c)
{
    switch (c.unicode()) {
    case 0x00C4: case 0x00E4: out += u"ae"; return;
    case 0x00D6: case 0x00F6: out += u"oe"; return;
    case 0x00DC: case 0x00FC: out += u"ue"; return;
    case 0x00DF: out += u"ss"; return;
    default: out += c.toLower(); return;
    }
}

enum class CharKind { Other, Digit, Lower, Upper };

CharKind kindOf(QChar c)
{
    if (c.isDigit())
        return CharKind::Digit;
    if (c.isLetter())
        return c.isUpper() ? CharKind::Upper : CharKind::Lower;
    return CharKind::Other;
}

} // namespace

QString foldWord(QStringView word)
{
    QString folded;
    folded.reserve(word.size());
    for (QChar c : word)
        appendFolded(folded, c);
    return folded;
}

bool isNumberWord(QStringView word)
{
    if (word.isEmpty())
        return false;
    for (QChar c : word) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

std::vector<QString> splitWords(QStringView text)
{
    std::vector<QString> words;
    qsizetype start = -1;
    const auto close = [&](qsizetype end) {
        if (start >= 0 && end > start)
            words.push_back(foldWord(text.mid(start, end - start)));
        start = -1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const CharKind kind = kindOf(text[i]);
        if (kind == CharKind::Other) {
            close(i);
            continue;
        }
        if (start >= 0) {
            const CharKind before = kindOf(text[i - 1]);
            const bool digitEdge = (kind == CharKind::Digit) != (before == CharKind::Digit);
            const bool upperAfterLower = kind == CharKind::Upper && before == CharKind::Lower;
            // "RPMValue": the last capital of a run begins the next word.
            const bool runEnds = kind == CharKind::Lower && before == CharKind::Upper && i - 1 > start
                                 && kindOf(text[i - 2]) == CharKind::Upper;
            if (digitEdge || upperAfterLower)
                close(i);
            else if (runEnds) {
                close(i - 1);
                start = i - 1;
            }
        }
        if (start < 0)
            start = i;
    }
    close(text.size());
    return words;
}
