#include "kernels/row_pipe.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <optional>

namespace {

px::Image picture(int w, int h) {
    px::Image img(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.pixels[size_t(y) * size_t(w) + size_t(x)] =
                px::rgb((x * 7 + y) & 0xFF, (y * 3) & 0xFF, (x ^ y) & 0xFF);
    return img;
}

// The buffer of a picture whose rows are handed over as a decoder hands them, piped or not.
px::Image fill(const px::Image& pic, const buffer::Factors& f, bool piped, int stopAfter = -1) {
    buffer::Builder builder(f);
    const px::Size area = builder.start(pic.width, pic.height);
    px::Image out(area.width, area.height, buffer::kBackground);
    builder.attach(out.view());
    std::optional<buffer::RowPipe> pipe;
    if (piped)
        pipe.emplace(builder, pic.width, pic.height);
    for (int y = 0; y < pic.height; ++y) {
        if (y == stopAfter)
            return out; // a decode that fails here: the pipe is taken down unfinished
        px::Pixel* row = piped ? pipe->rowTarget(y) : builder.rowTarget(y);
        std::copy_n(pic.view().row(y), pic.width, row);
        piped ? pipe->rowReady(y) : builder.rowReady(y);
    }
    if (pipe)
        pipe->finish();
    return out;
}

TEST(RowPipe, GivesTheBufferOfTheUnpipedBuilder) {
    for (const auto& [w, h] : {std::pair{640, 360}, std::pair{97, 1000}, std::pair{3, 5}}) {
        const px::Image pic = picture(w, h);
        for (const buffer::Factors& f :
             {buffer::Factors{true, 8, 16}, buffer::Factors{true, 2, 3}, buffer::Factors{true, 1, 7}}) {
            const px::Image piped = fill(pic, f, true), plain = fill(pic, f, false);
            EXPECT_EQ(piped.pixels, plain.pixels) << w << "x" << h << " at " << f.h << "x" << f.v;
        }
    }
}

TEST(RowPipe, ComesDownWhenTheDecodeFailsHalfway) {
    const px::Image pic = picture(300, 500);
    for (int stop : {0, 1, 63, 64, 65, 250}) {
        // Taking the pipe down must not wait for rows that never come.
        auto done = std::async(std::launch::async, [&] { return fill(pic, {true, 4, 4}, true, stop); });
        ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready)
            << "stopped after " << stop;
        EXPECT_EQ(done.get().width, 72); // Int(304 / 4) - 4
    }
}

} // namespace
