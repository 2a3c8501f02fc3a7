#include "results_csv.h"

#include "table/file_writing.h"
#include "table/table_data.h"
#include "table/table_status.h"
#include "table/text_file.h"
#include "table/text_helpers.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <array>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

QString proposeCsvPath(const QString &currentFile)
{
    if (currentFile.isEmpty() || hasExtension(currentFile, u".csv"))
        return currentFile;
    const qsizetype cut = std::max(currentFile.lastIndexOf(u'/'), currentFile.lastIndexOf(u'\\')) + 1;
    const QStringView name = QStringView(currentFile).mid(cut);
    const QString prefix = name.startsWith(u"CAN_", Qt::CaseInsensitive) ? QString() : QStringLiteral("CAN_");
    return currentFile.left(cut) + prefix + name.toString();
}

QString csvDialogName(const QString &proposal)
{
    static constexpr std::array<QStringView, 3> replaced = {u".dbc", u".xml", u".plexcanrxconfig"};
    for (const QStringView extension : replaced) {
        if (hasExtension(proposal, extension))
            return proposal.left(proposal.size() - extension.size()) + QStringLiteral(".CSV");
    }
    return proposal;
}

// The first rows the warning about characters the file cannot hold names.
constexpr int encodingRowsNamed = 5;

QString csvEncodingWarning(const TableData &table)
{
    QList<int> rows;
    QString first;
    // Only a chunk kept as UTF-16 can hold such a character.
    for (int row = table.nextRowOfWideChunk(0); row < table.rows() && rows.size() <= encodingRowsNamed;
         row = table.nextRowOfWideChunk(row + 1)) {
        const QStringView cells = table.cells(row, Col::Number + 1, Col::Count - 1);
        const qsizetype at = firstOutsideCp1252(cells);
        if (at < 0)
            continue;
        if (first.isEmpty()) {
            const bool pair = QChar::isHighSurrogate(cells[at].unicode()) && at + 1 < cells.size();
            first = cells.mid(at, pair ? 2 : 1).toString();
        }
        rows.append(row);
    }
    if (rows.isEmpty())
        return {};
    return rowsHold(table, rows, encodingRowsNamed)
            + QStringLiteral(" a character that the results CSV cannot hold (the first is \"%1\"): the file is "
                             "Windows-1252, which lacks it, so it is saved as \"?\".")
                      .arg(first);
}

namespace {

// One row as a line, written with one resize of `out`: "//" before the heading
// row, the texts of columns 1 on, each followed by ";", and CR LF.
void appendLine(QByteArray &out, const TableData &table, int row)
{
    constexpr int first = Col::Number + 1;
    constexpr int last = Col::Count - 1;
    const qsizetype prefix = row == 0 ? 2 : 0;
    const qsizetype size = prefix + table.cellsSize(row, first, last) + (last - first + 1) + 2;
    const qsizetype start = out.size();
    out.resize(start + size);
    char *dest = out.data() + start;
    if (row == 0) {
        *dest++ = '/';
        *dest++ = '/';
    }
    dest = table.encodeCells(row, first, last, ';', dest);
    *dest++ = '\r';
    *dest = '\n';
}

} // namespace

QByteArray resultsCsvBytes(const TableData &table)
{
    QByteArray out;
    for (int row = 0; row < table.rows(); ++row)
        appendLine(out, table, row);
    return out;
}

namespace {

QString failure(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Cannot save %1: %2").arg(displayName(fileName), reason);
}

// Writes every line in large chunks. Empty on success, else the reason.
QString writeLines(const TableData &table, QIODevice &file)
{
    constexpr qsizetype flushAt = 1 << 20;
    QByteArray chunk;
    chunk.reserve(flushAt + 4096);
    for (int row = 0; row < table.rows(); ++row) {
        appendLine(chunk, table, row);
        if (chunk.size() >= flushAt || row == table.rows() - 1) {
            if (QString reason = writeAll(file, chunk); !reason.isEmpty())
                return reason;
            chunk.clear();
        }
    }
    return {};
}

// Opens a device or a pipe for writing. Opening a pipe that nothing reads from
// would wait (and freeze the window) until a reader comes; it is refused instead.
bool openExisting(QFile &device, QString &reason)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(device.fileName()).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = errno == ENXIO ? QStringLiteral("it is a pipe that nothing reads from.") : qt_error_string(errno);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        reason = qt_error_string(errno);
        ::close(fd);
        return false;
    }
    if (!device.open(fd, writeMode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        reason = device.errorString();
        return false;
    }
    return true;
#else
    const bool opened = device.open(writeMode);
    if (!opened)
        reason = device.errorString();
    return opened;
#endif
}

// A device or a pipe cannot be replaced by renaming; it is written directly.
QString writeToExisting(const TableData &table, const QString &fileName)
{
    QFile device(fileName);
    QString reason;
    if (!openExisting(device, reason))
        return failure(fileName, reason);
    if (const QString reason = writeLines(table, device); !reason.isEmpty())
        return failure(fileName, reason);
    device.close();
    if (device.error() != QFileDevice::NoError)
        return failure(fileName, device.errorString());
    return {};
}

} // namespace

QString writeResultsCsv(const TableData &table, const QString &fileName)
{
    const QFileInfo target(fileName);
    if (target.isDir())
        return failure(fileName, QStringLiteral("it is a folder."));
    if (target.exists() && !target.isFile())
        return writeToExisting(table, fileName);
    QSaveFile file(fileName);
    if (!file.open(writeMode))
        return failure(fileName, file.errorString());
    QString reason = writeLines(table, file);
    if (reason.isEmpty())
        reason = commitFile(file);
    return reason.isEmpty() ? QString() : failure(fileName, reason);
}

