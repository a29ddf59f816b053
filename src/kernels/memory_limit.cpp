#include "kernels/memory_limit.h"

#include <atomic>

namespace memlimit {

namespace {
std::atomic<int>& limit() {
    static std::atomic<int> megabytes{2048};
    return megabytes;
}
} // namespace

int pictureAllocationLimitMB() {
    return limit();
}

void setPictureAllocationLimitMB(int megabytes) {
    limit() = megabytes;
}

} // namespace memlimit
