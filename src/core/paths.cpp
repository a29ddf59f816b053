#include "core/paths.h"

#include "base/files.h"
#include "base/install_layout.h"

#include <QCoreApplication>
#include <QFile>
#include <unistd.h>

namespace paths {

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
std::optional<bool>& overrideWritable() {
    static std::optional<bool> writable;
    return writable;
}
} // namespace

QString programFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder, std::optional<bool> writable) {
    overrideFolder() = folder;
    overrideWritable() = writable;
}

bool programFolderWritable() {
    if (overrideWritable())
        return *overrideWritable();
    // Asks the system rather than reading permission bits: it knows the user's groups, access lists and
    // read-only mounts.
    return ::access(native(programFolder()).c_str(), W_OK) == 0;
}

QString dataFile(const QString& name) {
    return QFile::decodeName(layout::dataFile(native(programFolder()), native(name)).c_str());
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
    files::requireRegularFile(native(path));
}

} // namespace paths
