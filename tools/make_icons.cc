// Draws the program's icon for the desktop's icon theme from the window's
// artwork, one PNG file a size:
//
//   make_icons DIR SIZE...      writes DIR/<SIZE>x<SIZE>/apps/tervoconverter.png
//
// Qt needs a platform to draw pixmaps on; the build runs it offscreen.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/window/artwork.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons DIR SIZE...\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 16 || size > 1024) {
            std::fprintf(stderr, "make_icons: '%s' is no icon size (16 to 1024)\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QStringLiteral("/tervoconverter.png");
        if (!QDir().mkpath(folder) || !tervo::DrawProgramIcon(static_cast<int>(size)).save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
