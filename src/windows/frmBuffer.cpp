#include "windows/frmBuffer.h"

#include "platform/forms.h"
#include "platform/surface_widget.h"

#include <QAction>
#include <QMenuBar>

FrmBuffer* frmBuffer()
{
    return Forms::instance().get<FrmBuffer>();
}

FrmBuffer::FrmBuffer()
{
    setObjectName("frmBuffer");
    setWindowTitle("Buffer");
    mnuSaveBuffer = menuBar()->addAction("&Save..");
    mnuSaveBuffer->setObjectName("mnuSaveBuffer");
    pic = new SurfaceWidget(client(), "pic", 2);
    pic->move(0, 0);
}
