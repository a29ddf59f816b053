#pragma once

#include "platform/form.h"

class QPlainTextEdit;

// The result of a run: the text art, which the user may edit, copy and save.
class FrmAscii : public Form {
    Q_OBJECT
public:
    FrmAscii();

    QPlainTextEdit* txt;

    // The text as the program holds it: lines end in CR LF.
    QString text() const;
    void setText(const QString& text);
    void setTextFont(const QString& name, double points);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

FrmAscii* frmAscii();
