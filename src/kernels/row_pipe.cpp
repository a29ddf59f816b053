#include "kernels/row_pipe.h"

namespace buffer {

RowPipe::RowPipe(std::vector<Builder*> builders, int width, int height)
    : builders_(std::move(builders)), width_(width), height_(height),
      ring_(size_t(kRows) * size_t(std::max(1, width))) {
    thread_ = std::thread([this] { consume(); });
}

RowPipe::~RowPipe() {
    stopped_ = true;
    produced_.store(-1, std::memory_order_release); // wakes a waiting consumer whatever it waits for
    produced_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

px::Pixel* RowPipe::rowTarget(int y) {
    // Row y reuses the slot of row y - kRows, which must have been averaged.
    for (int done = consumed_.load(std::memory_order_acquire); y - done >= kRows;
         done = consumed_.load(std::memory_order_acquire))
        consumed_.wait(done, std::memory_order_acquire);
    return ring_.data() + size_t(y % kRows) * size_t(std::max(1, width_));
}

void RowPipe::rowReady(int y) {
    produced_.store(y + 1, std::memory_order_release);
    if ((y + 1) % kBatch == 0 || y + 1 == height_)
        produced_.notify_one();
}

void RowPipe::finish() {
    produced_.notify_one();
    for (int done = consumed_.load(std::memory_order_acquire);
         done < produced_.load(std::memory_order_acquire); done = consumed_.load(std::memory_order_acquire))
        consumed_.wait(done, std::memory_order_acquire);
}

void RowPipe::consume() {
    int done = 0;
    while (done < height_) {
        const int ready = produced_.load(std::memory_order_acquire);
        if (stopped_)
            return;
        if (ready == done) {
            produced_.wait(ready, std::memory_order_acquire);
            continue;
        }
        for (; done < ready; ++done)
            for (Builder* builder : builders_)
                builder->addRow(done, ring_.data() + size_t(done % kRows) * size_t(std::max(1, width_)));
        consumed_.store(done, std::memory_order_release);
        consumed_.notify_one();
    }
}

} // namespace buffer
