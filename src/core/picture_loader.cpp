#include "core/picture_loader.h"

#include "core/errors.h"
#include "core/paths.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/memory_limit.h"

#include <QFile>
#include <QImageReader>
#include <cstdlib>
#include <new>

namespace {

quint32 le32(const QByteArray& b, int at) {
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
           quint32(uchar(b[at + 3])) << 24;
}

quint16 le16(const QByteArray& b, int at) {
    return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

[[noreturn]] void truncated() {
    raiseError(err::InvalidPicture, QStringLiteral("Invalid picture (the file ends too early)"));
}

// Uncompressed bitmaps: the pixel rows must all be there.
void checkBmp(const QByteArray& b, qint64 fileSize) {
    if (b.size() < 34 || le32(b, 14) < 40)
        return; // old-style headers are left to the reader
    const qint64 offset = le32(b, 10);
    const qint64 width = qint32(le32(b, 18));
    const qint64 height = qint32(le32(b, 22));
    const qint64 bits = le16(b, 28);
    const quint32 compression = le32(b, 30);
    if (compression != 0 && compression != 3 && compression != 6)
        return; // run-length data has no fixed size
    // Header values may be anything: compare without multiplying sizes that could overflow.
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    const qint64 room = fileSize - offset;
    if (room < 0 || (rowBytes > 0 && std::abs(height) > room / rowBytes))
        truncated();
}

// GIF: walk the blocks up to the trailer.
void checkGif(const QByteArray& b) {
    qsizetype at = 13;
    if (b.size() < at)
        truncated();
    const auto table = [](uchar flags) { return (flags & 0x80) ? 3 * (2 << (flags & 7)) : 0; };
    at += table(uchar(b[10]));
    const auto subBlocks = [&] {
        for (;;) {
            if (at >= b.size())
                truncated();
            const int n = uchar(b[at++]);
            if (n == 0)
                return;
            at += n;
        }
    };
    for (;;) {
        if (at >= b.size())
            truncated();
        const uchar block = uchar(b[at++]);
        if (block == 0x3B)
            return; // trailer: the picture is whole
        if (block == 0x21) {
            ++at; // label
            subBlocks();
        } else if (block == 0x2C) {
            if (at + 9 > b.size())
                truncated();
            at += 8;
            at += 1 + table(uchar(b[at]));
            ++at; // smallest code size
            subBlocks();
        } else {
            raiseError(err::InvalidPicture);
        }
    }
}

// Raises 481 when a BMP or GIF file ends before the picture its header announces (Qt's readers would
// return the part they got without a word).
void requireCompletePicture(const QByteArray& head, qint64 fileSize) {
    if (head.startsWith("BM"))
        checkBmp(head, fileSize);
    else if (head.startsWith("GIF8"))
        checkGif(head);
}

} // namespace

QImage decodeJpeg(const QString& path) {
    QImage image;
    fromKernels([&] {
        jpeg::decodeInto(
            paths::native(path),
            [&](const jpeg::Info& info) {
                image = QImage(info.width, info.height, QImage::Format_RGB32);
                if (image.isNull())
                    throw std::bad_alloc();
            },
            [&](int y) { return reinterpret_cast<px::Pixel*>(image.scanLine(y)); }, [](int) {});
    });
    return image;
}

QImage loadPictureFile(const QString& path) {
    QImageReader::setAllocationLimit(memlimit::pictureAllocationLimitMB());
    paths::requireRegularFile(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raiseError(err::PermissionDenied);
    const qint64 fileSize = file.size();
    // A GIF is checked whole (its blocks are walked); other kinds need their header only.
    const QByteArray head = file.peek(6).startsWith("GIF8") ? file.readAll() : file.read(64);
    file.close();
    requireCompletePicture(head, fileSize);

    if (jpeg::looksLikeJpeg(paths::native(path))) {
        try {
            return decodeJpeg(path);
        } catch (const PlatformError& e) {
            // Colour spaces the direct decoder does not turn into RGB are left to Qt's reader.
            if (e.kind() != err::Kind::UnsupportedColourSpace)
                throw;
        }
    }
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() &&
        qint64(size.width()) * size.height() * 4 > qint64(memlimit::pictureAllocationLimitMB()) * 1024 * 1024)
        raiseError(err::OutOfMemory, QStringLiteral("Out of memory (the picture is %1 x %2 pixels)")
                                         .arg(size.width())
                                         .arg(size.height()));
    QImage image;
    try {
        image = reader.read();
    } catch (const std::bad_alloc&) {
        raiseError(err::OutOfMemory);
    }
    if (image.isNull()) {
        if (reader.error() == QImageReader::InvalidDataError && size.isValid() &&
            qint64(size.width()) * size.height() > 0 &&
            reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive))
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
