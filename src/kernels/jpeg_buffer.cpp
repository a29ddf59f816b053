#include "kernels/jpeg_buffer.h"

#include "kernels/jpeg_decoder.h"
#include "kernels/row_pipe.h"

#include <algorithm>
#include <optional>

namespace jpeg {

void decodeBuffer(std::FILE* file, const buffer::Factors& factors,
                  const std::function<px::MutableView(px::Size area)>& storage, bool spareCore,
                  bool storageReserved, px::Size finest, bool refuseDamage) {
    buffer::Builder builder(factors);
    std::optional<buffer::RowPipe> pipe;
    decodeInto(
        file,
        [&](const Info& info) {
            return storageReserved ? 0 : buffer::storageBytes(info.width, info.height, factors);
        },
        [&](const Info& info) {
            const px::Size area =
                builder.start(info.outputWidth, info.outputHeight, info.outputWidth < info.width);
            builder.attach(storage(area));
            // For small pictures averaging costs less than handing rows to another thread.
            if (spareCore && !builder.copies() &&
                int64_t(info.outputWidth) * info.outputHeight >= (int64_t(1) << 21))
                pipe.emplace(builder, info.outputWidth, info.outputHeight);
        },
        [&](int y) { return pipe ? pipe->rowTarget(y) : builder.rowTarget(y); },
        [&](int y) { pipe ? pipe->rowReady(y) : builder.rowReady(y); }, finest, refuseDamage);
    if (pipe)
        pipe->finish();
}

void decodeBuffers(std::FILE* file, const std::vector<buffer::Target>& targets, bool spareCore,
                   bool storageReserved, px::Size finest, bool refuseDamage) {
    if (targets.size() == 1)
        return decodeBuffer(file, targets[0].factors, targets[0].storage, spareCore, storageReserved, finest,
                            refuseDamage);
    std::vector<std::unique_ptr<buffer::Builder>> builders;
    std::vector<buffer::Builder*> all;
    for (const buffer::Target& t : targets) {
        builders.push_back(std::make_unique<buffer::Builder>(t.factors));
        all.push_back(builders.back().get());
    }
    std::vector<px::Pixel> row;
    std::optional<buffer::RowPipe> pipe;
    decodeInto(
        file,
        [&](const Info& info) {
            int64_t bytes = 0;
            for (const buffer::Target& t : targets)
                bytes += storageReserved ? 0 : buffer::storageBytes(info.width, info.height, t.factors);
            return bytes;
        },
        [&](const Info& info) {
            for (size_t i = 0; i < targets.size(); ++i) {
                const px::Size area =
                    builders[i]->start(info.outputWidth, info.outputHeight, info.outputWidth < info.width);
                builders[i]->attach(targets[i].storage(area));
            }
            row.assign(size_t(std::max(1, info.outputWidth)), 0);
            if (spareCore && int64_t(info.outputWidth) * info.outputHeight >= (int64_t(1) << 21))
                pipe.emplace(all, info.outputWidth, info.outputHeight);
        },
        [&](int y) { return pipe ? pipe->rowTarget(y) : row.data(); },
        [&](int y) {
            if (pipe)
                return pipe->rowReady(y);
            for (buffer::Builder* b : all)
                b->addRow(y, row.data());
        },
        finest, refuseDamage);
    if (pipe)
        pipe->finish();
}

} // namespace jpeg
