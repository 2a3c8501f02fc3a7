#include "text_file.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>

#include <array>
#include <cstring>

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

} // namespace

QString decodeCp1252(const char *bytes, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
    }
    return text;
}

void appendCp1252(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *dest = out.data() + start;
    for (const QChar c : text)
        *dest++ = encodeChar(c.unicode());
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

bool LineReader::fill()
{
    if (m_done)
        return false;
    m_buffer.resize(m_chunkSize);
    const qint64 got = m_device.read(m_buffer.data(), m_chunkSize);
    if (got < 0) {
        m_buffer.clear();
        m_pos = 0;
        return fail(m_device.errorString());
    }
    m_buffer.resize(got);
    m_pos = 0;
    if (got == 0) {
        m_done = true;
        return false;
    }
    return true;
}

bool LineReader::readLine(QString &line)
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
        const char *begin = m_buffer.constData() + m_pos;
        const char *end = m_buffer.constData() + m_buffer.size();
        const char *stop = begin;
        while (stop != end && *stop != '\r' && *stop != '\n')
            ++stop;
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
            line = decodeCp1252(begin, length);
        } else {
            m_partial.append(begin, length);
            line = decodeCp1252(m_partial);
        }
        ++m_lineNumber;
        return true;
    }
    line = decodeCp1252(m_partial);
    m_partial.clear();
    ++m_lineNumber;
    return true;
}
