#pragma once

#include <QWidget>

class QMenuBar;
class QVBoxLayout;
class Form;

// What a window asks of the registry that made it as it closes (platform/forms.h implements it).
class FormRegistry {
  public:
    virtual ~FormRegistry() = default;
    // While a run works, a window closed from its title bar is only hidden: the run still uses it.
    virtual bool runInProgress() const = 0;
    // The window is unloaded; its next use creates it anew.
    virtual void forget(Form* form) = 0;
};

// A top-level window of the program. Geometry is kept in twips (15 to a pixel) for the outer size,
// which includes a nominal frame and, when the window has one, a menu bar of nominal height; the real
// window manager's decorations lie outside that model, so the twip figures stay the same everywhere.
// Closing through the close box runs the unload handler; unless it cancels, the window is unloaded and
// the next use creates it anew.
class Form : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kMenuHeight = 19; // pixels the outer height allows for a menu bar

    explicit Form(QWidget* parent = nullptr);

    QWidget* client() const { return client_; }
    QMenuBar* menuBar(); // created on first use

    int leftTwips() const { return x() * kTwipsPerPixel; }
    int topTwips() const { return y() * kTwipsPerPixel; }
    int widthTwips() const;
    int heightTwips() const;
    void setLeftTwips(int twips);
    void setTopTwips(int twips);
    void setWidthTwips(int twips);
    void setHeightTwips(int twips);
    // The client area below the menu bar, in pixels.
    int clientWidth() const;
    int clientHeight() const;
    void setClientSize(int width, int height);

    // The nominal frame: pixels of border (left and right together) and of title bar and borders.
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }

    // Unloads as the close box does: runs the unload handler, which may cancel.
    void unload();

    // The registry that made the window, if any.
    void setRegistry(FormRegistry* registry) { registry_ = registry; }

  protected:
    friend class Forms;
    virtual void formLoad() {}
    virtual void formUnload(bool& cancel) { Q_UNUSED(cancel); }
    // Sizable windows have thicker borders than the fixed working windows.
    void setNominalFrame(int width, int height) {
        frameWidth_ = width;
        frameHeight_ = height;
    }
    void closeEvent(QCloseEvent* event) override;

  private:
    int menuBarHeight() const;
    QVBoxLayout* layout_;
    QWidget* client_;
    QMenuBar* menuBar_ = nullptr;
    FormRegistry* registry_ = nullptr;
    int frameWidth_ = 7;
    int frameHeight_ = 26;
};

// Pixels from a twip measure, to the nearest whole pixel.
inline int twipsToPixels(double twips) {
    return qRound(twips / Form::kTwipsPerPixel);
}
