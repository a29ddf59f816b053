#include "kernels/jpeg_buffer.h"

#include "kernels/jpeg_decoder.h"
#include "kernels/row_pipe.h"

#include <algorithm>
#include <optional>

namespace jpeg {

void decodeBuffer(std::FILE* file, const buffer::Factors& factors,
                  const std::function<px::MutableView(px::Size area)>& storage, bool spareCore) {
    buffer::Builder builder(factors);
    std::optional<buffer::RowPipe> pipe;
    decodeInto(
        file,
        [&](const Info& info) {
            const px::Size area = buffer::drawingArea(info.width, info.height, factors);
            return int64_t(area.width) * area.height * 4;
        },
        [&](const Info& info) {
            const px::Size area = builder.start(info.width, info.height);
            const px::MutableView out = storage(area);
            for (int y = 0; y < out.height; ++y)
                std::fill_n(out.row(y), out.width, buffer::kBackground);
            builder.attach(out);
            // For small pictures averaging costs less than handing rows to another thread.
            if (spareCore && !builder.copies() && int64_t(info.width) * info.height >= (int64_t(1) << 21))
                pipe.emplace(builder, info.width, info.height);
        },
        [&](int y) { return pipe ? pipe->rowTarget(y) : builder.rowTarget(y); },
        [&](int y) { pipe ? pipe->rowReady(y) : builder.rowReady(y); });
    if (pipe)
        pipe->finish();
}

} // namespace jpeg
