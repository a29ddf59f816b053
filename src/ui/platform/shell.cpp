#include "ui/platform/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace shell {

namespace {
std::function<void(const Call&)>& handler() {
    static std::function<void(const Call&)> h;
    return h;
}
} // namespace

void execute(const Call& call) {
    if (handler()) {
        handler()(call);
        return;
    }
    // A local file opens as a file; anything with a scheme as the address it is. The result is not
    // examined: a missing program is the shell's to report.
    const QUrl url = call.file.startsWith(u'/') ? QUrl::fromLocalFile(QDir::cleanPath(call.file))
                                                : QUrl(call.file, QUrl::TolerantMode);
    QDesktopServices::openUrl(url);
}

void setHandler(std::function<void(const Call&)> h) {
    handler() = std::move(h);
}

} // namespace shell
