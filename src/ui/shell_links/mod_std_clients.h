#pragma once

#include <QString>

class QWidget;

// Handing addresses to the shell: the mail client, the web browser and local files.
namespace modStdClients {

// "mailto:" address "?Subject=" subject "&Body=" body, nothing encoded; no owner window.
void openMailClient(const QString& address, const QString& subject, const QString& body);

// Puts "http://" in front of an address that lacks it, unless mode is "local". Rewrites `address`.
// The owner is the window the shell's window belongs to (the main window).
void openWebBrowser(QWidget* owner, QString& address, const QString& mode);

// The program's support address and home page host.
QString supportAddress();
QString homePageHost();

} // namespace modStdClients
