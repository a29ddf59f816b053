// The text stage of a run: the buffer mapped onto the sorted table and handed to the result window.
#include "engine/text_mapping.h"
#include "main_window/frmMain.h"
#include "platform/numbers.h"
#include "platform/shapes.h"
#include "platform/surface_widget.h"
#include "platform/text_box.h"
#include "platform/yield.h"
#include "state/mod_vars.h"
#include "windows/frmAscii.h"
#include "windows/frmBuffer.h"

void FrmMain::transformPic() {
    const auto& vars = modVars();
    setCursor(Qt::WaitCursor);
    setStatus("Transforming Picture to Ascii..");
    FrmAscii* ascii = frmAscii();
    ascii->setText(QString());
    ascii->setTextFont(txtFont->text(), num::val(txtFontSize->text()));
    yieldToWindowSystem();

    std::vector<QChar> sorted;
    sorted.reserve(size_t(vars.charCount));
    for (int i = 1; i <= vars.charCount; ++i)
        sorted.push_back(vars.chars[i].at(0));
    const QString text = mapping::transform(frmBuffer()->pic->surface().image(), sorted);
    setProgress(1.0);

    ascii->setText(text);
    setCursor(Qt::ArrowCursor);
    setStatus(status() + " ok.");
    ascii->show();
    yieldToWindowSystem();
}
