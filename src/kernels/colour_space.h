#pragma once

#include "kernels/pixels.h"

// Colours as the eye tells them apart: CIELAB (sRGB, D65) and the CIEDE2000 difference.
namespace colours {

struct Lab {
    double l = 0, a = 0, b = 0;
};

Lab lab(px::Pixel p);

// The difference of two colours by CIEDE2000: 0 the same, about 1 just noticeable, above 10 plainly
// another colour.
double ciede2000(px::Pixel a, px::Pixel b);
double ciede2000(const Lab& a, const Lab& b);

// The squared distance of two colours in CIELAB: a cheap perceptual nearness, for finding a palette's
// nearest colour.
inline double labDistance(const Lab& x, const Lab& y) {
    return (x.l - y.l) * (x.l - y.l) + (x.a - y.a) * (x.a - y.a) + (x.b - y.b) * (x.b - y.b);
}

} // namespace colours
