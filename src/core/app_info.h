#pragma once

#include <QString>

// The program's own name and version, as its caption, settings file and About text show them.
namespace app {

constexpr int kMajor = 0;
constexpr int kMinor = 2;
constexpr int kRevision = 17;

QString title();           // "Tessarine"
QString versionText();     // "0.2 build 17"
QString settingsVersion(); // "0.2.17"
QString creditLine();

} // namespace app
