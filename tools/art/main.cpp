// Draws the program's artwork at build time: the default skin and the desktop icons. Nothing
// here is drawn by hand; every image comes from the vector drawing in this folder.
//   ombrix-art skin DATA_DIR     the default panel and screen resources
//   ombrix-art icons ICON_DIR    the hicolor icon tree
#include <QGuiApplication>
#include <cstdio>
#include <cstring>

#include "IconArt.h"
#include "SkinArt.h"

int main(int argc, char** argv) {
    // Drawing needs fonts but no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ombrix-art skin DATA_DIR | icons ICON_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "skin") == 0) return ombrix::art::writeDefaultSkin(dir) ? 0 : 1;
    if (std::strcmp(argv[1], "icons") == 0) return ombrix::art::writeIcons(dir) ? 0 : 1;
    std::fprintf(stderr, "ombrix-art: unknown kind %s\n", argv[1]);
    return 2;
}
