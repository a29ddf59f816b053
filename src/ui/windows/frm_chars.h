#pragma once

#include "ui/platform/form.h"

class SurfaceWidget;

// The hidden surface on which the characters of the table are drawn and measured; shown only in debug
// mode, where it shows the measurement as it happens.
class FrmChars : public Form {
    Q_OBJECT
  public:
    FrmChars();

    SurfaceWidget* picChar;
};

FrmChars* frmChars();
