#include "same_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// The path that names a file, existing or not: a file that does not exist yet has
// no canonical path, but may still be named in two ways ("a/../x", "./x").
QString resolvedPath(const QFileInfo &info)
{
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
#ifdef Q_OS_UNIX
    struct stat firstStat = {};
    struct stat secondStat = {};
    if (::stat(QFile::encodeName(a).constData(), &firstStat) == 0
        && ::stat(QFile::encodeName(b).constData(), &secondStat) == 0)
        return firstStat.st_dev == secondStat.st_dev && firstStat.st_ino == secondStat.st_ino;
    return resolvedPath(first) == resolvedPath(second);
#else
    // No inode to compare; Windows file names ignore letter case.
    return resolvedPath(first).compare(resolvedPath(second), Qt::CaseInsensitive) == 0;
#endif
}
