#pragma once

#include "ui/platform/form.h"

#include <functional>

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
    QString proposedName() const;

    // The factors as "h-v" when scaling is on, else empty; the main window provides them.
    std::function<QString()> scaledFactors;
};

FrmBuffer* frmBuffer();
