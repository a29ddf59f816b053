// The font name and size boxes.
#include "main_window/frmMain.h"
#include "platform/errors.h"
#include "platform/numbers.h"
#include "platform/text_box.h"
#include "state/mod_vars.h"

#include <cmath>

void FrmMain::txtFont_Change()
{
    if (modVars().showTableInFont) {
        QFont f = txtAsciiTable->font();
        f.setFamily(txtFont->text());
        txtAsciiTable->setFont(f);
    }
}

void FrmMain::txtFontSize_Change()
{
    // The box always holds a non-negative number; writing it back re-enters this handler, which then
    // finds nothing to change.
    QString cleaned;
    try {
        cleaned = num::format(std::fabs(num::val(txtFontSize->text())));
    } catch (const PlatformError&) {
        cleaned = QStringLiteral("0");
    }
    if (cleaned != txtFontSize->text())
        txtFontSize->setText(cleaned);
}

void FrmMain::txtFontSize_KeyDown(int keyCode, int shift)
{
    const double step = shift == 1 ? 10 : 1;
    double size = 0;
    try {
        size = num::val(txtFontSize->text());
    } catch (const PlatformError&) {
        return;
    }
    if (keyCode == TextBox::kKeyUp) {
        txtFontSize->setText(num::format(size + step));
    } else if (keyCode == TextBox::kKeyDown) {
        txtFontSize->setText(num::format(std::max(4.0, size - step)));
    }
}
