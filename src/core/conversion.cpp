#include "core/conversion.h"

#include "base/files.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/picture_loader.h"
#include "core/pixel_views.h"
#include "kernels/jpeg_buffer.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/text_mapping.h"

namespace conversion {

namespace {

// Storage for the buffer's drawing area, filled with the background where no block will land.
QImage bufferImage(px::Size area) {
    QImage image(area.width, area.height, QImage::Format_RGB32);
    if (image.isNull() && area.width > 0 && area.height > 0)
        raiseError(err::OutOfMemory);
    image.fill(buffer::kBackground);
    return image;
}

} // namespace

QSize bufferOuterSize(int ws, int hs, const Factors& factors) {
    const px::Size s = buffer::outerSize(ws, hs, factors);
    return QSize(s.width, s.height);
}

QImage makeBuffer(const QImage& picture, const Factors& factors) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (!buffer::averages(factors)) {
        bufferOuterSize(rgb.width() + 4, rgb.height() + 4, factors); // the same limits apply
        return rgb;                                                  // the picture itself is the buffer
    }
    buffer::Builder builder(factors);
    QImage out = bufferImage(builder.start(rgb.width(), rgb.height()));
    builder.attach(mutablePixelView(out));
    const px::View in = pixelView(rgb);
    for (int y = 0; y < in.height; ++y)
        builder.addRow(y, in.row(y));
    return out;
}

QImage loadBuffer(const QString& path, const Factors& factors, bool streamJpeg) {
    const std::string native = paths::native(path);
    if (streamJpeg && jpeg::looksLikeJpeg(files::head(native, 3))) {
        QImage out;
        try {
            jpeg::decodeBuffer(files::openForReading(native).get(), factors, [&](px::Size area) {
                out = bufferImage(area);
                return mutablePixelView(out);
            });
            return out;
        } catch (const err::Error& e) {
            // Colour spaces the direct decoder does not turn into RGB are left to Qt's reader.
            if (e.kind() != err::Kind::UnsupportedColourSpace)
                throw;
        }
    }
    return makeBuffer(loadPictureFile(path), factors);
}

void fillBuffers(const QString& path, const std::vector<buffer::Target>& targets) {
    const std::string native = paths::native(path);
    if (jpeg::looksLikeJpeg(files::head(native, 3))) {
        try {
            jpeg::decodeBuffers(files::openForReading(native).get(), targets, false, true);
            return;
        } catch (const err::Error& e) {
            if (e.kind() != err::Kind::UnsupportedColourSpace)
                throw;
        }
    }
    fillBuffers(loadPictureFile(path), targets);
}

void fillBuffers(const QImage& picture, const std::vector<buffer::Target>& targets) {
    const px::View in = pixelView(picture);
    for (const buffer::Target& target : targets) {
        buffer::Builder builder(target.factors);
        builder.attach(target.storage(builder.start(in.width, in.height)));
        for (int y = 0; y < in.height; ++y)
            builder.addRow(y, in.row(y));
    }
}

QString transform(const QImage& buffer, const std::vector<char32_t>& sorted, const QString& lineEnd) {
    if (sorted.empty() || buffer.isNull())
        return {};
    const mapping::TextMapper<char16_t> mapper(
        sorted,
        std::u16string_view(reinterpret_cast<const char16_t*>(lineEnd.utf16()), size_t(lineEnd.size())));
    const px::View view = pixelView(buffer);
    // Written straight into the string, then cut to what was written.
    QString text(qsizetype(mapper.maxRowUnits(view.width) * size_t(view.height)), Qt::Uninitialized);
    auto* begin = reinterpret_cast<char16_t*>(text.data());
    char16_t* out = begin;
    for (int y = 0; y < view.height; ++y)
        out = mapper.writeRow(out, view.row(y), view.width);
    text.truncate(qsizetype(out - begin));
    return text;
}

QString transformChosen(const QImage& buffer, const QImage& picture, const Factors& factors,
                        const choice::Table& measured, double cellAspect, const choice::Options& options,
                        const QString& lineEnd) {
    if (measured.sorted.empty() || buffer.isNull())
        return {};
    const px::View blocks = pixelView(buffer);
    px::Image partStorage;
    choice::SubBlocks sub;
    if (options.mapping == choice::Mapping::Shape && !picture.isNull()) {
        const QImage rgb = picture.format() == QImage::Format_RGB32
                               ? picture
                               : picture.convertToFormat(QImage::Format_RGB32);
        const buffer::BlockSize block = buffer::blockSize(rgb.width(), rgb.height(), factors);
        const auto [across, down] = choice::subGrid(block.width, block.height, cellAspect);
        const px::Size area = buffer::drawingArea(rgb.width(), rgb.height(), factors);
        if (across > 0 && area.width == blocks.width && area.height == blocks.height) {
            buffer::Builder builder(buffer::partsOf(rgb.width(), rgb.height(), factors, across, down));
            const px::Size storage = builder.start(rgb.width(), rgb.height());
            partStorage = px::Image(storage.width, storage.height);
            builder.attach(partStorage.view());
            const px::View in = pixelView(rgb);
            for (int y = 0; y < in.height; ++y)
                builder.addRow(y, in.row(y));
            sub = {px::greyView(partStorage.view(), area.width * across), across, down};
        }
    }
    const std::vector<uint16_t> chosen = choice::choose(blocks, sub, measured, options);
    QString text;
    for (const std::u32string& line : choice::lines(blocks, chosen, measured.sorted).text)
        text += QString::fromUcs4(line.data(), qsizetype(line.size())) + lineEnd;
    return text;
}

QString convertFile(const QString& path, const Factors& factors, const std::vector<char32_t>& sorted,
                    const QString& lineEnd, bool streamJpeg) {
    if (sorted.empty())
        raiseError(err::InvalidArgument, "The character table is empty");
    return transform(loadBuffer(path, factors, streamJpeg), sorted, lineEnd);
}

} // namespace conversion
