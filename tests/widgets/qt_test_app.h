// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Widget tests need one QApplication for the whole test program; the first
// test that asks creates it (the offscreen platform comes from ctest).
#include <QApplication>

namespace ortolan::testing {

inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "widgets_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) app = new QApplication(argc, argv);
    return *app;
}

}  // namespace ortolan::testing
