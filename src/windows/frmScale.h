#pragma once

#include "platform/form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class TextBox;

// The scale factors: picture pixels per character, horizontally and vertically, and the switch that
// mirrors the main window's "Scale.." check mark. Closing only hides it, so its values survive.
class FrmScale : public Form {
    Q_OBJECT
  public:
    FrmScale();

    void chkScalingEnabled_Click();
    void factor_KeyDown(TextBox* field, int keyCode, int shift);
    void factor_LostFocus(TextBox* field);

    QGroupBox* frSettings;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    TextBox* txtHorizontal;
    TextBox* txtVertical;
    QCheckBox* chkScalingEnabled;

  protected:
    void formLoad() override;
    void formUnload(bool& cancel) override;
};

FrmScale* frmScale();
