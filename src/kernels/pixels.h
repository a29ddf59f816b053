#pragma once

#include <cstddef>
#include <cstdint>
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

// Pixels the kernels own.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;

    Image() = default;
    Image(int w, int h, Pixel fill) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    MutableView view() { return {pixels.data(), width, height, width}; }
    View view() const { return {pixels.data(), width, height, width}; }
};

} // namespace px
