#include "ui/windows/frm_chars.h"

#include "ui/platform/forms.h"
#include "ui/platform/surface_widget.h"

FrmChars* frmChars() {
    return Forms::instance().get<FrmChars>();
}

FrmChars::FrmChars() {
    setObjectName("frmChars");
    setWindowTitle("Chars");
    picChar = new SurfaceWidget(client(), "picChar", 0);
    picChar->surface().setBackColor(0xFFFFFF);
    picChar->surface().setForeColor(0);
    picChar->move(0, 0);
}
