#include "ui/main_window/frm_main.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessarine"));
    // The argument text after the program's name, as one text.
    FrmMain::setCommandLine(QCoreApplication::arguments().mid(1).join(u' '));
    FrmMain* main = frmMain();
    if (main->startupFailed())
        return 1;
    QObject::connect(main, &QObject::destroyed, &app, &QCoreApplication::quit);
    main->show();
    return QApplication::exec();
}
