// The desktop program: creates the main window, whose load handler reads the settings, and runs it.
#include "ui/main_window/frm_main.h"
#include "ui/platform/session_end.h"

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
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tessarine"));
    // Every window's icon: the installed one from the icon theme, else the copy inside the program, so
    // that a portable copy shows it too.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.example.tessarine"),
                                                 QIcon(QStringLiteral(":/tessarine/tessarine.png"))));
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
    // A session that ends, kill or Ctrl+C: the described close of the main window, settings written.
    session::closeOnSignals(
        [] {
            if (FrmMain* window = mainWindow())
                window->unload();
        },
        [] {
            if (FrmMain* window = mainWindow())
                window->writeIniWithoutDisplay();
        });
    // A main window destroyed by another program leaves nothing to close: the program ends as it does when
    // its display goes away.
    session::onWindowDestroyed(main, [] {
        if (FrmMain* window = mainWindow())
            window->writeIniWithoutDisplay();
        std::exit(1);
    });
    main->show();
    return QApplication::exec();
}
