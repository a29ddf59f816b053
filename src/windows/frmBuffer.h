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

    void mnuSaveBuffer_Click();
    // The name the save dialog proposes: the picture's name without its extension, and the factors
    // when scaling is on.
    static QString proposedName();
};

FrmBuffer* frmBuffer();
