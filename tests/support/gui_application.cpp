#include "support/gui_application.h"

#include <QGuiApplication>

void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "tessarine-core-tests";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}
