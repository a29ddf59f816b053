#include "engine/conversion.h"

#include "engine/block_average.h"
#include "engine/text_mapping.h"
#include "platform/errors.h"
#include "platform/jpeg_decoder.h"
#include "platform/numbers.h"
#include "platform/picture_loader.h"

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

namespace conversion {

namespace {

// Row and column counts of the text stay within 16 bits.
constexpr int kMaxBufferSide = 32767;

double checkedFactor(double f) {
    if (f == 0)
        raiseError(err::DivisionByZero);
    if (f < 0)
        raiseError(err::InvalidPropertyValue);
    if (num::toInt32(f) == 0) // a fraction of at most one half gives blocks of no width
        raiseError(err::DivisionByZero);
    return f;
}

// Receives the picture row by row and fills the buffer, averaged or copied.
class BufferSink {
  public:
    explicit BufferSink(const Factors& factors) : factors_(factors) {}

    void start(int pictureWidth, int pictureHeight) {
        const QSize outer = bufferOuterSize(pictureWidth + 4, pictureHeight + 4, factors_);
        buffer_ =
            QImage(std::max(0, outer.width() - 4), std::max(0, outer.height() - 4), QImage::Format_RGB32);
        if (buffer_.isNull() && outer.width() > 4 && outer.height() > 4)
            raiseError(err::OutOfMemory);
        buffer_.fill(kBufferBackground); // where no block lands, the background stays
        if (averages(factors_))
            averager_ =
                std::make_unique<BlockAverager>(pictureWidth, num::toInt32(factors_.h),
                                                num::toInt32(factors_.v), buffer_.width(), buffer_.height());
        row_.assign(size_t(buffer_.width()) + 1, kBufferBackground);
        blocks_ = averager_ ? std::min<int>(buffer_.width(), (pictureWidth + num::toInt32(factors_.h) - 1) /
                                                                 num::toInt32(factors_.h))
                            : buffer_.width();
    }

    void addRow(int y, const QRgb* pixels) {
        if (!averager_) {
            if (y < buffer_.height())
                std::copy_n(pixels, buffer_.width(), reinterpret_cast<QRgb*>(buffer_.scanLine(y)));
            return;
        }
        const int done = averager_->addRow(pixels, row_.data());
        if (done >= 0)
            std::copy_n(row_.data(), blocks_, reinterpret_cast<QRgb*>(buffer_.scanLine(done)));
    }

    QImage take() { return std::move(buffer_); }
    bool copies() const { return !averager_; }
    int height() const { return buffer_.height(); }
    // Where a copied picture row goes: straight into the buffer.
    QRgb* rowOf(int y) { return reinterpret_cast<QRgb*>(buffer_.scanLine(y)); }

  private:
    Factors factors_;
    QImage buffer_;
    std::vector<QRgb> row_;
    int blocks_ = 0;
    std::unique_ptr<BlockAverager> averager_;
};

} // namespace

bool averages(const Factors& factors) {
    return factors.scaled && !(factors.h == 1 && factors.v == 1);
}

QSize bufferOuterSize(int ws, int hs, const Factors& factors) {
    double wb = ws, hb = hs;
    if (factors.scaled) {
        const double h = checkedFactor(factors.h);
        const double v = checkedFactor(factors.v);
        if (double(num::toInt32(h)) * double(num::toInt32(v)) > std::numeric_limits<int32_t>::max())
            raiseError(err::Overflow);
        wb = std::floor(ws / h);
        hb = std::floor(hs / v);
    }
    if (wb > kMaxBufferSide || hb > kMaxBufferSide)
        raiseError(err::Overflow);
    return QSize(int(wb), int(hb));
}

QImage makeBuffer(const QImage& picture, const Factors& factors) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (!averages(factors)) {
        bufferOuterSize(rgb.width() + 4, rgb.height() + 4, factors); // the same limits apply
        return rgb;                                                  // the picture itself is the buffer
    }
    BufferSink sink(factors);
    sink.start(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        sink.addRow(y, reinterpret_cast<const QRgb*>(rgb.constScanLine(y)));
    return sink.take();
}

QImage loadBuffer(const QString& path, const Factors& factors, bool streamJpeg) {
    if (streamJpeg && jpeg::looksLikeJpeg(path)) {
        BufferSink sink(factors);
        std::vector<QRgb> line; // rows that are averaged, or lie below a copied buffer
        try {
            jpeg::decodeInto(
                path,
                [&](const jpeg::Info& info) {
                    sink.start(info.width, info.height);
                    line.assign(size_t(std::max(1, info.width)), 0);
                },
                // A copied picture is decoded straight into the buffer.
                [&](int y) { return sink.copies() && y < sink.height() ? sink.rowOf(y) : line.data(); },
                [&](int y) {
                    if (!sink.copies())
                        sink.addRow(y, line.data());
                });
            return sink.take();
        } catch (const PlatformError& e) {
            if (!e.description().contains(QLatin1String("unsupported")))
                throw;
        }
    }
    return makeBuffer(loadPictureFile(path), factors);
}

QString convertFile(const QString& path, const Factors& factors, const std::vector<QChar>& sorted,
                    const QString& lineEnd, bool streamJpeg) {
    if (sorted.empty())
        raiseError(err::InvalidArgument, "The character table is empty");
    return mapping::transform(loadBuffer(path, factors, streamJpeg), sorted, lineEnd);
}

} // namespace conversion
