// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One QApplication for the widget tests (offscreen), and snapshots of windows
// when ORTOLAN_SNAPSHOT_DIR names a folder, to look at them by eye.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

namespace ortolan::testing {

inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "views_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
    return *static_cast<QApplication*>(QApplication::instance());
}

// True when the window could be drawn; writes it as a PNG when asked to.
inline bool Snapshot(QWidget& window, const QString& name)
{
    window.show();
    QApplication::processEvents();
    const QPixmap image = window.grab();
    if (const char* dir = std::getenv("ORTOLAN_SNAPSHOT_DIR"))
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name + ".png"));
    return !image.isNull();
}

}  // namespace ortolan::testing
