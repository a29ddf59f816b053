// The desktop program: creates the main window, whose load handler reads the settings, and runs it.
#include "ui/main_window/frm_main.h"

#include <QApplication>
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
    // The argument text after the program's name, as one text.
    FrmMain::setCommandLine(QCoreApplication::arguments().mid(1).join(u' '));
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
