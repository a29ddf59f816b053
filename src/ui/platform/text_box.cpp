#include "ui/platform/text_box.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QValidator>
#include <limits>

TextBox::TextBox(QWidget* parent, const QString& name) : QLineEdit(parent) {
    setObjectName(name);
    // Text set by the program (a table file, a settings value) is kept whole; only typing is limited.
    setMaxLength(std::numeric_limits<int>::max());
}

namespace {

// Characters as the table counts them: code points, so an emoji is one.
qsizetype characters(const QString& text) {
    qsizetype n = 0;
    for (QChar c : text)
        n += c.isLowSurrogate() ? 0 : 1;
    return n;
}

// Refuses edits that would make the text longer than the limit; a validator sees typing and pasting
// alike, and never text that the program sets.
class LengthLimit : public QValidator {
  public:
    LengthLimit(QLineEdit* box, int limit)
        : QValidator(box), limit_(limit), length_(characters(box->text())) {
        // The box has already changed its text when it asks; the length before the edit is kept here.
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { length_ = characters(text); });
    }

    State validate(QString& input, int&) const override {
        const qsizetype n = characters(input);
        return n <= limit_ || n <= length_ ? Acceptable : Invalid;
    }

  private:
    int limit_;
    qsizetype length_;
};

} // namespace

void TextBox::setTypingLimit(int characters) {
    setValidator(new LengthLimit(this, characters));
}

void TextBox::keyPressEvent(QKeyEvent* event) {
    int code = event->key();
    if (code == Qt::Key_Up)
        code = kKeyUp;
    else if (code == Qt::Key_Down)
        code = kKeyDown;
    int shift = 0;
    const auto mods = event->modifiers();
    if (mods & Qt::ShiftModifier)
        shift |= 1;
    if (mods & Qt::ControlModifier)
        shift |= 2;
    if (mods & Qt::AltModifier)
        shift |= 4;
    emit keyDown(code, shift);
    QLineEdit::keyPressEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Switching to another application's window or opening a menu is not leaving the field.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit lostFocus();
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit gotFocus();
}

void TextBox::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    emit clicked();
}
