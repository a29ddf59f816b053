#pragma once

#include "plan.h"
#include "qt_services.h"

#include <future>
#include <optional>
#include <string>

// One picture's conversion, on a worker thread: its buffer (JPEG through the kernels, anything else through
// Qt) and its text in the plan's form.
namespace cli {

// What the main thread provides the workers while they work, each as soon as it is there.
struct Provided {
    std::shared_future<Measurement> measured; // the table's order
    std::shared_future<QtServices*> qt;       // Qt started, for pictures that need it
    std::shared_future<art::Glyphs> glyphs;   // for a form that needs glyphs
    int threads = 1;                          // to compress a picture with
    bool spareCore = false;                   // a large JPEG's rows are averaged beside its decoding
};

// Converts the job's picture into its output in the plan's form; reports a failure on standard error and
// gives nothing then.
std::optional<std::string> convertPicture(const Plan& plan, const Job& job, const Provided& provided);

} // namespace cli
