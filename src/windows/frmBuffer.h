#pragma once

#include "platform/form.h"

class QAction;
class SurfaceWidget;

// The buffer: one pixel for every character of the result.
class FrmBuffer : public Form {
    Q_OBJECT
public:
    FrmBuffer();

    SurfaceWidget* pic;
    QAction* mnuSaveBuffer;
};

FrmBuffer* frmBuffer();
