// The font name and size boxes.
#include "core/errors.h"
#include "core/numbers.h"
#include "ui/main_window/frm_main.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"

#include <cmath>

void FrmMain::txtFont_Change() {
    if (modVars().showTableInFont) {
        QFont f = txtAsciiTable->font();
        f.setFamily(txtFont->text());
        txtAsciiTable->setFont(f);
    }
}

void FrmMain::txtFontSize_Change() {
    // The box always holds a non-negative number; writing it back re-enters this handler, which then
    // finds nothing to change.
    QString cleaned;
    try {
        cleaned = num::format(std::fabs(num::val(txtFontSize->text())));
    } catch (const err::Error&) {
        cleaned = QStringLiteral("0");
    }
    if (cleaned != txtFontSize->text())
        txtFontSize->setText(cleaned);
}

void FrmMain::txtFontSize_KeyDown(int keyCode, int shift) {
    const double step = shift == 1 ? 10 : 1;
    double size = 0;
    try {
        size = num::val(txtFontSize->text());
    } catch (const err::Error&) {
        return;
    }
    if (keyCode == TextBox::kKeyUp) {
        txtFontSize->setText(num::format(size + step));
    } else if (keyCode == TextBox::kKeyDown) {
        txtFontSize->setText(num::format(std::max(4.0, size - step)));
    }
}

void FrmMain::fontDialog(int flags) {
    CommonDialog& dialog = CommonDialog::instance();
    dialog.fontName = txtFont->text();
    dialog.flags = flags;
    try {
        dialog.showFont();
    } catch (const err::Error&) {
        // A failing step, a cancel among them, is passed over: the boxes then take what the dialog holds.
    }
    txtFont->setText(dialog.fontName);
    txtFontSize->setText(num::formatSingle(dialog.fontSize));
}

void FrmMain::cmdSelectFont_Click() {
    fontDialog(CommonDialog::kFixedPitchOnly | CommonDialog::kScreenFonts | CommonDialog::kPrinterFonts);
}

void FrmMain::mnuSelectFont_Click() {
    cmdSelectFont_Click();
}

void FrmMain::txtFont_Click() {
    cmdSelectFont_Click();
}

void FrmMain::mnuSeleftPropFont_Click() {
    fontDialog(CommonDialog::kScreenFonts | CommonDialog::kPrinterFonts);
}
