#include "text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the others equal their Latin-1 code points.
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (std::size_t i = 0; i < high.size(); ++i) {
        if (high[i] == c)
            return char(0x80 + i);
    }
    return '?';
}

char16_t cp1252Char(unsigned char b)
{
    return (b & 0xE0) == 0x80 ? high[b - 0x80] : char16_t(b);
}

constexpr quint64 highBits = 0x8080808080808080u;

// Where the first byte from 0x80 up stands, or -1; eight bytes at a time.
qsizetype firstHighByte(const char *bytes, qsizetype size)
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, sizeof word);
        if (word & highBits)
            break;
    }
    for (; i < size; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return i;
    }
    return -1;
}

// The bytes a well-formed UTF-8 sequence may continue with after its lead byte
// (no overlong forms, no surrogates, nothing beyond U+10FFFF), and how many follow.
struct Utf8Lead
{
    int following = -1; // -1: no lead byte
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

Utf8Lead utf8Lead(unsigned char b)
{
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF)
        return {2, 0x80, 0xBF};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {};
}

// Checks UTF-8 piece by piece; a sequence may span two pieces.
struct Utf8Check
{
    int following = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    bool bad = false;

    void feed(const char *bytes, qsizetype size)
    {
        qsizetype i = 0;
        while (i < size && !bad) {
            if (following == 0) {
                const qsizetype ascii = firstHighByte(bytes + i, size - i);
                if (ascii < 0)
                    return;
                const Utf8Lead lead = utf8Lead(static_cast<unsigned char>(bytes[i + ascii]));
                i += ascii + 1;
                bad = lead.following < 0;
                following = lead.following;
                low = lead.low;
                high = lead.high;
                continue;
            }
            const auto b = static_cast<unsigned char>(bytes[i++]);
            bad = b < low || b > high;
            low = 0x80;
            high = 0xBF;
            --following;
        }
    }
    bool wellFormed() const { return !bad && following == 0; }
};

// The code point of the well-formed sequence at `bytes`, and its length; 0 when the
// bytes there are not one.
int utf8Sequence(const unsigned char *bytes, qsizetype available, char32_t &code)
{
    const Utf8Lead lead = utf8Lead(bytes[0]);
    if (lead.following < 0 || lead.following >= available)
        return 0;
    if (bytes[1] < lead.low || bytes[1] > lead.high)
        return 0;
    code = bytes[0] & (0x3F >> lead.following);
    for (int i = 1; i <= lead.following; ++i) {
        if (i > 1 && (bytes[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (bytes[i] & 0x3F);
    }
    return lead.following + 1;
}

} // namespace

bool cp1252High(char16_t c)
{
    return std::find(high.begin(), high.end(), c) != high.end();
}

qsizetype firstOutsideCp1252(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!inCp1252(text[i].unicode()))
            return i;
    }
    return -1;
}

void decodeUtf8(const char *bytes, qsizetype size, QString &text)
{
    // No sequence gives more UTF-16 units than it has bytes.
    text.resize(size);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = begin;
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);
    for (qsizetype i = 0; i < size;) {
        if (in[i] < 0x80) {
            *out++ = in[i++];
            continue;
        }
        char32_t code = 0;
        const int length = utf8Sequence(in + i, size - i, code);
        if (length == 0) {
            *out++ = cp1252Char(in[i++]);
        } else if (code > 0xFFFF) {
            *out++ = QChar::highSurrogate(code);
            *out++ = QChar::lowSurrogate(code);
            i += length;
        } else {
            *out++ = char16_t(code);
            i += length;
        }
    }
    text.truncate(out - begin);
}

void decodeCp1252(const char *bytes, qsizetype size, char16_t *out)
{
    // Widen every byte first, a loop the compiler vectorises (with a byte, not a
    // bool, to collect the flag), and look up the few bytes from 0x80 to 0x9F only
    // in a text that holds one.
    unsigned char anyHigh = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b;
        anyHigh |= (b & 0xE0) == 0x80;
    }
    if (anyHigh == 0)
        return;
    for (qsizetype i = 0; i < size; ++i) {
        if ((out[i] & 0xFFE0) == 0x80)
            out[i] = high[out[i] - 0x80];
    }
}

