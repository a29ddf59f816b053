#include "ui/platform/surface_widget.h"

#include <QMouseEvent>
#include <QPainter>

SurfaceWidget::SurfaceWidget(QWidget* parent, const QString& name, int border)
    : QWidget(parent), surface_(border) {
    setObjectName(name);
    surface_.changed = [this] {
        if (width() != surface_.outerWidth() || height() != surface_.outerHeight())
            fitToSurface();
        update();
    };
}

void SurfaceWidget::setOuterSize(int width, int height) {
    surface_.setOuterSize(width, height);
    fitToSurface();
}

void SurfaceWidget::fitToSurface() {
    resize(surface_.outerWidth(), surface_.outerHeight());
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const int b = surface_.border();
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (b > 0) {
        const QPalette pal = palette();
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
        if (b > 1) {
            p.setPen(pal.color(QPalette::Shadow));
            p.drawLine(1, 1, width() - 2, 1);
            p.drawLine(1, 1, 1, height() - 2);
            p.setPen(pal.color(QPalette::Midlight));
            p.drawLine(1, height() - 2, width() - 2, height() - 2);
            p.drawLine(width() - 2, 1, width() - 2, height() - 2);
        }
    }
    // Only the exposed part of a large picture is drawn.
    const QRect target = event->rect().intersected(QRect(b, b, surface_.drawWidth(), surface_.drawHeight()));
    if (!target.isEmpty())
        p.drawImage(target, surface_.image(), target.translated(-b, -b));
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
