#pragma once

#include "ui/platform/form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class TextBox;

// The scale factors: picture pixels per character, horizontally and vertically, and the switch that
// mirrors the main window's "Scale.." check mark. Closing only hides it, so its values survive. It tells
// the main window when scaling is switched here; the main window sets the box when it switches.
class FrmScale : public Form {
    Q_OBJECT
  public:
    FrmScale();

    // The main window's check mark at the moment this window is created; the load handler sets the box
    // from it.
    bool scalingAtLoad = false;

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

  signals:
    // The check box or the close box switched scaling on or off: the check mark follows.
    void scalingSwitched(bool on);

  protected:
    void formLoad() override;
    void formUnload(bool& cancel) override;
};

FrmScale* frmScale();
