#include "ui/windows/levels_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

LevelsDialog::LevelsDialog(const choice::Levels& levels, QWidget* parent) : QDialog(parent), start_(levels) {
    setObjectName("dlgLevels");
    setWindowTitle("Levels");
    brightness = new QSpinBox(this);
    brightness->setObjectName("spnBrightness");
    brightness->setRange(-choice::kMaxBrightness, choice::kMaxBrightness);
    brightness->setValue(levels.brightness);
    contrast = new QSpinBox(this);
    contrast->setObjectName("spnContrast");
    contrast->setRange(-choice::kMaxContrast, choice::kMaxContrast);
    contrast->setValue(levels.contrast);
    gamma = new QDoubleSpinBox(this);
    gamma->setObjectName("spnGamma");
    gamma->setRange(choice::kMinGamma, choice::kMaxGamma);
    gamma->setDecimals(2);
    gamma->setSingleStep(0.1);
    gamma->setValue(levels.gamma);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Reset, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, [this] {
        const choice::Levels neutral;
        brightness->setValue(neutral.brightness);
        contrast->setValue(neutral.contrast);
        gamma->setValue(neutral.gamma);
    });

    auto* form = new QFormLayout(this);
    form->addRow("&Brightness (-100 to 100):", brightness);
    form->addRow("&Contrast (-100 to 100):", contrast);
    form->addRow("&Gamma (0.1 to 10):", gamma);
    form->addRow(buttons);
}

choice::Levels LevelsDialog::levels() const {
    choice::Levels out = start_;
    out.brightness = brightness->value();
    out.contrast = contrast->value();
    out.gamma = gamma->value();
    return out;
}
