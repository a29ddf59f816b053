#pragma once

#include "kernels/character_choice.h"

#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

// The Extras menu's Levels.. dialog: brightness, contrast and gamma applied to the picture's brightness
// before the characters are chosen. OK takes the values, Cancel leaves them; Reset puts back the neutral
// ones (which leave every result as the described program makes it).
class LevelsDialog : public QDialog {
    Q_OBJECT
  public:
    LevelsDialog(const choice::Levels& levels, QWidget* parent = nullptr);

    // The dialog's values over `levels` (whose automatic stretch it leaves alone).
    choice::Levels levels() const;

    QSpinBox* brightness;
    QSpinBox* contrast;
    QDoubleSpinBox* gamma;

  private:
    choice::Levels start_;
};
