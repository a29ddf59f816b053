#pragma once

#include <mutex>

// A batch's progress drawn on a terminal's standard error, in place: "[#######.......] 3/7".
namespace progress {

class Bar {
  public:
    // Draws nothing unless `enabled` (standard error is a terminal and the texts go to files).
    Bar(int total, bool enabled);
    ~Bar(); // the line ended
    // One more done, from any thread.
    void step();

  private:
    void draw();
    int total_, done_ = 0;
    bool enabled_;
    std::mutex mutex_;
};

} // namespace progress
