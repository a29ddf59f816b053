#include "core/picture_surface.h"

#include "core/errors.h"
#include "core/paths.h"
#include "core/picture_loader.h"

#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>

QImage blankSurfaceImage(int width, int height, QRgb fill) {
    QImage img(std::max(0, width), std::max(0, height), QImage::Format_RGB32);
    if (img.isNull() && width > 0 && height > 0)
        raiseError(err::OutOfMemory);
    img.fill(fill);
    const int dpm = qRound(PictureSurface::kDotsPerInch / 0.0254);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    return img;
}

void drawTextOn(QImage& image, int x, int y, const QString& text, const QFont& font, QRgb colour) {
    if (image.isNull() || text.isEmpty())
        return;
    QPainter p(&image);
    p.setFont(font);
    p.setPen(QColor::fromRgb(colour));
    p.drawText(QPoint(x, y + QFontMetrics(font, &image).ascent()), text);
}

namespace {
QImage blankImage(int w, int h, int bgr) {
    return blankSurfaceImage(w, h, toQRgb(bgr));
}
} // namespace

PictureSurface::PictureSurface(int border) : border_(border) {
    image_ = blankImage(0, 0, backColor_);
}

void PictureSurface::setOuterSize(int width, int height) {
    const int w = std::max(0, width - 2 * border_);
    const int h = std::max(0, height - 2 * border_);
    if (w == image_.width() && h == image_.height())
        return;
    QImage next = blankImage(w, h, backColor_);
    const int cw = std::min(w, image_.width());
    const int ch = std::min(h, image_.height());
    for (int y = 0; y < ch; ++y)
        std::copy_n(reinterpret_cast<const QRgb*>(image_.constScanLine(y)), cw,
                    reinterpret_cast<QRgb*>(next.scanLine(y)));
    image_ = next;
    notify();
}

void PictureSurface::loadPicture(const QString& path) {
    if (path.isEmpty()) {
        image_ = blankImage(autoSize_ ? 0 : image_.width(), autoSize_ ? 0 : image_.height(), backColor_);
        notify();
        return;
    }
    QImage picture = loadPictureFile(path);
    if (autoSize_) {
        image_ = picture;
    } else {
        // A fixed-size box shows the picture's top-left part.
        QImage next = blankImage(image_.width(), image_.height(), backColor_);
        const int cw = std::min(next.width(), picture.width());
        const int ch = std::min(next.height(), picture.height());
        for (int y = 0; y < ch; ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(picture.constScanLine(y)), cw,
                        reinterpret_cast<QRgb*>(next.scanLine(y)));
        image_ = next;
    }
    notify();
}

void PictureSurface::setPicture(const QImage& image) {
    image_ = image;
    notify();
}

int PictureSurface::point(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return -1;
    return fromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]) & 0xFFFFFF;
}

void PictureSurface::ensureDetached() {
    if (image_.format() != QImage::Format_RGB32)
        image_ = image_.convertToFormat(QImage::Format_RGB32);
}

QImage& PictureSurface::mutableImage() {
    ensureDetached();
    return image_;
}

void PictureSurface::pset(int x, int y, int bgr) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    ensureDetached();
    reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = toQRgb(bgr);
    notify();
}

void PictureSurface::drawBox(int x1, int y1, int x2, int y2, int bgr) {
    ensureDetached();
    QPainter p(&image_);
    p.setPen(QColor(toQRgb(bgr)));
    p.drawRect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
    p.end();
    notify();
}

void PictureSurface::cls() {
    image_ = blankImage(image_.width(), image_.height(), backColor_);
    currentX_ = 0;
    currentY_ = 0;
    notify();
}

void PictureSurface::setCurrent(int x, int y) {
    currentX_ = x;
    currentY_ = y;
}

void PictureSurface::print(const QString& text) {
    if (image_.isNull())
        return;
    ensureDetached();
    drawTextOn(image_, currentX_, currentY_, text, font_, toQRgb(foreColor_));
    currentX_ = 0;
    currentY_ += QFontMetrics(font_, &image_).height();
    notify();
}

void PictureSurface::saveBmp(const QString& path) const {
    if (!paths::folderExists(path))
        raiseError(err::PathNotFound);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        raiseError(err::PathFileAccess, QStringLiteral("Path/File access error (%1)").arg(f.errorString()));
    QImageWriter writer(&f, "bmp");
    if (!writer.write(image_) || !f.commit())
        raiseError(
            err::PathFileAccess,
            QStringLiteral("Path/File access error (%1)")
                .arg(writer.error() != QImageWriter::UnknownError ? writer.errorString() : f.errorString()));
}

void PictureSurface::notify() {
    if (changed)
        changed();
}
