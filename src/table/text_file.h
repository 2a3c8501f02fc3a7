#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <QStringView>

// Every file the program writes is 8-bit text in Windows-1252, and so is every file
// it reads unless the file is UTF-8 (see LineReader). The five bytes that code page
// leaves undefined map to the C1 controls of the same value, so every byte value
// survives a read and a write unchanged.
QString decodeCp1252(const char *bytes, qsizetype size);
// The same into `text`, whose memory is reused when it is not shared.
void decodeCp1252(const char *bytes, qsizetype size, QString &text);
inline QString decodeCp1252(const QByteArray &bytes) { return decodeCp1252(bytes.constData(), bytes.size()); }
// The same into `out`, which has room for `size` characters.
void decodeCp1252(const char *bytes, qsizetype size, char16_t *out);
// Characters outside the code page become "?".
void appendCp1252(QByteArray &out, QStringView text);
// Whether one of the bytes from 0x80 to 0x9F stands for the character.
bool cp1252High(char16_t c);
// Whether Windows-1252 has the character, so that it is saved as itself.
inline bool inCp1252(char16_t c)
{
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF) || cp1252High(c);
}
// Where the first character that Windows-1252 lacks stands in `text`, or -1.
qsizetype firstOutsideCp1252(QStringView text);

// UTF-8 bytes as text. A byte that does not belong to a well-formed sequence stands
// for its Windows-1252 character, so nothing of the input is lost.
void decodeUtf8(const char *bytes, qsizetype size, QString &text);
// The same into `out`, which has room for text.size() bytes; returns where they end.
char *encodeCp1252(QStringView text, char *out);
// The same, false when a character has no byte of its own (`out` then holds a part).
bool encodeCp1252Exactly(QStringView text, char *out);

// Opens `fileName` for reading. On failure `error` says which file and why.
bool openForReading(QFile &file, QString &error);

// A file name as the user should read it in a message.
QString displayName(const QString &fileName);

// Reads text line by line. A line ends at CR, CR LF or LF; a line end after the
// last line adds no empty line. Reads the device in chunks, so memory stays bounded
// by the longest line, which is itself limited to maxLineLength bytes.
//
// The text is UTF-8 when the file begins with the UTF-8 byte-order mark (which is
// skipped), or when the whole file is well-formed UTF-8 and holds a byte from 0x80
// up; any other file is Windows-1252. Until the first such byte both read the same,
// so the rest of the file is looked over only from there, and only a device that can
// go back there (a file, a buffer) may be read as UTF-8 without the mark. A file
// holding a NUL byte is no text file and is refused.
class LineReader
{
public:
    static constexpr qsizetype maxLineLength = 16 * 1024 * 1024;
    enum class Encoding { Undecided, Utf8, Windows1252 };

    explicit LineReader(QIODevice &device, qsizetype chunkSize = 256 * 1024);

    // The next line, without its line end. False at the end of the input or on a
    // failure; error() tells the two apart. The view stays valid until the next call.
    bool readLine(QStringView &line);
    // The same as a text; reading into the same text again and again reuses its memory.
    bool readLine(QString &line);
    // 1-based number of the line read last.
    qint64 lineNumber() const { return m_lineNumber; }
    // Empty unless reading failed: the reason, naming the line where it can.
    QString error() const { return m_error; }
    // How the text was read: "UTF-8" or "Windows-1252".
    QString encodingName() const;

private:
    bool fill();
    bool fail(const QString &reason);
    void skipByteOrderMark();
    void decide(qsizetype firstHigh);
    bool restIsUtf8(const char *from, const char *end);
    void decodeLine(const char *bytes, qsizetype size, QString &text);
    const char *findLineEnd(const char *begin, const char *end);

    QIODevice &m_device;
    QByteArray m_buffer;       // the bytes of the current chunk
    QString m_text;            // the same chunk decoded
    QByteArray m_partial;      // the bytes of a line that spans chunks
    QString m_partialText;     // the same line decoded
    QString m_lineText;        // a line of a UTF-8 chunk, decoded on its own
    qsizetype m_pos = 0;
    qsizetype m_lineFeed = -1; // the next LF in m_buffer at or after m_pos, or its size
    qsizetype m_chunkSize;
    qint64 m_lineNumber = 0;
    bool m_skipLineFeed = false;
    bool m_done = false;
    bool m_started = false;
    Encoding m_encoding = Encoding::Undecided;
    QString m_error;
};

// Reads `device` line by line (opening it for reading when it is not open yet) and
// calls onLine(line, lineNumber) for every line; `Line` is QStringView, or QString for
// a caller that takes the line apart in place. Returns an empty text on success,
// else the reason, naming `fileName`. `encoding`, when given, receives how the text
// was read (LineReader::encodingName()).
template<typename Line, typename OnLine>
QString readLines(QIODevice &device, const QString &fileName, OnLine &&onLine, QString *encoding = nullptr)
{
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open %1: %2").arg(displayName(fileName), device.errorString());
    if (!device.isReadable())
        return QStringLiteral("Cannot read %1: it is not open for reading.").arg(displayName(fileName));
    LineReader reader(device);
    Line line;
    while (reader.readLine(line))
        onLine(line, reader.lineNumber());
    if (encoding)
        *encoding = reader.encodingName();
    if (!reader.error().isEmpty())
        return QStringLiteral("Cannot read %1: %2").arg(displayName(fileName), reader.error());
    return {};
}
