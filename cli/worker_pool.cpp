#include "worker_pool.h"

#include <algorithm>

namespace cli {

WorkerPool::WorkerPool(int count, int threads, std::function<void(int job)> work)
    : work_(std::move(work)), count_(count) {
    for (int i = 0; i < std::max(1, std::min(threads, count)); ++i)
        threads_.emplace_back([this] {
            for (int job = next_++; job < count_; job = next_++)
                work_(job);
        });
}

WorkerPool::~WorkerPool() {
    wait();
}

void WorkerPool::wait() {
    for (std::thread& t : threads_)
        if (t.joinable())
            t.join();
}

} // namespace cli
