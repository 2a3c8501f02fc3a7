#pragma once

#include <QString>

// Whether the names `a` and `b` lead to one file: the same path once folders, "."
// and ".." and symbolic links are resolved, or, where both exist, the same file
// under two names (a hard link). A command must never write over a file it reads.
bool sameFile(const QString &a, const QString &b);
