#pragma once

#include "order_cache/order_cache.h"
#include "plan.h"
#include "qt_bridge/qt_module_loader.h"

// Carrying out a plan. Pictures decode on worker threads from the start, JPEG files through the kernels.
// The table's order comes from the cache when an earlier run measured it in the same font, size and
// fonts; otherwise the main thread starts Qt meanwhile and measures it. Qt starts only when the plan or
// the measurement needs it, once, on the main thread; each conversion waits for what it needs (the order,
// Qt, the glyphs) only once its own part is done.
namespace cli {

// Returns the exit status: 0 when every picture converted, 1 when some failed, 2 when all failed.
// `cache` may be null (no cache).
int run(const Plan& plan, QtModule& qt, const OrderCache* cache);

// Prints the measured order, darkest first, one character and its ink count a line.
int printOrder(const Plan& plan, QtModule& qt, const OrderCache* cache);

} // namespace cli
