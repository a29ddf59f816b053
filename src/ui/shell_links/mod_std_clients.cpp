#include "ui/shell_links/mod_std_clients.h"

#include "core/paths.h"
#include "ui/platform/shell.h"

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

void openWebBrowser(QWidget* owner, QString& address, const QString& mode) {
    if (address.left(7) != QLatin1String("http://") && mode != QLatin1String("local"))
        address = "http://" + address;
    shell::execute({owner, "Open", address, QString(), paths::programFolder(), 1});
}

} // namespace modStdClients
