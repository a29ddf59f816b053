#pragma once

#include <QLineEdit>

// A one-line text box that reports key-downs with the key code (38 Up, 40 Down) and the modifier bits
// (1 Shift, 2 Ctrl, 4 Alt) before handling the key itself, and focus changes and clicks as events.
class TextBox : public QLineEdit {
    Q_OBJECT
  public:
    static constexpr int kKeyUp = 38;
    static constexpr int kKeyDown = 40;

    TextBox(QWidget* parent, const QString& name);

    // The number of characters the user can type or paste; text set by the program may be longer, and
    // the user may still shorten it.
    void setTypingLimit(int characters);

  signals:
    void keyDown(int keyCode, int shift);
    void lostFocus();
    void gotFocus();
    void clicked();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
