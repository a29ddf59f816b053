#pragma once

#include "plan.h"
#include "qt_bridge/qt_services.h"

#include "kernels/memory_limit.h"

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// How a picture of a size becomes buffers: the grids averaged from it (`sizings`) and how the text's blocks
// and parts come from them. At the converter's own sizes only the finest grid is averaged, and the blocks
// and coarser parts are made from it.
struct Layout {
    buffer::Factors factors; // the text's blocks
    std::vector<buffer::Factors> sizings;
    int across = 0, down = 0; // the parts a block is split into for the shape mapping or the colour fit
    bool fineParts = false;   // sizings[0] is the finest grid, the others made from it
    std::pair<int, int> fine; // its parts a block
    px::Size atLeast;         // a JPEG is decoded at least this finely
    px::Size decodeAt;        // when set, a JPEG is decoded this finely, its grids' parts smaller than pixels
    // When the colour fit's parts are finer than a small picture's pixels, the last sizing is the picture
    // itself, and the parts are sampled from it smoothly rather than averaged.
    bool partsFromPicture = false;
};
// `scaledDecode`: the picture is a JPEG the kernels decode, no finer than its grids need.
Layout layoutFor(const Plan& plan, std::optional<px::Size> size, double cellAspect,
                 bool scaledDecode = false);
// Pictures up to this many pixels are decoded whole for the colour fit, larger JPEGs no finer than the
// shape mapping's parts.
constexpr int64_t kFinelyDecodedPixels = int64_t(4) << 20;

// Where a layout's grids are filled: `images` gets one picture a sizing.
std::vector<buffer::Target> targetsFor(const std::vector<buffer::Factors>& sizings,
                                       std::vector<px::Image>& images);

// What a picture's text is made of: its blocks and, for the shape mapping, the two colours a cell and the
// likeness score, the parts of its blocks (mirrored as the plan asks), with their memory held from the
// budget.
struct Buffers {
    px::Image blocks;
    px::Image parts; // across x down parts a block: greys for the shape mapping, colours for two colours
    int across = 0, down = 0;
    px::Image scoreParts; // 2 x 2 parts a block
    std::unique_ptr<memlimit::Reservation> held;
    choice::SubBlocks shape() const {
        return {px::greyView(parts.view(), blocks.width * across), across, down};
    }
};
Buffers assemble(const Plan& plan, const Layout& layout, std::vector<px::Image> images);

// The text of a picture's buffers in the plan's form; with --score its likeness goes to standard error.
std::string textOf(const Plan& plan, const Job& job, const Buffers& buffers, const Provided& provided);

} // namespace cli
