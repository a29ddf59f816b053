#include "support/pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

namespace testpic {

QImage ramp(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF));
    return img;
}

QImage filled(int width, int height, QRgb colour) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QImage steps(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int level = ((x * 7 / width) * 36 + (y * 7 / height) * 6) & 0xFF;
            img.setPixel(x, y, qRgb(level, (level * 3) & 0xFF, 255 - level));
        }
    return img;
}

namespace {

// Qt reads GIF but cannot write it: a minimal GIF89a writer for pictures of at most 256 colours, with
// literal LZW codes and a clear code often enough that the code width stays at 9 bits. Several frames make
// an animation that loops forever (or, without `loopForever`, says nothing of loops: it plays once), each
// shown for `delay` hundredths of a second.
void saveGif(const QList<QImage>& frames, int delay, const QString& path, bool loopForever = true) {
    const QImage& first = frames.first();
    QList<QRgb> palette;
    QList<QByteArray> indices;
    for (const QImage& image : frames) {
        indices.append(QByteArray());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y) | 0xFF000000;
                qsizetype i = palette.indexOf(c);
                if (i < 0) {
                    if (palette.size() == 256)
                        qFatal("test GIF with more than 256 colours");
                    palette.append(c);
                    i = palette.size() - 1;
                }
                indices.last().append(char(i));
            }
    }
    QByteArray out("GIF89a");
    auto word = [&out](int v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    word(first.width());
    word(first.height());
    out.append(char(0xF7)).append('\0').append('\0'); // global table of 256 entries
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    if (frames.size() > 1 && loopForever)
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop forever
    for (const QByteArray& frame : indices) {
        if (frames.size() > 1) {
            out.append("\x21\xF9\x04\x04", 4); // graphic control: each frame left in place
            word(delay);
            out.append('\0').append('\0');
        }
        out.append(',');
        word(0);
        word(0);
        word(first.width());
        word(first.height());
        out.append('\0').append(char(8)); // no local table; minimum code size 8
        QByteArray data;
        uint32_t bits = 0;
        int count = 0;
        auto put = [&](int code) {
            bits |= uint32_t(code) << count;
            count += 9;
            while (count >= 8) {
                data.append(char(bits & 0xFF));
                bits >>= 8;
                count -= 8;
            }
        };
        for (qsizetype i = 0; i < frame.size(); ++i) {
            if (i % 250 == 0)
                put(256);
            put(uchar(frame[i]));
        }
        put(257);
        if (count > 0)
            data.append(char(bits & 0xFF));
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const QByteArray block = data.mid(i, 255);
            out.append(char(block.size())).append(block);
        }
        out.append('\0');
    }
    out.append(';');
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size())
        qFatal("cannot write test picture %s", qPrintable(path));
}

} // namespace

QString save(const QImage& image, const QString& path) {
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    if (format == "gif") {
        saveGif({image}, 0, path);
        return path;
    }
    QImageWriter writer(path, format == "jpg" ? "jpeg" : format);
    if (format == "jpg")
        writer.setQuality(95);
    if (!writer.write(image))
        qFatal("cannot write test picture %s: %s", qPrintable(path), qPrintable(writer.errorString()));
    return path;
}

QString saveAnimation(const QList<QImage>& frames, int delay, const QString& path, bool loopForever) {
    saveGif(frames, delay, path, loopForever);
    return path;
}

} // namespace testpic
