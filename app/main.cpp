// The desktop program: creates the main window, whose load handler reads the settings, and runs it.
#include "ui/main_window/frm_main.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <cstdlib>

namespace {

QPointer<FrmMain>& mainWindow() {
    static QPointer<FrmMain> window;
    return window;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessarine"));
    // The desktop entry's name: window managers and docks match the windows to its icon through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tessarine.Tessarine"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tessarine/tessarine.png")));
    FrmMain::setCommandLine(QCoreApplication::arguments().mid(1));
    FrmMain* main = frmMain();
    if (main->startupFailed())
        return 1;
    mainWindow() = main;
    // When the connection to the display breaks, Qt ends the program at once from inside its event
    // loop; the settings are then kept as an ordinary quit keeps them.
    std::atexit([] {
        if (FrmMain* window = mainWindow())
            window->writeIniWithoutDisplay();
    });
    QObject::connect(main, &QObject::destroyed, &app, &QCoreApplication::quit);
    main->show();
    return QApplication::exec();
}
