#include "support/pictures.h"

#include <QFileInfo>
#include <QImageWriter>

namespace testpic {

QImage ramp(int width, int height)
{
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF));
    return img;
}

QImage filled(int width, int height, QRgb colour)
{
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QString save(const QImage& image, const QString& path)
{
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    QImageWriter writer(path, format == "jpg" ? "jpeg" : format);
    if (format == "jpg")
        writer.setQuality(95);
    if (!writer.write(image))
        qFatal("cannot write test picture %s: %s", qPrintable(path), qPrintable(writer.errorString()));
    return path;
}

} // namespace testpic
