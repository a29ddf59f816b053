#pragma once

#include <QPlainTextEdit>

// A multi-line text box that keeps its text exactly: every character of the text the program gives it
// comes back unchanged (lone CR and LF, no-break spaces, tabs and other control characters included),
// and only the CR LF pairs that end lines break lines. Characters that would not take a cell of their
// own are shown as a grey placeholder glyph (a control picture such as "␊", or "▯"); the placeholder
// remembers the character it stands for. The user may edit the text; what is typed is kept as typed.
class ExactTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    ExactTextBox(QWidget* parent, const QString& name);

    // `lineLength`: the characters (code points) of every line, when the text is made of lines of one
    // length; a CR LF pair then breaks a line only where a line ends. Otherwise every CR LF pair does.
    void setExactText(const QString& text, int lineLength = -1);
    QString exactText() const;
    QString exactSelectedText() const;

    // The glyph shown for a character that takes no cell of its own, or a null character when it is
    // shown as itself.
    static QChar placeholderFor(char32_t c);

  protected:
    QMimeData* createMimeDataFromSelection() const override;

  private:
    QString exactRange(int from, int to) const;
};
