#include "ui/windows/frm_scale.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "ui/platform/forms.h"
#include "ui/platform/message_box.h"
#include "ui/platform/shapes.h"
#include "ui/platform/text_box.h"
#include "ui/state/mod_vars.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <cmath>

FrmScale* frmScale() {
    return Forms::instance().get<FrmScale>();
}

FrmScale::FrmScale() {
    setObjectName("frmScale");
    setWindowTitle("Scale Picture");
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(8.25);
    setFont(f);
    setClientSize(twipsToPixels(3000), twipsToPixels(1215));

    QWidget* w = client();
    frSettings = new QGroupBox("Settings", w);
    frSettings->setObjectName("frSettings");
    placeTwips(frSettings, 0, 0, 2895, 855);
    auto label = [this](const QString& name, const QString& caption, double l, double t, double wd,
                        double h) {
        auto* lb = new QLabel(caption, frSettings);
        lb->setObjectName(name);
        placeTwips(lb, l, t, wd, h);
        return lb;
    };
    Label1 = label("Label1", "Pixel/Char", 240, 240, 900, 195);
    Label2 = label("Label2", "horizontal", 1320, 240, 840, 195);
    Label3 = label("Label3", "vertical", 1320, 510, 630, 195);
    txtHorizontal = new TextBox(frSettings, "txtHorizontal");
    txtHorizontal->setText("1");
    placeTwips(txtHorizontal, 2200, 180, 490, 285);
    txtVertical = new TextBox(frSettings, "txtVertical");
    txtVertical->setText("1");
    placeTwips(txtVertical, 2200, 480, 490, 285);
    chkScalingEnabled = new QCheckBox("use scaling", w);
    chkScalingEnabled->setObjectName("chkScalingEnabled");
    placeTwips(chkScalingEnabled, 1290, 840, 1395, 255);
    setTabOrder(txtHorizontal, txtVertical);
    setTabOrder(txtVertical, chkScalingEnabled);

    // Connected to the state change, so a value set by code runs the handler as a click does.
    connect(chkScalingEnabled, &QCheckBox::stateChanged, this, [this] { chkScalingEnabled_Click(); });
    for (TextBox* field : {txtHorizontal, txtVertical}) {
        connect(field, &TextBox::keyDown, this,
                [this, field](int key, int shift) { factor_KeyDown(field, key, shift); });
        connect(field, &TextBox::lostFocus, this, [this, field] { factor_LostFocus(field); });
    }
}

void FrmScale::formLoad() {
    chkScalingEnabled->setChecked(scalingAtLoad);
}

void FrmScale::chkScalingEnabled_Click() {
    auto& vars = modVars();
    if (vars.scaleCheckSyncing)
        return;
    const bool on = chkScalingEnabled->checkState() != Qt::Unchecked;
    emit scalingSwitched(on);
    vars.scaleCheckSyncing = true;
    chkScalingEnabled->setChecked(on);
    vars.scaleCheckSyncing = false;
    txtHorizontal->setEnabled(on);
    txtVertical->setEnabled(on);
}

void FrmScale::formUnload(bool& cancel) {
    auto& vars = modVars();
    if (!vars.appUnloading) {
        const int answer =
            mb::show("If you close the Scale-Window, scaling will be disabled automatically.\r\n\r\n"
                     "Do you want to disable scaling?",
                     mb::OkCancel | mb::Question);
        if (answer == mb::Cancel) {
            cancel = true;
            vars.appUnloading = true;
            return;
        }
    }
    vars.appUnloading = true;
    emit scalingSwitched(false);
    cancel = true;
    hide();
}

void FrmScale::factor_KeyDown(TextBox* field, int keyCode, int shift) {
    if (keyCode != TextBox::kKeyUp && keyCode != TextBox::kKeyDown)
        return;
    try {
        const double v = num::strictToDouble(field->text());
        const double step = shift == 1 ? 10 : 1;
        if (keyCode == TextBox::kKeyUp) {
            field->setText(num::format(v + step));
        } else {
            field->setText(num::format(v - step));
            if (num::strictToDouble(field->text()) < 1)
                field->setText("1");
        }
    } catch (const err::Error&) {
        // A field that is not a number yet is left alone; leaving it turns it into "1".
    }
}

void FrmScale::factor_LostFocus(TextBox* field) {
    try {
        field->setText(num::format(std::fabs(std::floor(num::strictToDouble(field->text())))));
        if (num::val(field->text()) == 0)
            field->setText("1");
    } catch (const err::Error&) {
        field->setText("1");
    }
}
