#include "kernels/memory_limit.h"

#include "kernels/errors.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace memlimit {

namespace {

std::atomic<int>& limit() {
    static std::atomic<int> megabytes{2048};
    return megabytes;
}

struct Budget {
    std::mutex mutex;
    std::condition_variable released;
    int64_t held = 0;
};

Budget& budget() {
    static Budget b;
    return b;
}

} // namespace

int pictureAllocationLimitMB() {
    return limit();
}

void setPictureAllocationLimitMB(int megabytes) {
    limit() = megabytes;
}

Reservation::Reservation(int64_t bytes, int width, int height)
    : Reservation(bytes,
                  "the picture is " + std::to_string(width) + " x " + std::to_string(height) + " pixels") {}

Reservation::Reservation(int64_t bytes, const std::string& what) : bytes_(bytes < 0 ? 0 : bytes) {
    const int64_t total = int64_t(pictureAllocationLimitMB()) * 1024 * 1024;
    if (bytes_ > total)
        err::raise(err::OutOfMemory, "Out of memory (" + what + ")", err::Kind::TooLarge);
    Budget& b = budget();
    std::unique_lock<std::mutex> lock(b.mutex);
    b.released.wait(lock, [&] { return b.held + bytes_ <= total; });
    b.held += bytes_;
}

Reservation::~Reservation() {
    Budget& b = budget();
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        b.held -= bytes_;
    }
    b.released.notify_all();
}

int64_t Reservation::held() {
    Budget& b = budget();
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.held;
}

} // namespace memlimit
