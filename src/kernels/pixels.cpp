#include "kernels/pixels.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace px {

namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;
} // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes < 2 * kHugePage) {
        void* p = std::malloc(bytes ? bytes : 1);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    void* p = std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) / kHugePage * kHugePage);
    if (!p)
        throw std::bad_alloc();
    ::madvise(p, bytes, MADV_HUGEPAGE); // a hint; without huge pages the buffer works the same
    return p;
}

void freeLarge(void* p) noexcept {
    std::free(p);
}

} // namespace px
