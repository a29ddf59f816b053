#include "ui/windows/frm_buffer.h"

#include "core/errors.h"
#include "ui/platform/common_dialog.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/surface_widget.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QMenuBar>

FrmBuffer* frmBuffer() {
    return Forms::instance().get<FrmBuffer>();
}

FrmBuffer::FrmBuffer() {
    setObjectName("frmBuffer");
    setWindowTitle("Buffer");
    mnuSaveBuffer = menuBar()->addAction("&Save..");
    mnuSaveBuffer->setObjectName("mnuSaveBuffer");
    pic = new SurfaceWidget(client(), "pic", 2);
    pic->move(0, 0);
    connect(mnuSaveBuffer, &QAction::triggered, this, [this] { mnuSaveBuffer_Click(); });
}

QString FrmBuffer::proposedName() const {
    const QString& picture = modVars().pictureFile;
    const qsizetype dot = picture.lastIndexOf(u'.');
    const QString stem = dot < 0 ? picture : picture.left(dot);
    const QString factors = scaledFactors ? scaledFactors() : QString();
    return factors.isEmpty() ? stem : stem + " scale_" + factors;
}

void FrmBuffer::mnuSaveBuffer_Click() {
    CommonDialog& dialog = CommonDialog::instance();
    dialog.cancelError = true;
    dialog.dialogTitle = "Save scaled Picture as..";
    dialog.fileName = proposedName();
    dialog.filter = "Bitmap (*.bmp)|*.bmp";
    try {
        dialog.showSave();
    } catch (const err::Error&) {
        return; // cancelled
    }
    try {
        pic->surface().saveBmp(dialog.fileName);
    } catch (const err::Error& e) {
        mb::reportSaveFailure(dialog.fileName, errorText(e));
    }
}