void decodeCp1252(const char *bytes, qsizetype size, QString &text)
{
    text.resize(size);
    decodeCp1252(bytes, size, reinterpret_cast<char16_t *>(text.data()));
}

QString decodeCp1252(const char *bytes, qsizetype size)
{
    QString text;
    decodeCp1252(bytes, size, text);
    return text;
}

char *encodeCp1252(QStringView text, char *out)
{
    for (const QChar c : text)
        *out++ = encodeChar(c.unicode());
    return out;
}

bool encodeCp1252Exactly(QStringView text, char *out)
{
    const char16_t *const chars = text.utf16();
    // ASCII, nearly every character of a signal file, needs no look-up; the flag is
    // collected without a branch so the loop vectorises.
    char16_t any = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        out[i] = char(chars[i]);
        any |= chars[i];
    }
    if (any < 0x80)
        return true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = chars[i];
        if (c < 0x80)
            continue;
        out[i] = encodeChar(c);
        if (out[i] == '?')
            return false;
    }
    return true;
}

void appendCp1252(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    encodeCp1252(text, out.data() + start);
}

QString displayName(const QString &fileName)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"');
}

bool openForReading(QFile &file, QString &error)
{
    const QFileInfo info(file.fileName());
    if (info.isDir()) {
        error = QStringLiteral("Cannot open %1: it is a folder, not a file.").arg(displayName(file.fileName()));
        return false;
    }
    // Only a regular file has an end the reader can wait for: opening a pipe blocks
    // until something writes to it, and a device such as /dev/urandom never runs dry.
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("Cannot open %1: it is not a regular file.").arg(displayName(file.fileName()));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot open %1: %2").arg(displayName(file.fileName()), file.errorString());
        return false;
    }
    return true;
}

LineReader::LineReader(QIODevice &device, qsizetype chunkSize)
    : m_device(device), m_chunkSize(chunkSize > 0 ? chunkSize : 1)
{
}

bool LineReader::fail(const QString &reason)
{
    m_error = reason;
    m_done = true;
    m_partial.clear();
    return false;
}

