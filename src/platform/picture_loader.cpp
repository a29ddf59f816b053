#include "platform/picture_loader.h"

#include "platform/errors.h"
#include "platform/jpeg_decoder.h"
#include "platform/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <new>

QImage loadPictureFile(const QString& path)
{
    QImageReader::setAllocationLimit(kPictureAllocationLimitMB);
    const QFileInfo info(path);
    if (path.isEmpty())
        raiseError(err::FileNotFound);
    if (!info.exists())
        raiseError(paths::folderExists(path) ? err::FileNotFound : err::PathNotFound);
    if (info.isDir())
        raiseError(err::PathFileAccess);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raiseError(err::PermissionDenied);
    file.close();

    if (jpeg::looksLikeJpeg(path)) {
        try {
            return jpeg::decodeImage(path);
        } catch (const PlatformError& e) {
            // Colour spaces the direct decoder does not turn into RGB are left to Qt's reader.
            if (!e.description().contains(QLatin1String("unsupported")))
                throw;
        }
    }
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() * 4 > qint64(kPictureAllocationLimitMB) * 1024 * 1024)
        raiseError(err::OutOfMemory);
    QImage image;
    try {
        image = reader.read();
    } catch (const std::bad_alloc&) {
        raiseError(err::OutOfMemory);
    }
    if (image.isNull()) {
        if (reader.error() == QImageReader::InvalidDataError && size.isValid() &&
            qint64(size.width()) * size.height() > 0 && reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive))
            raiseError(err::OutOfMemory);
        raiseError(err::InvalidPicture);
    }
    if (image.format() != QImage::Format_RGB32) {
        try {
            image = image.convertToFormat(QImage::Format_RGB32);
        } catch (const std::bad_alloc&) {
            raiseError(err::OutOfMemory);
        }
        if (image.isNull())
            raiseError(err::OutOfMemory);
    }
    return image;
}
