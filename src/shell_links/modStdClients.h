#pragma once

#include <QString>

// Handing addresses to the shell: the mail client, the web browser and local files.
namespace modStdClients {

// "mailto:" address "?Subject=" subject "&Body=" body, nothing encoded.
void openMailClient(const QString& address, const QString& subject, const QString& body);

// Puts "http://" in front of an address that lacks it, unless mode is "local". Rewrites `address`.
void openWebBrowser(QString& address, const QString& mode);

// The program's support address and home page host.
QString supportAddress();
QString homePageHost();

} // namespace modStdClients
