#include "ui/platform/file_drops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

QString firstLocalFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return QString();
}

} // namespace

FileDrops::FileDrops(QWidget* widget, Accepts accepts, Dropped dropped)
    : QObject(widget), accepts_(std::move(accepts)), dropped_(std::move(dropped)) {}

void FileDrops::watch(QWidget* widget, Accepts accepts, Dropped dropped) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(new FileDrops(widget, std::move(accepts), std::move(dropped)));
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event); // the enter and move events are drop events too
    const QString file = firstLocalFile(drop->mimeData());
    if (file.isEmpty())
        return false;
    if (!accepts_(file)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // Handled once the drop is over: a question asked inside it would hold the file manager too.
        QMetaObject::invokeMethod(
            this, [this, file] { dropped_(file); }, Qt::QueuedConnection);
    }
    return true;
}
