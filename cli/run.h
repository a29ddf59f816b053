#pragma once

#include "order_cache.h"
#include "plan.h"
#include "qt_services.h"

// Carrying out a plan: pictures decode on worker threads from the start, JPEG files through the kernels.
// The table's order comes from the cache when an earlier run measured it in the same font, size and
// fonts; otherwise the main thread starts Qt meanwhile and measures it. Qt starts only when the
// measurement or a picture needs it, always on the main thread, before any Qt call. Each conversion
// waits for the order only once its buffer is ready.
namespace cli {

// Returns the exit status: 0 when every picture converted, 1 when some failed, 2 when all failed.
// `cache` may be null (no cache).
int run(const Plan& plan, QtServices& qt, const OrderCache* cache);

// Prints the measured order, darkest first, one character and its ink count a line.
int printOrder(const Plan& plan, QtServices& qt, const OrderCache* cache);

} // namespace cli
