#pragma once

#include "core/picture_surface.h"

#include <QWidget>

// Shows a picture surface at its outer size: the drawing area inside a sunken frame as wide as the
// surface's border.
class SurfaceWidget : public QWidget {
    Q_OBJECT
  public:
    SurfaceWidget(QWidget* parent, const QString& name, int border);

    PictureSurface& surface() { return surface_; }
    const PictureSurface& surface() const { return surface_; }
    // Sets the outer size and makes the widget follow it.
    void setOuterSize(int width, int height);
    void fitToSurface();

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    PictureSurface surface_;
};
