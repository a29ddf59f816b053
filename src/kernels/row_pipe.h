#pragma once

#include "kernels/buffer.h"

#include <atomic>
#include <exception>
#include <thread>
#include <vector>

// Averages a picture's rows into the buffer on a thread of its own while the decoder produces the next
// ones, through a ring of row buffers: a single picture on a machine with a spare core is done in about
// the decoder's time. Rows are handed over in order; the builder sees exactly what it would see unpiped.
namespace buffer {

class RowPipe {
  public:
    RowPipe(Builder& builder, int width, int height)
        : RowPipe(std::vector<Builder*>{&builder}, width, height) {}
    // Every row goes to each of the builders, in order.
    RowPipe(std::vector<Builder*> builders, int width, int height);
    ~RowPipe(); // stops and waits for the averaging thread, also after a failed decode

    // Room for picture row y (waits while the ring is full), and that it is filled.
    px::Pixel* rowTarget(int y);
    void rowReady(int y);
    // Waits until every row has been averaged.
    void finish();

  private:
    void consume();

    static constexpr int kRows = 64; // a ring of rows, handed over in batches
    static constexpr int kBatch = 8;
    std::vector<Builder*> builders_;
    int width_, height_;
    std::vector<px::Pixel> ring_;
    std::atomic<int> produced_{0}, consumed_{0};
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};

} // namespace buffer
