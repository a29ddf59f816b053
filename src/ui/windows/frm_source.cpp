#include "ui/windows/frm_source.h"

#include "core/app_info.h"
#include "core/errors.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/state/mod_vars.h"

FrmSource* frmSource() {
    return Forms::instance().get<FrmSource>();
}

FrmSource::FrmSource() {
    setObjectName("frmSource");
    setWindowTitle("Picture");
    pic = new SurfaceWidget(client(), "pic", 2);
    pic->move(0, 0);
}

void FrmSource::fitToPicture() {
    setWidthTwips((pic->surface().outerWidth() + 7) * kTwipsPerPixel);
    setHeightTwips((pic->surface().outerHeight() + 23) * kTwipsPerPixel + 45);
}

void FrmSource::formLoad() {
    try {
        pic->surface().setBackColor(255);
        pic->surface().setAutoSize(true);
        pic->surface().loadPicture(modVars().pictureFile);
        loadedAtCreation_ = !modVars().pictureFile.isEmpty();
        fitToPicture();
    } catch (const err::Error& e) {
        mb::show("ERROR: \r\n" + errorText(e) + "\r\n\r\n#" + QString::number(e.number()), mb::Exclamation,
                 app::title() + ", Forms(load)");
    }
}
