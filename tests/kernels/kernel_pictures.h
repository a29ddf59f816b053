#pragma once

#include "kernels/pixels.h"

// Test pictures for the kernels, in memory.
namespace kpic {

// Pixel (x, y) has red = x, green = y, blue = x + y (each modulo 256).
inline px::Image ramp(int width, int height) {
    px::Image img(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.pixels[size_t(y) * size_t(width) + size_t(x)] = px::rgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF);
    return img;
}

inline px::Image filled(int width, int height, px::Pixel colour) {
    return px::Image(width, height, colour);
}

inline px::Pixel at(const px::Image& img, int x, int y) {
    return img.pixels[size_t(y) * size_t(img.width) + size_t(x)];
}

inline void set(px::Image& img, int x, int y, px::Pixel p) {
    img.pixels[size_t(y) * size_t(img.width) + size_t(x)] = p;
}

} // namespace kpic
