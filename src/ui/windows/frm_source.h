#pragma once

#include "ui/platform/form.h"

class SurfaceWidget;

// The source picture at full size; a run loads the picture into it anew every time.
class FrmSource : public Form {
    Q_OBJECT
  public:
    FrmSource();

    SurfaceWidget* pic;
    // Fits the window to its picture box (the same size a run gives it).
    void fitToPicture();
    // True when the load handler has just read `pictureFile` successfully.
    bool loadedAtCreation() const { return loadedAtCreation_; }
    void clearLoadedAtCreation() { loadedAtCreation_ = false; }

  protected:
    void formLoad() override;

  private:
    bool loadedAtCreation_ = false;
};

FrmSource* frmSource();
