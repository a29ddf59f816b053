#include "core/app_info.h"

namespace app {

QString title() {
    return QStringLiteral("Tessarine");
}

QString versionText() {
    return QStringLiteral("%1.%2 build %3").arg(kMajor).arg(kMinor).arg(kRevision);
}

QString settingsVersion() {
    return QStringLiteral("%1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision);
}

QString creditLine() {
    return QStringLiteral("pictures into text art, by the Tessarine team");
}

} // namespace app
