#include "platform/text_box.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <limits>

TextBox::TextBox(QWidget* parent, const QString& name) : QLineEdit(parent)
{
    setObjectName(name);
    // Text set by the program (a table file, a settings value) is kept whole; only typing is limited.
    setMaxLength(std::numeric_limits<int>::max());
}

void TextBox::setTypingLimit(int characters)
{
    typingLimit_ = characters;
}

bool TextBox::roomFor(const QString& typed) const
{
    if (typingLimit_ < 0)
        return true;
    return text().size() - selectedText().size() + typed.size() <= typingLimit_;
}

void TextBox::keyPressEvent(QKeyEvent* event)
{
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
    if (!event->text().isEmpty() && event->text().at(0).isPrint() && !roomFor(event->text()))
        return;
    QLineEdit::keyPressEvent(event);
}

void TextBox::inputMethodEvent(QInputMethodEvent* event)
{
    if (!roomFor(event->commitString())) {
        event->ignore();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another application's window or opening a menu is not leaving the field.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit lostFocus();
}

void TextBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit gotFocus();
}

void TextBox::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    emit clicked();
}
