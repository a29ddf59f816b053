#include "windows/frmAscii.h"

#include "platform/forms.h"
#include "platform/shapes.h"

#include <QPlainTextEdit>

FrmAscii* frmAscii()
{
    return Forms::instance().get<FrmAscii>();
}

FrmAscii::FrmAscii()
{
    setObjectName("frmAscii");
    setWindowTitle("Ascii");
    txt = new QPlainTextEdit(client());
    txt->setObjectName("txt");
    txt->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt->setPlainText("Text1");
    setClientSize(twipsToPixels(7560), twipsToPixels(5040));
}

QString FrmAscii::text() const
{
    QString t = txt->toPlainText();
    t.replace(QChar::LineFeed, QStringLiteral("\r\n"));
    return t;
}

void FrmAscii::setText(const QString& text)
{
    // The text box keeps lines as blocks; a final line end leaves an empty last block, which reads back
    // as the same final line end.
    txt->setPlainText(text);
}

void FrmAscii::setTextFont(const QString& name, double points)
{
    QFont f = txt->font();
    f.setFamily(name);
    if (points > 0)
        f.setPointSizeF(points);
    txt->setFont(f);
}

void FrmAscii::resizeEvent(QResizeEvent* event)
{
    Form::resizeEvent(event);
    txt->setGeometry(0, 0, clientWidth(), clientHeight());
}
