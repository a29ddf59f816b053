#pragma once

#include "kernels/version.h"

#include <QString>

// The program's own name and version, as its caption, settings file and About text show them.
namespace app {

constexpr int kMajor = version::kMajor;
constexpr int kMinor = version::kMinor;
constexpr int kRevision = version::kRevision;

QString title();           // "Tessarine"
QString versionText();     // "0.2 build 17"
QString settingsVersion(); // "0.2.17"
QString creditLine();

} // namespace app
