// Draws the program's icon as PNG files for the icon theme:
//   tessaly_render_icons FOLDER SIZE...
// writes FOLDER/<SIZE>x<SIZE>/apps/tessaly.png for every SIZE. Runs at build time and
// needs no display.
#include "app/artwork.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tessaly_render_icons FOLDER SIZE...\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "tessaly_render_icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = root.filePath(folder + QStringLiteral("/tessaly.png"));
        if (!root.mkpath(folder) || !programIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "tessaly_render_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
