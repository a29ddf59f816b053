#pragma once

#include <QColor>
#include <QWidget>

// Decorations placed in twips inside their container: straight lines (etched edges, the size grip)
// and filled bars (the progress groove and its fill).
class LineShape : public QWidget {
    Q_OBJECT
  public:
    enum class Tone { Shadow, White };
    LineShape(QWidget* parent, const QString& name, Tone tone, double x1, double y1, double x2, double y2);

    double x1() const { return x1_; }
    double y1() const { return y1_; }
    double x2() const { return x2_; }
    double y2() const { return y2_; }
    void setPoints(double x1, double y1, double x2, double y2);
    void setX2(double x2) { setPoints(x1_, y1_, x2, y2_); }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void place();
    Tone tone_;
    double x1_, y1_, x2_, y2_;
};

class BarShape : public QWidget {
    Q_OBJECT
  public:
    // An invalid fill colour draws an outline in the shadow colour instead of a filled bar.
    BarShape(QWidget* parent, const QString& name, QColor fill, double left, double top, double width,
             double height);

    double widthTwips() const { return width_; }
    void setWidthTwips(double width);
    double leftTwips() const { return left_; }
    double heightTwips() const { return height_; }
    void setHeightTwips(double height);
    void setFill(QColor fill);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void place();
    QColor fill_;
    double left_, top_, width_, height_;
};

// A frame without caption: an etched rectangle whose top edge lies half a text line below the frame's
// top, as captioned frames draw theirs.
class FrameBox : public QWidget {
    Q_OBJECT
  public:
    FrameBox(QWidget* parent, const QString& name);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// Places a child widget at a twip rectangle of its container, and remembers the twip figures so that
// layout rules and their tests work in the unit they are stated in.
void placeTwips(QWidget* widget, double left, double top, double width, double height);
QRectF twipRect(const QWidget* widget);
void setTwipLeft(QWidget* widget, double left);
void setTwipWidth(QWidget* widget, double width);
void setTwipHeight(QWidget* widget, double height);
