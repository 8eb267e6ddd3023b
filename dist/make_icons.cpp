// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the desktop icons from the program's own picture, the one its main
// window shows as its icon, at every size the desktop asks for:
//   ortolan_make_icons OUTPUT_FOLDER SIZE...
// writes OUTPUT_FOLDER/SIZExSIZE/apps/ortolan.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "state_pictures.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ortolan_make_icons OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    for (int i = 2; i < argc; ++i) {
        int size = std::atoi(argv[i]);
        QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        QPixmap picture = ortolan::MakeIdlePicture(size);
        if (size < 16 || !QDir().mkpath(folder) || !picture.save(folder + "/ortolan.png", "PNG")) {
            std::fprintf(stderr, "ortolan_make_icons: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
