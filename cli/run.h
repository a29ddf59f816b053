#pragma once

#include "plan.h"
#include "qt_services.h"

// Carrying out a plan: pictures decode on worker threads from the start, JPEG files through the kernels,
// while the main thread starts Qt and measures the table; each conversion waits for the measurement only
// once its buffer is ready.
namespace cli {

// Returns the exit status: 0 when every picture converted, 1 when some failed, 2 when all failed.
int run(const Plan& plan, QtServices& qt);

// Prints the measured order, darkest first, one character and its ink count a line.
int printOrder(const Plan& plan, QtServices& qt);

} // namespace cli
