#include "core/picture_loader.h"

#include "base/files.h"
#include "core/errors.h"
#include "core/paths.h"
#include "kernels/gif_blocks.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/memory_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <array>
#include <cstdlib>
#include <new>
#include <optional>

namespace {

[[noreturn]] void truncated() {
    raiseError(err::InvalidPicture, QStringLiteral("Invalid picture (the file ends too early)"),
               err::Kind::Truncated);
}

// Reads a file front to back through a buffer: completeness checks walk a file's structure without
// holding it, however large it claims or is.
class Walker {
  public:
    explicit Walker(QFile& file) : file_(file) {}
    // The next byte, or -1 at the end of the file.
    int next() {
        char c;
        return file_.getChar(&c) ? int(uchar(c)) : -1;
    }
    int need() {
        const int c = next();
        if (c < 0)
            truncated();
        return c;
    }
    void skip(qint64 n) {
        if (n <= 0)
            return;
        if (file_.pos() + n > file_.size())
            truncated();
        file_.seek(file_.pos() + n);
    }
    bool atEnd() const { return file_.pos() >= file_.size(); }

  private:
    QFile& file_;
};

struct BmpHeader {
    qint64 offset = 0, width = 0, height = 0;
    int bits = 0, headerSize = 0;
    quint32 compression = 0;
    std::array<quint32, 3> masks{}; // red, green, blue for 16-bit pictures
};

BmpHeader readBmpHeader(const QByteArray& b) {
    BmpHeader h;
    const auto le32 = [&](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
    const auto le16 = [&](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
    if (b.size() < 26)
        return h;
    h.offset = le32(10);
    h.headerSize = int(le32(14));
    if (h.headerSize == 12) { // OS/2 1.x: 16-bit sizes
        h.width = le16(18);
        h.height = qint16(le16(20));
        h.bits = b.size() >= 26 ? le16(24) : 0;
        return h;
    }
    if (b.size() < 34 || h.headerSize < 40)
        return h;
    h.width = qint32(le32(18));
    h.height = qint32(le32(22));
    h.bits = le16(28);
    h.compression = le32(30);
    if (h.bits == 16) {
        if (h.compression == 3 && b.size() >= 54 + 12) // masks after the header, or inside a larger one
            h.masks = {le32(54), le32(58), le32(62)};
        else if (h.compression == 0)
            h.masks = {0x7C00, 0x03E0, 0x001F};
    }
    return h;
}

// Uncompressed bitmaps: the pixel rows must all be there. Run-length data: its stream must reach the
// end-of-bitmap mark.
void checkBmp(QFile& file, const BmpHeader& h) {
    if (h.bits <= 0)
        return; // a header the reader will refuse
    if (h.compression == 0 || h.compression == 3 || h.compression == 6) {
        // Header values may be anything: compare without multiplying sizes that could overflow.
        const qint64 rowBytes = (std::abs(h.width) * h.bits + 31) / 32 * 4;
        const qint64 room = file.size() - h.offset;
        if (room < 0 || (rowBytes > 0 && std::abs(h.height) > room / rowBytes))
            truncated();
        return;
    }
    if (h.compression != 1 && h.compression != 2)
        return;
    const bool fourBits = h.compression == 2;
    if (h.offset > file.size())
        truncated();
    file.seek(h.offset);
    Walker in(file);
    for (;;) {
        const int count = in.need();
        const int value = in.need();
        if (count > 0)
            continue; // a run of one value
        if (value == 1)
            return; // end of bitmap
        if (value == 0)
            continue; // end of line
        if (value == 2) {
            in.need(); // a move right and down
            in.need();
            continue;
        }
        // Pixels as they are, padded to a whole 16-bit word.
        const int bytes = fourBits ? (value + 1) / 2 : value;
        in.skip(bytes + (bytes & 1));
    }
}

// GIF: its blocks walked up to the trailer, read in chunks; the first byte no GIF has there ends it.
void checkGif(QFile& file) {
    gif::BlockWalker walker;
    char chunk[1 << 16];
    qint64 got;
    while (walker.verdict() == gif::BlockWalker::Verdict::More && (got = file.read(chunk, sizeof chunk)) > 0)
        walker.feed(std::string_view(chunk, size_t(got)));
    if (walker.verdict() == gif::BlockWalker::Verdict::Invalid)
        raiseError(err::InvalidPicture);
    if (walker.verdict() == gif::BlockWalker::Verdict::More)
        truncated();
}

// Qt widens 5- and 6-bit channels of 16-bit bitmaps by shifting (31 becomes 248), so white would come
// out grey: each channel is widened to the full range instead, 31 (or 63) becoming 255.
void widenSixteenBitChannels(QImage& image, const BmpHeader& h) {
    std::array<std::array<uchar, 256>, 3> lut{};
    for (int c = 0; c < 3; ++c) {
        quint32 mask = h.masks[size_t(c)];
        if (mask == 0)
            return;
        while (!(mask & 1))
            mask >>= 1;
        const int largest = int(mask); // 31 or 63 for 5 and 6 bits
        if (largest >= 255)
            return;
        const int scale = 256 / (largest + 1); // what Qt multiplied each value by
        for (int v = 0; v < 256; ++v) {
            const int value = std::min(v / scale, largest);
            lut[size_t(c)][size_t(v)] = uchar((value * 255 + largest / 2) / largest);
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgb(lut[0][size_t(qRed(p))], lut[1][size_t(qGreen(p))], lut[2][size_t(qBlue(p))]);
        }
    }
}

QImage readWithQt(const QString& path, const std::optional<BmpHeader>& bmp, qint64 decoderBytes) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    // Out of memory, saying what is too large when the reader could tell the size.
    const auto tooLarge = [&]() {
        if (size.isValid())
            raiseError(err::OutOfMemory,
                       QStringLiteral("Out of memory (the picture is %1 x %2 pixels)")
                           .arg(size.width())
                           .arg(size.height()),
                       err::Kind::TooLarge);
        raiseError(err::OutOfMemory, QString(), err::Kind::TooLarge);
    };
    // Qt's reader makes the picture, and our conversion to RGB32 may make it once more.
    std::optional<memlimit::Reservation> reservation;
    if (size.isValid())
        reservation.emplace(qint64(size.width()) * size.height() * 4 * 2 + decoderBytes, size.width(),
                            size.height());
    QImage image;
    try {
        image = reader.read();
    } catch (const std::bad_alloc&) {
        tooLarge();
    }
    if (image.isNull()) {
        if (reader.error() == QImageReader::InvalidDataError && size.isValid() &&
            qint64(size.width()) * size.height() > 0 &&
            reader.errorString().contains(QLatin1String("alloc"), Qt::CaseInsensitive))
            tooLarge();
        raiseError(err::InvalidPicture);
    }
    if (image.format() != QImage::Format_RGB32) {
        try {
            image = image.convertToFormat(QImage::Format_RGB32);
        } catch (const std::bad_alloc&) {
            tooLarge();
        }
        if (image.isNull())
            tooLarge();
    }
    if (bmp && bmp->bits == 16)
        widenSixteenBitChannels(image, *bmp);
    return image;
}

std::optional<BmpHeader> checkStructure(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raiseError(err::PermissionDenied);
    const QByteArray head = file.peek(128);
    // Qt's readers return the part of a BMP or GIF they got without a word when the file ends early, and
    // scan a GIF's every byte for its size: a file is walked here first.
    std::optional<BmpHeader> bmp;
    if (head.startsWith("BM")) {
        bmp = readBmpHeader(head);
        checkBmp(file, *bmp);
    } else if (gif::looksLikeGif(std::string_view(head.constData(), size_t(head.size())))) {
        checkGif(file);
    }
    return bmp;
}

} // namespace

QImage decodeJpeg(const QString& path) {
    QImage image;
    jpeg::decodeInto(
        files::openForReading(paths::native(path)).get(),
        [](const jpeg::Info& info) { return int64_t(info.width) * info.height * 4; },
        [&](const jpeg::Info& info) {
            image = QImage(info.width, info.height, QImage::Format_RGB32);
            if (image.isNull())
                throw std::bad_alloc();
        },
        [&](int y) { return reinterpret_cast<px::Pixel*>(image.scanLine(y)); }, [](int) {});
    return image;
}

QImage loadPictureFile(const QString& path) {
    QImageReader::setAllocationLimit(memlimit::pictureAllocationLimitMB());
    paths::requireRegularFile(path);
    const std::string native = paths::native(path);
    qint64 decoderBytes = 0;
    if (jpeg::looksLikeJpeg(files::head(native, 3))) {
        try {
            return decodeJpeg(path);
        } catch (const err::Error& e) {
            if (e.kind() != err::Kind::UnsupportedColourSpace)
                throw;
        }
        // Colour spaces the kernels do not turn into RGB are left to Qt's reader, which would pass over a
        // file cut short: the kernels read it first, keeping nothing, and refuse what they would refuse.
        jpeg::verify(files::openForReading(native).get());
        decoderBytes = jpeg::readInfo(files::openForReading(native).get()).coefficientBytes;
    }

    return readWithQt(path, checkStructure(path), decoderBytes);
}

void checkPictureFile(const QString& path) {
    paths::requireRegularFile(path);
    checkStructure(path);
}

bool looksLikePicture(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    if (head.startsWith("BM") || head.startsWith("GIF8") || head.startsWith("\xFF\xD8\xFF"))
        return true;
    // Any other format an installed image reader recognises by the file's content (PNG, WebP, TIFF...).
    file.seek(0);
    return !QImageReader::imageFormat(&file).isEmpty();
}