QString LineReader::encodingName() const
{
    return m_encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

void LineReader::skipByteOrderMark()
{
    char mark[3];
    if (m_device.peek(mark, 3) == 3 && std::memcmp(mark, "\xEF\xBB\xBF", 3) == 0) {
        m_device.skip(3);
        m_encoding = Encoding::Utf8;
    }
}

// The first byte from 0x80 up, at `firstHigh` in the current chunk, decides: UTF-8
// if the file is well-formed UTF-8 from there to its end.
void LineReader::decide(qsizetype firstHigh)
{
    const char *const bytes = m_buffer.constData();
    m_encoding = restIsUtf8(bytes + firstHigh, bytes + m_buffer.size()) ? Encoding::Utf8 : Encoding::Windows1252;
}

bool LineReader::restIsUtf8(const char *from, const char *end)
{
    Utf8Check check;
    check.feed(from, end - from);
    if (check.bad || m_device.isSequential())
        return false;
    const qint64 back = m_device.pos();
    QByteArray ahead(std::max<qsizetype>(m_chunkSize, 64 * 1024), Qt::Uninitialized);
    bool readable = true;
    while (!check.bad) {
        const qint64 got = m_device.read(ahead.data(), ahead.size());
        readable = got >= 0;
        if (got <= 0)
            break;
        check.feed(ahead.constData(), got);
    }
    if (!m_device.seek(back)) {
        fail(QStringLiteral("cannot go back to byte %1 after looking ahead: %2").arg(back).arg(m_device.errorString()));
        return false;
    }
    // A read that fails here fails again when the reader comes to it.
    return readable && check.wellFormed();
}

void LineReader::decodeLine(const char *bytes, qsizetype size, QString &text)
{
    if (m_encoding == Encoding::Utf8)
        decodeUtf8(bytes, size, text);
    else
        decodeCp1252(bytes, size, text);
}

bool LineReader::fill()
{
    if (m_done)
        return false;
    if (!std::exchange(m_started, true))
        skipByteOrderMark();
    m_buffer.resize(m_chunkSize);
    const qint64 got = m_device.read(m_buffer.data(), m_chunkSize);
    if (got < 0) {
        m_buffer.clear();
        m_pos = 0;
        return fail(m_device.errorString());
    }
    m_buffer.resize(got);
    m_pos = 0;
    m_lineFeed = -1;
    if (got == 0) {
        m_done = true;
        return false;
    }
    if (std::memchr(m_buffer.constData(), 0, std::size_t(got))) {
        m_buffer.clear();
        return fail(QStringLiteral("it holds a NUL byte, so it is not a text file."));
    }
    if (m_encoding == Encoding::Undecided) {
        if (const qsizetype firstHigh = firstHighByte(m_buffer.constData(), got); firstHigh >= 0)
            decide(firstHigh);
        if (!m_error.isEmpty())
            return false;
    }
    // Decoding a Windows-1252 chunk at once is much faster than line by line; a byte
    // and its character share their position. UTF-8 is decoded line by line.
    if (m_encoding != Encoding::Utf8)
        decodeCp1252(m_buffer.constData(), got, m_text);
    return true;
}

const char *LineReader::findLineEnd(const char *begin, const char *end)
{
    // memchr is far faster than a loop over the bytes. The next LF is remembered, so
    // a file whose lines end in CR alone is not searched to the end for every line.
    const qsizetype pos = begin - m_buffer.constData();
    if (m_lineFeed < pos) {
        const void *lf = std::memchr(begin, '\n', std::size_t(end - begin));
        m_lineFeed = lf ? static_cast<const char *>(lf) - m_buffer.constData() : m_buffer.size();
    }
    const char *const lineFeed = m_buffer.constData() + m_lineFeed;
    const void *cr = std::memchr(begin, '\r', std::size_t(lineFeed - begin));
    return cr ? static_cast<const char *>(cr) : lineFeed;
}

bool LineReader::readLine(QStringView &line)
{
    m_partial.clear();
    bool started = false;
    for (;;) {
        if (m_pos >= m_buffer.size() && !fill()) {
            if (!started || !m_error.isEmpty())
                return false;
            break; // the last line has no line end
        }
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (m_buffer[m_pos] == '\n') {
                ++m_pos;
                continue;
            }
        }
        started = true;
        const qsizetype start = m_pos;
        const char *begin = m_buffer.constData() + start;
        const char *end = m_buffer.constData() + m_buffer.size();
        const char *stop = findLineEnd(begin, end);
        const qsizetype length = stop - begin;
        if (m_partial.size() + length > maxLineLength) {
            return fail(QStringLiteral("line %1 is longer than %2 MiB.")
                                .arg(m_lineNumber + 1)
                                .arg(maxLineLength / (1024 * 1024)));
        }
        if (stop == end) {
            m_partial.append(begin, length);
            m_pos = m_buffer.size();
            continue;
        }
        m_pos += length + 1;
        m_skipLineFeed = *stop == '\r';
        if (m_partial.isEmpty()) {
            ++m_lineNumber;
            if (m_encoding == Encoding::Utf8) {
                decodeUtf8(begin, length, m_lineText);
                line = m_lineText;
            } else {
                line = QStringView(m_text).sliced(start, length);
            }
            return true;
        }
        m_partial.append(begin, length);
        break;
    }
    // A line that began in an earlier chunk, or the last line without a line end.
    decodeLine(m_partial.constData(), m_partial.size(), m_partialText);
    ++m_lineNumber;
    line = m_partialText;
    return true;
}

bool LineReader::readLine(QString &line)
{
    QStringView view;
    if (!readLine(view))
        return false;
    // Copying into the caller's text reuses its memory when it is not shared.
    line.resize(view.size());
    if (!view.isEmpty())
        std::copy(view.begin(), view.end(), line.data());
    return true;
}
