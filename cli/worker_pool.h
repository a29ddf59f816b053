#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// Jobs 0 to count - 1 on threads of their own, each job once, taken in order as threads come free; the
// thread that made the pool stays free meanwhile (the converter's main thread serves Qt).
namespace cli {

class WorkerPool {
  public:
    WorkerPool(int count, int threads, std::function<void(int job)> work);
    ~WorkerPool(); // waits for every job
    void wait();

  private:
    std::function<void(int)> work_;
    std::atomic<int> next_{0};
    int count_;
    std::vector<std::thread> threads_;
};

} // namespace cli
