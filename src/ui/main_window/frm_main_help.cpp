// The main window's help menu: local help, About, the home page, mail and bug reports.
#include "core/app_info.h"
#include "core/paths.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/message_box.h"
#include "ui/shell_links/mod_std_clients.h"

QString FrmMain::aboutText() {
    return QStringList{app::title(),
                       "Version " + app::versionText(),
                       app::creditLine(),
                       QString(),
                       QString(30, u'_'),
                       modStdClients::homePageHost(),
                       modStdClients::supportAddress()}
        .join(QStringLiteral("\r\n"));
}

void FrmMain::mnuHelpHelp_Click() {
    // Beside the program when it runs from its own folder, in share/tessarine when installed.
    QString address = paths::dataFile("help.html");
    modStdClients::openWebBrowser(this, address, "local");
}

void FrmMain::mnuHelpAbout_Click() {
    mb::show(aboutText(), mb::Information, app::title());
}

void FrmMain::mnuHelpHomepage_Click() {
    QString address = modStdClients::homePageHost() + "/?category=8&item=40";
    modStdClients::openWebBrowser(this, address, QString());
}

void FrmMain::mnuHelpEmail_Click() {
    modStdClients::openMailClient(modStdClients::supportAddress(), QString(), QString());
}

void FrmMain::mnuHelpBugreport_Click() {
    modStdClients::openMailClient(modStdClients::supportAddress(), "[Bugreport] - ",
                                  "Bugreport: " + app::title() + " [Version " + app::versionText() + "]");
}
