#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// Pixels as 32-bit words 0xAARRGGBB, the byte order B, G, R, A in memory on little-endian machines:
// the layout of an RGB32 scanline, so a toolkit's image rows can be handed over without copying.
// The program's own colour values are 0x00BBGGRR (red in the low byte); bgr()/fromBgr() convert.
namespace px {

using Pixel = uint32_t;

constexpr int red(Pixel p) {
    return int((p >> 16) & 0xFF);
}
constexpr int green(Pixel p) {
    return int((p >> 8) & 0xFF);
}
constexpr int blue(Pixel p) {
    return int(p & 0xFF);
}
constexpr Pixel rgb(int r, int g, int b) {
    return 0xFF000000u | (uint32_t(r & 0xFF) << 16) | (uint32_t(g & 0xFF) << 8) | uint32_t(b & 0xFF);
}
constexpr int bgr(Pixel p) {
    return red(p) | (green(p) << 8) | (blue(p) << 16);
}
constexpr Pixel fromBgr(int bgr) {
    return rgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// Rows of someone else's pixels; stride counts pixels from one row to the next.
struct View {
    const Pixel* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    const Pixel* row(int y) const { return data + std::ptrdiff_t(y) * stride; }
};

struct MutableView {
    Pixel* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    Pixel* row(int y) const { return data + std::ptrdiff_t(y) * stride; }
    operator View() const { return {data, width, height, stride}; }
};

// Brightness bytes in the storage of pixels, four to a pixel: a picture's parts, where only brightness
// counts.
struct GreyView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // bytes from one row to the next
    const uint8_t* row(int y) const { return data + std::ptrdiff_t(y) * stride; }
    bool empty() const { return width <= 0 || height <= 0; }
};
constexpr int greyStorageWidth(int width) {
    return (width + 3) / 4;
}
// The first `width` bytes of each row of pixels.
inline GreyView greyView(View storage, int width) {
    return {reinterpret_cast<const uint8_t*>(storage.data), width, storage.height,
            storage.stride * std::ptrdiff_t(sizeof(Pixel))};
}

void* allocateLarge(std::size_t bytes);
void freeLarge(void* p) noexcept;

// An allocator that leaves new elements as they come: a buffer whose every pixel is written next need not
// be filled first (for a photograph's parts, filling costs as much as averaging).
template <class T> struct Uninitialized : std::allocator<T> {
    template <class U> struct rebind { using other = Uninitialized<U>; };
    Uninitialized() = default;
    template <class U> Uninitialized(const Uninitialized<U>&) noexcept {}
    // Large buffers in huge pages where the system gives them: a photograph's buffer is touched page by
    // page, and thousands of small pages cost more than the writing.
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { freeLarge(p); }
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Pixels the kernels own.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Pixel, Uninitialized<Pixel>> pixels;

    Image() = default;
    Image(int w, int h, Pixel fill) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    // Pixels not yet set: for storage written whole next.
    Image(int w, int h) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h)) {}
    MutableView view() { return {pixels.data(), width, height, width}; }
    View view() const { return {pixels.data(), width, height, width}; }
};

} // namespace px
