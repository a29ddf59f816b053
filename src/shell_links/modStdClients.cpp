#include "shell_links/modStdClients.h"

#include "main_window/frmMain.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace modStdClients {

QString supportAddress() {
    return QStringLiteral("support@tessarine.example.org");
}

QString homePageHost() {
    return QStringLiteral("www.tessarine.example.org");
}

void openMailClient(const QString& address, const QString& subject, const QString& body) {
    shell::execute({nullptr, "Open", "mailto:" + address + "?Subject=" + subject + "&Body=" + body, QString(),
                    QString(), 1});
}

void openWebBrowser(QString& address, const QString& mode) {
    if (address.left(7) != QLatin1String("http://") && mode != QLatin1String("local"))
        address = "http://" + address;
    shell::execute(
        {Forms::instance().find<FrmMain>(), "Open", address, QString(), paths::programFolder(), 1});
}

} // namespace modStdClients
