#include "core/paths.h"

#include "core/errors.h"
#include "kernels/files.h"

#include <QCoreApplication>
#include <QFile>

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

std::string native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool folderExists(const QString& filePath) {
    return files::folderExists(native(filePath));
}

void requireRegularFile(const QString& path) {
    fromKernels([&] { files::requireRegularFile(native(path)); });
}

} // namespace paths
