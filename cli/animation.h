#pragma once

#include "picture_job.h"
#include "plan.h"
#include "qt_bridge/qt_services.h"

// Pictures played in the terminal (--animate): each frame of an animated picture is converted as a still
// is, and drawn over the lines of the frame before.
namespace cli {

// Plays the plan's pictures one after another: an animation frame by frame at its own delays (a delay
// under 2 hundredths of a second counts as 10, as browsers have it), as many times as it says, or as
// --loops and --duration bound it; a still shows once. The cursor is hidden meanwhile and shown again, the
// colours reset, however the playing ends, a signal included. Returns the exit status.
int animate(const Plan& plan, QtServices& qt, const Provided& provided);

} // namespace cli
