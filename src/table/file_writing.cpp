#include "file_writing.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

namespace {

// The device's reason when it has one of its own, else the system's `error`.
QString reasonOf(const QIODevice &device, int error)
{
    const QString reason = device.errorString();
    if (error != 0 && (reason.isEmpty() || reason == QFile().errorString()))
        return qt_error_string(error);
    return reason;
}

} // namespace

QString writeAll(QIODevice &device, QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        errno = 0;
        const qint64 written = device.write(data, left);
        const int error = errno;
        if (written == left)
            return {};
        // A short write without a system error (a signal, a pipe) goes on with the rest.
        if (written <= 0 || error != 0)
            return reasonOf(device, error);
        data += written;
        left -= qsizetype(written);
    }
    return {};
}

QString commitFile(QSaveFile &file)
{
    errno = 0;
    if (file.commit())
        return {};
    return reasonOf(file, errno);
}
