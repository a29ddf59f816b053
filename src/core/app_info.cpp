#include "core/app_info.h"

namespace app {

QString title() {
    return QStringLiteral("Tessarine");
}

QString versionText() {
    return QString::fromStdString(version::text());
}

QString settingsVersion() {
    return QString::fromStdString(version::dotted());
}

QString creditLine() {
    return QStringLiteral("pictures into text art, by the Tessarine team");
}

} // namespace app
