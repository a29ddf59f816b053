#include "ui/platform/exact_text_box.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

namespace {

// The character format property that holds the character a placeholder stands for.
constexpr int kOriginal = QTextFormat::UserProperty + 1;

QTextCharFormat placeholderFormat(char32_t original) {
    QTextCharFormat f;
    f.setProperty(kOriginal, int(original));
    f.setForeground(Qt::gray);
    return f;
}

} // namespace

ExactTextBox::ExactTextBox(QWidget* parent, const QString& name) : QPlainTextEdit(parent) {
    setObjectName(name);
    // Typed or pasted text takes the format of the character before it: never a placeholder's.
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        if (currentCharFormat().hasProperty(kOriginal))
            setCurrentCharFormat(QTextCharFormat());
    });
}

QChar ExactTextBox::placeholderFor(char32_t c) {
    if (c < 0x20)
        return QChar(char16_t(0x2400 + c)); // the control pictures: "␀" to "␟"
    if (c == 0x7F)
        return QChar(char16_t(0x2421)); // "␡"
    if (c > 0xFFFF)
        return {};
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return QChar(char16_t(0x25AF)); // "▯"
    default:
        return {};
    }
}

void ExactTextBox::setExactText(const QString& text, int lineLength) {
    QString shown;
    shown.reserve(text.size());
    struct Run {
        int from, length;
        char32_t original;
    };
    std::vector<Run> runs;
    int column = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const bool pair = text.at(i) == u'\r' && i + 1 < n && text.at(i + 1) == u'\n';
        if (pair && (lineLength < 0 || column == lineLength)) {
            shown.append(u'\n');
            column = 0;
            i += 2;
            continue;
        }
        char32_t c = text.at(i).unicode();
        int units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        const QChar placeholder = placeholderFor(c);
        if (placeholder.isNull()) {
            shown.append(text.mid(i, units));
        } else {
            const int at = int(shown.size());
            if (!runs.empty() && runs.back().original == c && runs.back().from + runs.back().length == at)
                ++runs.back().length;
            else
                runs.push_back({at, 1, c});
            shown.append(placeholder);
        }
        ++column;
        i += units;
    }
    setPlainText(shown);
    if (runs.empty())
        return;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (const Run& r : runs) {
        cursor.setPosition(r.from);
        cursor.setPosition(r.from + r.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(placeholderFormat(r.original));
    }
    cursor.endEditBlock();
    document()->clearUndoRedoStacks();
    moveCursor(QTextCursor::Start);
}

QString ExactTextBox::exactRange(int from, int to) const {
    QString out;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from)
            out += QStringLiteral("\r\n"); // the break before this block lies inside the range
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (start >= end)
                continue;
            const QVariant original = fragment.charFormat().property(kOriginal);
            if (!original.isValid()) {
                out += fragment.text().mid(start - fragment.position(), end - start);
                continue;
            }
            const char32_t c = char32_t(original.toInt());
            for (int k = start; k < end; ++k)
                out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

QString ExactTextBox::exactText() const {
    return exactRange(0, document()->characterCount() - 1);
}

QString ExactTextBox::exactSelectedText() const {
    const QTextCursor c = textCursor();
    return exactRange(c.selectionStart(), c.selectionEnd());
}

QMimeData* ExactTextBox::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(exactSelectedText());
    return data;
}
