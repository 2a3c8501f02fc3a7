#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

class QSaveFile;

// Writing files so that every failure is seen and said. A file opened with
// `writeMode` has no write buffer of Qt's: each write reaches the system at once, so
// a full disk fails the write that meets it. With the buffer, the last bytes would be
// written by QSaveFile::commit(), which then reports the cut-off file as saved.
inline constexpr QIODevice::OpenMode writeMode = QIODevice::WriteOnly | QIODevice::Unbuffered;

// Writes all of `bytes`. Empty on success, else the reason ("No space left on
// device"): the system's own where it gave one, since after a short write Qt says
// only "Unknown error".
QString writeAll(QIODevice &device, QByteArrayView bytes);

// Commits `file` (replacing the file it names); empty on success, else the reason.
QString commitFile(QSaveFile &file);
