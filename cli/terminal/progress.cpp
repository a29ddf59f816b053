#include "terminal/progress.h"

#include <cstdio>
#include <string>

namespace progress {

Bar::Bar(int total, bool enabled) : total_(total), enabled_(enabled) {
    draw();
}

Bar::~Bar() {
    if (enabled_)
        std::fprintf(stderr, "\n");
}

void Bar::step() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    draw();
}

void Bar::draw() {
    if (!enabled_)
        return;
    const int width = 30, filled = total_ ? done_ * width / total_ : width;
    std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(width - filled), '.').c_str(), done_, total_);
    std::fflush(stderr);
}

} // namespace progress
