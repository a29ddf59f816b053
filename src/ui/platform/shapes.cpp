#include "ui/platform/shapes.h"

#include "ui/platform/form.h"

#include <QPainter>
#include <QVariant>
#include <algorithm>

void placeTwips(QWidget* widget, double left, double top, double width, double height) {
    widget->setProperty("twips", QRectF(left, top, width, height));
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), std::max(0, twipsToPixels(width)),
                        std::max(0, twipsToPixels(height)));
}

QRectF twipRect(const QWidget* widget) {
    const QVariant v = widget->property("twips");
    if (v.isValid())
        return v.toRectF();
    const QRect g = widget->geometry();
    return QRectF(g.x() * 15.0, g.y() * 15.0, g.width() * 15.0, g.height() * 15.0);
}

void setTwipLeft(QWidget* widget, double left) {
    const QRectF r = twipRect(widget);
    placeTwips(widget, left, r.top(), r.width(), r.height());
}

void setTwipWidth(QWidget* widget, double width) {
    const QRectF r = twipRect(widget);
    placeTwips(widget, r.left(), r.top(), width, r.height());
}

void setTwipHeight(QWidget* widget, double height) {
    const QRectF r = twipRect(widget);
    placeTwips(widget, r.left(), r.top(), r.width(), height);
}

LineShape::LineShape(QWidget* parent, const QString& name, Tone tone, double x1, double y1, double x2,
                     double y2)
    : QWidget(parent), tone_(tone), x1_(x1), y1_(y1), x2_(x2), y2_(y2) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    place();
}

void LineShape::setPoints(double x1, double y1, double x2, double y2) {
    x1_ = x1, y1_ = y1, x2_ = x2, y2_ = y2;
    place();
}

void LineShape::place() {
    const int ax = twipsToPixels(x1_), ay = twipsToPixels(y1_), bx = twipsToPixels(x2_),
              by = twipsToPixels(y2_);
    setGeometry(std::min(ax, bx), std::min(ay, by), std::abs(bx - ax) + 1, std::abs(by - ay) + 1);
    update();
}

void LineShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(tone_ == Tone::White ? QColor(Qt::white) : palette().color(QPalette::Dark));
    const int ax = twipsToPixels(x1_) - x(), ay = twipsToPixels(y1_) - y();
    const int bx = twipsToPixels(x2_) - x(), by = twipsToPixels(y2_) - y();
    p.drawLine(ax, ay, bx, by);
}

BarShape::BarShape(QWidget* parent, const QString& name, QColor fill, double left, double top, double width,
                   double height)
    : QWidget(parent), fill_(fill), left_(left), top_(top), width_(width), height_(height) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    place();
}

void BarShape::setWidthTwips(double width) {
    width_ = width;
    place();
}

void BarShape::setHeightTwips(double height) {
    height_ = height;
    place();
}

void BarShape::setFill(QColor fill) {
    fill_ = fill;
    update();
}

void BarShape::place() {
    placeTwips(this, left_, top_, width_, height_);
}

void BarShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (fill_.isValid()) {
        p.fillRect(rect(), fill_);
        return;
    }
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

FrameBox::FrameBox(QWidget* parent, const QString& name) : QWidget(parent) {
    setObjectName(name);
}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int top = fontMetrics().height() / 2;
    const QRect r = rect().adjusted(0, top, -2, -2);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(r);
    p.setPen(Qt::white);
    p.drawRect(r.translated(1, 1));
}
