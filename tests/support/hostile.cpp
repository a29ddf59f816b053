#include "support/hostile.h"

#include "support/pictures.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <sys/stat.h>

namespace hostile {

namespace {

QString write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray le32(quint32 v) {
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray le16(quint16 v) {
    QByteArray b(2, 0);
    qToLittleEndian(v, b.data());
    return b;
}

// A 24-bit BMP header announcing the given size, with a few bytes of pixels.
QByteArray hugeBmp(quint32 side) {
    QByteArray b = "BM" + le32(54 + 16) + le32(0) + le32(54);
    b += le32(40) + le32(side) + le32(side) + le16(1) + le16(24) + le32(0) + le32(0) + le32(2835) +
         le32(2835) + le32(0) + le32(0);
    return b + QByteArray(16, '\0');
}

// A GIF whose screen and image announce 65535 x 65535 pixels (the most the format holds).
QByteArray hugeGif() {
    QByteArray b = "GIF89a" + le16(65535) + le16(65535) + QByteArray("\x80\x00\x00", 3) + QByteArray(6, '\0');
    b += ',' + le16(0) + le16(0) + le16(65535) + le16(65535) + QByteArray("\x00\x08\x02\x4c\x01\x00;", 7);
    return b;
}

} // namespace

std::vector<Input> badPictures(const QString& folder) {
    const QDir dir(folder);
    const QImage picture = testpic::ramp(160, 120);
    const QByteArray jpg = readAll(testpic::save(picture, dir.filePath("whole.jpg")));
    const QByteArray bmp = readAll(testpic::save(picture, dir.filePath("whole.bmp")));
    QImage few(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            few.setPixel(x, y, qRgb((x / 10) * 16, (y / 10) * 20, 90));
    const QByteArray gif = readAll(testpic::save(few, dir.filePath("whole.gif")));
    dir.mkpath("folder.jpg");
    const QString pipe = dir.filePath("pipe.bmp");
    mkfifo(QFile::encodeName(pipe).constData(), 0600);
    return {
        {"zero-byte picture", write(dir.filePath("zero.jpg"), QByteArray())},
        {"truncated JPEG", write(dir.filePath("cut.jpg"), jpg.left(jpg.size() / 2))},
        {"truncated GIF", write(dir.filePath("cut.gif"), gif.left(gif.size() / 2))},
        {"truncated BMP", write(dir.filePath("cut.bmp"), bmp.left(bmp.size() / 2))},
        {"BMP of 100000 x 100000", write(dir.filePath("huge.bmp"), hugeBmp(100000))},
        {"GIF of 65535 x 65535", write(dir.filePath("huge.gif"), hugeGif())},
        {"folder named like a picture", dir.filePath("folder.jpg")},
        {"pipe named like a picture", pipe},
        {"text named like a picture", write(dir.filePath("text.bmp"), "just some words\n")},
    };
}

QString unicodePicture(const QString& folder) {
    return testpic::save(testpic::ramp(40, 30),
                         QDir(folder).filePath(QString::fromUtf8("na\u00efve \u00fcber \u732b.jpg")));
}

} // namespace hostile
