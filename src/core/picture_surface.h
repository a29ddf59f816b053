#pragma once

#include "kernels/pixels.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <functional>

// Colours are 0x00BBGGRR throughout the program (red in the low byte); Qt's 0xAARRGGBB is the kernels'
// pixel layout, and the kernels convert between the two.
constexpr QRgb toQRgb(int bgr) {
    return px::fromBgr(bgr);
}
constexpr int fromQRgb(QRgb rgb) {
    return px::bgr(rgb);
}

// Draws text with its cell's top-left at (x, y), leaving the background around the glyphs as it was.
void drawTextOn(QImage& image, int x, int y, const QString& text, const QFont& font, QRgb colour);

// A blank image at the surfaces' resolution (96 dpi), filled with a colour.
QImage blankSurfaceImage(int width, int height, QRgb fill);

// A drawing area kept in an off-screen image, with an outer size that includes an optional border.
// Positions count whole pixels from the top-left pixel of the drawing area. It survives hiding; the
// widget that shows it repaints through the change callback.
class PictureSurface {
  public:
    explicit PictureSurface(int border = 0);

    int border() const { return border_; }
    int outerWidth() const { return image_.width() + 2 * border_; }
    int outerHeight() const { return image_.height() + 2 * border_; }
    int drawWidth() const { return image_.width(); }
    int drawHeight() const { return image_.height(); }
    // Keeps what overlaps the new area; new parts take the background colour.
    void setOuterSize(int width, int height);

    int backColor() const { return backColor_; }
    void setBackColor(int bgr) { backColor_ = bgr; }
    int foreColor() const { return foreColor_; }
    void setForeColor(int bgr) { foreColor_ = bgr; }
    void setAutoSize(bool on) { autoSize_ = on; }

    // Loads a picture file; an auto-sizing surface takes the picture's size. An empty name clears.
    // Raises the loader's errors and leaves the surface unchanged then.
    void loadPicture(const QString& path);
    // Gives this surface another surface's picture (shared, not copied).
    void setPicture(const QImage& image);
    const QImage& image() const { return image_; }
    // The drawing area for direct scanline work; call changed() when done.
    QImage& mutableImage();

    int point(int x, int y) const; // 0x00BBGGRR, or -1 outside the drawing area
    void pset(int x, int y, int bgr);
    void drawBox(int x1, int y1, int x2, int y2, int bgr);
    void cls(); // to the background colour; also moves the drawing position to 0,0

    int currentX() const { return currentX_; }
    int currentY() const { return currentY_; }
    void setCurrent(int x, int y);
    QFont& font() { return font_; }
    // Draws text with its cell's top-left at the drawing position, leaving the background as it is.
    void print(const QString& text);

    // Saves the drawing area as a Windows bitmap; raises 76 or 75 with the reason on failure.
    void saveBmp(const QString& path) const;

    std::function<void()> changed;

    // The surface resolution: a font size in points gives the pixel sizes of a 96 dpi screen.
    static constexpr int kDotsPerInch = 96;

  private:
    void notify();
    void ensureDetached();

    int border_;
    QImage image_;
    int backColor_ = 0xFFFFFF;
    int foreColor_ = 0;
    bool autoSize_ = false;
    int currentX_ = 0;
    int currentY_ = 0;
    QFont font_;
};
