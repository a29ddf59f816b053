#include "platform/paths.h"

#include "platform/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace paths {

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString programFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) {
    overrideFolder() = folder;
}

QString fileTitle(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

bool folderExists(const QString& filePath) {
    const qsizetype slash = filePath.lastIndexOf(u'/');
    if (slash < 0)
        return true;
    const QString folder = slash == 0 ? QStringLiteral("/") : filePath.left(slash);
    return QFileInfo(folder).isDir();
}

void requireRegularFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        raiseError(folderExists(path) ? err::FileNotFound : err::PathNotFound);
    if (!info.isFile())
        raiseError(err::PathFileAccess, info.isDir()
                                            ? QStringLiteral("Path/File access error (a folder)")
                                            : QStringLiteral("Path/File access error (not a regular file)"));
}

} // namespace paths
